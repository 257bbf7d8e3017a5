// The real Vorlik.exe, started for an end-to-end test and driven from this
// process as a user or another program would: window messages, and real key
// presses through the system's input queue.
#pragma once

#include "TestSupport.h"
#include "res/resource.h"

namespace testsupport {

class VorlikProcess {
public:
    // Starts Vorlik.exe from beside the tests and waits for its window.
    VorlikProcess();

    bool Ready() const { return m_hDlg != nullptr; }
    HWND Dialog() const { return m_hDlg; }
    HWND Item(int id) const { return ::GetDlgItem(m_hDlg, id); }
    DWORD Pid() const { return m_process.Pid(); }

    // Marks the pane (a '~' typed while idle), puts command in the command
    // box and clicks Run (posted: Run may answer with a message box). Until
    // the run clears the pane, its text ends in the mark, never in an end
    // line, so WaitForEnd cannot take the last run's end for this one's.
    void Run(const std::string& command) const;
    void Click(int id) const;
    // A menu command.
    void Command(UINT id) const;
    // Posts each character to the pane as WM_CHAR ('\r' is Enter).
    void Type(const std::string& text) const;
    // Clicks control id (which brings the window to the front and focuses
    // it), then presses the keys of text ('\r' Enter, '\b' Backspace).
    void Keys(int id, const std::string& text) const;
    // One key press with modifiers, to the focused control.
    static void Press(WORD vk, bool bCtrl = false, bool bShift = false);
    std::string PaneText() const { return WindowText(Item(IDC_OUTPUT)); }
    // Waits until the pane shows text somewhere.
    bool PaneHas(const std::string& text) const;
    // Waits until the pane ends in an end line again, a message box or two
    // dismissed on the way (their texts go to *pBoxes).
    bool WaitForEnd(std::vector<std::string>* pBoxes = nullptr, DWORD timeoutMs = 60000) const;
    // File > Copy, then the clipboard's text ("" when it did not change).
    std::string CopyOutput() const;
    // File > Save through the real Save As dialog; true once Vorlik answers
    // again after the dialog has gone.
    bool SaveAs(const std::string& path) const;
    // SaveAs, then the file's text (the file is deleted).
    std::string SaveOutput() const;
    // Waits for one of Vorlik's message boxes, reads it and presses OK.
    MessageBoxSeen ExpectMessageBox() const;
    // True while Vorlik answers a message within 5 s.
    bool Answers() const;
    bool WaitForExit(DWORD* pExitCode = nullptr);
    // Exit, and waits for the process to end.
    bool Exit();

private:
    ChildProcess m_process;
    HWND m_hDlg = nullptr;
};

// The pane's end line as WM_GETTEXT gives it, and as Save and Copy write it.
extern const std::string kEnd;
extern const std::string kSavedEnd;

} // namespace testsupport
