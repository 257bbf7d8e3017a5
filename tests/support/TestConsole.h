// The main dialog under test in-process, driven as its user and its run's
// worker drive it: commands and keys by message, the child's output as the
// worker hands it over (WM_RUN_OUTPUT), and what it shows read from its
// windows. No member of the dialog is reached from here.
#pragma once

#include "console/ConsoleDlg.h"
#include "console/Messages.h"
#include "res/resource.h"

#include "TestSupport.h"

namespace testsupport {

inline HWND Pane(HWND hDlg)
{
    return ::GetDlgItem(hDlg, IDC_OUTPUT);
}

inline std::string PaneText(HWND hDlg)
{
    return ItemText(hDlg, IDC_OUTPUT);
}

// Clicks button id (or a menu command), handled on return.
inline void Send(HWND hDlg, int id)
{
    SendTo(hDlg, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), reinterpret_cast<LPARAM>(::GetDlgItem(hDlg, id)));
}

inline void SetCommand(HWND hDlg, const std::string& command)
{
    SendTo(::GetDlgItem(hDlg, IDC_COMMAND), WM_SETTEXT, 0, reinterpret_cast<LPARAM>(command.c_str()));
}

// Types into the pane as the keyboard would, each key handled on return.
inline void Type(HWND hDlg, const std::string& text)
{
    for (char ch : text)
        SendTo(Pane(hDlg), WM_CHAR, static_cast<unsigned char>(ch), 1);
}

// Hands bytes to the dialog as a run's worker hands over the child's output.
inline void Output(HWND hDlg, const std::string& bytes)
{
    SendTo(hDlg, WM_RUN_OUTPUT, bytes.size(), reinterpret_cast<LPARAM>(bytes.data()));
}

inline ::testing::AssertionResult PaneEndsWith(HWND hDlg, const std::string& tail)
{
    return WaitFor("the pane to end in \"" + Tail(tail, 80) + "\"", [&] { return EndsWith(PaneText(hDlg), tail); },
                   [&] { return Tail(PaneText(hDlg)); });
}

// Runs command to its end: the pane then ends in the end line.
inline ::testing::AssertionResult RunToEnd(HWND hDlg, const std::string& command)
{
    SetCommand(hDlg, command);
    Type(hDlg, "~"); // until the run clears the pane, the end line is not last
    Send(hDlg, IDC_RUN);
    return PaneEndsWith(hDlg, "\r\n--End--\r\n");
}

// The control with the focus in the dialog's thread.
inline int FocusId(HWND hDlg)
{
    GUITHREADINFO info{ sizeof info };
    ::GetGUIThreadInfo(::GetWindowThreadProcessId(hDlg, nullptr), &info);
    return ::GetDlgCtrlID(info.hwndFocus);
}

// Whether Save (and Copy) can be chosen: greyed while one runs.
inline bool CanSave(HWND hDlg)
{
    return (::GetMenuState(::GetMenu(hDlg), IDM_SAVE, MF_BYCOMMAND) & MF_GRAYED) == 0;
}

} // namespace testsupport
