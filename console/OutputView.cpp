#include "console/OutputView.h"

#include "console/InputLine.h"
#include "console/PanePlace.h"
#include "platform/CRichEditCtrl.h"

#include <algorithm>

namespace {

using Timer = CPaneControls::Timer;

// Below this length emptying the control in place is quick; above it a
// fresh control is cheaper (~10 ms).
constexpr long kInPlaceClearChars = 1024;

bool TimeLeft(DWORD dwStart, DWORD dwPieceMs)
{
    return CPaneText::TimeLeft(dwStart, dwPieceMs, COutputView::kBudgetMs);
}

void SetRedraw(HWND hWnd, bool bRedraw)
{
    ::SendMessageA(hWnd, WM_SETREDRAW, bRedraw ? TRUE : FALSE, 0);
}

} // namespace

void COutputView::Reset()
{
    AbortRebuild();
    m_nFrom = m_nTo = 0;
    ClearControl();
    m_mode = Mode::following;
    m_phase = Phase::live;
    if (m_pane.m_hWnd != nullptr)
        m_controls.KillTimer(Timer::pace);
}

bool COutputView::WorkDue() const
{
    if (m_mode == Mode::held)
        return false;
    if (m_phase == Phase::rebuilding)
        return true;
    bool bBehind = m_nTo < Store().GetSize();
    bool bStale = m_nShownVersion != m_model.GetVersion();
    if (m_mode == Mode::following)
        return bBehind || bStale || m_phase != Phase::live || m_nFinalChars > kMaxChars;
    return bBehind ? m_nFinalChars < kMaxChars : bStale && m_phase != Phase::mustSkip;
}

// Starts the pace timer when it is not running. The first tick comes at
// once unless the last one was less than kTickMs ago.
void COutputView::Schedule()
{
    if (m_controls.IsTimerSet(Timer::pace))
        return;
    DWORD since = ::GetTickCount() - m_dwLastTick;
    m_controls.SetTimer(Timer::pace, since >= kTickMs ? USER_TIMER_MINIMUM : static_cast<UINT>(kTickMs - since));
}

// A timer is the last thing a thread's messages give way to: while a fast
// child keeps the worker sending output, Wine delivers WM_TIMER (and
// WM_PAINT) seldom or not at all. So a tick that is overdue is run here, in
// the handler of the output that came.
void COutputView::OnOutput()
{
    if (m_pane.m_hWnd == nullptr)
        return;
    if (m_controls.IsTimerSet(Timer::pace) && ::GetTickCount() - m_dwLastTick >= 2 * kTickMs)
        CatchUp();
    else
        Schedule();
}

void COutputView::OnEcho()
{
    if (m_pane.m_hWnd == nullptr)
        return;
    if (m_mode != Mode::held && m_nTo == Store().GetSize())
        Draw(::GetTickCount());
    Schedule();
}

void COutputView::OnTimer(Timer timer)
{
    if (timer == Timer::pace) {
        CatchUp();
    } else if (timer == Timer::repaint) {
        m_controls.Repaint();
    }
}

// One tick: skip ahead when far behind, draw for at most the budget, then
// go on with a rebuild.
void COutputView::CatchUp()
{
    DWORD dwStart = ::GetTickCount();
    m_dwLastTick = dwStart;
    bool bMaySkip = m_phase != Phase::skipped; // never two in a row
    if (m_phase == Phase::skipped)
        m_phase = Phase::unsettled;
    bool bFollowing = m_mode == Mode::following;
    uint64_t end = Store().GetSize();
    bool bSkip = bFollowing && bMaySkip && (m_phase == Phase::mustSkip || end - m_nTo > kSkipChars);
    if (bSkip) {
        // A skip is a tick's work (the newest output comes in the next one),
        // and so is making the control it needs, when a big one is to go.
        if (m_controls.HasSpare() || m_pane.GetTextLength() <= kInPlaceClearChars) {
            SkipAhead(m_phase == Phase::mustSkip ? end : Store().FindStart(end, kSkipKeepChars));
        } else {
            m_controls.MakeSpare();
            m_bWantSpare = true;
        }
    } else if (m_mode != Mode::held) {
        Draw(dwStart);
    }

    bool bCaughtUp = m_nTo == Store().GetSize();
    if (bFollowing && bCaughtUp && (m_phase == Phase::live || m_phase == Phase::unsettled)) {
        bool bTrim = m_nFinalChars > kMaxChars;
        bool bSettle = m_phase == Phase::unsettled && m_nFinalChars < kKeepChars && m_nFrom > Store().GetStart();
        if (bTrim || bSettle)
            BeginRebuild();
        else
            m_phase = Phase::live;
    }
    if (m_phase == Phase::rebuilding && m_mode != Mode::held) // the control stays the one the user holds
        StepRebuild(dwStart);
    // Skips come in runs: the next one finds its control made.
    if (m_bWantSpare && !bSkip && TimeLeft(dwStart, 0))
        m_controls.MakeSpare();
    m_bWantSpare = m_bWantSpare && !m_controls.HasSpare();

    if (!WorkDue()) {
        m_controls.KillTimer(Timer::pace);
        // The output has been caught up with: no more skips to make ready for.
        m_controls.DropSpare();
        m_bWantSpare = false;
    } else {
        // The next tick kTickMs after this one began; sooner while only a
        // rebuild is left to do, since nothing else wants the time then.
        DWORD spent = ::GetTickCount() - dwStart;
        UINT period = m_phase == Phase::rebuilding && m_nTo == Store().GetSize() ? kBudgetMs : kTickMs;
        m_controls.SetTimer(Timer::pace, spent >= period ? USER_TIMER_MINIMUM : static_cast<UINT>(period - spent));
    }
}

// Inserts the store's new lines for the rest of the budget (at least one
// piece), then, once they are all in, the screen's rows that changed.
void COutputView::Draw(DWORD dwStart)
{
    HWND hWnd = m_pane.m_hWnd;
    uint64_t end = Store().GetSize();
    bool bFollowing = m_mode == Mode::following;
    bool bMayInsert = m_nTo < end && (bFollowing || m_nFinalChars < kMaxChars);
    bool bScreenStale = m_nShownVersion != m_model.GetVersion();
    if (!bMayInsert && !(m_nTo == end && bScreenStale && m_phase != Phase::mustSkip))
        return;

    CPanePlace place(m_pane, m_nFinalChars + m_screen.GetChars());
    long nUnchanged = place.GetInputStart(); // the control's text before this stays as it was
    SetRedraw(hWnd, false);
    if (m_nTailChars == 0)
        m_nFinalChars += m_screen.Absorb(Store(), end, &m_nTo);
    DWORD dwPieceMs = 0;
    for (bool bFirst = true; m_nTo < end && (bFollowing || m_nFinalChars < kMaxChars) &&
         (bFirst || TimeLeft(dwStart, dwPieceMs));
         bFirst = false) {
        DWORD dwPiece = ::GetTickCount();
        std::string piece = CPaneText::ReadPiece(Store(), m_nTo, end);
        m_text.Begin(m_nTailChars, kLongLineChars);
        size_t taken = m_text.Add(piece.data(), piece.size(), m_nTo + piece.size() == end);
        if (taken == 0)
            break;
        // The first piece takes the place of the screen as shown: its rows
        // are final now, or shown again after the new lines.
        nUnchanged = std::min(nUnchanged, m_nFinalChars);
        m_nFinalChars += m_text.Insert(hWnd, m_nFinalChars, m_screen.GetChars());
        ForgetScreen();
        m_nTo += taken;
        m_nTailChars = m_text.GetColumn();
        dwPieceMs = ::GetTickCount() - dwPiece;
    }
    if (m_nTo == end && m_nShownVersion != m_model.GetVersion() && m_phase != Phase::mustSkip) {
        long nSame = 0;
        if (DrawScreen(hWnd, m_nFinalChars, true, &nSame))
            nUnchanged = std::min(nUnchanged, m_nFinalChars + nSame);
    }
    place.Restore(m_pane, m_input, m_mode == Mode::following, nUnchanged);
    SetRedraw(hWnd, true);
    m_controls.ScheduleRepaint();
}

// The screen's rows at `at` of hWnd. False, and a skip wanted, when the
// first row is the one being written, goes on the last final line and is
// too long with it: the view then skips ahead to show its newest part.
bool COutputView::DrawScreen(HWND hWnd, long at, bool bInPlace, long* pnUnchanged)
{
    const CLiveScreen& screen = m_model.GetScreen();
    if (m_mode == Mode::following && m_nTailChars > 0 && screen.GetCursorRow() == 0 &&
        m_nTailChars + static_cast<long>(screen.GetRow(0).size()) > kLongLineChars) {
        m_phase = Phase::mustSkip;
        return false;
    }
    *pnUnchanged = m_screen.Render(m_model, hWnd, at, bInPlace, m_nTailChars);
    m_nShownVersion = m_model.GetVersion();
    return true;
}

bool COutputView::GetText(long nStart, long nEnd, std::wstring* pText) const
{
    std::string final;
    Store().Read(m_nFrom, static_cast<size_t>(m_nTo - m_nFrom), final);
    std::wstring text;
    long nColumn = 0;
    CPaneText::AppendWide(text, final, &nColumn, kLongLineChars);
    m_screen.AppendWide(text, m_nTailChars);
    text += m_input.GetText();
    if (static_cast<long>(text.size()) != m_pane.GetTextLength() || nStart < 0 || nStart > nEnd)
        return false;
    *pText = text.substr(static_cast<size_t>(nStart), static_cast<size_t>(nEnd - nStart));
    return true;
}

void COutputView::OnScroll(bool bHeld)
{
    SetMode(bHeld ? Mode::held : CPanePlace::AtBottom(m_pane) ? Mode::following : Mode::away);
}

void COutputView::OnSelect()
{
    // A selection in the output is the user's: it stops the view following,
    // as scrolling up does.
    long nStart = 0, nEnd = 0;
    m_pane.GetSel(nStart, nEnd);
    bool bSelected = nStart != nEnd && nStart < m_nFinalChars + m_screen.GetChars();
    SetMode(CPanePlace::AtBottom(m_pane) && !bSelected ? Mode::following : Mode::away);
}

void COutputView::SetMode(Mode mode)
{
    m_mode = mode;
    if (m_mode == Mode::away)
        AbortRebuild(); // a rebuild would take the user's place away
    if (WorkDue())
        Schedule();
}

// The control starts afresh from the store at nFrom (the store has what it
// showed before).
void COutputView::SkipAhead(uint64_t nFrom)
{
    AbortRebuild();
    m_nFrom = m_nTo = nFrom;
    ClearControl();
    m_phase = Phase::skipped;
    m_input.Reinsert();
}

// The control no longer shows the screen's rows: they are drawn afresh.
void COutputView::ForgetScreen()
{
    m_screen.Forget();
    m_nShownVersion = ~0ull;
}

void COutputView::ClearControl()
{
    m_nFinalChars = m_nTailChars = 0;
    ForgetScreen();
    if (m_pane.m_hWnd == nullptr)
        return;
    if (m_pane.GetTextLength() > kInPlaceClearChars) {
        HWND hNew = m_controls.TakeSpare();
        m_bWantSpare = true;
        if (hNew != nullptr) {
            TakeOver(hNew);
            return;
        }
    }
    m_pane.SetWindowText(""); // quick when small; slow but still right when no control could be made
}

void COutputView::BeginRebuild()
{
    if (m_rebuild.Begin(Store(), m_nTo, kKeepChars))
        m_phase = Phase::rebuilding;
}

// Fills the hidden control for the rest of the budget, and swaps it in
// once it has caught up with the control: it gets the screen's rows and
// the line being typed and takes the control's place.
void COutputView::StepRebuild(DWORD dwStart)
{
    CPaneRebuild::Step step = m_rebuild.Fill(Store(), m_nTo, dwStart, kBudgetMs);
    if (step == CPaneRebuild::Step::failed)
        AbortRebuild();
    if (step != CPaneRebuild::Step::done)
        return;
    HWND hNew = m_controls.EndBuild();
    m_nTailChars = m_rebuild.GetColumn();
    m_phase = Phase::live;
    long nSame = 0;
    if (!DrawScreen(hNew, m_rebuild.GetChars(), false, &nSame))
        ForgetScreen(); // the new control shows no rows yet
    SetRedraw(hNew, true);
    TakeOver(hNew);
    m_nFrom = m_rebuild.GetFrom();
    m_nFinalChars = m_rebuild.GetChars();
    m_input.Reinsert();
    m_controls.Repaint();
}

// hNew takes the control's place; the timers go over to it, but for a
// repaint, which the new control makes anyway.
void COutputView::TakeOver(HWND hNew)
{
    m_controls.TakeOver(hNew);
    m_controls.KillTimer(Timer::repaint);
}

void COutputView::AbortRebuild()
{
    if (m_phase != Phase::rebuilding)
        return;
    m_controls.AbortBuild(); // destroying a big one now would hold the window
    m_phase = Phase::unsettled;
}
