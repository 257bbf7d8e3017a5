#include "runner/RunSession.h"

namespace {

// A pipe whose one end the child inherits; the other end stays here.
bool CreateChildPipe(CHandle& read, CHandle& write, DWORD size)
{
    SECURITY_ATTRIBUTES sa{ sizeof sa, nullptr, TRUE };
    if (!::CreatePipe(read.put(), write.put(), &sa, size))
        return false;
    return true;
}

// Only the child's own pipe ends may be inherited.
void KeepFromChild(CHandle& h)
{
    ::SetHandleInformation(h.get(), HANDLE_FLAG_INHERIT, 0);
}

} // namespace

CRunSession::StartResult CRunSession::Start(HWND hWndHost, const CString& commandLine, const CString& directory)
{
    if (m_bActive)
        return busy;
    WaitForWorker(); // the last run's worker has sent its end: it is returning
    auto work = std::make_unique<CRunWork>();
    CHandle stdinWrite;
    if (!CreateChildPipe(work->outputRead, work->childOutput, kOutputPipeSize) ||
        !CreateChildPipe(work->childStdin, stdinWrite, kStdinPipeSize)) {
        m_dwStartError = ::GetLastError();
        return pipeFailed;
    }
    KeepFromChild(work->outputRead);
    KeepFromChild(stdinWrite);
    work->hWndHost = hWndHost;
    work->commandLine = commandLine;
    work->directory = directory;
    m_child = std::make_unique<CRunChild>();
    work->pChild = m_child.get();
    work->pStdin = &m_stdin;
    m_stdin.Open(std::move(stdinWrite));

    CWinThread* pThread = AfxBeginThread(&RunWorkerThread, work.get(), THREAD_PRIORITY_NORMAL, 0, CREATE_SUSPENDED);
    if (pThread == nullptr) {
        m_dwStartError = ::GetLastError();
        m_stdin.Close();
        return threadFailed;
    }
    pThread->m_bAutoDelete = FALSE;
    m_pThread.reset(pThread);
    m_work = std::move(work);
    m_bActive = true;
    m_pThread->ResumeThread();
    return started;
}

bool CRunSession::Stop()
{
    return !m_bActive || m_child->Stop();
}

void CRunSession::OnFinished()
{
    // The worker has sent its last message; it closes nothing more and is
    // about to return. Its pipes and the child's handles go now.
    m_bActive = false;
    m_stdin.Close();
}

void CRunSession::End()
{
    if (m_bActive)
        m_child->Stop();
    WaitForWorker();
    m_bActive = false;
    m_stdin.Close();
}

// Waits for the worker to end, handling what it sends meanwhile, then lets
// go of the run's handles.
void CRunSession::WaitForWorker()
{
    if (m_pThread) {
        HANDLE hThread = m_pThread->m_hThread;
        while (::MsgWaitForMultipleObjects(1, &hThread, FALSE, INFINITE, QS_SENDMESSAGE) == WAIT_OBJECT_0 + 1) {
            MSG msg;
            ::PeekMessageA(&msg, nullptr, 0, 0, PM_NOREMOVE);
        }
    }
    m_pThread.reset();
    m_work.reset();
    m_child.reset();
}
