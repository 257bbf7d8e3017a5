// CRunChild: a run's child as Stop needs it, shared by the session (the
// user-interface thread) and the worker.
//
// The session makes the child's job before the child exists. The worker
// creates the child suspended and hands it over here (Adopt): it goes into
// the job and only then may run. Stop may come at any moment: before the
// child exists it marks the run as stopping, so the child is never started;
// afterwards it ends the job (the child and everything it started), or the
// child alone where the system refused the job.
//
// Threads: Stop on the user-interface thread; Adopt, Forget and IsStopping
// on the worker; every field is guarded by m_lock.
#pragma once

#include "platform/CEvent.h"

class CRunChild {
public:
    CRunChild();
    CRunChild(const CRunChild&) = delete;
    CRunChild& operator=(const CRunChild&) = delete;

    // User-interface thread: false when the system would not end the child.
    bool Stop();
    bool IsStopping();

    // Worker: the suspended child goes into the job; the handle is borrowed
    // until Forget. False when a Stop came first: the child has been ended
    // then and must not run.
    bool Adopt(HANDLE hProcess);
    void Forget();

private:
    CCriticalSection m_lock;
    CHandle m_job;              // guarded by m_lock; none where the system has no jobs
    HANDLE m_hProcess = nullptr; // guarded by m_lock; the worker's, while the child is alive
    bool m_bInJob = false;      // guarded by m_lock
    bool m_bStopping = false;   // guarded by m_lock
};
