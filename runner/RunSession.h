// CRunSession: one run of a command and everything it owns.
//
// The host window keeps one session and asks it about the run: whether one
// is active, whether its stdin pipe and its child are known. The session owns
// the worker thread (waited for, never a dangling pointer), its own handles
// to the child and to the child's job, the stdin writer and a copy of the
// command. The worker owns the pipes and its own copies of the child's
// handles, and closes them whatever happens; the run messages tell the host,
// which passes them on to the session (OnStdin, OnProcess, OnFinished).
//
// Stop ends the whole tree: on the NT family the worker starts the child
// suspended, puts it into a job object of its own and only then lets it run,
// so terminating the job ends the child and everything it started. Where the
// system refuses the job, Terminate ends the child alone. A run that ends by
// itself only closes the job, leaving what the child started running.
//
// Nothing outlives the host: End (the host's WM_DESTROY, and the destructor)
// terminates a running tree and waits for the worker, handling the messages
// it sends meanwhile, before anything it uses goes away.
//
// Threads: every member function runs on the user-interface thread. The
// worker reads m_hWndHost and m_strCommand, written before it starts, and
// uses m_stdin as that class allows.
#pragma once

#include "platform/CEvent.h"
#include "platform/CString.h"
#include "platform/CWinThread.h"
#include "runner/StdinWriter.h"

#include <memory>

class CRunSession {
public:
    CRunSession() = default;
    CRunSession(const CRunSession&) = delete;
    CRunSession& operator=(const CRunSession&) = delete;
    ~CRunSession();

    // Starts a worker running pfnWorker (the run worker unless a test says
    // otherwise) for command, reporting to hWndHost; false when no thread
    // could be made.
    bool Start(HWND hWndHost, const CString& command, AFX_THREADPROC pfnWorker = nullptr);
    // From a successful Start until the host has handled WM_RUN_FINISHED.
    bool IsActive() const { return m_bActive; }
    bool HasStdin() const { return m_bStdin; }
    bool HasProcess() const { return static_cast<bool>(m_process); }
    CStdinWriter& GetStdin() { return m_stdin; }

    // Called when the host handles WM_RUN_STDIN.
    void OnStdin() { m_bStdin = m_bActive; }
    // Called when the host handles WM_RUN_PROCESS: the session takes its own
    // handles to the child and its job (which may be null).
    void OnProcess(HANDLE hProcess, HANDLE hJob);
    // Called when the host handles WM_RUN_FINISHED: the run is over.
    void OnFinished();

    // Ends the child and everything it started (the child alone when it has
    // no job); false when that failed.
    bool Terminate();
    // Ends a run that is still going and waits for its worker.
    void End();

    // For the worker.
    HWND GetHost() const { return m_hWndHost; }
    const CString& GetCommand() const { return m_strCommand; }
    HANDLE GetEndEvent() const { return m_evEnd; }

private:
    void Reap();

    std::unique_ptr<CWinThread> m_pThread;
    HWND m_hWndHost = nullptr;
    CString m_strCommand;
    CStdinWriter m_stdin; // see CStdinWriter for who may call what
    CEvent m_evEnd{ FALSE, TRUE }; // set by End (UI thread), polled by the worker
    CHandle m_process;
    CHandle m_job;
    bool m_bActive = false;
    bool m_bStdin = false;
};
