// COutputPane: the rich edit pane that plays the console screen.
//
// The run worker appends the child's output from its own thread; every
// operation that changes the control is carried out on the user-interface
// thread, the worker's calls arriving there as one sent message each
// (WM_PANE_APPEND, WM_PANE_CLEAR), so an append is atomic with respect to the
// user's own typing.
//
// Keeping the control fast at any output size:
//  - the pane holds at most kMaxChars characters; past that the oldest whole
//    lines go, a quarter of the pane at a time, never the newest output;
//  - emptying a big control is slow (superlinear in its length), so Clear
//    replaces a big control by a fresh one with the same id, styles, font,
//    place and tab position;
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
    static constexpr long kMaxChars = 3 * 1024 * 1024;
    static constexpr UINT kRepaintMs = 40;

    // Puts the caret at the end, inserts the zero-terminated text there and
    // keeps the newest line in view. Any thread.
    void AppendText(LPCTSTR lpszText);
    // Empties the pane, fast whatever its length. Any thread.
    void Clear();
    // Puts the whole text on the clipboard as CF_TEXT; nothing when empty.
    void CopyAll();

    // The cap on the pane's length (tests lower it).
    void SetMaxChars(long nMaxChars) { m_nMaxChars = nMaxChars; }
    long GetMaxChars() const { return m_nMaxChars; }

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
    bool IsLineStartVisible(int nLine, const RECT& rcClient) const;
    void ScheduleRepaint();
    void Repaint();
    void Recreate();

    long m_nMaxChars = kMaxChars;
    DWORD m_dwLastRepaint = 0;
    bool m_bRepaintPending = false;
};
