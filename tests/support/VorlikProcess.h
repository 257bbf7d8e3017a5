// The real Vorlik.exe, started for an end-to-end test and driven from this
// process with window messages only, as another program would.
#pragma once

#include "ChildProcess.h"
#include "MessageBoxes.h"

#include <memory>
#include <string>

namespace testsupport {

class VorlikProcess {
public:
    // Starts Vorlik.exe from beside the tests and waits for its window.
    VorlikProcess();

    bool Ready() const { return m_hDlg != nullptr; }
    HWND Dialog() const { return m_hDlg; }
    HWND Item(int id) const { return ::GetDlgItem(m_hDlg, id); }
    DWORD Pid() const { return m_process.Pid(); }

    // Types a command line into the command box and presses Run (posted,
    // since Run may answer with a message box).
    void Run(const std::string& command);
    void Click(int id) const;
    void Command(UINT id) const;
    void Type(const std::string& text) const;
    // Real key presses, through the system's input queue and Vorlik's own
    // message loop (translation, dialog keys): a click on control id first
    // brings the window to the front and focuses the control, then each
    // character of text is typed ('\r' is Enter, '\b' Backspace).
    void Keys(int id, const std::string& text) const;
    // One key press with modifiers, to the control that has the focus.
    static void Press(WORD vk, bool bCtrl = false, bool bShift = false);
    std::string PaneText() const;
    // File > Copy, then what it put on the clipboard ("" when nothing came).
    std::string CopyOutput() const;
    // File > Save through the real Save As dialog; returns once Vorlik
    // answers again after the dialog has closed.
    bool SaveAs(const std::string& path) const;
    // SaveAs, then the file's text (the file is deleted).
    std::string SaveOutput(const std::string& path) const;
    // Waits until the pane holds the end line this many times.
    bool WaitForEnds(int count) const;
    // Waits for a message box of Vorlik's, reads it and presses OK.
    MessageBoxSeen ExpectMessageBox() const;
    bool WaitForExit(DWORD* pExitCode = nullptr);

private:
    ChildProcess m_process;
    HWND m_hDlg = nullptr;
};

} // namespace testsupport
