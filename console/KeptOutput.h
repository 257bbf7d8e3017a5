// CKeptOutput: the part of a run's output that is not in the pane's text.
//
// A run's whole output, in order, is: what the pane has let go of (the
// released output), then the pane's own text as it stands, then what has
// arrived but is not shown yet (the pending output). This class keeps the
// first and the last; their bytes live in one COutputSpool, and each is a
// list of ranges of it, so letting go of pending output or taking released
// output back into the pane moves no bytes.
//
// User-interface thread only.
#pragma once

#include "console/OutputSpool.h"

#include <deque>
#include <functional>
#include <vector>

class CKeptOutput {
public:
    static constexpr uint64_t kFallbackBytes = 16 * 1024 * 1024;

    // Receives the output piece by piece, in order.
    using Sink = std::function<void(const char* p, size_t n)>;

    void Reset();

    // Output that arrived and is not shown yet.
    void AddPending(const char* p, size_t n);
    uint64_t GetPendingSize() const { return m_nPending; }
    // Takes up to nMax bytes from the front of the pending output.
    void TakePending(size_t nMax, std::string& out);
    // Lets go of all pending output but about the newest nKeep bytes, which
    // are kept from the start of a line where one is near.
    void SkipPending(size_t nKeep);

    // Text the pane lets go of: it follows what was released before.
    void Release(const char* p, size_t n);
    uint64_t GetReleasedSize() const { return m_nReleased; }
    // The newest released bytes, from the start of the line that holds the
    // nMax-th newest (or the nearest line start); returns how many released
    // bytes they are.
    uint64_t ReadReleasedTail(size_t nMax, std::string& out);
    // The newest n released bytes are the pane's again.
    void Unrelease(uint64_t n);

    // Bytes of the oldest output that could not be kept.
    uint64_t GetLostCount() const { return m_nLost; }
    // Each false when part of it could not be read back.
    bool ReadReleased(const Sink& sink);
    bool ReadPending(const Sink& sink);

private:
    struct Range {
        uint64_t offset;
        uint64_t length;
    };
    template <class Ranges>
    bool ReadRanges(const Ranges& ranges, const Sink& sink);
    void AddReleased(Range range);
    Range PopPending(uint64_t n);
    void BoundMemory();

    COutputSpool m_spool;
    std::vector<Range> m_released;
    std::deque<Range> m_pending;
    uint64_t m_nReleased = 0;
    uint64_t m_nPending = 0;
    uint64_t m_nLost = 0;
};
