// CFindReplaceDialog: the system's modeless Find dialog (FindTextA), owned
// by a window that gets WM_FINDREPLACE from it.
//
// The object holds the FINDREPLACE block and the text buffer the dialog
// works on, so it must outlive the dialog's window: a window's member is
// the way to hold it. The owner's message loop must offer the dialog's
// messages to IsDialogMessage (PreTranslate) so that its keys work: Tab,
// Enter, and Escape, which closes it.
//
// User-interface thread only.
#pragma once

#include "platform/CString.h"
#include "platform/Win32.h"

// The registered message the dialog sends its owner; lParam is the
// FINDREPLACEA block (this object's).
extern const UINT WM_FINDREPLACE;

class CFindReplaceDialog {
public:
    CFindReplaceDialog() { m_fr.Flags = FR_DOWN; }
    CFindReplaceDialog(const CFindReplaceDialog&) = delete;
    CFindReplaceDialog& operator=(const CFindReplaceDialog&) = delete;
    ~CFindReplaceDialog();

    // Opens the dialog over hWndOwner with the direction and options it
    // last had (down at first), or brings it forward when it is open.
    // False when the system would not make it.
    bool Create(HWND hWndOwner, LPCTSTR lpszFindWhat);
    HWND GetSafeHwnd() const { return m_hWnd; }

    // What the dialog says now (also once it has closed).
    CString GetFindString() const { return m_szFindWhat; }
    bool SearchDown() const { return (m_fr.Flags & FR_DOWN) != 0; }
    bool MatchCase() const { return (m_fr.Flags & FR_MATCHCASE) != 0; }
    bool MatchWholeWord() const { return (m_fr.Flags & FR_WHOLEWORD) != 0; }

    // For a WM_FINDREPLACE: Find Next was pressed.
    bool FindNext() const { return (m_fr.Flags & FR_FINDNEXT) != 0; }
    // For a WM_FINDREPLACE: the dialog is closing; it forgets its window.
    bool IsTerminating();

private:
    FINDREPLACEA m_fr{};
    char m_szFindWhat[256] = "";
    HWND m_hWnd = nullptr;
};
