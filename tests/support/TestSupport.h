// What the tests share: waiting for a condition (never a fixed sleep), a
// step run on the user-interface thread of a window under test, a modal
// dialog driven from a helper thread, message boxes, files, the clipboard
// and child processes.
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

bool WaitUntil(const std::function<bool()>& cond, DWORD timeoutMs = kTimeoutMs);

// Runs step on the thread that owns hWnd and returns once it has: a hook
// that main installs turns a sent message into the call, so no window under
// test needs probe messages. An exception is reported as a handler's is.
void InstallUiCallHook();
void OnUiThread(HWND hWnd, const std::function<void()>& step);
template <typename F> auto Ask(HWND hWnd, F step)
{
    decltype(step()) result{};
    OnUiThread(hWnd, [&] { result = step(); });
    return result;
}

// Runs dlg.DoModal() here while script(hDlg) acts on the shown dialog from
// a helper thread; a dialog still open afterwards gets IDCANCEL.
INT_PTR RunModalWith(CDialog& dlg, const std::function<void(HWND hDlg)>& script);

// The first visible message box of process pid, or null.
HWND FindMessageBox(DWORD pid);
// A box's text ("title: text" when asked for the title).
std::string MessageBoxText(HWND hBox, bool bTitled = false);
void DismissMessageBox(HWND hBox); // presses its OK
// The visible dialog of process pid with this caption, once it shows.
HWND WaitForTopWindow(DWORD pid, const char* caption, DWORD timeoutMs = kTimeoutMs);

// While alive, reads and presses OK on every message box of this process.
class MessageBoxWatcher {
public:
    MessageBoxWatcher();
    ~MessageBoxWatcher();
    std::vector<std::string> Texts() const;

private:
    std::atomic<bool> m_stop{ false }; // set by the owner, read by the watcher
    mutable std::mutex m_mutex;
    std::vector<std::string> m_texts; // guarded by m_mutex
    std::thread m_thread;
};

inline bool EndsWith(const std::string& s, const std::string& tail)
{
    return s.size() >= tail.size() && s.compare(s.size() - tail.size(), tail.size(), tail) == 0;
}
std::string WindowText(HWND hWnd);
CRect ChildRect(HWND hDlg, int nID); // in hDlg's client coordinates
std::string TempPath(const char* name); // unique to this process
std::string ReadFileText(const std::string& path);
std::string ReadAvailable(HANDLE hRead); // what a pipe holds now
std::string ClipboardText();
std::wstring ClipboardUnicode();
void SetClipboardText(const std::string& text);

// A file beside the test executables (Vorlik.exe, ChildTool.exe).
std::string BesideTests(const char* fileName);
// ChildTool.exe, by its full path, with args.
std::string ChildTool(const std::string& args);

// A process started by a test, ended by the destructor if still running.
class ChildProcess {
public:
    explicit ChildProcess(const std::string& commandLine);
    ~ChildProcess();
    DWORD Pid() const { return m_pid; }
    HANDLE Handle() const { return m_process.get(); }
    bool WaitForExit(DWORD timeoutMs, DWORD* pExitCode = nullptr);

private:
    CHandle m_process;
    DWORD m_pid = 0;
};

int CountProcesses(const char* exeName);
// The threads of process pid; the kernel handles it holds, found from here
// by trying each handle value (Wine's GetProcessHandleCount answers 0).
// A status line's text with its numbers before " s" and " %" as "#", the
// system's text after "start: " as "#", and its two signs as '*' and '~':
// "Exit code 3 * # s", "Running~ # s", "Could not start: #".
std::string StatusPattern(const std::wstring& status);

int CountThreads(DWORD pid);
long CountHandles(DWORD pid);
void EndProcesses(const char* exeName);
bool WaitForChildProcess(DWORD parentPid, const char* exeName, DWORD timeoutMs = kTimeoutMs);

} // namespace testsupport
