// COutputPane: the rich edit pane that plays the console screen, and the
// keeper of the whole output of the current run.
//
// Output is handed to the pane on the user-interface thread and lands in the
// kept output at once (CKeptOutput); the control catches up at its own pace,
// on a timer that runs at most every kTickMs while there is something to do
// and stops when there is not. Each tick inserts for at most kBudgetMs. So
// the run's speed is never the control's, and no message holds the window
// long, whatever the child writes.
//
// Why it is built this way (under Wine, RICHED32 holds ~110 bytes per
// character, inserts ~1 s per MB, deletes in time proportional to the
// deleted length times the whole length, and any question about a line far
// from the top walks the text from the start):
//  - what the pane cannot show soon is skipped: when the pending output is
//    more than a few ticks' worth, the pane lets go of its text and of all
//    but the newest kSkipKeepChars of the pending output, which stay kept;
//  - the pane holds at most m_nMaxChars. Past that, and when output stops
//    with less than m_nKeepChars shown while older output is kept, a hidden
//    control is filled with the newest m_nKeepChars of the output, a piece
//    per tick, and then takes the pane's place (a rebuild). The text the old
//    control held beyond that is released to the kept output. A user's edit
//    of the text during a rebuild starts it again later, so no edit is lost;
//  - a replaced control is hidden and loses its id; a small one is
//    destroyed in a posted message of its own, a big one once the pane has
//    been idle for a while (destroying it holds the window ~150 ms per MB
//    of short lines); a fresh control gets the old one's id, styles,
//    character format, place, tab position and focus;
//  - a line longer than kLongLineChars is shown only in part (its newest
//    part), since the control lays out a whole line again for each
//    insertion into it;
//  - the newest line is kept in view only while the view is at the bottom;
//    a user who scrolled away keeps the view until they come back.
//
// Save and Copy take the whole output: what the pane has let go of, its own
// text as it stands, and what it has not shown yet.
//
// Typing works as a console's line input: keys edit an input line at the
// end of the pane (Backspace, Delete, Left, Right, Home, End, Escape clears
// it) wherever the caret was, output arrives above it, and Enter hands the
// line to the parent and leaves it in the pane. Earlier output can be
// selected and copied but never changed: typing, paste, cut and undo only
// ever touch the input line. Ctrl+C copies the selection, or asks for a
// Stop when there is none; a paste types its text, each line break an
// Enter. In the other mode every key goes to the parent at once and is
// echoed at the caret by the control, as a plain edit control does.
//
// Every field belongs to the user-interface thread.
#pragma once

#include "console/KeptOutput.h"
#include "platform/CRichEditCtrl.h"

#include <functional>
#include <string>

// What the pane reports to its parent, each sent and handled at once.
// Sending each key at once: every typed character, wParam the character
// code, lParam the key flags (the high word of WM_CHAR's lParam).
constexpr UINT WM_CONSOLE_CHAR = WM_USER + 13;
// Line input: a line the user ended with Enter, CR LF included; wParam its
// length, lParam its bytes.
constexpr UINT WM_CONSOLE_LINE = WM_USER + 15;
// Line input: Ctrl+Z on an empty line, then Enter: the end of the input.
constexpr UINT WM_CONSOLE_EOF = WM_USER + 16;
// Ctrl+C with nothing selected: what Stop does.
constexpr UINT WM_CONSOLE_BREAK = WM_USER + 17;

class COutputPane : public CRichEditCtrl {
public:
    COutputPane() = default;
    ~COutputPane() override;

    static constexpr long kMaxChars = 1024 * 1024;
    static constexpr long kKeepChars = 512 * 1024;
    static constexpr UINT kTickMs = 40;
    static constexpr DWORD kBudgetMs = 15;
    static constexpr UINT kRepaintMs = 40;
    // A pending output larger than this (while the view follows the output)
    // is more than the pane can show soon: it skips ahead.
    static constexpr uint64_t kSkipFollowingChars = 64 * 1024;
    static constexpr size_t kSkipKeepChars = 16 * 1024;
    // A line longer than this makes each insertion into it slow (the control
    // lays the whole line out again: ~0.5 s per piece for a 1 MB line), so
    // the pane shows only the newest part of such a line, starting afresh
    // (as a skip does) when its last line grows past it.
    static constexpr long kLongLineChars = 32 * 1024;
    // The clipboard takes at most this much.
    static constexpr uint64_t kMaxCopyChars = 32 * 1024 * 1024;

    // Adds output to the end: the bytes are copied, and shown soon.
    void AppendOutput(const char* p, size_t n);
    void AppendText(LPCTSTR lpszText);
    // Forgets the run's output and empties the pane, fast whatever its size.
    void Clear();
    // Puts the whole output on the clipboard as CF_TEXT; nothing when empty.
    // Says so in a message box when it is too large.
    void CopyAll();
    // Calls sink with the whole output in order, each line ending in
    // pszLineEnd. A note on bytes that could not be kept comes first. False
    // when part of the kept output could not be read back.
    bool ReadWholeOutput(const char* pszLineEnd, const std::function<void(const std::string&)>& sink);
    // True when output is waiting to be shown or the pane is rebuilding.
    bool IsCatchingUp() const { return m_bPacing; }
    // Every key to the parent at once (true) or line input (false, the
    // default); a line being typed is dropped when this changes.
    void SetKeyAtATime(bool bKeyAtATime);
    bool IsKeyAtATime() const { return m_bKeyAtATime; }

    // The bound and what a rebuild keeps (tests lower them).
    void SetMaxChars(long nMaxChars, long nKeepChars)
    {
        m_nMaxChars = nMaxChars;
        m_nKeepChars = nKeepChars;
    }

protected:
    // Called when the pane is bound to its control: raises the text limit.
    void PreSubclassWindow() override;
    // Called for each typed character: edits the input line, or reports the
    // key to the parent and lets the control echo it.
    void OnChar(UINT nChar, UINT nRepCnt, UINT nFlags);
    // Called for each key pressed: the input line's editing keys, and none
    // of the control's own that would change earlier output.
    void OnKeyDown(UINT nChar, UINT nRepCnt, UINT nFlags);
    // Called when the dialog asks which keys the pane wants: Enter and
    // Escape, and no selecting of everything when tabbed into.
    LRESULT OnGetDlgCode(WPARAM wParam, LPARAM lParam);
    // Called for paste, cut, clear and undo from any source.
    LRESULT OnPaste(WPARAM wParam, LPARAM lParam);
    LRESULT OnCut(WPARAM wParam, LPARAM lParam);
    LRESULT OnNoEdit(WPARAM wParam, LPARAM lParam);
    // Called when the pane's pace or a deferred repaint is due.
    void OnTimer(UINT_PTR nIDEvent);
    // Called when the control is being destroyed: so are its helpers.
    void OnDestroy();
    // Called when a replaced control can be destroyed.
    LRESULT OnDispose(WPARAM wParam, LPARAM lParam);

    DECLARE_MESSAGE_MAP()

private:
    long InputStart() const;
    void PlaceCaret();
    void TypeChar(char ch);
    void EraseInput(size_t nFrom, size_t nCount);
    void ClearInput();
    void SubmitLine();
    void PasteText(const char* pText);
    void CopySelection();
    void Pace();
    void CatchUp();
    bool HasWork() const;
    void InsertPending(bool bFollow, DWORD dwStart);
    void SkipAhead();
    void BeginRebuild(long nFrom);
    void StepRebuild(DWORD dwStart);
    void FinishRebuild();
    void AbortRebuild();
    bool IsFollowing();
    int LineHeight();
    void ScrollToNewest();
    std::string TextRange(long nFrom, long nTo) const;
    HWND CreateTwin(bool bVisible) const;
    void TakeOver(HWND hNew);
    void ClearControl();
    void ScheduleRepaint();
    void Repaint();
    void DeferDispose();
    void DisposeRetired();
    void ReleaseHelpers();

    CKeptOutput m_kept;
    long m_nMaxChars = kMaxChars;
    long m_nKeepChars = kKeepChars;
    bool m_bPacing = false;   // the pace timer runs
    bool m_bSettled = true;   // no released output waits to be shown again
    bool m_bSkippedLastTick = false; // the last tick skipped: this one shows output
    DWORD m_dwLastTick = 0;
    int m_nLineHeight = 0;    // 0 until known
    long m_nTailLine = 0;     // characters after the pane's last line feed
    bool m_bKeyAtATime = false;
    std::string m_strInput;   // the input line, the last thing in the pane
    size_t m_nInputCaret = 0; // the caret's place in the input line
    bool m_bEofPending = false; // the input line is Ctrl+Z
    DWORD m_dwLastRepaint = 0;
    bool m_bRepaintPending = false;
    HWND m_hWndRetired = nullptr; // a replaced control waiting to be destroyed

    // The rebuild: a hidden control that gets the kept output's newest
    // released bytes (m_strBuildHead, m_nBuildUnrelease of them), then the
    // pane's text from m_nBuildFrom on.
    HWND m_hWndBuild = nullptr;
    std::string m_strBuildHead;
    size_t m_nBuildHeadDone = 0;
    uint64_t m_nBuildUnrelease = 0;
    long m_nBuildFrom = 0;
    long m_nBuildCopied = 0;
    long m_nBuildTailLine = 0;
};
