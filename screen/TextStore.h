// CTextStore: the final lines of one run, in order and append-only, in the
// stored form (StoredText.h), addressed by their offset since the run began.
//
// The first kMemoryBytes stay in memory. Past that everything goes, a MiB
// at a time, to a temporary file opened with FILE_FLAG_DELETE_ON_CLOSE, so
// the system removes it when the store goes or the program dies; memory
// then holds little, whatever the run's size.
// When the file cannot be created or written (no temp folder, a full disk),
// the store carries on in memory and keeps the newest kFallbackBytes, from
// the start of a unit; the bytes before GetStart() are gone, and a reader
// says how many.
//
// The model appends units: a line with its '\n', or a piece of a line too
// long to keep whole. Every unit begins at a clean place (no character or
// mark cut), and the store notes one such place at least every kStep
// bytes, so the newest part of the text can be found without reading it all.
//
// Threads: the user-interface thread appends; any thread may read while it
// does, since a reader holds the store (shared_ptr). m_lock guards where the
// text is; no file is read or written while it is held, so a Save reading
// the file never holds up the window's next output. That is safe because
// what the file holds never changes once written (reads and writes give
// their offset: there is no shared file position), the memory part is
// changed by the user-interface thread alone, and a reader holds the file's
// handle (shared_ptr) for as long as it reads. The store of a finished run
// stays whole as long as anyone holds it.
#pragma once

#include "platform/CEvent.h"
#include "platform/UniqueHandle.h"

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

class CTextStore {
public:
    static constexpr size_t kMemoryBytes = 4 * 1024 * 1024;
    static constexpr uint64_t kFallbackBytes = 16 * 1024 * 1024;
    static constexpr uint64_t kStep = 8 * 1024;

    CTextStore() = default;
    CTextStore(const CTextStore&) = delete;
    CTextStore& operator=(const CTextStore&) = delete;

    // User-interface thread.
    void Append(const std::string& unit);

    // Any thread.
    uint64_t GetSize() const;  // the offset after the last byte
    uint64_t GetStart() const; // the first offset still kept
    // How many bytes the text lost before GetStart() had as Save writes
    // text (UTF-8, each line ending in CR LF).
    uint64_t GetLostBytes() const;
    // Appends to out the kept bytes of [offset, offset + n); false when part
    // of them could not be read back (from the file, or lost meanwhile).
    bool Read(uint64_t offset, size_t n, std::string& out) const;
    // The newest clean place at or before end - want, or the first one kept:
    // reading from there gives at least want bytes when the store has them.
    uint64_t FindStart(uint64_t end, uint64_t want) const;

private:
    using CFileRef = std::shared_ptr<CHandle>;

    void SpillStep();
    void Bound();
    uint64_t CountLost(uint64_t nFrom, uint64_t nTo) const;

    mutable CCriticalSection m_lock;
    CFileRef m_file;                 // guarded by m_lock; holds [0, m_nFileBytes)
    bool m_bFileFailed = false;      // guarded by m_lock
    uint64_t m_nFileBytes = 0;       // guarded by m_lock
    std::string m_memory;            // guarded by m_lock: holds [m_nMemoryStart, m_nSize)
    uint64_t m_nMemoryStart = 0;     // guarded by m_lock
    uint64_t m_nStart = 0;           // guarded by m_lock
    uint64_t m_nLostBytes = 0;       // guarded by m_lock
    uint64_t m_nSize = 0;            // guarded by m_lock
    std::vector<uint64_t> m_starts;  // guarded by m_lock: clean places, ascending, >= m_nStart
    // Each "guarded by m_lock" field is written by the user-interface thread
    // alone, holding m_lock; that thread may read it without the lock.
};
