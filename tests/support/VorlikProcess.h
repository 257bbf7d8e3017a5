// The real Vorlik.exe, started for an end-to-end test and driven from this
// process as a user or another program would: window messages, and real key
// presses through the system's input queue.
#pragma once

#include "TestSupport.h"
#include "res/resource.h"

namespace testsupport {

// The end line as the pane shows it and Save and Copy write it.
extern const std::string kEnd;

class VorlikProcess {
public:
    // Starts Vorlik.exe from beside the tests and waits for its window.
    VorlikProcess();

    bool Ready() const { return m_hDlg != nullptr; }
    HWND Dialog() const { return m_hDlg; }
    HWND Item(int id) const { return ::GetDlgItem(m_hDlg, id); }
    DWORD Pid() const { return m_process.Pid(); }
    std::string PaneText() const { return WindowText(Item(IDC_OUTPUT)); }
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
    // Clicks control id (bringing the window to the front and focusing the
    // control), then presses the keys of text ('\r' Enter, '\b' Backspace).
    void Keys(int id, const std::string& text) const;
    // One key press with Ctrl and Shift as asked, to the focused control.
    static void Press(WORD vk, bool bCtrl = false, bool bShift = false);

    // Waits until the pane shows text.
    bool PaneHas(const std::string& text) const;
    // Waits until the pane ends in an end line, pressing OK on message
    // boxes meanwhile and on the box that follows a run that could not
    // start ("title: text" of each goes to *pBoxes, " (unowned)" added when
    // Vorlik's window does not own it).
    bool WaitForEnd(std::vector<std::string>* pBoxes = nullptr, DWORD timeoutMs = 60000) const;
    // Waits for a message box of Vorlik's, presses OK and gives its
    // "title: text" as WaitForEnd does ("" when none came).
    std::string WaitForBox() const;
    // File > Copy, then the clipboard's text ("" when it did not change).
    std::string CopyOutput() const;
    // File > Save through the real Save As dialog; true once the file is
    // written and closed (the Save runs on a thread of Vorlik's).
    bool SaveAs(const std::string& path, DWORD timeoutMs = kTimeoutMs) const;
    // Its two halves: the Save As dialog, until it has closed; then the file,
    // until it exists and no one has it open.
    bool ChooseSaveFile(const std::string& path) const;
    static bool WaitForFile(const std::string& path, DWORD timeoutMs);
    // SaveAs a temporary file, then its text.
    std::string SaveOutput() const;
    // True when Vorlik answers a message within 5 s.
    bool Answers() const;
    bool WaitForExit(DWORD* pExitCode = nullptr) { return m_process.WaitForExit(kTimeoutMs, pExitCode); }
    // File > Exit, then waits for the process to end.
    bool Exit();

private:
    ChildProcess m_process;
    HWND m_hDlg = nullptr;
};

} // namespace testsupport
