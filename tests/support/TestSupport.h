// What the tests share: waiting for a condition (never a fixed sleep),
// running a step on the user-interface thread of a window under test, a
// modal dialog driven from a helper thread, message boxes, files, the
// clipboard and child processes.
#pragma once

#include "platform/Afx.h"

#include <atomic>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace testsupport {

constexpr DWORD kTimeoutMs = 15000; // generous: Wine under load can be slow

// Waits (without pumping) until cond() holds or timeoutMs has passed.
bool WaitUntil(const std::function<bool()>& cond, DWORD timeoutMs = kTimeoutMs);

// Calls step on the thread that owns hWnd and returns once it has run; a
// hook that main installs on the test's thread turns a message into the
// call, so no window under test needs probe messages of its own.
void InstallUiCallHook();
void OnUiThread(HWND hWnd, const std::function<void()>& step);
// The same for a step with a result.
template <typename F> auto Ask(HWND hWnd, F step)
{
    decltype(step()) result{};
    OnUiThread(hWnd, [&] { result = step(); });
    return result;
}

// Runs dlg.DoModal() on this thread; once the dialog shows, script(hDlg)
// runs on a helper thread, as a user would act, and a dialog still open
// afterwards gets IDCANCEL. Returns DoModal's result.
INT_PTR RunModalWith(CDialog& dlg, const std::function<void(HWND hDlg)>& script);

struct MessageBoxSeen {
    std::string title;
    std::string text;
};
// The first visible message box of process pid (a dialog with the text
// static 0xFFFF and an icon), or null.
HWND FindMessageBox(DWORD pid);
MessageBoxSeen ReadMessageBox(HWND hBox);
void DismissMessageBox(HWND hBox);

// While alive, records and presses OK on every message box of this process.
class MessageBoxWatcher {
public:
    MessageBoxWatcher();
    ~MessageBoxWatcher();
    std::vector<std::string> Texts() const;

private:
    std::atomic<bool> m_stop{ false }; // set by the owner, read by the watcher
    mutable std::mutex m_mutex;
    std::vector<MessageBoxSeen> m_seen; // guarded by m_mutex
    std::thread m_thread;
};

std::string WindowText(HWND hWnd);
// Child nID's rectangle in hDlg's client coordinates.
CRect ChildRect(HWND hDlg, int nID);
// A path in the temporary folder, unique to this process.
std::string TempPath(const char* name);
std::string ReadFileText(const std::string& path);
// Everything waiting in a pipe now.
std::string ReadAvailable(HANDLE hRead);
std::string ClipboardText();
void SetClipboardText(const std::string& text);

// A file in the folder of the test executables (Vorlik.exe, ChildTool.exe).
std::string BesideTests(const char* fileName);
// "ChildTool.exe" with args, by its full path.
std::string ChildTool(const std::string& args);

// A process started by a test; the destructor ends it if it still runs.
class ChildProcess {
public:
    explicit ChildProcess(const std::string& commandLine);
    ~ChildProcess();
    bool Started() const { return static_cast<bool>(m_process); }
    DWORD Pid() const { return m_pid; }
    HANDLE Handle() const { return m_process.get(); }
    bool WaitForExit(DWORD timeoutMs, DWORD* pExitCode = nullptr);

private:
    CHandle m_process;
    DWORD m_pid = 0;
};

int CountProcesses(const char* exeName);
void EndProcesses(const char* exeName);
// Waits until process parentPid has a child running exeName.
bool WaitForChildProcess(DWORD parentPid, const char* exeName, DWORD timeoutMs = kTimeoutMs);
// The visible top-level dialog of process pid with this caption, or null.
HWND WaitForTopWindow(DWORD pid, const char* caption, DWORD timeoutMs = kTimeoutMs);

} // namespace testsupport
