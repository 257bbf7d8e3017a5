#include "runner/RunSession.h"

#include "runner/RunWorker.h"

namespace {

CHandle Duplicate(HANDLE h)
{
    HANDLE dup = nullptr;
    HANDLE self = ::GetCurrentProcess();
    if (h == nullptr || !::DuplicateHandle(self, h, self, &dup, 0, FALSE, DUPLICATE_SAME_ACCESS))
        return CHandle();
    return CHandle(dup);
}

} // namespace

CRunSession::~CRunSession()
{
    End();
}

bool CRunSession::Start(HWND hWndHost, const CString& command, AFX_THREADPROC pfnWorker)
{
    Reap();
    m_evEnd.ResetEvent();
    m_hWndHost = hWndHost;
    m_strCommand = command;
    CWinThread* pThread = AfxBeginThread(pfnWorker != nullptr ? pfnWorker : &RunCommandThread, this,
                                         THREAD_PRIORITY_NORMAL, 0, CREATE_SUSPENDED, nullptr);
    if (pThread == nullptr)
        return false;
    pThread->m_bAutoDelete = FALSE;
    m_pThread.reset(pThread);
    m_bActive = true;
    m_pThread->ResumeThread();
    return true;
}

void CRunSession::OnProcess(HANDLE hProcess, HANDLE hJob)
{
    if (!m_bActive)
        return;
    m_process = Duplicate(hProcess);
    m_job = Duplicate(hJob);
}

void CRunSession::OnFinished()
{
    m_bActive = false;
    m_bStdin = false;
    // The worker is about to return; its thread and handles go at the next
    // Start or at End.
}

bool CRunSession::Terminate()
{
    if (m_job && ::TerminateJobObject(m_job.get(), 0))
        return true;
    return m_process && ::TerminateProcess(m_process.get(), 0);
}

void CRunSession::End()
{
    if (m_bActive)
        Terminate();
    if (m_pThread) {
        m_evEnd.SetEvent(); // a child created from now on goes too
        // The worker may be sending to the host: handle what it sends until
        // it has ended.
        HANDLE hThread = m_pThread->m_hThread;
        while (::MsgWaitForMultipleObjects(1, &hThread, FALSE, INFINITE, QS_SENDMESSAGE) == WAIT_OBJECT_0 + 1) {
            MSG msg;
            ::PeekMessageA(&msg, nullptr, 0, 0, PM_NOREMOVE);
        }
    }
    m_bActive = false;
    m_bStdin = false;
    Reap();
}

// Waits for a worker that has finished (it has nothing left to do but
// return) and lets go of the run's handles.
void CRunSession::Reap()
{
    if (m_pThread)
        ::WaitForSingleObject(m_pThread->m_hThread, INFINITE);
    m_pThread.reset();
    m_process.reset();
    m_job.reset();
}
