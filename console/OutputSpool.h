// COutputSpool: an append-only store for the bytes of one run that the pane
// does not hold, addressed by their offset since the run began.
//
// The first kMemoryBytes stay in memory. Past that everything goes to a
// temporary file opened with FILE_FLAG_DELETE_ON_CLOSE, so the system removes
// it when the spool is reset, destroyed, or the program dies; memory then
// holds at most kMemoryBytes, whatever the run's size.
//
// When the file cannot be created or written (no temp folder, a full disk),
// the spool carries on in memory with the newest kFallbackBytes: older bytes
// that did not reach the file are dropped, and GetLostCount says how many of
// a range are gone. Nothing else fails.
//
// Layout: bytes [0, m_nFileBytes) are in the file, [m_nMemoryStart, m_nSize)
// in m_memory; anything in between was dropped.
//
// User-interface thread only.
#pragma once

#include "platform/UniqueHandle.h"

#include <cstdint>
#include <string>

class COutputSpool {
public:
    static constexpr size_t kMemoryBytes = 4 * 1024 * 1024;
    static constexpr size_t kFallbackBytes = 16 * 1024 * 1024;

    COutputSpool() = default;
    COutputSpool(const COutputSpool&) = delete;
    COutputSpool& operator=(const COutputSpool&) = delete;

    // Appends n bytes; returns the offset of the first.
    uint64_t Append(const char* p, size_t n);
    // Appends to out the bytes of [offset, offset + n) that are still kept;
    // false when the temporary file could not be read back.
    bool Read(uint64_t offset, size_t n, std::string& out);
    // How many bytes of [offset, offset + n) were dropped.
    uint64_t GetLostCount(uint64_t offset, uint64_t n) const;
    uint64_t GetSize() const { return m_nSize; }
    // Forgets everything; the temporary file goes.
    void Reset();

private:
    void SpillToFile();
    bool WriteAt(uint64_t offset, const char* p, size_t n);
    bool ReadAt(uint64_t offset, char* p, size_t n);

    CHandle m_file;
    bool m_bFileFailed = false;
    uint64_t m_nFileBytes = 0;
    std::string m_memory;
    uint64_t m_nMemoryStart = 0;
    uint64_t m_nSize = 0;
};
