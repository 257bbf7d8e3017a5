// The main dialog under test in-process, its parts in reach of the tests,
// and ways to act on it from a test's helper thread.
#pragma once

#include "console/ConsoleDlg.h"
#include "res/resource.h"

#include "TestSupport.h"

// What the pane's view is doing, which its window does not tell.
struct COutputPaneProbe {
    // True while the control is behind the model.
    static bool IsDrawing(const COutputPane& pane) { return pane.m_view.HasWork(); }
    static bool IsFollowing(const COutputPane& pane) { return pane.m_view.IsFollowing(); }
};

class CTestConsole : public CConsoleDlg {
public:
    using CConsoleDlg::m_busy;
    using CConsoleDlg::m_export;
    using CConsoleDlg::m_output;
    using CConsoleDlg::m_run;
};

namespace testsupport {

inline HWND Pane(HWND hDlg)
{
    return ::GetDlgItem(hDlg, IDC_OUTPUT);
}

// Clicks button id, handled on return.
inline void Send(HWND hDlg, int id)
{
    ::SendMessageA(hDlg, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), reinterpret_cast<LPARAM>(::GetDlgItem(hDlg, id)));
}

// Types into the pane as the keyboard would, each key handled on return.
inline void Type(HWND hDlg, const std::string& text)
{
    for (char ch : text)
        ::SendMessageA(Pane(hDlg), WM_CHAR, static_cast<unsigned char>(ch), 1);
}

inline bool PaneEndsWith(HWND hDlg, const std::string& tail)
{
    return WaitUntil([&] { return EndsWith(WindowText(Pane(hDlg)), tail); });
}

} // namespace testsupport
