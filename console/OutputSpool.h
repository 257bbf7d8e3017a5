// COutputSpool: an append-only store for the bytes of one run that the pane
// does not hold, addressed by their offset since the run began.
//
// The first kMemoryBytes stay in memory. Past that everything goes, as it
// comes, to a temporary file opened with FILE_FLAG_DELETE_ON_CLOSE, so the system removes
// it when the spool is reset, destroyed, or the program dies; memory then
// holds at most kMemoryBytes, whatever the run's size.
//
// When the file cannot be created or written (no temp folder, a full disk),
// the spool carries on in memory and says so (HasFailed); its owner then
// bounds what it keeps (CKeptOutput::Compact). Nothing else fails.
//
// Layout: bytes [0, m_nFileBytes) are in the file, the rest in m_memory.
//
// User-interface thread only.
#pragma once

#include "platform/UniqueHandle.h"

#include <cstdint>
#include <string>

class COutputSpool {
public:
    static constexpr size_t kMemoryBytes = 4 * 1024 * 1024;

    COutputSpool() = default;
    COutputSpool(const COutputSpool&) = delete;
    COutputSpool& operator=(const COutputSpool&) = delete;
    COutputSpool(COutputSpool&&) = default;
    COutputSpool& operator=(COutputSpool&&) = default;

    // Appends n bytes; returns the offset of the first.
    uint64_t Append(const char* p, size_t n);
    // Appends to out the bytes of [offset, offset + n) that are still kept;
    // false when the temporary file could not be read back.
    bool Read(uint64_t offset, size_t n, std::string& out);
    uint64_t GetSize() const { return m_nSize; }
    // True once the temporary file could not be created or written.
    bool HasFailed() const { return m_bFileFailed; }
    size_t GetMemoryBytes() const { return m_memory.size(); }
    // Forgets everything; the temporary file goes. A spool reset as failed
    // keeps everything in memory from then on.
    void Reset(bool bFailed = false);

private:
    void SpillToFile();
    bool WriteAt(uint64_t offset, const char* p, size_t n);
    bool ReadAt(uint64_t offset, char* p, size_t n);

    CHandle m_file;
    bool m_bFileFailed = false;
    uint64_t m_nFileBytes = 0;
    std::string m_memory;
    uint64_t m_nSize = 0;
};
