#include "screen/TextStore.h"

#include "screen/StoredText.h"

#include <algorithm>

namespace {

// Once there is a file, what is in memory goes there this much at a time:
// a write per line would cost more than the line, and one big write now and
// then would hold the window.
constexpr size_t kSpillStep = 1024 * 1024;
// Without a file, the memory is trimmed only when this much is over the
// bound, so that trimming costs little per byte.
constexpr uint64_t kTrimSlack = 4 * 1024 * 1024;

// A write or read at offset, however many calls it takes. The offset goes
// with each call, so threads that use one handle never share a position.
template <class Byte, class Call>
bool Transfer(HANDLE h, uint64_t offset, Byte* p, size_t n, Call call)
{
    while (n > 0) {
        OVERLAPPED at{};
        at.Offset = static_cast<DWORD>(offset & 0xFFFFFFFFu);
        at.OffsetHigh = static_cast<DWORD>(offset >> 32);
        DWORD done = 0;
        if (!call(h, p, static_cast<DWORD>(std::min<size_t>(n, 1u << 30)), &done, &at) || done == 0)
            return false;
        p += done;
        n -= done;
        offset += done;
    }
    return true;
}

bool WriteAt(HANDLE h, uint64_t offset, const char* p, size_t n)
{
    return Transfer(h, offset, p, n, ::WriteFile);
}

bool ReadAt(HANDLE h, uint64_t offset, char* p, size_t n)
{
    return Transfer(h, offset, p, n, ::ReadFile);
}

CHandle CreateTemporaryFile()
{
    char dir[MAX_PATH] = "";
    char name[MAX_PATH] = "";
    DWORD n = ::GetTempPathA(sizeof dir, dir);
    if (n == 0 || n >= sizeof dir || ::GetTempFileNameA(dir, "vlk", 0, name) == 0)
        return CHandle();
    HANDLE h = ::CreateFileA(name, GENERIC_READ | GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                             FILE_ATTRIBUTE_TEMPORARY | FILE_FLAG_DELETE_ON_CLOSE, nullptr);
    if (h == INVALID_HANDLE_VALUE) {
        ::DeleteFileA(name);
        return CHandle();
    }
    return CHandle(h);
}

} // namespace

void CTextStore::Append(const std::string& unit)
{
    if (unit.empty())
        return;
    {
        CSingleLock lock(m_lock);
        uint64_t last = m_starts.empty() ? m_nStart : m_starts.back();
        if (m_nSize - last >= kStep)
            m_starts.push_back(m_nSize);
        m_memory += unit;
        m_nSize += unit.size();
    }
    if (m_bFileFailed)
        Bound();
    else if (m_memory.size() >= (m_file ? kSpillStep : kMemoryBytes))
        SpillStep();
}

// The oldest MiB in memory goes to the file, written without the lock: until
// it is written readers take those bytes from memory.
void CTextStore::SpillStep()
{
    if (!m_file) {
        CFileRef file = std::make_shared<CHandle>(CreateTemporaryFile());
        CSingleLock lock(m_lock);
        if (*file)
            m_file = std::move(file);
    }
    size_t n = std::min(m_memory.size(), kSpillStep);
    bool bWritten = m_file && WriteAt(m_file->get(), m_nFileBytes, m_memory.data(), n);
    {
        CSingleLock lock(m_lock);
        if (bWritten) {
            m_nFileBytes += n;
            m_nMemoryStart += n;
            m_memory.erase(0, n);
            return;
        }
        m_bFileFailed = true; // what the file holds stays readable
    }
    Bound();
}

// Without a file, only the newest kFallbackBytes are kept, from a clean
// place; what the file already holds goes first, so that what is lost is
// always the beginning of the run. What goes is counted first, without the
// lock (nothing but this thread changes it).
void CTextStore::Bound()
{
    if (m_nSize - m_nStart <= kFallbackBytes + kTrimSlack)
        return;
    auto it = std::lower_bound(m_starts.begin(), m_starts.end(), m_nSize - kFallbackBytes);
    uint64_t start = it != m_starts.end() ? *it : m_nSize - kFallbackBytes;
    uint64_t lost = CountLost(m_nStart, start);
    CSingleLock lock(m_lock);
    m_starts.erase(m_starts.begin(), it);
    m_nLostBytes += lost;
    m_nStart = start;
    if (start >= m_nMemoryStart) {
        m_file.reset(); // a reader still reading it holds it open
        m_memory.erase(0, static_cast<size_t>(start - m_nMemoryStart));
        m_memory.shrink_to_fit();
        m_nMemoryStart = start;
    }
}

// [nFrom, nTo) as Save would write it: its size. User-interface thread.
uint64_t CTextStore::CountLost(uint64_t nFrom, uint64_t nTo) const
{
    class CCounter : public stored::IVisitor {
    public:
        uint64_t bytes = 0;
        void Text(const char*, size_t n) override { bytes += n; }
        void Colour(COLORREF) override {}
        void LineEnd() override { bytes += 2; }
    } counter;
    std::string piece;
    for (uint64_t at = nFrom; at < nTo;) {
        piece.clear();
        size_t n = static_cast<size_t>(std::min<uint64_t>(kSpillStep, nTo - at));
        if (at >= m_nMemoryStart)
            piece.assign(m_memory, static_cast<size_t>(at - m_nMemoryStart), n);
        else if (!(m_file && (piece.resize(n), ReadAt(m_file->get(), at, &piece[0], n))))
            piece.assign(n, 'x'); // not readable: counted as it is
        size_t taken = stored::Walk(piece.data(), piece.size(), counter, at + n == nTo);
        at += taken > 0 ? taken : n;
    }
    return counter.bytes;
}

uint64_t CTextStore::GetLostBytes() const
{
    CSingleLock lock(m_lock);
    return m_nLostBytes;
}

uint64_t CTextStore::GetSize() const
{
    CSingleLock lock(m_lock);
    return m_nSize;
}

uint64_t CTextStore::GetStart() const
{
    CSingleLock lock(m_lock);
    return m_nStart;
}

// Where the bytes are is taken under the lock, and what memory holds of them
// copied; the file is read after it is let go.
bool CTextStore::Read(uint64_t offset, size_t n, std::string& out) const
{
    CFileRef file;
    uint64_t fileFrom = 0, fileTo = 0;
    std::string tail;
    bool bRead = true;
    {
        CSingleLock lock(m_lock);
        bRead = offset >= m_nStart;
        offset = std::max(offset, m_nStart);
        uint64_t end = std::min(offset + n, m_nSize);
        if (offset < m_nMemoryStart && offset < end) {
            file = m_file;
            fileFrom = offset;
            fileTo = std::min(end, m_nMemoryStart);
            offset = fileTo;
        }
        if (offset < end)
            tail.assign(m_memory, static_cast<size_t>(offset - m_nMemoryStart), static_cast<size_t>(end - offset));
    }
    if (fileTo > fileFrom) {
        size_t count = static_cast<size_t>(fileTo - fileFrom);
        size_t at = out.size();
        out.resize(at + count);
        if (!file || !ReadAt(file->get(), fileFrom, &out[at], count)) {
            out.resize(at);
            bRead = false;
        }
    }
    out += tail;
    return bRead;
}

uint64_t CTextStore::FindStart(uint64_t end, uint64_t want) const
{
    CSingleLock lock(m_lock);
    if (end <= m_nStart + want)
        return m_nStart;
    auto it = std::upper_bound(m_starts.begin(), m_starts.end(), end - want);
    return it == m_starts.begin() ? m_nStart : *(it - 1);
}
