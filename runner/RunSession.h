// CRunSession: one run of a command, from Run to its end, and everything it
// owns.
//
// Start (user-interface thread) takes a command line already resolved. The
// session makes the child's job (CRunChild), both pipes and the stdin
// writer, and only then the worker, handing it the pipe ends it and the
// child use (CRunWork) when it starts: no handle crosses threads by message.
// The worker starts the child in the job, pumps its output to the host and
// sends one CRunResult with WM_RUN_FINISHED; it shows nothing.
//
// Stop works at any moment of a run: before the child exists, the child is
// never started; afterwards the job ends it and everything it started (the
// child alone where the system refuses the job). A run that ends by itself
// leaves what it started running.
//
// Nothing outlives the host: End (the host's WM_DESTROY, and the
// destructor) stops a running tree and waits for the worker, handling the
// messages it sends meanwhile. The worker never waits on the user, so End
// never does either.
//
// Threads: every member function runs on the user-interface thread. The
// worker has m_work from its start and uses m_child and m_stdin as their
// classes allow; the session touches m_work only when no worker runs.
#pragma once

#include "platform/CWinThread.h"
#include "runner/RunChild.h"
#include "runner/RunWorker.h"
#include "runner/StdinWriter.h"

#include <memory>

class CRunSession {
public:
    enum StartResult { started, busy, pipeFailed, threadFailed };

    CRunSession() = default;
    CRunSession(const CRunSession&) = delete;
    CRunSession& operator=(const CRunSession&) = delete;
    ~CRunSession() { End(); }

    // Starts a run of commandLine in directory (empty: the program's own),
    // reporting to hWndHost. Refused while a run is active.
    [[nodiscard]] StartResult Start(HWND hWndHost, const CString& commandLine, const CString& directory);
    // Why the last Start failed: the system's error code.
    DWORD GetStartError() const { return m_dwStartError; }
    // From a successful Start until the host has handled WM_RUN_FINISHED.
    bool IsActive() const { return m_bActive; }
    CStdinWriter& GetStdin() { return m_stdin; }

    // Ends the child and everything it started, or keeps a child not made
    // yet from starting; false when the system would not end it.
    bool Stop();
    // Called when the host handles WM_RUN_FINISHED: the run is over.
    void OnFinished();
    // Stops a run that is still going and waits for its worker.
    void End();

private:
    void WaitForWorker();

    std::unique_ptr<CWinThread> m_pThread;
    std::unique_ptr<CRunWork> m_work;   // the worker's while it runs
    std::unique_ptr<CRunChild> m_child; // see CRunChild for who may call what
    CStdinWriter m_stdin;               // see CStdinWriter for who may call what
    bool m_bActive = false;
    DWORD m_dwStartError = 0;
};
