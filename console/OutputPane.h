// COutputPane: the rich edit pane that plays the console screen.
//
// The run worker appends the child's output from its own thread; every
// operation that changes the control is carried out on the user-interface
// thread, the worker's calls arriving there as one sent message each
// (WM_PANE_APPEND, WM_PANE_CLEAR), so an append is atomic with respect to the
// user's own typing. Those messages go to a message-only "mailbox" window
// that lives as long as the object and passes them on to the current
// control, since the control itself is replaced from time to time (below)
// while the worker may be about to send to it.
//
// Keeping the control fast at any output size (under Wine, RICHED32 holds
// ~85 bytes per character; deleting text costs time in proportion to the
// deleted length times the whole length, 64 KB off the head of a 3 MB pane
// take 6 s; any question about a line far from the top walks the text from
// the start; and once big controls have been freed, large insertions get
// slow):
//  - the pane holds at most kMaxChars characters. Past that it keeps only the
//    newest kKeepChars, from the start of a line, by moving them into a fresh
//    control: the oldest lines go in one large step, never the newest output.
//    The trim runs in a posted message of its own, and the replaced control
//    is destroyed in another, so no single message holds the window long;
//  - Clear likewise replaces a big control by a fresh, empty one;
//  - a fresh control has the old one's id, styles, character format, place,
//    tab position and focus, and this object stays bound to it;
//  - text goes in at the caret in pieces of at most 16 KB, without setting
//    the selection when the caret is at the end already, and the scroll
//    check asks for one far position only;
//  - each insertion runs with redrawing off, and the pane repaints at most
//    every kRepaintMs (a timer catches the last insertion of a burst).
//
// Every field belongs to the user-interface thread; other threads only send
// to the mailbox.
#pragma once

#include "platform/CRichEditCtrl.h"

// The pane reports each typed character to its parent: wParam the character
// code, lParam the key flags (the high word of WM_CHAR's lParam).
constexpr UINT WM_CONSOLE_CHAR = WM_USER + 13;

class COutputPane : public CRichEditCtrl {
public:
    COutputPane() = default;
    ~COutputPane() override;

    static constexpr long kMaxChars = 1024 * 1024;
    static constexpr long kKeepChars = 32 * 1024;
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
    // Called when the control is being destroyed: so are its helpers.
    void OnDestroy();
    LRESULT OnAppend(WPARAM wParam, LPARAM lParam);
    LRESULT OnClear(WPARAM wParam, LPARAM lParam);
    LRESULT OnTrim(WPARAM wParam, LPARAM lParam);
    LRESULT OnDispose(WPARAM wParam, LPARAM lParam);

    DECLARE_MESSAGE_MAP()

private:
    void InsertAtEnd(const char* pText, size_t nLength);
    void TrimOldest();
    void ScrollToNewest();
    void ScheduleRepaint();
    void Repaint();
    void Recreate();
    void DisposeRetired();
    void ReleaseHelpers();
    static LRESULT CALLBACK MailboxProc(HWND hWnd, UINT message, WPARAM wParam, LPARAM lParam) noexcept;
    void InsertInPieces(const char* pText, size_t nLength);

    long m_nMaxChars = kMaxChars;
    long m_nKeepChars = kKeepChars;
    DWORD m_dwLastRepaint = 0;
    bool m_bRepaintPending = false;
    bool m_bTrimPosted = false;
    HWND m_hWndRetired = nullptr; // a replaced control waiting to be destroyed
    // Set on the user-interface thread when the control is bound, before any
    // worker starts, and cleared there when it goes, after the last run has
    // ended; other threads only send to it.
    HWND m_hWndMailbox = nullptr;
};
