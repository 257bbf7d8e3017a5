// COutputPane: the rich edit pane that plays the console screen.
//
// The run worker appends the child's output from its own thread; every
// operation that changes the control is carried out on the user-interface
// thread, the worker's calls arriving there as one sent message each
// (WM_PANE_APPEND, WM_PANE_CLEAR), so an append is atomic with respect to the
// user's own typing.
//
// Keeping the control fast at any output size (RICHED32 under Wine holds
// ~85 bytes per character, and deleting text costs time in proportion to the
// deleted length times the whole length: 64 KB off the head of a 3 MB pane
// take 6 s, while appending stays at ~0.45 s per MB):
//  - the pane holds at most kMaxChars characters. Past that it keeps only the
//    newest kKeepChars, from the start of a line, by moving them into a fresh
//    control: the oldest lines go in one large step, never the newest output;
//  - Clear likewise replaces a big control by a fresh, empty one;
//  - a fresh control has the old one's id, styles, font, place, tab position
//    and focus, and this object stays bound to it;
//  - each insertion runs with redrawing off, and the pane repaints at most
//    every kRepaintMs (a timer catches the last insertion of a burst).
//
// Every field belongs to the user-interface thread.
#pragma once

#include "platform/CRichEditCtrl.h"

// The pane reports each typed character to its parent: wParam the character
// code, lParam the key flags (the high word of WM_CHAR's lParam).
constexpr UINT WM_CONSOLE_CHAR = WM_USER + 13;

class COutputPane : public CRichEditCtrl {
public:
    static constexpr long kMaxChars = 2 * 1024 * 1024;
    static constexpr long kKeepChars = 256 * 1024;
    static constexpr UINT kRepaintMs = 40;

    // Puts the caret at the end, inserts the zero-terminated text there and
    // keeps the newest line in view. Any thread.
    void AppendText(LPCTSTR lpszText);
    // Empties the pane, fast whatever its length. Any thread.
    void Clear();
    // Puts the whole text on the clipboard as CF_TEXT; nothing when empty.
    void CopyAll();

    // The cap and what a trim keeps (tests lower them).
    void SetMaxChars(long nMaxChars, long nKeepChars)
    {
        m_nMaxChars = nMaxChars;
        m_nKeepChars = nKeepChars;
    }

protected:
    // Called when the pane is bound to its control: raises the text limit.
    void PreSubclassWindow() override;
    // Called for each typed character: reports it to the parent, then lets
    // the control echo it.
    void OnChar(UINT nChar, UINT nRepCnt, UINT nFlags);
    // Called when a deferred repaint is due.
    void OnTimer(UINT_PTR nIDEvent);
    LRESULT OnAppend(WPARAM wParam, LPARAM lParam);
    LRESULT OnClear(WPARAM wParam, LPARAM lParam);

    DECLARE_MESSAGE_MAP()

private:
    void TrimOldest();
    void ScrollToNewest();
    void ScheduleRepaint();
    void Repaint();
    void Recreate();
    void InsertInPieces(const char* pText, size_t nLength);

    long m_nMaxChars = kMaxChars;
    long m_nKeepChars = kKeepChars;
    DWORD m_dwLastRepaint = 0;
    bool m_bRepaintPending = false;
};
