#include "ChildProcess.h"

#include "Pump.h"

#include <tlhelp32.h>

#include <functional>
#include <vector>

namespace testsupport {

ChildProcess::ChildProcess(const std::string& commandLine)
{
    std::vector<char> cmd(commandLine.begin(), commandLine.end());
    cmd.push_back('\0');
    STARTUPINFOA si{};
    si.cb = sizeof si;
    PROCESS_INFORMATION pi{};
    if (::CreateProcessA(nullptr, cmd.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi)) {
        ::CloseHandle(pi.hThread);
        m_process.reset(pi.hProcess);
        m_pid = pi.dwProcessId;
    }
}

ChildProcess::~ChildProcess()
{
    if (m_process && ::WaitForSingleObject(m_process.get(), 0) == WAIT_TIMEOUT) {
        ::TerminateProcess(m_process.get(), 1);
        ::WaitForSingleObject(m_process.get(), 5000);
    }
}

bool ChildProcess::WaitForExit(DWORD timeoutMs, DWORD* pExitCode)
{
    if (!m_process || ::WaitForSingleObject(m_process.get(), timeoutMs) != WAIT_OBJECT_0)
        return false;
    if (pExitCode != nullptr)
        ::GetExitCodeProcess(m_process.get(), pExitCode);
    return true;
}

std::string BesideTests(const char* fileName)
{
    char path[MAX_PATH] = "";
    ::GetModuleFileNameA(nullptr, path, sizeof path);
    std::string dir(path);
    dir.erase(dir.find_last_of('\\') + 1);
    return dir + fileName;
}

namespace {

void ForEachProcess(const char* exeName, const std::function<void(const PROCESSENTRY32&)>& visit)
{
    CHandle snapshot(::CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0));
    PROCESSENTRY32 entry{};
    entry.dwSize = sizeof entry;
    for (BOOL more = snapshot ? ::Process32First(snapshot.get(), &entry) : FALSE; more;
         more = ::Process32Next(snapshot.get(), &entry)) {
        if (lstrcmpiA(entry.szExeFile, exeName) == 0)
            visit(entry);
    }
}

} // namespace

bool WaitForChildProcess(DWORD parentPid, const char* exeName, DWORD timeoutMs)
{
    return WaitUntil(
        [&] {
            bool found = false;
            ForEachProcess(exeName, [&](const PROCESSENTRY32& entry) { found |= entry.th32ParentProcessID == parentPid; });
            return found;
        },
        timeoutMs);
}

int CountProcesses(const char* exeName)
{
    int n = 0;
    ForEachProcess(exeName, [&](const PROCESSENTRY32&) { ++n; });
    return n;
}

void EndProcesses(const char* exeName)
{
    ForEachProcess(exeName, [](const PROCESSENTRY32& entry) {
        CHandle process(::OpenProcess(PROCESS_TERMINATE | SYNCHRONIZE, FALSE, entry.th32ProcessID));
        if (process && ::TerminateProcess(process.get(), 1))
            ::WaitForSingleObject(process.get(), 5000);
    });
}

namespace {

struct FindData {
    DWORD pid;
    const char* className;
    const char* caption;
    HWND found;
};

BOOL CALLBACK FindTop(HWND hWnd, LPARAM lParam)
{
    auto* data = reinterpret_cast<FindData*>(lParam);
    DWORD pid = 0;
    ::GetWindowThreadProcessId(hWnd, &pid);
    char cls[64] = "";
    char text[256] = "";
    ::GetClassNameA(hWnd, cls, sizeof cls);
    ::GetWindowTextA(hWnd, text, sizeof text);
    if (pid == data->pid && ::IsWindowVisible(hWnd) && lstrcmpA(cls, data->className) == 0 &&
        lstrcmpA(text, data->caption) == 0) {
        data->found = hWnd;
        return FALSE;
    }
    return TRUE;
}

} // namespace

HWND WaitForTopWindow(DWORD pid, const char* className, const char* caption, DWORD timeoutMs)
{
    FindData data{ pid, className, caption, nullptr };
    WaitUntil(
        [&] {
            ::EnumWindows(&FindTop, reinterpret_cast<LPARAM>(&data));
            return data.found != nullptr;
        },
        timeoutMs);
    return data.found;
}

} // namespace testsupport
