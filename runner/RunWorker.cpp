#include "runner/RunWorker.h"

#include "platform/CException.h"
#include "platform/CWinApp.h"
#include "platform/UniqueHandle.h"
#include "runner/CommandLine.h"
#include "runner/RunSession.h"
#include "runner/StdinWriter.h"

#include <algorithm>
#include <cstring>

namespace {

// Replaces h by a duplicate the child cannot inherit. Only the child's own
// pipe ends are inherited.
void MakeUninheritable(CHandle& h)
{
    HANDLE dup = nullptr;
    HANDLE self = ::GetCurrentProcess();
    if (::DuplicateHandle(self, h.get(), self, &dup, 0, FALSE, DUPLICATE_SAME_ACCESS))
        h.reset(dup);
}

// Hands the bytes gathered so far to the host.
void HandOver(std::vector<char>& buffer, size_t& nUsed, HWND hWndHost)
{
    if (nUsed > 0)
        ::SendMessageA(hWndHost, WM_RUN_OUTPUT, nUsed, reinterpret_cast<LPARAM>(buffer.data()));
    nUsed = 0;
}

// Puts the suspended child into a job object of its own; null where the
// system has no jobs or refuses (a job that forbids nesting, say). The job
// functions are looked up, so that the program still loads where they do
// not exist.
CHandle PutInOwnJob(HANDLE hProcess)
{
    using CreateJob = HANDLE(WINAPI*)(LPSECURITY_ATTRIBUTES, LPCSTR);
    using AssignJob = BOOL(WINAPI*)(HANDLE, HANDLE);
    HMODULE hKernel = ::GetModuleHandleA("kernel32.dll");
    auto pfnCreate = reinterpret_cast<CreateJob>(reinterpret_cast<void*>(::GetProcAddress(hKernel, "CreateJobObjectA")));
    auto pfnAssign = reinterpret_cast<AssignJob>(reinterpret_cast<void*>(::GetProcAddress(hKernel, "AssignProcessToJobObject")));
    if (pfnCreate == nullptr || pfnAssign == nullptr)
        return CHandle();
    CHandle job(pfnCreate(nullptr, nullptr));
    if (job && !pfnAssign(job.get(), hProcess))
        job.reset();
    return job;
}

// Closes the stdin writer when it goes out of scope.
class CStdinWriterCloser {
public:
    explicit CStdinWriterCloser(CStdinWriter& writer) : m_writer(writer) {}
    ~CStdinWriterCloser() { m_writer.Close(); }
    CStdinWriterCloser(const CStdinWriterCloser&) = delete;
    CStdinWriterCloser& operator=(const CStdinWriterCloser&) = delete;

private:
    CStdinWriter& m_writer;
};

// Sends WM_RUN_FINISHED when it goes out of scope.
class CRunFinishedGuard {
public:
    explicit CRunFinishedGuard(HWND hWndHost) : m_hWndHost(hWndHost) {}
    ~CRunFinishedGuard() { ::SendMessageA(m_hWndHost, WM_RUN_FINISHED, 0, 0); }
    CRunFinishedGuard(const CRunFinishedGuard&) = delete;
    CRunFinishedGuard& operator=(const CRunFinishedGuard&) = delete;

private:
    HWND m_hWndHost;
};

} // namespace

int DrainPipe(HANDLE hRead, std::vector<char>& buffer, HWND hWndHost, DWORD* pnDrained)
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

void RunCommand(HWND hWndHost, const CString& command, CStdinWriter& stdinWriter, HANDLE hEnd)
{
    SECURITY_ATTRIBUTES sa;
    sa.nLength = sizeof sa;
    sa.lpSecurityDescriptor = nullptr;
    sa.bInheritHandle = TRUE;

    CHandle outRead, outWrite, inRead, inWrite;
    if (!::CreatePipe(outRead.put(), outWrite.put(), &sa, kOutputPipeSize)) {
        AfxMessageBox("Couldn't create Pipe\n");
        return;
    }
    if (!::CreatePipe(inRead.put(), inWrite.put(), &sa, kStdinPipeSize)) {
        outRead.reset();
        outWrite.reset();
        AfxMessageBox("Couldn't create Pipe\n");
        return;
    }
    MakeUninheritable(outRead);
    MakeUninheritable(inWrite);
    // Declared after the pipes, so that on every way out nobody writes to
    // the stdin pipe any more before it is closed.
    CStdinWriterCloser closer(stdinWriter);
    auto closePipes = [&] {
        stdinWriter.Close();
        outRead.reset();
        outWrite.reset();
        inRead.reset();
        inWrite.reset();
    };

    stdinWriter.Open(inWrite.get());
    ::SendMessageA(hWndHost, WM_RUN_STDIN, reinterpret_cast<WPARAM>(inRead.get()),
                   reinterpret_cast<LPARAM>(inWrite.get()));

    CString commandLine = command;
    CString directory;
    if (!ResolveCommandLine(commandLine, directory)) {
        closePipes();
        AfxMessageBox("The command line is too long. A command line can have at most 1023 characters.");
        return;
    }
    char cmdLine[kCommandBufferSize];
    lstrcpynA(cmdLine, commandLine, kCommandBufferSize);

    STARTUPINFOA si;
    std::memset(&si, 0, sizeof si);
    si.cb = sizeof si;
    si.dwFlags = STARTF_USESTDHANDLES | STARTF_USESHOWWINDOW;
    si.wShowWindow = SW_HIDE;
    si.hStdInput = inRead.get();
    si.hStdOutput = outWrite.get();
    si.hStdError = outWrite.get();

    // On the NT family the child goes into a job of its own before it runs,
    // so that Stop can end everything it starts.
    const bool bNT = IsWindowsNT();
    PROCESS_INFORMATION pi;
    std::memset(&pi, 0, sizeof pi);
    if (!::CreateProcessA(nullptr, cmdLine, nullptr, nullptr, TRUE, bNT ? CREATE_SUSPENDED : 0, nullptr,
                          directory.IsEmpty() ? nullptr : static_cast<LPCTSTR>(directory), &si, &pi)) {
        closePipes();
        AfxMessageBox("Couldn't Create Process\r\n");
        return;
    }
    CHandle process(pi.hProcess);
    CHandle thread(pi.hThread);
    CHandle job = bNT ? PutInOwnJob(process.get()) : CHandle();
    if (bNT)
        ::ResumeThread(thread.get());
    ::SendMessageA(hWndHost, WM_RUN_PROCESS, reinterpret_cast<WPARAM>(process.get()),
                   reinterpret_cast<LPARAM>(job.get()));

    std::vector<char> buffer(kOutputBatchBytes);
    DWORD sleepMs = 0;
    bool bEnding = false;
    for (;;) {
        // The host is going: the run ends with its tree.
        if (!bEnding && hEnd != nullptr && ::WaitForSingleObject(hEnd, 0) == WAIT_OBJECT_0) {
            bEnding = true;
            if (!job || !::TerminateJobObject(job.get(), 0))
                ::TerminateProcess(process.get(), 0);
        }
        DWORD nDrained = 0;
        if (DrainPipe(outRead.get(), buffer, hWndHost, &nDrained) == 0)
            break;
        stdinWriter.Flush();
        if (stdinWriter.TakeEnd())
            inWrite.reset(); // the end of the child's input
        if (::WaitForSingleObject(process.get(), 0) == WAIT_OBJECT_0) {
            DrainPipe(outRead.get(), buffer, hWndHost);
            break;
        }
        if (nDrained > 0) {
            sleepMs = 0; // output is flowing: poll again at once
            continue;
        }
        sleepMs = sleepMs == 0 ? 1 : std::min(sleepMs * 2, kIdlePollMs);
        if (hEnd != nullptr && !bEnding)
            ::WaitForSingleObject(hEnd, sleepMs); // wakes at once when the host goes
        else
            ::Sleep(sleepMs);
    }

    thread.reset();
    closePipes();
}

UINT RunGuarded(LPVOID pParam, void (*body)(CRunSession& session))
{
    CRunSession* pSession = static_cast<CRunSession*>(pParam);
    // WM_RUN_FINISHED goes once, however the worker leaves.
    CRunFinishedGuard finished(pSession->GetHost());
    try {
        body(*pSession);
    } catch (...) {
        // Every handle of the run is closed by now.
        afx::ReportCurrentException();
    }
    return 0;
}

UINT RunCommandThread(LPVOID pParam)
{
    return RunGuarded(pParam, [](CRunSession& session) {
        RunCommand(session.GetHost(), session.GetCommand(), session.GetStdin(), session.GetEndEvent());
    });
}
