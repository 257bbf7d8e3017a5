#include "console/OutputView.h"

#include "console/InputLine.h"
#include "console/OutputPane.h"

#include <algorithm>

namespace {

// Store bytes read and inserted at a time, and at most so many lines: small
// enough that a piece fits the budget a few times over (~5 ms for 8 KB or
// 256 lines under Wine), large enough that the fixed cost of a message
// stays small.
constexpr size_t kPieceBytes = 8 * 1024;
constexpr size_t kPieceLines = 256;

// A painting that has not come for this long is made at once (see Pace).
constexpr DWORD kPaintOverdueMs = 250;

// Below this length emptying the control in place is quick; above it a
// fresh control is cheaper (~10 ms).
constexpr long kInPlaceClearChars = 1024;

// Whether another piece like the last one fits the budget.
bool TimeLeft(DWORD dwStart, DWORD dwPieceMs)
{
    return ::GetTickCount() - dwStart + dwPieceMs < COutputView::kBudgetMs;
}

void SetRedraw(HWND hWnd, bool bRedraw)
{
    ::SendMessageA(hWnd, WM_SETREDRAW, bRedraw ? TRUE : FALSE, 0);
}

// Reads the store from nFrom, up to nTo, one piece.
std::string ReadPiece(const CTextStore& store, uint64_t nFrom, uint64_t nTo)
{
    std::string piece;
    store.Read(nFrom, static_cast<size_t>(std::min<uint64_t>(kPieceBytes, nTo - nFrom)), piece);
    size_t lines = 0;
    for (size_t at = 0; (at = piece.find('\n', at)) != std::string::npos; ++at) {
        if (++lines == kPieceLines) {
            piece.resize(at + 1);
            break;
        }
    }
    return piece;
}

} // namespace

void COutputView::Reset()
{
    AbortRebuild();
    m_nFrom = m_nTo = 0;
    ClearControl();
    m_nShownVersion = ~0ull;
    m_bFollowing = true;
    m_bTracking = false;
    m_bNeedSkip = false;
    m_bSettled = true;
    m_bSkippedLastTick = false;
    if (m_pane.m_hWnd != nullptr)
        ::KillTimer(m_pane.m_hWnd, kPaceTimer);
    m_bPacing = false;
}

// Starts the pace timer when it is not running. The first tick comes at
// once unless the last one was less than kTickMs ago.
//
// A timer is the last thing a thread's messages give way to: while a fast
// child keeps the worker sending output, Wine delivers WM_TIMER (and
// WM_PAINT) seldom or not at all. So a tick that is overdue is run here,
// in the handler of the output that came.
void COutputView::Pace()
{
    if (m_pane.m_hWnd == nullptr)
        return;
    if (m_bPacing) {
        if (::GetTickCount() - m_dwLastTick >= 2 * kTickMs)
            Tick();
        return;
    }
    DWORD since = ::GetTickCount() - m_dwLastTick;
    UINT delay = since >= kTickMs ? USER_TIMER_MINIMUM : static_cast<UINT>(kTickMs - since);
    m_bPacing = ::SetTimer(m_pane.m_hWnd, kPaceTimer, delay, nullptr) != 0;
}

void COutputView::Update()
{
    if (m_pane.m_hWnd == nullptr)
        return;
    if (!m_bTracking && m_nTo == Store().GetSize())
        Render(::GetTickCount());
    Pace();
}

void COutputView::OnPaint()
{
    m_dwPainted = ::GetTickCount();
}

bool COutputView::OnTimer(UINT_PTR nIDEvent)
{
    if (nIDEvent == kPaceTimer) {
        Tick();
    } else if (nIDEvent == kRepaintTimer) {
        ::KillTimer(m_pane.m_hWnd, kRepaintTimer);
        m_bRepaintPending = false;
        Repaint();
    } else {
        return false;
    }
    return true;
}

bool COutputView::HasWork() const
{
    if (m_bTracking)
        return false;
    if (m_build)
        return true;
    uint64_t end = Store().GetSize();
    if (m_bFollowing && (m_bNeedSkip || end - m_nTo > kSkipChars || !m_bSettled || m_nFinalChars > kMaxChars))
        return true;
    if (m_nTo < end)
        return m_bFollowing || m_nFinalChars < kMaxChars;
    return m_nShownVersion != m_model.GetVersion() && !m_bNeedSkip;
}

// One tick: skip ahead when far behind, insert for at most the budget,
// then go on with a rebuild.
void COutputView::Tick()
{
    DWORD dwStart = ::GetTickCount();
    m_dwLastTick = dwStart;
    uint64_t end = Store().GetSize();
    bool bSkipped = false;
    if (!m_bTracking && m_bFollowing && !m_bSkippedLastTick && (m_bNeedSkip || end - m_nTo > kSkipChars)) {
        // A skip is a tick's work (the newest output comes in the next one),
        // and so is making the control it needs, when a big one is to go.
        if (m_spare || m_pane.GetTextLength() <= kInPlaceClearChars) {
            SkipAhead(m_bNeedSkip ? end : Store().FindStart(end, kSkipKeepChars));
        } else {
            m_spare.reset(m_pane.CreateTwin(false));
            m_bWantSpare = true;
        }
        bSkipped = true;
    }
    m_bSkippedLastTick = bSkipped;
    if (!bSkipped && !m_bTracking)
        Render(dwStart);

    if (!m_bTracking && m_bFollowing && !m_build && m_nTo == Store().GetSize() && !m_bNeedSkip) {
        bool bTrim = m_nFinalChars > kMaxChars;
        bool bSettle = !m_bSettled && m_nFinalChars < kKeepChars && m_nFrom > Store().GetStart();
        if (bTrim || bSettle)
            BeginRebuild();
        else
            m_bSettled = true;
    }
    if (m_build && !m_bTracking) // the control stays the one the user holds
        StepRebuild(dwStart);
    // Skips come in runs: the next one finds its control made.
    if (m_bWantSpare && !bSkipped && !m_spare && TimeLeft(dwStart, 0))
        m_spare.reset(m_pane.CreateTwin(false));
    m_bWantSpare = m_bWantSpare && !m_spare;

    if (!HasWork()) {
        ::KillTimer(m_pane.m_hWnd, kPaceTimer);
        m_bPacing = false;
        // The output has been caught up with: no more skips to make ready for.
        m_spare.reset();
        m_bWantSpare = false;
    } else if (m_bPacing) {
        // The next tick kTickMs after this one began; sooner while only a
        // rebuild is left to do, since nothing else wants the time then.
        DWORD spent = ::GetTickCount() - dwStart;
        UINT period = m_build && m_nTo == Store().GetSize() ? kBudgetMs : kTickMs;
        ::SetTimer(m_pane.m_hWnd, kPaceTimer, spent + USER_TIMER_MINIMUM >= period ? USER_TIMER_MINIMUM : period - spent,
                   nullptr);
    }
}

// Inserts the store's new lines for the rest of the budget (at least one
// piece), then, once they are all in, rewrites the screen's rows from the
// first that changed.
void COutputView::Render(DWORD dwStart)
{
    HWND hWnd = m_pane.m_hWnd;
    uint64_t end = Store().GetSize();
    bool bScreenStale = m_nShownVersion != m_model.GetVersion();
    bool bMayInsert = m_nTo < end && (m_bFollowing || m_nFinalChars < kMaxChars);
    if (!bMayInsert && !(m_nTo == end && bScreenStale && !m_bNeedSkip))
        return;

    CPlace place = SavePlace();
    long nUnchanged = place.nInputStart; // the control's text before this stays as it was
    SetRedraw(hWnd, false);
    AbsorbFinalRows();
    DWORD dwPieceMs = 0;
    for (bool bFirst = true; m_nTo < end && (m_bFollowing || m_nFinalChars < kMaxChars) &&
         (bFirst || TimeLeft(dwStart, dwPieceMs));
         bFirst = false) {
        DWORD dwPiece = ::GetTickCount();
        std::string piece = ReadPiece(Store(), m_nTo, end);
        m_text.Begin(m_nTailChars, kLongLineChars);
        size_t taken = m_text.Add(piece.data(), piece.size(), m_nTo + piece.size() == end);
        if (taken == 0)
            break;
        // The first piece takes the place of the screen as shown: its rows
        // are final now, or shown again after the new lines.
        nUnchanged = std::min(nUnchanged, m_nFinalChars);
        m_nFinalChars += m_text.Insert(hWnd, m_nFinalChars, m_nLineChars);
        m_nLineChars = 0;
        m_shown.clear();
        m_nShownVersion = ~0ull;
        m_nTo += taken;
        m_nTailChars = m_text.GetColumn();
        dwPieceMs = ::GetTickCount() - dwPiece;
    }
    if (m_nTo == end && m_nShownVersion != m_model.GetVersion() && !m_bNeedSkip) {
        long chars = 0;
        if (RenderScreen(hWnd, m_nFinalChars, &chars)) {
            nUnchanged = std::min(nUnchanged, m_nFinalChars + m_nUnchangedChars);
            m_nLineChars = chars;
            m_nShownVersion = m_model.GetVersion();
        }
    }
    RestorePlace(place, nUnchanged);
    SetRedraw(hWnd, true);
    ScheduleRepaint();
}

// Rows that left the screen unchanged are final lines where the control
// already shows them: only the view's bounds move.
void COutputView::AbsorbFinalRows()
{
    uint64_t end = Store().GetSize();
    std::string line;
    while (m_nTo < end && m_shown.size() > 1 && m_nTailChars == 0 && m_shown[0].bWhole) {
        const std::string& text = m_shown[0].text;
        line.clear();
        if (!Store().Read(m_nTo, text.size() + 1, line) || line.size() != text.size() + 1 || line.back() != '\n' ||
            line.compare(0, text.size(), text) != 0)
            return;
        long chars = m_shown[0].nChars + 2; // with the line end, so far the next row's
        m_nFinalChars += chars;
        m_nLineChars -= chars;
        m_nTo += line.size();
        m_shown.erase(m_shown.begin());
        m_shown[0].nChars -= 2;
    }
}

// Shows the screen's rows at `at` in hWnd. In the control itself it
// rewrites only from the first row that is not as shown (m_shown); a new
// control gets them all. Each row shows its newest kLongLineChars, but the
// first row, when it goes on a final line, its first ones, as that line
// does. False when that row is the one being written and too long to show
// so: the view then skips ahead to show its newest part.
bool COutputView::RenderScreen(HWND hWnd, long at, long* pnChars)
{
    const CLiveScreen& screen = m_model.GetScreen();
    size_t rows = screen.GetRowCount();
    bool bGoesOn = m_nTailChars > 0; // the first row goes on the last final line
    if (bGoesOn && m_bFollowing && screen.GetCursorRow() == 0 &&
        m_nTailChars + static_cast<long>(screen.GetRow(0).size()) > kLongLineChars) {
        m_bNeedSkip = true;
        return false;
    }
    bool bInPlace = hWnd == m_pane.m_hWnd;
    std::vector<CShownRow> now(rows);
    for (size_t i = 0; i < rows; ++i) {
        size_t size = screen.GetRow(i).size();
        size_t from = size > static_cast<size_t>(kLongLineChars) && !(i == 0 && bGoesOn) ? size - kLongLineChars : 0;
        now[i] = CShownRow{ m_model.GetRowText(i, from), from == 0, 0 };
    }
    size_t first = 0;
    long offset = 0;
    for (; bInPlace && first < rows && first < m_shown.size() && m_shown[first].text == now[first].text; ++first)
        offset += now[first].nChars = m_shown[first].nChars;
    m_nUnchangedChars = offset;
    if (first == rows && rows == m_shown.size()) {
        *pnChars = m_nLineChars;
        return true; // nothing changed
    }
    // Each changed row's length, then all of them in one insertion.
    std::string text;
    long total = 0;
    for (size_t i = first; i < rows; ++i) {
        std::string row = (i > 0 ? "\n" : "") + now[i].text;
        m_text.Begin(i == 0 ? m_nTailChars : 0, kLongLineChars);
        m_text.Add(row.data(), row.size(), true);
        total += now[i].nChars = m_text.GetLength();
        text += row;
    }
    m_text.Begin(first == 0 ? m_nTailChars : 0, kLongLineChars);
    m_text.Add(text.data(), text.size(), true);
    long inserted = m_text.Insert(hWnd, at + offset, bInPlace ? m_nLineChars - offset : 0);
    if (rows > first)
        now.back().nChars += inserted - total; // where the control counts otherwise (a double-byte code page)
    *pnChars = offset + inserted;
    m_shown = std::move(now);
    return true;
}

// Where the user's view and selection are, before the control changes.
COutputView::CPlace COutputView::SavePlace() const
{
    CPlace place{};
    m_pane.GetSel(place.nSelStart, place.nSelEnd);
    place.nInputStart = m_nFinalChars + m_nLineChars;
    place.ptText = m_pane.GetCharPos(0);
    return place;
}

// Following, the caret goes back into the line being typed and the view to
// the newest line, at column 0. Otherwise the user's selection in the
// output and the user's view stay as they were.
void COutputView::RestorePlace(const CPlace& place, long nUnchanged)
{
    bool bInOutput = place.nSelStart < place.nInputStart && place.nSelEnd <= nUnchanged;
    if (!m_bFollowing && bInOutput)
        m_pane.SetSel(place.nSelStart, place.nSelEnd);
    else
        m_input.PlaceCaret();
    if (m_bFollowing) {
        if (::GetScrollPos(m_pane.m_hWnd, SB_HORZ) > 0)
            m_pane.SendMessage(WM_HSCROLL, SB_LEFT);
        return;
    }
    // Back to where the user was: the text's first character where it was,
    // to the pixel. (The first visible line is no measure here: under Wine
    // it is out of date while text added below has not been laid out.)
    // EM_SETSCROLLPOS takes the scroll position in pixels, which is where
    // the text's top left is, less the control's inset, found on the way.
    POINT now = m_pane.GetCharPos(0);
    for (int tries = 0; tries < 2 && (now.x != place.ptText.x || now.y != place.ptText.y); ++tries) {
        POINT scroll{ -place.ptText.x, -place.ptText.y };
        if (tries == 1) {
            scroll.x += now.x - place.ptText.x;
            scroll.y += now.y - place.ptText.y;
        }
        m_pane.SendMessage(EM_SETSCROLLPOS, 0, reinterpret_cast<LPARAM>(&scroll));
        now = m_pane.GetCharPos(0);
    }
}

// True when the last line is in view.
bool COutputView::AtBottom() const
{
    RECT rc;
    m_pane.GetClientRect(&rc);
    return m_pane.GetCharPos(m_pane.GetTextLength()).y < rc.bottom;
}

void COutputView::OnUserScroll(bool bTracking)
{
    m_bTracking = bTracking;
    if (!bTracking)
        SetFollowing(AtBottom());
}

void COutputView::OnUserSelect()
{
    // A selection in the output is the user's: it stops the view following,
    // as scrolling up does.
    long nStart = 0, nEnd = 0;
    m_pane.GetSel(nStart, nEnd);
    bool bSelected = nStart != nEnd && nStart < m_nFinalChars + m_nLineChars;
    m_bTracking = false;
    SetFollowing(AtBottom() && !bSelected);
}

void COutputView::SetFollowing(bool bFollowing)
{
    bool bWas = m_bFollowing;
    m_bFollowing = bFollowing;
    if (!m_bFollowing)
        AbortRebuild(); // a rebuild would take the user's place away
    if (m_bFollowing != bWas || HasWork())
        Pace();
}

void COutputView::Follow()
{
    m_bFollowing = true;
    m_bTracking = false;
    Pace();
}

void COutputView::StopFollowing()
{
    m_bFollowing = false;
    m_bTracking = false;
    AbortRebuild(); // a rebuild would take the place away
    Pace();
}

// The control starts afresh from the store at nFrom (the store has what it
// showed before).
void COutputView::SkipAhead(uint64_t nFrom)
{
    AbortRebuild();
    m_nFrom = m_nTo = nFrom;
    ClearControl();
    m_nShownVersion = ~0ull;
    m_bNeedSkip = false;
    m_bSettled = false;
    m_input.Reinsert();
}

void COutputView::ClearControl()
{
    m_nFinalChars = m_nLineChars = m_nTailChars = 0;
    m_shown.clear();
    if (m_pane.m_hWnd == nullptr)
        return;
    if (m_pane.GetTextLength() > kInPlaceClearChars) {
        HWND hNew = m_spare ? m_spare.release() : m_pane.CreateTwin(true);
        m_bWantSpare = true;
        if (hNew != nullptr) {
            TakeOver(hNew);
            return;
        }
    }
    m_pane.SetWindowText(""); // quick when small; slow but still right when no twin could be made
}

void COutputView::BeginRebuild()
{
    m_build.reset(m_pane.CreateTwin(false));
    if (!m_build)
        return;
    SetRedraw(m_build.get(), false);
    m_nBuildFrom = m_nBuildAt = Store().FindStart(m_nTo, kKeepChars);
    m_nBuildChars = m_nBuildTail = 0;
}

// Fills the hidden control for the rest of the budget (at least one piece),
// and swaps it in once it has caught up with the control.
void COutputView::StepRebuild(DWORD dwStart)
{
    DWORD dwPieceMs = 0;
    while (TimeLeft(dwStart, dwPieceMs)) {
        DWORD dwPiece = ::GetTickCount();
        if (m_nBuildAt >= m_nTo) {
            FinishRebuild();
            return;
        }
        std::string piece = ReadPiece(Store(), m_nBuildAt, m_nTo);
        m_text.Begin(m_nBuildTail, kLongLineChars);
        size_t taken = m_text.Add(piece.data(), piece.size(), m_nBuildAt + piece.size() == m_nTo);
        if (taken == 0) {
            AbortRebuild();
            return;
        }
        m_nBuildChars += m_text.Insert(m_build.get(), m_nBuildChars, 0);
        m_nBuildAt += taken;
        m_nBuildTail = m_text.GetColumn();
        dwPieceMs = ::GetTickCount() - dwPiece;
    }
}

// The hidden control gets the current line and the line being typed and
// takes the control's place.
void COutputView::FinishRebuild()
{
    HWND hNew = m_build.release();
    m_nTailChars = m_nBuildTail;
    long lineChars = 0;
    bool bLine = RenderScreen(hNew, m_nBuildChars, &lineChars);
    if (!bLine)
        m_shown.clear();
    SetRedraw(hNew, true);
    TakeOver(hNew);
    m_nFrom = m_nBuildFrom;
    m_nFinalChars = m_nBuildChars;
    m_nLineChars = lineChars;
    m_nShownVersion = bLine ? m_model.GetVersion() : ~0ull;
    m_bSettled = true;
    m_input.Reinsert();
    Repaint();
}

// hNew takes the control's place; the view's timers go over to it.
void COutputView::TakeOver(HWND hNew)
{
    m_pane.TakeOver(hNew);
    m_bRepaintPending = false;
    if (m_bPacing) {
        m_bPacing = false;
        Pace();
    }
}

void COutputView::OnDestroy()
{
    m_build.reset();
    m_spare.reset();
}

void COutputView::AbortRebuild()
{
    m_pane.Retire(m_build.release()); // destroying a big one now would hold the window
}

void COutputView::ScheduleRepaint()
{
    DWORD elapsed = ::GetTickCount() - m_dwLastRepaint;
    if (elapsed >= kRepaintMs) {
        Repaint();
    } else if (!m_bRepaintPending) {
        m_bRepaintPending = true;
        ::SetTimer(m_pane.m_hWnd, kRepaintTimer, kRepaintMs - elapsed, nullptr);
    }
}

// The control paints when WM_PAINT comes, or at once when it has not come
// for a while (see Pace).
void COutputView::Repaint()
{
    m_dwLastRepaint = ::GetTickCount();
    bool bOverdue = m_dwLastRepaint - m_dwPainted >= kPaintOverdueMs;
    ::RedrawWindow(m_pane.m_hWnd, nullptr, nullptr,
                   RDW_INVALIDATE | RDW_ERASE | RDW_FRAME | (bOverdue ? RDW_UPDATENOW : 0));
    if (bOverdue)
        m_dwPainted = m_dwLastRepaint;
}
