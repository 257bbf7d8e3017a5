#include "console/KeptOutput.h"

#include <algorithm>
#include <cstring>

namespace {

// Pieces in which kept output is read back.
constexpr size_t kReadPiece = 1024 * 1024;

// How far before the asked-for start ReadReleasedTail looks for a line start.
constexpr size_t kLineSlack = 4096;

} // namespace

void CKeptOutput::Reset()
{
    m_spool.Reset();
    m_released.clear();
    m_pending.clear();
    m_nReleased = 0;
    m_nPending = 0;
    m_nLost = 0;
}

void CKeptOutput::AddPending(const char* p, size_t n)
{
    if (n == 0)
        return;
    uint64_t offset = m_spool.Append(p, n);
    if (!m_pending.empty() && m_pending.back().offset + m_pending.back().length == offset)
        m_pending.back().length += n;
    else
        m_pending.push_back({ offset, n });
    m_nPending += n;
    BoundMemory();
}

void CKeptOutput::TakePending(size_t nMax, std::string& out)
{
    while (nMax > 0 && !m_pending.empty()) {
        Range r = PopPending(nMax);
        m_spool.Read(r.offset, static_cast<size_t>(r.length), out);
        nMax -= static_cast<size_t>(r.length);
    }
}

// Takes up to n bytes off the front of the pending output, from its first
// range only.
CKeptOutput::Range CKeptOutput::PopPending(uint64_t n)
{
    Range& front = m_pending.front();
    Range taken{ front.offset, std::min(n, front.length) };
    front.offset += taken.length;
    front.length -= taken.length;
    m_nPending -= taken.length;
    if (front.length == 0)
        m_pending.pop_front();
    return taken;
}

void CKeptOutput::SkipPending(size_t nKeep)
{
    if (m_nPending <= nKeep)
        return;
    uint64_t skip = m_nPending - nKeep;
    // Keep from the first line start in the kept part, unless that would
    // leave less than half of it.
    std::string kept;
    uint64_t at = 0;
    for (const Range& r : m_pending) {
        if (at + r.length > skip) {
            uint64_t from = skip > at ? skip - at : 0;
            m_spool.Read(r.offset + from, static_cast<size_t>(std::min<uint64_t>(r.length - from, nKeep - kept.size())),
                         kept);
        }
        at += r.length;
    }
    const char* lf = static_cast<const char*>(std::memchr(kept.data(), '\n', kept.size()));
    if (lf != nullptr && static_cast<size_t>(lf - kept.data()) < nKeep / 2)
        skip += static_cast<uint64_t>(lf - kept.data()) + 1;

    while (skip > 0) {
        Range r = PopPending(skip);
        AddReleased(r);
        skip -= r.length;
    }
}

void CKeptOutput::Release(const char* p, size_t n)
{
    if (n > 0)
        AddReleased({ m_spool.Append(p, n), n });
    BoundMemory();
}

// Without a temporary file everything is in memory: past the bound the
// oldest output goes, and what stays is copied, in order, into a fresh spool
// so that the memory of the rest is given back.
void CKeptOutput::BoundMemory()
{
    constexpr uint64_t kSlack = 4 * 1024 * 1024; // copying only this often keeps the cost linear
    if (!m_spool.HasFailed() || m_spool.GetMemoryBytes() <= kFallbackBytes + kSlack)
        return;
    uint64_t excess = m_nReleased + m_nPending > kFallbackBytes ? m_nReleased + m_nPending - kFallbackBytes : 0;
    while (excess > 0 && !m_released.empty()) {
        Range& front = m_released.front();
        uint64_t n = std::min(excess, front.length);
        front.offset += n;
        front.length -= n;
        m_nReleased -= n;
        m_nLost += n;
        excess -= n;
        if (front.length == 0)
            m_released.erase(m_released.begin());
    }
    COutputSpool fresh;
    fresh.Reset(true); // no second try at a file
    std::string bytes;
    auto move = [&](Range& r) {
        bytes.clear();
        m_spool.Read(r.offset, static_cast<size_t>(r.length), bytes);
        r.offset = fresh.Append(bytes.data(), bytes.size());
        r.length = bytes.size();
    };
    m_nReleased = 0;
    for (Range& r : m_released)
        m_nReleased += (move(r), r.length);
    m_nPending = 0;
    for (Range& r : m_pending)
        m_nPending += (move(r), r.length);
    m_spool = std::move(fresh);
}

void CKeptOutput::AddReleased(Range range)
{
    if (!m_released.empty() && m_released.back().offset + m_released.back().length == range.offset)
        m_released.back().length += range.length;
    else
        m_released.push_back(range);
    m_nReleased += range.length;
}

uint64_t CKeptOutput::ReadReleasedTail(size_t nMax, std::string& out)
{
    out.clear();
    // A little more than asked for, so that the text can begin at the start
    // of the line that holds the nMax-th newest byte.
    uint64_t want = std::min<uint64_t>(nMax + kLineSlack, m_nReleased);
    size_t extra = static_cast<size_t>(want > nMax ? want - nMax : 0);
    // The ranges that hold the newest `want` bytes, oldest first.
    std::vector<Range> tail;
    uint64_t left = want;
    for (auto it = m_released.rbegin(); it != m_released.rend() && left > 0; ++it) {
        uint64_t n = std::min(left, it->length);
        tail.push_back({ it->offset + it->length - n, n });
        left -= n;
    }
    std::reverse(tail.begin(), tail.end());
    for (const Range& r : tail)
        m_spool.Read(r.offset, static_cast<size_t>(r.length), out);
    if (want == m_nReleased || out.size() <= extra)
        return want; // from the very start of the run's output
    size_t cut = out.rfind('\n', extra);
    if (cut == std::string::npos) {
        cut = out.find('\n', extra);
        if (cut == std::string::npos)
            cut = extra - 1; // one long line: cut inside it
    }
    out.erase(0, cut + 1);
    return want - std::min<uint64_t>(want, cut + 1);
}

void CKeptOutput::Unrelease(uint64_t n)
{
    n = std::min(n, m_nReleased);
    m_nReleased -= n;
    while (n > 0) {
        Range& back = m_released.back();
        uint64_t take = std::min(n, back.length);
        back.length -= take;
        n -= take;
        if (back.length == 0)
            m_released.pop_back();
    }
}

template <class Ranges>
bool CKeptOutput::ReadRanges(const Ranges& ranges, const Sink& sink)
{
    bool bRead = true;
    std::string piece;
    for (const Range& r : ranges) {
        for (uint64_t done = 0; done < r.length;) {
            size_t n = static_cast<size_t>(std::min<uint64_t>(kReadPiece, r.length - done));
            piece.clear();
            bRead = m_spool.Read(r.offset + done, n, piece) && bRead;
            if (!piece.empty())
                sink(piece.data(), piece.size());
            done += n;
        }
    }
    return bRead;
}

bool CKeptOutput::ReadReleased(const Sink& sink)
{
    return ReadRanges(m_released, sink);
}

bool CKeptOutput::ReadPending(const Sink& sink)
{
    return ReadRanges(m_pending, sink);
}
