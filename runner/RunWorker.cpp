#include "runner/RunWorker.h"

#include "platform/CWinApp.h"
#include "platform/UniqueHandle.h"
#include "runner/CommandLine.h"
#include "runner/RunHost.h"
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

// Hands the bytes gathered so far to the host, zero bytes dropped.
void HandOver(std::vector<char>& buffer, size_t& nUsed, HWND hWndHost)
{
    if (nUsed == 0)
        return;
    char* end = std::remove(buffer.data(), buffer.data() + nUsed, '\0');
    size_t n = static_cast<size_t>(end - buffer.data());
    if (n > 0)
        ::SendMessageA(hWndHost, WM_RUN_OUTPUT, n, reinterpret_cast<LPARAM>(buffer.data()));
    nUsed = 0;
}

} // namespace

int DrainPipe(HANDLE hRead, std::vector<char>& buffer, HWND hWndHost, DWORD* pnDrained)
{
    if (buffer.empty())
        buffer.resize(kOutputBatchBytes);
    const size_t capacity = buffer.size();
    size_t nUsed = 0;
    DWORD nDrained = 0;
    int result = 1;
    for (;;) {
        DWORD nAvail = 0;
        if (!::PeekNamedPipe(hRead, nullptr, 0, nullptr, &nAvail, nullptr)) {
            result = 0;
            break;
        }
        if (nAvail == 0)
            break;
        if (nUsed == capacity)
            HandOver(buffer, nUsed, hWndHost);
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

HANDLE RunCommand(HWND hWndHost, const CString& command, CStdinWriter& stdinWriter)
{
    SECURITY_ATTRIBUTES sa;
    sa.nLength = sizeof sa;
    sa.lpSecurityDescriptor = nullptr;
    sa.bInheritHandle = TRUE;

    CHandle outRead, outWrite, inRead, inWrite;
    if (!::CreatePipe(outRead.put(), outWrite.put(), &sa, kOutputPipeSize)) {
        AfxMessageBox("Couldn't create Pipe\n");
        return nullptr;
    }
    if (!::CreatePipe(inRead.put(), inWrite.put(), &sa, kStdinPipeSize)) {
        outRead.reset();
        outWrite.reset();
        AfxMessageBox("Couldn't create Pipe\n");
        return nullptr;
    }
    MakeUninheritable(outRead);
    MakeUninheritable(inWrite);
    auto closePipes = [&] {
        stdinWriter.Close(); // from here on nobody writes to the stdin pipe
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
        return nullptr;
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

    PROCESS_INFORMATION pi;
    std::memset(&pi, 0, sizeof pi);
    if (!::CreateProcessA(nullptr, cmdLine, nullptr, nullptr, TRUE, 0, nullptr,
                          directory.IsEmpty() ? nullptr : static_cast<LPCTSTR>(directory), &si, &pi)) {
        closePipes();
        AfxMessageBox("Couldn't Create Process\r\n");
        return nullptr;
    }
    CHandle thread(pi.hThread);
    ::SendMessageA(hWndHost, WM_RUN_PROCESS, reinterpret_cast<WPARAM>(pi.hProcess), 0);

    std::vector<char> buffer(kOutputBatchBytes);
    DWORD sleepMs = 0;
    for (;;) {
        DWORD nDrained = 0;
        if (DrainPipe(outRead.get(), buffer, hWndHost, &nDrained) == 0)
            break;
        stdinWriter.Flush();
        if (::WaitForSingleObject(pi.hProcess, 0) == WAIT_OBJECT_0) {
            DrainPipe(outRead.get(), buffer, hWndHost);
            break;
        }
        if (nDrained > 0) {
            sleepMs = 0; // output is flowing: poll again at once
            continue;
        }
        sleepMs = sleepMs == 0 ? 1 : std::min(sleepMs * 2, kIdlePollMs);
        ::Sleep(sleepMs);
    }

    thread.reset();
    closePipes();
    return pi.hProcess;
}

UINT RunCommandThread(LPVOID pParam)
{
    CRunHost* pHost = static_cast<CRunHost*>(pParam);
    HWND hWndHost = pHost->GetRunWindow();
    HANDLE hProcess = RunCommand(hWndHost, pHost->GetRunCommand(), pHost->GetRunStdin());
    ::SendMessageA(hWndHost, WM_RUN_FINISHED, 0, 0);
    if (hProcess != nullptr)
        ::CloseHandle(hProcess);
    return 0;
}
