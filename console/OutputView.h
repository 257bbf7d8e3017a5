// COutputView: shows a run's screen model (CScreenModel) in the pane's rich
// edit control, at the control's own pace.
//
// The control holds the newest part of the model: the store's final lines
// from m_nFrom to m_nTo, then the rows of the live screen, then the line
// being typed (CInputLine). On a timer that runs at most every kTickMs while
// there is something to do, for at most kBudgetMs each time, the view
// inserts the store's new lines and rewrites the screen's rows in place from
// the first one that changed, with their colours (CPaneText); rows that
// leave the screen unchanged become final lines where they are. So the
// run's speed is never the control's, and no message holds the window long,
// whatever the child writes.
//
// Why it is built this way (measured under Wine's RICHED32, with undo off:
// inserting costs about 0.6 s per MB, and 15 us per line; deleting costs
// the deleted length times the whole length; setting the selection scrolls
// it into view, redrawing or not; a line is laid out whole again for each
// insertion into it):
//  - far behind while following the output, the view skips ahead: a fresh
//    control (made ahead while skips keep coming) takes the control's place
//    and starts from the store's newest kSkipKeepChars (a skip is a tick's
//    work, never two in a row, so a flood still shows its newest output);
//    nothing is lost, the store has it all;
//  - the control holds at most about kMaxChars. Past that, and once output
//    stops after a skip with less than kKeepChars shown, a hidden control
//    is filled with the store's newest kKeepChars, a piece per tick, and
//    then takes the control's place (a rebuild);
//  - a line shows at most kLongLineChars characters: the newest ones while
//    it is on the screen, the first ones once it is final;
//  - the view follows the output only while it is at the bottom and the
//    user has selected nothing in it. The user scrolling away (wheel, keys,
//    thumb) or selecting (the mouse, Shift and the arrows) stops that; back
//    at the bottom with nothing selected, or Ctrl+End, it follows again.
//    While the user holds the thumb or the mouse button nothing is drawn;
//    while not following, the view
//    keeps the user's place and selection, adds the output below it up to
//    kMaxChars and then waits (the store keeps everything meanwhile).
//
// Every field belongs to the user-interface thread.
#pragma once

#include "console/PaneText.h"
#include "screen/ScreenModel.h"

class COutputPane;
class CInputLine;

class COutputView {
public:
    static constexpr UINT kTickMs = 40;
    static constexpr DWORD kBudgetMs = 15;
    static constexpr UINT kRepaintMs = 40;
    static constexpr long kMaxChars = 1024 * 1024;
    static constexpr long kKeepChars = 512 * 1024;
    static constexpr uint64_t kSkipChars = 64 * 1024;
    static constexpr uint64_t kSkipKeepChars = 16 * 1024;
    static constexpr long kLongLineChars = 4 * 1024;
    // The timers of the pane's control that belong to the view.
    static constexpr UINT_PTR kRepaintTimer = 1;
    static constexpr UINT_PTR kPaceTimer = 2;

    COutputView(COutputPane& pane, CScreenModel& model, CInputLine& input)
        : m_pane(pane), m_model(model), m_input(input) {}
    COutputView(const COutputView&) = delete;
    COutputView& operator=(const COutputView&) = delete;

    // The model was reset for a new run: the control is emptied and the
    // view follows the output.
    void Reset();
    // The model changed: the control catches up soon.
    void Pace();
    // The model changed by the user's hand (a line sent, a key echoed): the
    // control catches up now, within the budget.
    void Update();
    // Called for the pane's timers; false for one that is not the view's.
    bool OnTimer(UINT_PTR nIDEvent);
    // Called when the control paints.
    void OnPaint();
    // Called when the user has scrolled the pane, or holds its thumb or the
    // mouse button (bTracking): the view follows from the bottom.
    void OnUserScroll(bool bTracking);
    // Called when the user may have selected (the mouse let go, a key): the
    // view follows from the bottom while nothing is selected.
    void OnUserSelect();
    // Ctrl+End: the view follows the output again.
    void Follow();
    // Find has moved the view: it keeps its place, as when the user scrolls.
    void StopFollowing();
    // True while the control is behind the model or being rebuilt.
    bool HasWork() const;
    // The control is going: so are the hidden ones.
    void OnDestroy();

private:
    struct CPlace {
        long nSelStart;     // the selection before
        long nSelEnd;
        long nInputStart;   // where the line being typed began
        POINT ptText;       // where the text's first character was in the view
    };

    const CTextStore& Store() const { return *m_model.GetStore(); }
    void Tick();
    void Render(DWORD dwStart);
    void AbsorbFinalRows();
    bool RenderScreen(HWND hWnd, long at, long* pnChars);
    CPlace SavePlace() const;
    void RestorePlace(const CPlace& place, long nUnchanged);
    bool AtBottom() const;
    void SkipAhead(uint64_t nFrom);
    void ClearControl();
    void TakeOver(HWND hNew);
    void BeginRebuild();
    void StepRebuild(DWORD dwStart);
    void FinishRebuild();
    void AbortRebuild();
    void SetFollowing(bool bFollowing);
    void ScheduleRepaint();
    void Repaint();

    COutputPane& m_pane;
    CScreenModel& m_model;
    CInputLine& m_input;
    CPaneText m_text;

    uint64_t m_nFrom = 0;      // the store offset the control's text begins at
    uint64_t m_nTo = 0;        // the store offset the control shows up to
    long m_nFinalChars = 0;    // the control's characters showing the store
    long m_nLineChars = 0;     // the control's characters showing the screen
    // The screen's rows as the control shows them: each row's stored text
    // (from its first shown cell), whether that is the whole row, and its
    // characters in the control with the line end before it (from row 1).
    struct CShownRow {
        std::string text;
        bool bWhole;
        long nChars;
    };
    std::vector<CShownRow> m_shown;
    long m_nUnchangedChars = 0; // the screen's characters the last RenderScreen left as they were
    long m_nTailChars = 0;     // the characters after the last line end of the final lines
    uint64_t m_nShownVersion = ~0ull; // the model's version the screen shows
    bool m_bFollowing = true;
    bool m_bTracking = false;  // the user holds the thumb
    bool m_bNeedSkip = false;  // the screen's first row, with the final line it goes on, is too long
    bool m_bSettled = true;    // nothing skipped waits to be shown again
    bool m_bSkippedLastTick = false;
    bool m_bPacing = false;    // the pace timer runs
    DWORD m_dwLastTick = 0;
    DWORD m_dwLastRepaint = 0;
    DWORD m_dwPainted = 0;     // when the control last painted
    bool m_bRepaintPending = false;

    // A hidden control made ahead for the next skip, which then costs less
    // (making a control costs up to ~30 ms under Wine).
    CWindowHandle m_spare;
    bool m_bWantSpare = false;

    // The rebuild: a hidden control that gets the store from m_nBuildFrom,
    // up to m_nBuildAt so far.
    CWindowHandle m_build;
    uint64_t m_nBuildFrom = 0;
    uint64_t m_nBuildAt = 0;
    long m_nBuildChars = 0;
    long m_nBuildTail = 0;
};
