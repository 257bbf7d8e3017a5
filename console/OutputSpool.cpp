#include "console/OutputSpool.h"

#include <algorithm>

namespace {

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

uint64_t COutputSpool::Append(const char* p, size_t n)
{
    uint64_t offset = m_nSize;
    m_memory.append(p, n);
    m_nSize += n;
    // Once there is a file, what is in memory goes there a step at a time:
    // small writes hold the window less than a big one now and then.
    if ((m_file || m_memory.size() > kMemoryBytes) && !m_bFileFailed)
        SpillToFile();
    return offset;
}

void COutputSpool::SpillToFile()
{
    if (!m_file)
        m_file = CreateTemporaryFile();
    constexpr size_t kSpillStep = 1024 * 1024;
    size_t n = std::min(m_memory.size(), kSpillStep);
    if (m_file && WriteAt(m_nFileBytes, m_memory.data(), n)) {
        m_nFileBytes += n;
        m_memory.erase(0, n);
        return;
    }
    m_bFileFailed = true; // what the file holds stays readable
}

bool COutputSpool::WriteAt(uint64_t offset, const char* p, size_t n)
{
    if (!Seek(m_file.get(), offset))
        return false;
    while (n > 0) {
        DWORD written = 0;
        DWORD want = static_cast<DWORD>(std::min<size_t>(n, 1 << 20));
        if (!::WriteFile(m_file.get(), p, want, &written, nullptr) || written == 0)
            return false;
        p += written;
        n -= written;
    }
    return true;
}

bool COutputSpool::ReadAt(uint64_t offset, char* p, size_t n)
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

bool COutputSpool::Read(uint64_t offset, size_t n, std::string& out)
{
    bool bRead = true;
    uint64_t end = std::min(offset + n, m_nSize);
    if (offset < m_nFileBytes) {
        uint64_t fileEnd = std::min(end, m_nFileBytes);
        size_t count = static_cast<size_t>(fileEnd - offset);
        size_t at = out.size();
        out.resize(at + count);
        if (!ReadAt(offset, &out[at], count)) {
            out.resize(at);
            bRead = false;
        }
        offset = fileEnd;
    }
    if (offset < end)
        out.append(m_memory, static_cast<size_t>(offset - m_nFileBytes), static_cast<size_t>(end - offset));
    return bRead;
}

void COutputSpool::Reset(bool bFailed)
{
    m_file.reset();
    m_bFileFailed = bFailed;
    m_nFileBytes = 0;
    std::string().swap(m_memory);
    m_nSize = 0;
}
