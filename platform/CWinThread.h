// CWinThread and AfxBeginThread: worker threads that clean up after
// themselves.
//
// AfxBeginThread starts procedure(parameter) on a new thread and returns its
// thread object, or null when no thread could be made. By default the object
// deletes itself (closing its handle) when the procedure returns, so a caller
// may test the pointer against null but must not use it once the thread can
// have ended. A caller that wants to wait for the thread starts it suspended,
// clears m_bAutoDelete, resumes it, and deletes the object itself once the
// thread has ended. An exception escaping the procedure is reported in a
// message box and ends only that thread.
#pragma once

#include "platform/UniqueHandle.h"

using AFX_THREADPROC = UINT(__cdecl*)(LPVOID pParam);

class CWinThread {
public:
    CWinThread(const CWinThread&) = delete;
    CWinThread& operator=(const CWinThread&) = delete;
    virtual ~CWinThread();

    HANDLE m_hThread = nullptr; // set before the thread runs, then read-only (any thread)
    DWORD m_nThreadID = 0;      // set before the thread runs, then read-only (any thread)
    BOOL m_bAutoDelete = TRUE;  // set before the thread runs, then read-only (any thread)

    DWORD ResumeThread();

private:
    friend CWinThread* AfxBeginThread(AFX_THREADPROC, LPVOID, int, UINT, DWORD, LPSECURITY_ATTRIBUTES);
    CWinThread(AFX_THREADPROC pfnThreadProc, LPVOID pParam) noexcept;
    static unsigned __stdcall ThreadEntry(void* pThis) noexcept;

    CHandle m_handle;                // owns m_hThread
    AFX_THREADPROC m_pfnThreadProc;  // read-only after construction
    LPVOID m_pThreadParams;          // read-only after construction
};

CWinThread* AfxBeginThread(AFX_THREADPROC pfnThreadProc, LPVOID pParam,
                           int nPriority = THREAD_PRIORITY_NORMAL, UINT nStackSize = 0,
                           DWORD dwCreateFlags = 0, LPSECURITY_ATTRIBUTES lpSecurityAttrs = nullptr);
