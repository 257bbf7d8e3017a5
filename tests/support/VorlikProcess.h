// The real Vorlik.exe, driven from this process as a user or another program would: window
// messages (each with a bound) and real key presses, made only while Vorlik's window takes them.
#pragma once

#include "TestSupport.h"
#include "res/resource.h"

namespace testsupport {

// The end line as the pane shows it and Save and Copy write it.
extern const std::string kEnd;

class VorlikProcess {
public:
    // Starts Vorlik.exe from beside the tests and waits for its window. The
    // options start as a new user's (line input, the console's code page)
    // unless bKeepOptions.
    explicit VorlikProcess(bool bKeepOptions = false);

    bool Ready() const { return m_hDlg != nullptr; }
    HWND Dialog() const { return m_hDlg; }
    HWND Item(int id) const { return ::GetDlgItem(m_hDlg, id); }
    DWORD Pid() const { return m_process.Pid(); }
    std::string PaneText() const { return ItemText(m_hDlg, IDC_OUTPUT); }
    std::wstring Status() const;
    // The command box's list.
    std::vector<std::string> History() const;

    // Marks the pane with a '~' typed while idle, then puts command in the
    // command box and clicks Run (posted: Run may answer with a message
    // box). Until the run clears the pane its text ends in the mark, so
    // WaitForEnd never takes the last run's end line for this one's.
    void Run(const std::string& command) const;
    void Click(int id) const { ::PostMessageA(Item(id), BM_CLICK, 0, 0); }
    void Command(UINT id) const { ::PostMessageA(m_hDlg, WM_COMMAND, MAKEWPARAM(id, 0), 0); }
    // Posts each character to the pane as WM_CHAR ('\r' is Enter).
    void Type(const std::string& text) const;
    // Clicks control id, which must then have the focus in the foreground
    // window, then presses the keys of text ('\r' Enter, '\b' Backspace).
    // Fails, pressing nothing, when the control did not get the focus.
    ::testing::AssertionResult Keys(int id, const std::string& text) const;
    // One key press with Ctrl and Shift as asked, to the focused control of
    // Vorlik's; refused (a failure) while a window of another program is in
    // the foreground.
    void Press(WORD vk, bool bCtrl = false, bool bShift = false) const;

    ::testing::AssertionResult PaneHas(const std::string& text) const;
    ::testing::AssertionResult PaneEndsWith(const std::string& tail) const;
    // Waits until the pane ends in an end line and nBoxes message boxes
    // have come meanwhile, pressing OK on each ("title: text" of each goes
    // to *pBoxes, " (unowned)" added when Vorlik's window does not own it).
    ::testing::AssertionResult WaitForEnd(std::vector<std::string>* pBoxes = nullptr, size_t nBoxes = 0,
                                          DWORD timeoutMs = 60000) const;
    // Waits for a message box of Vorlik's, presses OK and gives its
    // "title: text" as WaitForEnd does ("" and a failure when none came).
    std::string WaitForBox() const;
    // File > Copy, then the clipboard's text ("" when it did not change).
    std::string CopyOutput() const;
    // File > Save through the real Save As dialog into a temporary file; once written and closed, its text.
    std::string SaveOutput() const;
    // True when Vorlik answers a message within kAnswerMs.
    bool Answers() const;
    bool WaitForExit(DWORD* pExitCode = nullptr) { return m_process.WaitForExit(kTimeoutMs, pExitCode); }
    // File > Exit, then waits for the process to end.
    bool Exit();

private:
    std::string Foreground() const; // which window has the keyboard, for failures

    ChildProcess m_process;
    HWND m_hDlg = nullptr;
};

} // namespace testsupport
