// CWinThread and AfxBeginThread: worker threads that clean up after
// themselves and never show anything.
//
// AfxBeginThread starts procedure(parameter) on a new thread and returns its
// thread object, or null when no thread could be made. By default the object
// deletes itself (closing its handle) when the procedure returns, so a caller
// may test the pointer against null but must not use it once the thread can
// have ended. A caller that wants to wait for the thread starts it suspended,
// clears m_bAutoDelete, resumes it, and deletes the object itself once the
// thread has ended.
//
// A thread reports to its owner by a posted message: a caller that starts
// it suspended may name a window and a message (SetOwner), which is posted
// once the procedure has ended, whether it returned or an exception escaped
// it. An exception that escapes ends only that thread: its text is kept
// (GetFailure) for the owner, and nothing is shown; a worker never shows UI.
#pragma once

#include "platform/CString.h"
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
    // Before the thread runs: nMessage is posted to hWndOwner when it ends.
    void SetOwner(HWND hWndOwner, UINT nMessage);
    // Once the thread has ended: what ended it, when an exception did ("").
    const CString& GetFailure() const { return m_strFailure; }

private:
    friend CWinThread* AfxBeginThread(AFX_THREADPROC, LPVOID, int, UINT, DWORD, LPSECURITY_ATTRIBUTES);
    CWinThread(AFX_THREADPROC pfnThreadProc, LPVOID pParam) noexcept;
    static unsigned __stdcall ThreadEntry(void* pThis) noexcept;

    CHandle m_handle;                // owns m_hThread
    AFX_THREADPROC m_pfnThreadProc;  // read-only after construction
    LPVOID m_pThreadParams;          // read-only after construction
    HWND m_hWndOwner = nullptr;      // set before the thread runs, then read-only
    UINT m_nEndMessage = 0;          // set before the thread runs, then read-only
    CString m_strFailure;            // the thread's until it has ended; then its owner's
};

CWinThread* AfxBeginThread(AFX_THREADPROC pfnThreadProc, LPVOID pParam,
                           int nPriority = THREAD_PRIORITY_NORMAL, UINT nStackSize = 0,
                           DWORD dwCreateFlags = 0, LPSECURITY_ATTRIBUTES lpSecurityAttrs = nullptr);
