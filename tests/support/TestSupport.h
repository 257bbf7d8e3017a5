// What the tests share: waits for an event, messages with a bound, steps on a window's thread, a
// modal dialog driven from a helper thread, message boxes, Save As, files, clipboard, processes.
//
// Every wait waits for something that did not hold before the step that causes it, with a bound
// that holds with both cores busy, and fails naming what it waited for and what it saw last.
// Every message to another thread or process has a bound too: a window that does not answer
// fails the test, naming the message, instead of hanging it.
#pragma once

#include "platform/Afx.h"

#include <gtest/gtest.h>

#include <atomic>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace testsupport {

constexpr DWORD kTimeoutMs = 30000; // generous: Wine with both cores busy is many times slower
constexpr DWORD kAnswerMs = 20000; // for one message to be handled

// Polls cond until it holds. Past the bound the result fails with "waited N s
// for <what>", and what seen() gives at that moment.
::testing::AssertionResult WaitFor(const std::string& what, const std::function<bool()>& cond,
                                   const std::function<std::string()>& seen = nullptr, DWORD timeoutMs = kTimeoutMs);

// SendMessage with a bound. A window that does not answer within kAnswerMs,
// or has gone, fails the test naming the message; the result is then 0.
LRESULT SendTo(HWND hWnd, UINT message, WPARAM wParam = 0, LPARAM lParam = 0);
// The same to the control id of hDlg as it is when the message goes: a
// control that the dialog replaced meanwhile is asked again in its new form.
LRESULT SendToItem(HWND hDlg, int id, UINT message, WPARAM wParam = 0, LPARAM lParam = 0);

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
// Presses the box's OK and waits until it has gone.
void DismissMessageBox(HWND hBox);
// The visible dialog of process pid with this caption, once it shows; null
// (and a failure) when it did not.
HWND WaitForTopWindow(DWORD pid, const char* caption, DWORD timeoutMs = kTimeoutMs);

// While alive, reads and presses OK on every message box of this process.
class MessageBoxWatcher {
public:
    MessageBoxWatcher();
    ~MessageBoxWatcher();
    std::vector<std::string> Texts() const;
    // Waits until more than nBefore boxes have been seen and closed.
    ::testing::AssertionResult WaitForMore(size_t nBefore) const;

private:
    std::atomic<bool> m_stop{ false }; // set by the owner, read by the watcher
    std::atomic<size_t> m_closed{ 0 }; // boxes gone; written by the watcher
    mutable std::mutex m_mutex;
    std::vector<std::string> m_texts; // guarded by m_mutex
    std::thread m_thread;
};

// File > Save's dialog of process pid: chooses path (an existing file goes
// first) and waits for the dialog to close.
::testing::AssertionResult ChooseSaveFile(DWORD pid, const std::string& path);
// While alive, this test exe's calls of dll!function go to standIn: the
// system answering as a test needs, where it would not by itself (a Save As
// dialog that gives a path the real one refuses, a pipe that cannot be
// made). The program's code is the same; only the system's answer differs.
class ImportStandIn {
public:
    ImportStandIn(const char* dll, const char* function, void* standIn);
    ~ImportStandIn();
    ImportStandIn(const ImportStandIn&) = delete;
    ImportStandIn& operator=(const ImportStandIn&) = delete;
    // The system's own function.
    void* System() const { return m_system; }

private:
    std::string m_dll;
    void* m_system;
    void* m_standIn;
};

// While alive, a Save As dialog opened in this process answers at once with
// path, as if the user had typed it, and no system dialog shows: so a test
// can pick what the system's dialog would refuse (a named pipe).
class SaveAsAnswer : public ImportStandIn {
public:
    explicit SaveAsAnswer(const std::string& path);
};
// Waits until path exists and no one has it open: a Save has written it.
::testing::AssertionResult WaitForFile(const std::string& path, DWORD timeoutMs = kTimeoutMs);

inline bool EndsWith(const std::string& s, const std::string& tail)
{
    return s.size() >= tail.size() && s.compare(s.size() - tail.size(), tail.size(), tail) == 0;
}
// The last n characters of s, for failure messages.
std::string Tail(const std::string& s, size_t n = 300);
std::string WindowText(HWND hWnd);
std::string ItemText(HWND hDlg, int id); // WindowText of a control that may be replaced
CRect ChildRect(HWND hDlg, int nID); // in hDlg's client coordinates
std::string TempPath(const char* name); // unique to this process
std::string ReadFileText(const std::string& path);
std::string ClipboardText();
std::wstring ClipboardUnicode();
void SetClipboardText(const std::wstring& text);
// Runs copy (again every 5 s) until the clipboard has changed; its text then, or "" and a failure.
std::string CopyAndRead(const std::function<void()>& copy);

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
    bool WaitForExit(DWORD timeoutMs, DWORD* pExitCode = nullptr);

private:
    CHandle m_process;
    DWORD m_pid = 0;
};

// A status line's text with its numbers before " s" and " %" as "#", the
// system's text after "start: " as "#", and its two signs as '*' and '~':
// "Exit code 3 * # s", "Running~ # s", "Could not start: #".
std::string StatusPattern(const std::wstring& status);

int CountProcesses(const char* exeName);
// The threads of process pid; the kernel handles it holds, found from here
// by trying each handle value (Wine's GetProcessHandleCount answers 0).
int CountThreads(DWORD pid);
long CountHandles(DWORD pid);
void EndProcesses(const char* exeName);
::testing::AssertionResult WaitForChildProcess(DWORD parentPid, const char* exeName, DWORD timeoutMs = kTimeoutMs);
// The files in folder whose names match pattern (FindFirstFile's).
std::vector<std::string> FilesLike(const std::string& pattern);

} // namespace testsupport
