#include "runner/RunWorker.h"

#include "runner/CommandLine.h"
#include "runner/RunChild.h"
#include "runner/StdinWriter.h"

#include <algorithm>
#include <cstring>
#include <exception>

namespace {

// Hands the bytes gathered so far to the host.
void HandOver(std::vector<char>& buffer, size_t& nUsed, HWND hWndHost)
{
    if (nUsed > 0)
        ::SendMessageA(hWndHost, WM_RUN_OUTPUT, nUsed, reinterpret_cast<LPARAM>(buffer.data()));
    nUsed = 0;
}

// Hands everything waiting in the pipe to the host. Returns 1 when the pipe
// is empty, 0 when peeking or reading failed; *pnDrained receives the number
// of bytes taken from the pipe.
int DrainPipe(HANDLE hRead, std::vector<char>& buffer, HWND hWndHost, DWORD* pnDrained = nullptr)
{
    if (buffer.empty())
        buffer.resize(kOutputBatchBytes);
    const size_t capacity = buffer.size();
    size_t nUsed = 0;
    DWORD nDrained = 0;
    DWORD dwGathered = 0; // when the first byte not handed over yet came
    int result = 1;
    for (;;) {
        DWORD nAvail = 0;
        if (!::PeekNamedPipe(hRead, nullptr, 0, nullptr, &nAvail, nullptr)) {
            result = 0;
            break;
        }
        if (nAvail == 0)
            break;
        // A child that never lets the pipe run dry still shows its output
        // within kHandOverMs.
        if (nUsed == capacity || (nUsed > 0 && ::GetTickCount() - dwGathered >= kHandOverMs))
            HandOver(buffer, nUsed, hWndHost);
        if (nUsed == 0)
            dwGathered = ::GetTickCount();
        DWORD nWant = static_cast<DWORD>(std::min<size_t>(nAvail, capacity - nUsed));
        DWORD nGot = 0;
        if (!::ReadFile(hRead, buffer.data() + nUsed, nWant, &nGot, nullptr)) {
            result = 0;
            break;
        }
        nUsed += nGot;
        nDrained += nGot;
    }
    HandOver(buffer, nUsed, hWndHost);
    if (pnDrained != nullptr)
        *pnDrained = nDrained;
    return result;
}

// Starts the child and pumps its output until it has ended.
void Run(CRunWork& work, CRunResult& result)
{
    DWORD dwStart = ::GetTickCount();
    if (work.pChild->IsStopping()) {
        result.kind = CRunResult::stopped; // Stop came before the child: it never starts
        return;
    }
    STARTUPINFOA si;
    std::memset(&si, 0, sizeof si);
    si.cb = sizeof si;
    si.dwFlags = STARTF_USESTDHANDLES | STARTF_USESHOWWINDOW;
    si.wShowWindow = SW_HIDE;
    si.hStdInput = work.childStdin.get();
    si.hStdOutput = work.childOutput.get();
    si.hStdError = work.childOutput.get();

    // On the NT family the child goes into its job before it runs, so that
    // Stop can end everything it starts.
    const bool bNT = IsWindowsNT();
    char cmdLine[kCommandBufferSize];
    lstrcpynA(cmdLine, work.commandLine, kCommandBufferSize);
    PROCESS_INFORMATION pi;
    std::memset(&pi, 0, sizeof pi);
    if (!::CreateProcessA(nullptr, cmdLine, nullptr, nullptr, TRUE, bNT ? CREATE_SUSPENDED : 0, nullptr,
                          work.directory.IsEmpty() ? nullptr : static_cast<LPCTSTR>(work.directory), &si, &pi)) {
        result.kind = CRunResult::notStarted;
        result.error = ::GetLastError();
        return;
    }
    CHandle process(pi.hProcess);
    CHandle thread(pi.hThread);
    work.childStdin.reset(); // the child's now
    if (work.pChild->Adopt(process.get()) && bNT)
        ::ResumeThread(thread.get());
    thread.reset();

    // The worker's own copy of the output pipe's write end stays open, so
    // the end of the run is the end of the child, not of its output.
    std::vector<char> buffer(kOutputBatchBytes);
    DWORD sleepMs = 0;
    for (;;) {
        DWORD nDrained = 0;
        if (DrainPipe(work.outputRead.get(), buffer, work.hWndHost, &nDrained) == 0)
            break;
        work.pStdin->Flush();
        if (::WaitForSingleObject(process.get(), 0) == WAIT_OBJECT_0) {
            DrainPipe(work.outputRead.get(), buffer, work.hWndHost);
            break;
        }
        if (nDrained > 0) {
            sleepMs = 0; // output is flowing: poll again at once
            continue;
        }
        sleepMs = sleepMs == 0 ? 1 : std::min(sleepMs * 2, kIdlePollMs);
        ::Sleep(sleepMs);
    }
    // A pipe that failed ends the run while the child may still run: it is
    // left running, and the result says so.
    if (::WaitForSingleObject(process.get(), 0) != WAIT_OBJECT_0) {
        work.pChild->Forget();
        result.kind = CRunResult::failed;
        result.failure = "The program's output could not be read any more; the program goes on running.";
        return;
    }
    DWORD exitCode = 0;
    ::GetExitCodeProcess(process.get(), &exitCode);
    work.pChild->Forget();
    result.elapsedMs = ::GetTickCount() - dwStart;
    result.exitCode = exitCode;
    result.kind = work.pChild->IsStopping() ? CRunResult::stopped : CRunResult::exited;
}

} // namespace

UINT RunWorkerThread(LPVOID pParam)
{
    CRunWork& work = *static_cast<CRunWork*>(pParam);
    CRunResult result;
    try {
        Run(work, result);
    } catch (const std::exception& e) {
        result.kind = CRunResult::failed;
        result.failure = e.what();
    } catch (...) {
        result.kind = CRunResult::failed;
        result.failure = "An unexpected error occurred.";
    }
    // Every handle of the child and the pipes is closed once the session has
    // the result; this message is the last thing the worker does.
    ::SendMessageA(work.hWndHost, WM_RUN_FINISHED, 0, reinterpret_cast<LPARAM>(&result));
    return 0;
}
