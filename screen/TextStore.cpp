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

bool Seek(HANDLE h, uint64_t offset)
{
    LONG high = static_cast<LONG>(offset >> 32);
    DWORD low = ::SetFilePointer(h, static_cast<LONG>(offset & 0xFFFFFFFFu), &high, FILE_BEGIN);
    return !(low == INVALID_SET_FILE_POINTER && ::GetLastError() != NO_ERROR);
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
    CSingleLock lock(m_lock);
    uint64_t last = m_starts.empty() ? m_nStart : m_starts.back();
    if (m_nSize - last >= kStep)
        m_starts.push_back(m_nSize);
    m_memory += unit;
    m_nSize += unit.size();
    if (m_bFileFailed)
        Bound();
    else if (m_memory.size() >= (m_file ? kSpillStep : kMemoryBytes))
        SpillStep();
}

void CTextStore::SpillStep()
{
    if (!m_file)
        m_file = CreateTemporaryFile();
    size_t n = std::min(m_memory.size(), kSpillStep);
    if (m_file && WriteAt(m_nFileBytes, m_memory.data(), n)) {
        m_nFileBytes += n;
        m_nMemoryStart += n;
        m_memory.erase(0, n);
        return;
    }
    m_bFileFailed = true; // what the file holds stays readable
    Bound();
}

// Without a file, only the newest kFallbackBytes are kept, from a clean
// place; what the file already holds goes first, so that what is lost is
// always the beginning of the run.
void CTextStore::Bound()
{
    if (m_nSize - m_nStart <= kFallbackBytes + kTrimSlack)
        return;
    auto it = std::lower_bound(m_starts.begin(), m_starts.end(), m_nSize - kFallbackBytes);
    uint64_t start = it != m_starts.end() ? *it : m_nSize - kFallbackBytes;
    m_starts.erase(m_starts.begin(), it);
    CountLost(m_nStart, start);
    m_nStart = start;
    if (start >= m_nMemoryStart) {
        m_file.reset();
        m_memory.erase(0, static_cast<size_t>(start - m_nMemoryStart));
        m_memory.shrink_to_fit();
        m_nMemoryStart = start;
    }
}

// Counts [nFrom, nTo) as Save would write it, before it goes.
void CTextStore::CountLost(uint64_t nFrom, uint64_t nTo)
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
        else if (!(m_file && (piece.resize(n), ReadAt(at, &piece[0], n))))
            piece.assign(n, 'x'); // not readable: counted as it is
        size_t taken = stored::Walk(piece.data(), piece.size(), counter, at + n == nTo);
        at += taken > 0 ? taken : n;
    }
    m_nLostBytes += counter.bytes;
}

uint64_t CTextStore::GetLostBytes() const
{
    CSingleLock lock(m_lock);
    return m_nLostBytes;
}

bool CTextStore::WriteAt(uint64_t offset, const char* p, size_t n)
{
    if (!Seek(m_file.get(), offset))
        return false;
    while (n > 0) {
        DWORD written = 0;
        if (!::WriteFile(m_file.get(), p, static_cast<DWORD>(n), &written, nullptr) || written == 0)
            return false;
        p += written;
        n -= written;
    }
    return true;
}

bool CTextStore::ReadAt(uint64_t offset, char* p, size_t n) const
{
    if (!Seek(m_file.get(), offset))
        return false;
    while (n > 0) {
        DWORD got = 0;
        if (!::ReadFile(m_file.get(), p, static_cast<DWORD>(n), &got, nullptr) || got == 0)
            return false;
        p += got;
        n -= got;
    }
    return true;
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

bool CTextStore::Read(uint64_t offset, size_t n, std::string& out) const
{
    CSingleLock lock(m_lock);
    bool bRead = offset >= m_nStart;
    offset = std::max(offset, m_nStart);
    uint64_t end = std::min(offset + n, m_nSize);
    if (offset < m_nMemoryStart && offset < end) {
        uint64_t fileEnd = std::min(end, m_nMemoryStart);
        size_t count = static_cast<size_t>(fileEnd - offset);
        size_t at = out.size();
        out.resize(at + count);
        if (!m_file || !ReadAt(offset, &out[at], count)) {
            out.resize(at);
            bRead = false;
        }
        offset = fileEnd;
    }
    if (offset < end)
        out.append(m_memory, static_cast<size_t>(offset - m_nMemoryStart), static_cast<size_t>(end - offset));
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
