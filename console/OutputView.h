// COutputView: shows a run's screen model (CScreenModel) in the pane's rich
// edit control, at the control's own pace.
//
// The control holds the newest part of the model: the store's final lines
// from m_nFrom to m_nTo, then the rows of the live screen (CShownScreen),
// then the line being typed (CInputLine). Whenever work is due (WorkDue,
// the one rule), a timer runs at most every kTickMs, and each tick catches
// up for at most kBudgetMs: it inserts the store's new lines and rewrites
// the screen's rows that changed, with their colours. So the run's speed is
// never the control's, and no message holds the window long, whatever the
// child writes.
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
//    it is on the screen, the first ones once it is final.
//
// The user: the view follows the output (m_mode is following) only while it
// is at the bottom and nothing in it is selected. Scrolling away (wheel,
// keys, thumb) or selecting (the mouse, Shift and a key, Ctrl+A, Find)
// makes it keep the user's place and selection (away): the output goes on
// below, up to kMaxChars, and then waits in the store. Back at the bottom
// with nothing selected, or Ctrl+End, it follows again. While the user
// holds the thumb or the mouse button (held) nothing is drawn.
//
// Every field belongs to the user-interface thread.
#pragma once

#include "console/PaneControls.h"
#include "console/PaneRebuild.h"
#include "console/PaneText.h"
#include "console/ShownScreen.h"
#include "screen/ScreenModel.h"

class CRichEditCtrl;
class CInputLine;

class COutputView {
public:
    static constexpr UINT kTickMs = 40;
    static constexpr DWORD kBudgetMs = 15;
    static constexpr long kMaxChars = 1024 * 1024;
    static constexpr long kKeepChars = 512 * 1024;
    static constexpr uint64_t kSkipChars = 64 * 1024;
    static constexpr uint64_t kSkipKeepChars = 16 * 1024;
    static constexpr long kLongLineChars = 4 * 1024;

    COutputView(CRichEditCtrl& pane, CPaneControls& controls, CScreenModel& model, CInputLine& input)
        : m_pane(pane), m_controls(controls), m_model(model), m_input(input), m_screen(kLongLineChars),
          m_rebuild(controls, kLongLineChars) {}
    COutputView(const COutputView&) = delete;
    COutputView& operator=(const COutputView&) = delete;

    // The model was reset for a new run: the control is emptied and the
    // view follows the output.
    void Reset();
    // Called when output changed the model: the control catches up soon.
    void OnOutput();
    // Called when the user's hand changed the model (a line sent, a key
    // echoed): the control catches up now, within the budget.
    void OnEcho();
    // Called for the pace and repaint timers.
    void OnTimer(CPaneControls::Timer timer);
    // Called when the user has scrolled the pane, or holds its thumb or the
    // mouse button (bHeld).
    void OnScroll(bool bHeld);
    // Called when the user may have selected (the mouse let go, a key).
    void OnSelect();
    // Called when the input line was edited: the control has brought it
    // into view, so the view follows when that is the bottom.
    void OnInputEdited() { OnScroll(false); }
    // Ctrl+End: the view follows the output again.
    void Follow() { SetMode(Mode::following); }
    // Find has moved the view: it keeps its place, as when the user scrolls.
    void StopFollowing() { SetMode(Mode::away); }
    // The control's text from nStart to nEnd as Unicode, from the model:
    // what it shows as the ANSI code page can. False when the control's
    // text does not match it character for character (a double-byte code
    // page).
    bool GetText(long nStart, long nEnd, std::wstring* pText) const;
    // The one rule: true while the control is behind the model in a way the
    // view may act on now, or being rebuilt.
    bool WorkDue() const;

private:
    // Where the view is with the user.
    enum class Mode { following, away, held };
    // Where the control is with the model: showing it (live); the screen's
    // first row too long to show, a skip wanted; a skip made this tick; less
    // than kKeepChars shown since a skip; a hidden control being filled.
    enum class Phase { live, mustSkip, skipped, unsettled, rebuilding };

    const CTextStore& Store() const { return *m_model.GetStore(); }
    void Schedule();
    void CatchUp();
    void Draw(DWORD dwStart);
    bool DrawScreen(HWND hWnd, long at, bool bInPlace, long* pnUnchanged);
    void SetMode(Mode mode);
    void SkipAhead(uint64_t nFrom);
    void ForgetScreen();
    void ClearControl();
    void TakeOver(HWND hNew);
    void BeginRebuild();
    void StepRebuild(DWORD dwStart);
    void AbortRebuild();

    CRichEditCtrl& m_pane;
    CPaneControls& m_controls;
    CScreenModel& m_model;
    CInputLine& m_input;
    CPaneText m_text;
    CShownScreen m_screen;
    CPaneRebuild m_rebuild;

    Mode m_mode = Mode::following;
    Phase m_phase = Phase::live;
    uint64_t m_nFrom = 0;      // the store offset the control's text begins at
    uint64_t m_nTo = 0;        // the store offset the control shows up to
    long m_nFinalChars = 0;    // the control's characters showing the store
    long m_nTailChars = 0;     // the characters after the last line end of the final lines
    uint64_t m_nShownVersion = ~0ull; // the model's version the screen shows
    bool m_bWantSpare = false; // skips come in runs: a control is made ahead
    DWORD m_dwLastTick = 0;
};
