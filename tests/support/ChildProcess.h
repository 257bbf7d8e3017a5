// A process started by a test, never left behind: the destructor ends it if
// it still runs.
#pragma once

#include "platform/UniqueHandle.h"

#include <string>

namespace testsupport {

class ChildProcess {
public:
    // Starts commandLine; Started() tells whether that worked.
    explicit ChildProcess(const std::string& commandLine);
    ~ChildProcess();
    ChildProcess(const ChildProcess&) = delete;
    ChildProcess& operator=(const ChildProcess&) = delete;

    bool Started() const { return static_cast<bool>(m_process); }
    DWORD Pid() const { return m_pid; }
    HANDLE Handle() const { return m_process.get(); }
    // True when the process ended within timeoutMs; its exit code goes to
    // *pExitCode.
    bool WaitForExit(DWORD timeoutMs, DWORD* pExitCode = nullptr);

private:
    CHandle m_process;
    DWORD m_pid = 0;
};

// The full path of a file in the folder of the running test executable
// (Vorlik.exe is built beside the tests).
std::string BesideTests(const char* fileName);

// Waits until process parentPid has a child process running exeName (such as
// "ChildTool.exe"); false after timeoutMs.
bool WaitForChildProcess(DWORD parentPid, const char* exeName, DWORD timeoutMs);

// How many processes run exeName (such as "ChildTool.exe").
int CountProcesses(const char* exeName);
// Ends every process running exeName.
void EndProcesses(const char* exeName);

// The visible top-level window of process pid with this class and caption,
// waiting up to timeoutMs; null when none showed.
HWND WaitForTopWindow(DWORD pid, const char* className, const char* caption, DWORD timeoutMs);

} // namespace testsupport
