#include "runner/StdinWriter.h"

#include <algorithm>

namespace {

class CLock {
public:
    explicit CLock(CCriticalSection& section) : m_section(section) { m_section.Lock(); }
    ~CLock() { m_section.Unlock(); }
    CLock(const CLock&) = delete;
    CLock& operator=(const CLock&) = delete;

private:
    CCriticalSection& m_section;
};

} // namespace

void CStdinWriter::Open(HANDLE hWrite)
{
    DWORD mode = PIPE_NOWAIT;
    ::SetNamedPipeHandleState(hWrite, &mode, nullptr, nullptr);
    CLock lock(m_lock);
    m_hWrite = hWrite;
    m_pending.clear();
    m_bEndAsked = false;
}

void CStdinWriter::Write(const char* pData, size_t nCount)
{
    CLock lock(m_lock);
    if (m_hWrite == nullptr)
        return;
    // Bytes already waiting mean the pipe was full a moment ago: queue
    // behind them and leave the retry to the worker's next pass.
    bool bWasEmpty = m_pending.empty();
    m_pending.append(pData, nCount);
    if (bWasEmpty)
        FlushLocked();
}

void CStdinWriter::WriteKey(char ch)
{
    if (ch == '\r')
        Write("\r\n", 2);
    else
        Write(&ch, 1);
}

void CStdinWriter::Flush()
{
    CLock lock(m_lock);
    FlushLocked();
}

void CStdinWriter::Close()
{
    CLock lock(m_lock);
    m_hWrite = nullptr;
    m_pending.clear();
    m_bEndAsked = false;
}

void CStdinWriter::EndInput()
{
    CLock lock(m_lock);
    m_bEndAsked = m_hWrite != nullptr;
}

bool CStdinWriter::TakeEnd()
{
    CLock lock(m_lock);
    if (!m_bEndAsked || !m_pending.empty())
        return false;
    m_bEndAsked = false;
    m_hWrite = nullptr;
    return true;
}

size_t CStdinWriter::GetPendingCount()
{
    CLock lock(m_lock);
    return m_pending.size();
}

void CStdinWriter::FlushLocked()
{
    // A non-blocking write may take all of a piece or nothing of it (Wine) or
    // part of it (Windows); halving the piece on a refusal makes progress
    // either way until not even one byte fits.
    size_t piece = 1024; // the pipe's size: a typed line of up to 1 KB goes in one write
    while (m_hWrite != nullptr && !m_pending.empty() && piece > 0) {
        DWORD toWrite = static_cast<DWORD>(std::min(piece, m_pending.size()));
        DWORD written = 0;
        if (!::WriteFile(m_hWrite, m_pending.data(), toWrite, &written, nullptr))
            return; // broken pipe: the child is gone, the worker closes soon
        if (written == 0)
            piece /= 2;
        else
            m_pending.erase(0, written);
    }
}
