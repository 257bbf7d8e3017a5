#include "platform/CWinThread.h"

#include "platform/CException.h"

#include <new>
#include <process.h>

CWinThread::CWinThread(AFX_THREADPROC pfnThreadProc, LPVOID pParam) noexcept
    : m_pfnThreadProc(pfnThreadProc), m_pThreadParams(pParam)
{
}

CWinThread::~CWinThread() = default;

DWORD CWinThread::ResumeThread()
{
    return ::ResumeThread(m_hThread);
}

void CWinThread::SetOwner(HWND hWndOwner, UINT nMessage)
{
    m_hWndOwner = hWndOwner;
    m_nEndMessage = nMessage;
}

unsigned __stdcall CWinThread::ThreadEntry(void* pThis) noexcept
{
    CWinThread* pThread = static_cast<CWinThread*>(pThis);
    UINT nResult = 0;
    try {
        nResult = pThread->m_pfnThreadProc(pThread->m_pThreadParams);
    } catch (...) {
        pThread->m_strFailure = afx::CurrentExceptionText();
        nResult = static_cast<UINT>(-1);
    }
    // Read before the post: from then on the owner may delete the object.
    HWND hWndOwner = pThread->m_hWndOwner;
    UINT nMessage = pThread->m_nEndMessage;
    if (pThread->m_bAutoDelete)
        delete pThread;
    if (hWndOwner != nullptr)
        ::PostMessageA(hWndOwner, nMessage, 0, 0);
    return nResult;
}

CWinThread* AfxBeginThread(AFX_THREADPROC pfnThreadProc, LPVOID pParam, int nPriority, UINT nStackSize,
                           DWORD dwCreateFlags, LPSECURITY_ATTRIBUTES lpSecurityAttrs)
{
    CWinThread* pThread = new (std::nothrow) CWinThread(pfnThreadProc, pParam);
    if (pThread == nullptr)
        return nullptr;
    unsigned threadId = 0;
    // Created suspended so that the object is complete before the thread can
    // delete it.
    uintptr_t h = _beginthreadex(lpSecurityAttrs, nStackSize, &CWinThread::ThreadEntry, pThread,
                                 CREATE_SUSPENDED, &threadId);
    if (h == 0) {
        delete pThread;
        return nullptr;
    }
    pThread->m_handle.reset(reinterpret_cast<HANDLE>(h));
    pThread->m_hThread = pThread->m_handle.get();
    pThread->m_nThreadID = threadId;
    ::SetThreadPriority(pThread->m_hThread, nPriority);
    if ((dwCreateFlags & CREATE_SUSPENDED) == 0)
        ::ResumeThread(pThread->m_hThread); // pThread may be gone from here on
    return pThread;
}
