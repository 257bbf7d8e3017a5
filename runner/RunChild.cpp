#include "runner/RunChild.h"

namespace {

// A job object of its own for the child, or none where the system has no
// jobs. The job functions are looked up, so that the program still loads
// where they do not exist.
CHandle CreateJob()
{
    using CreateJob = HANDLE(WINAPI*)(LPSECURITY_ATTRIBUTES, LPCSTR);
    auto pfnCreate = reinterpret_cast<CreateJob>(
        reinterpret_cast<void*>(::GetProcAddress(::GetModuleHandleA("kernel32.dll"), "CreateJobObjectA")));
    return pfnCreate != nullptr ? CHandle(pfnCreate(nullptr, nullptr)) : CHandle();
}

bool AssignToJob(HANDLE hJob, HANDLE hProcess)
{
    using AssignJob = BOOL(WINAPI*)(HANDLE, HANDLE);
    auto pfnAssign = reinterpret_cast<AssignJob>(
        reinterpret_cast<void*>(::GetProcAddress(::GetModuleHandleA("kernel32.dll"), "AssignProcessToJobObject")));
    return hJob != nullptr && pfnAssign != nullptr && pfnAssign(hJob, hProcess);
}

bool EndJob(HANDLE hJob)
{
    using TerminateJob = BOOL(WINAPI*)(HANDLE, UINT);
    auto pfnTerminate = reinterpret_cast<TerminateJob>(
        reinterpret_cast<void*>(::GetProcAddress(::GetModuleHandleA("kernel32.dll"), "TerminateJobObject")));
    return pfnTerminate != nullptr && pfnTerminate(hJob, 0);
}

} // namespace

CRunChild::CRunChild() : m_job(CreateJob())
{
}

bool CRunChild::Stop()
{
    CSingleLock lock(m_lock);
    m_bStopping = true;
    if (m_bInJob)
        return EndJob(m_job.get());
    if (m_hProcess != nullptr)
        return ::TerminateProcess(m_hProcess, 0) != FALSE;
    return true; // no child yet: it will not be started
}

bool CRunChild::IsStopping()
{
    CSingleLock lock(m_lock);
    return m_bStopping;
}

bool CRunChild::Adopt(HANDLE hProcess)
{
    CSingleLock lock(m_lock);
    m_hProcess = hProcess;
    m_bInJob = AssignToJob(m_job.get(), hProcess);
    if (m_bStopping)
        ::TerminateProcess(hProcess, 0);
    return !m_bStopping;
}

void CRunChild::Forget()
{
    CSingleLock lock(m_lock);
    m_hProcess = nullptr;
    m_bInJob = false;
}
