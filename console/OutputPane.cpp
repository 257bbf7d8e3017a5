#include "console/OutputPane.h"

#include "console/LineEndFilter.h"
#include "platform/CWinApp.h"

#include <algorithm>
#include <cstring>
#include <vector>

namespace {

constexpr UINT WM_PANE_DISPOSE = WM_APP + 0x103; // WM_APP: clear of the rich edit's own messages
constexpr UINT_PTR kRepaintTimer = 1;
constexpr UINT_PTR kPaceTimer = 2;
constexpr UINT_PTR kDisposeTimer = 3;

// Destroying a control costs ~150 ms per MB of short lines under Wine, and
// nothing makes it cheaper (deleting its text first costs seconds). So a
// big replaced control waits, hidden, until the pane has had nothing to do
// for this long; a small one goes at once.
constexpr UINT kDisposeIdleMs = 2000;
constexpr long kQuickDisposeChars = 64 * 1024;

// Text goes into a control in pieces of about this size: small enough that
// one piece fits the time budget (~8 ms for 4 KB of short lines under Wine),
// large enough that the fixed cost of an insertion stays small.
constexpr size_t kPieceChars = 4 * 1024;

// Below this length emptying the control in place is quick; above it a fresh
// control is cheaper (~10 ms): deleting text costs with the number of lines,
// 16 KB of short lines ~50 ms under Wine.
constexpr long kInPlaceClearChars = 1024;

// The control's own limit: well above the bound, so that an insertion is
// never cut before a rebuild has run.
constexpr long kControlLimit = 16 * 1024 * 1024;

bool TimeLeft(DWORD dwStart)
{
    return ::GetTickCount() - dwStart < COutputPane::kBudgetMs;
}

// The length of the first piece of text, at most kPieceChars, split after a
// line feed where there is one and never between a carriage return and its
// line feed, so that each piece holds whole line ends.
size_t PieceLength(const char* p, size_t n)
{
    if (n <= kPieceChars)
        return n;
    const char* lf = static_cast<const char*>(std::memchr(p + kPieceChars / 2, '\n', kPieceChars / 2));
    if (lf != nullptr)
        return static_cast<size_t>(lf - p) + 1;
    return p[kPieceChars - 1] == '\r' ? kPieceChars + 1 : kPieceChars;
}

// Inserts at the caret of hWnd, which is at the end, and keeps count of the
// characters after the last line feed.
void Insert(HWND hWnd, const char* p, size_t n, long& nTailLine)
{
    const char* lf = nullptr;
    for (const char* q = p; (q = static_cast<const char*>(std::memchr(q, '\n', n - (q - p)))) != nullptr; ++q)
        lf = q;
    nTailLine = lf != nullptr ? static_cast<long>(n - (lf - p) - 1) : nTailLine + static_cast<long>(n);
    std::string piece;
    while (n > 0) {
        size_t len = PieceLength(p, n);
        piece.assign(p, len);
        ::SendMessageA(hWnd, EM_REPLACESEL, FALSE, reinterpret_cast<LPARAM>(piece.c_str()));
        p += len;
        n -= len;
    }
}

SCROLLINFO ScrollInfo(HWND hWnd, int nBar)
{
    SCROLLINFO si;
    std::memset(&si, 0, sizeof si);
    si.cbSize = sizeof si;
    si.fMask = SIF_RANGE | SIF_PAGE | SIF_POS;
    if (!::GetScrollInfo(hWnd, nBar, &si))
        si.nPage = 0;
    return si;
}

// Where hWnd lies in its parent's client area.
RECT RectInParent(HWND hWnd)
{
    RECT rc;
    ::GetWindowRect(hWnd, &rc);
    ::MapWindowPoints(nullptr, ::GetParent(hWnd), reinterpret_cast<POINT*>(&rc), 2);
    return rc;
}

long CountLines(const std::string& text)
{
    return static_cast<long>(std::count(text.begin(), text.end(), '\n'));
}

} // namespace

BEGIN_MESSAGE_MAP(COutputPane, CRichEditCtrl)
    ON_WM_CHAR()
    ON_WM_KEYDOWN()
    ON_MESSAGE(WM_GETDLGCODE, OnGetDlgCode)
    ON_MESSAGE(WM_PASTE, OnPaste)
    ON_MESSAGE(WM_CUT, OnCut)
    ON_MESSAGE(WM_CLEAR, OnNoEdit)
    ON_MESSAGE(WM_UNDO, OnNoEdit)
    ON_MESSAGE(EM_UNDO, OnNoEdit)
    ON_WM_TIMER()
    ON_WM_DESTROY()
    ON_MESSAGE(WM_PANE_DISPOSE, OnDispose)
END_MESSAGE_MAP()

COutputPane::~COutputPane()
{
    ReleaseHelpers();
}

void COutputPane::OnDestroy()
{
    ReleaseHelpers();
    Default();
}

// The hidden and the replaced control go with the pane's control or with
// this object, whichever goes first.
void COutputPane::ReleaseHelpers()
{
    DisposeRetired();
    if (m_hWndBuild != nullptr && ::IsWindow(m_hWndBuild))
        ::DestroyWindow(m_hWndBuild);
    m_hWndBuild = nullptr;
    m_bPacing = false;
}

void COutputPane::PreSubclassWindow()
{
    LimitText(kControlLimit);
}

void COutputPane::OnChar(UINT nChar, UINT, UINT nFlags)
{
    if (m_bKeyAtATime) {
        ::SendMessageA(::GetParent(m_hWnd), WM_CONSOLE_CHAR, nChar, nFlags);
        // The echo repaints like an append does: at a bounded rate, so that a
        // burst of keys (a paste of posted characters, a held key) stays cheap.
        SendMessage(WM_SETREDRAW, FALSE);
        Default();
        SendMessage(WM_SETREDRAW, TRUE);
        ScheduleRepaint();
        return;
    }
    switch (nChar) {
    case '\r':
        SubmitLine();
        break;
    case '\b':
        if (m_bEofPending)
            ClearInput();
        else if (m_nInputCaret > 0)
            EraseInput(m_nInputCaret - 1, 1);
        break;
    case 0x03: { // Ctrl+C
        long nStart = 0, nEnd = 0;
        GetSel(nStart, nEnd);
        if (nStart == nEnd)
            ::SendMessageA(::GetParent(m_hWnd), WM_CONSOLE_BREAK, 0, 0);
        else
            CopySelection();
        break;
    }
    case 0x16: // Ctrl+V
        SendMessage(WM_PASTE);
        break;
    case 0x18: // Ctrl+X: copies; earlier output stays
        CopySelection();
        break;
    case 0x01: // Ctrl+A
        SetSel(0, -1);
        break;
    case 0x1A: // Ctrl+Z on an empty line: Enter then ends the input
        if (m_strInput.empty()) {
            TypeChar('^');
            TypeChar('Z');
            m_bEofPending = true;
        }
        break;
    case 0x1B:
        ClearInput();
        break;
    default:
        if (nChar >= 0x20 || nChar == '\t')
            TypeChar(static_cast<char>(nChar)); // no other control character goes anywhere
        break;
    }
}

void COutputPane::OnKeyDown(UINT nChar, UINT, UINT)
{
    if (m_bKeyAtATime) {
        Default();
        return;
    }
    bool bCtrl = ::GetKeyState(VK_CONTROL) < 0;
    bool bShift = ::GetKeyState(VK_SHIFT) < 0;
    switch (nChar) {
    case VK_LEFT:
    case VK_RIGHT:
    case VK_HOME:
    case VK_END:
        if (bCtrl || bShift)
            break; // moving through or selecting earlier output
        if (nChar == VK_LEFT && m_nInputCaret > 0)
            --m_nInputCaret;
        else if (nChar == VK_RIGHT && m_nInputCaret < m_strInput.size())
            ++m_nInputCaret;
        else if (nChar == VK_HOME)
            m_nInputCaret = 0;
        else if (nChar == VK_END)
            m_nInputCaret = m_strInput.size();
        PlaceCaret();
        return;
    case VK_DELETE:
        if (bShift)
            CopySelection();
        else if (m_bEofPending)
            ClearInput();
        else if (m_nInputCaret < m_strInput.size())
            EraseInput(m_nInputCaret, 1);
        return;
    case VK_INSERT:
        if (bShift)
            SendMessage(WM_PASTE);
        else if (bCtrl)
            CopySelection();
        return;
    case VK_BACK:
    case VK_RETURN:
    case VK_ESCAPE:
        return; // the character that follows does it
    case 'A':
    case 'C':
    case 'V':
    case 'X':
    case 'Y':
    case 'Z':
        if (bCtrl)
            return; // the control's own select, copy, paste, cut, redo, undo never run
        break;
    default:
        break;
    }
    Default();
}

LRESULT COutputPane::OnGetDlgCode(WPARAM, LPARAM lParam)
{
    LRESULT code = Default() & ~DLGC_HASSETSEL;
    const MSG* pMsg = reinterpret_cast<const MSG*>(lParam);
    if (pMsg != nullptr && pMsg->message == WM_KEYDOWN &&
        (pMsg->wParam == VK_RETURN || (pMsg->wParam == VK_ESCAPE && !m_bKeyAtATime)))
        code |= DLGC_WANTMESSAGE;
    return code;
}

LRESULT COutputPane::OnPaste(WPARAM, LPARAM)
{
    if (m_bKeyAtATime)
        return Default();
    if (!::IsClipboardFormatAvailable(CF_TEXT) || !::OpenClipboard(m_hWnd))
        return 0;
    std::string text;
    if (HANDLE hData = ::GetClipboardData(CF_TEXT)) {
        if (const char* p = static_cast<const char*>(::GlobalLock(hData))) {
            text = p;
            ::GlobalUnlock(hData);
        }
    }
    ::CloseClipboard();
    PasteText(text.c_str());
    return 0;
}

LRESULT COutputPane::OnCut(WPARAM, LPARAM)
{
    if (m_bKeyAtATime)
        return Default();
    CopySelection();
    return 0;
}

LRESULT COutputPane::OnNoEdit(WPARAM, LPARAM)
{
    return m_bKeyAtATime ? Default() : 0;
}

void COutputPane::SetKeyAtATime(bool bKeyAtATime)
{
    if (bKeyAtATime == m_bKeyAtATime)
        return;
    ClearInput();
    m_bKeyAtATime = bKeyAtATime;
}

// The input line is the last thing in the pane.
long COutputPane::InputStart() const
{
    return GetTextLength() - static_cast<long>(m_strInput.size());
}

void COutputPane::PlaceCaret()
{
    long at = InputStart() + static_cast<long>(m_nInputCaret);
    SetSel(at, at);
}

void COutputPane::TypeChar(char ch)
{
    if (m_bEofPending) {
        ::MessageBeep(MB_OK); // Ctrl+Z waits for Enter, or Backspace or Escape
        return;
    }
    PlaceCaret();
    char text[2] = { ch, '\0' };
    ReplaceSel(text, FALSE);
    m_strInput.insert(m_nInputCaret, 1, ch);
    ++m_nInputCaret;
}

void COutputPane::EraseInput(size_t nFrom, size_t nCount)
{
    long at = InputStart() + static_cast<long>(nFrom);
    SetSel(at, at + static_cast<long>(nCount));
    ReplaceSel("", FALSE);
    m_strInput.erase(nFrom, nCount);
    m_nInputCaret = nFrom;
}

void COutputPane::ClearInput()
{
    if (!m_strInput.empty())
        EraseInput(0, m_strInput.size());
    m_nInputCaret = 0;
    m_bEofPending = false;
}

// Enter: the line stays in the pane, as output, and goes to the parent.
void COutputPane::SubmitLine()
{
    std::string line = m_strInput + "\r\n";
    bool bEof = m_bEofPending;
    long n = GetTextLength();
    SetSel(n, n);
    ReplaceSel("\r\n", FALSE);
    m_strInput.clear();
    m_nInputCaret = 0;
    m_bEofPending = false;
    HWND hParent = ::GetParent(m_hWnd);
    if (bEof)
        ::SendMessageA(hParent, WM_CONSOLE_EOF, 0, 0);
    else
        ::SendMessageA(hParent, WM_CONSOLE_LINE, line.size(), reinterpret_cast<LPARAM>(line.c_str()));
}

// Types the text: each line break is an Enter, other control characters go.
void COutputPane::PasteText(const char* pText)
{
    for (const char* p = pText; *p != '\0'; ++p) {
        if (*p == '\r' || *p == '\n') {
            SubmitLine();
            if (p[0] == '\r' && p[1] == '\n')
                ++p;
        } else if (static_cast<unsigned char>(*p) >= 0x20 || *p == '\t') {
            TypeChar(*p);
        }
    }
}

void COutputPane::CopySelection()
{
    SendMessage(WM_COPY);
}

void COutputPane::AppendOutput(const char* p, size_t n)
{
    m_kept.AddPending(p, n);
    Pace();
    DeferDispose();
}

void COutputPane::AppendText(LPCTSTR lpszText)
{
    AppendOutput(lpszText, std::strlen(lpszText));
}

// Starts the pace timer when it is not running. The first tick comes at
// once unless the last one was less than kTickMs ago.
void COutputPane::Pace()
{
    if (m_bPacing || m_hWnd == nullptr)
        return;
    DWORD since = ::GetTickCount() - m_dwLastTick;
    UINT delay = since >= kTickMs ? USER_TIMER_MINIMUM : static_cast<UINT>(kTickMs - since);
    m_bPacing = ::SetTimer(m_hWnd, kPaceTimer, delay, nullptr) != 0;
}

void COutputPane::OnTimer(UINT_PTR nIDEvent)
{
    if (nIDEvent == kPaceTimer) {
        CatchUp();
    } else if (nIDEvent == kDisposeTimer) {
        ::KillTimer(m_hWnd, kDisposeTimer);
        DisposeRetired();
    } else if (nIDEvent == kRepaintTimer) {
        ::KillTimer(m_hWnd, kRepaintTimer);
        m_bRepaintPending = false;
        Repaint();
    } else {
        Default();
    }
}

bool COutputPane::HasWork() const
{
    if (m_kept.GetPendingSize() > 0 || m_hWndBuild != nullptr)
        return true;
    long n = GetTextLength();
    return n > m_nMaxChars || (!m_bSettled && n < m_nKeepChars);
}

// One tick: skip ahead when far behind, insert what is pending for at most
// the time budget, then go on with a rebuild.
void COutputPane::CatchUp()
{
    DWORD dwStart = ::GetTickCount();
    m_dwLastTick = dwStart;
    // The user changed the text a rebuild is copying: start it again later.
    if (m_hWndBuild != nullptr && SendMessage(EM_GETMODIFY) != 0)
        AbortRebuild();

    bool bFollow = IsFollowing();
    uint64_t limit = bFollow ? kSkipFollowingChars : static_cast<uint64_t>(m_nMaxChars);
    uint64_t pending = m_kept.GetPendingSize();
    bool bSkipped = false;
    // Far behind, or on a line too long to show whole: skip ahead, but not in
    // two ticks running, so that a flood still shows its newest output.
    if (!m_bSkippedLastTick && (pending > limit || (pending > 0 && m_nTailLine > kLongLineChars))) {
        SkipAhead();
        bSkipped = true; // a skip is a tick's work: the newest output comes in the next one
        bFollow = true;
    }
    if (m_kept.GetPendingSize() > 0 && !bSkipped)
        InsertPending(bFollow, dwStart);

    m_bSkippedLastTick = bSkipped;
    if (m_hWndBuild == nullptr) {
        long n = GetTextLength();
        if (n > m_nMaxChars)
            BeginRebuild(std::max(0L, n - m_nKeepChars));
        else if (m_kept.GetPendingSize() == 0 && !m_bSettled && n < m_nKeepChars)
            BeginRebuild(0);
    }
    if (m_hWndBuild != nullptr)
        StepRebuild(dwStart);

    if (!HasWork()) {
        ::KillTimer(m_hWnd, kPaceTimer);
        m_bPacing = false;
    } else if (m_bPacing) {
        ::SetTimer(m_hWnd, kPaceTimer, kTickMs, nullptr);
    }
    DeferDispose(); // not while the pane is busy
}

// Inserts pending output at the end for the rest of the budget (at least one
// piece). Output lands at the end whatever the caret; the newest line is
// brought into view when the view follows the output, and otherwise the view
// stays where the user put it.
void COutputPane::InsertPending(bool bFollow, DWORD dwStart)
{
    SendMessage(WM_SETREDRAW, FALSE);
    SCROLLINFO vBefore = ScrollInfo(m_hWnd, SB_VERT);
    SCROLLINFO hBefore = ScrollInfo(m_hWnd, SB_HORZ);
    // Output goes above the input line. Setting the selection walks the
    // whole text under Wine; after an insertion the caret is there already,
    // unless the user moved it or is typing.
    long at = InputStart();
    long nStart = 0, nEnd = 0;
    GetSel(nStart, nEnd);
    if (nStart != at || nEnd != at)
        SetSel(at, at);
    std::string piece;
    do {
        piece.clear();
        m_kept.TakePending(kPieceChars, piece);
        Insert(m_hWnd, piece.data(), piece.size(), m_nTailLine);
    } while (m_kept.GetPendingSize() > 0 && TimeLeft(dwStart));
    if (!m_strInput.empty())
        PlaceCaret();

    if (bFollow) {
        ScrollToNewest();
    } else {
        SCROLLINFO vAfter = ScrollInfo(m_hWnd, SB_VERT);
        SCROLLINFO hAfter = ScrollInfo(m_hWnd, SB_HORZ);
        int h = LineHeight();
        if (vAfter.nPos != vBefore.nPos && h > 0)
            LineScroll((vBefore.nPos - vAfter.nPos + (vBefore.nPos > vAfter.nPos ? h / 2 : -h / 2)) / h);
        if (hAfter.nPos != hBefore.nPos)
            SendMessage(WM_HSCROLL, MAKEWPARAM(SB_THUMBPOSITION, hBefore.nPos));
    }
    SendMessage(EM_SETMODIFY, FALSE);
    SendMessage(WM_SETREDRAW, TRUE);
    ScheduleRepaint();
}

// The pane has fallen further behind than it can show: its text and all but
// the newest pending output go to the kept output, and it starts afresh.
void COutputPane::SkipAhead()
{
    AbortRebuild();
    std::string text = TextRange(0, InputStart());
    m_kept.Release(text.data(), text.size());
    m_kept.SkipPending(kSkipKeepChars);
    m_bSettled = false;
    ClearControl();
    m_nTailLine = 0;
    if (!m_strInput.empty()) { // the input line stays
        ReplaceSel(m_strInput.c_str(), FALSE);
        PlaceCaret();
    }
}

// Starts filling a hidden control: with the newest released output when the
// pane's own text is short of m_nKeepChars and nFrom is 0; then with the
// pane's text from the start of the line that holds nFrom on.
void COutputPane::BeginRebuild(long nFrom)
{
    if (nFrom > 0)
        nFrom = std::max(0, LineIndex(static_cast<int>(LineFromChar(nFrom))));
    m_hWndBuild = CreateTwin(false);
    if (m_hWndBuild == nullptr)
        return;
    m_strBuildHead.clear();
    m_nBuildHeadDone = 0;
    m_nBuildUnrelease = 0;
    if (nFrom == 0) {
        // Once per skip: the newest output the pane let go of comes back.
        m_bSettled = true;
        size_t want = static_cast<size_t>(std::max(0L, m_nKeepChars - GetTextLength()));
        m_nBuildUnrelease = m_kept.ReadReleasedTail(want, m_strBuildHead);
        if (m_nBuildUnrelease == 0) {
            AbortRebuild();
            return;
        }
    }
    // A line longer than kLongLineChars does not come back; one that goes on
    // into the pane's first line means nothing can.
    if (!m_strBuildHead.empty()) {
        size_t lastLf = m_strBuildHead.rfind('\n');
        long firstLine = LineIndex(1) > 0 ? LineIndex(1) : GetTextLength();
        long partial = static_cast<long>(lastLf == std::string::npos ? m_strBuildHead.size()
                                                                     : m_strBuildHead.size() - lastLf - 1);
        size_t cut = 0;
        for (size_t from = 0, lf; (lf = m_strBuildHead.find('\n', from)) != std::string::npos; from = lf + 1) {
            if (lf - from > static_cast<size_t>(kLongLineChars))
                cut = lf + 1;
        }
        if (partial + firstLine > kLongLineChars)
            cut = m_strBuildHead.size();
        m_strBuildHead.erase(0, cut);
        m_nBuildUnrelease = m_nBuildUnrelease > cut ? m_nBuildUnrelease - cut : 0;
        if (m_strBuildHead.empty()) {
            AbortRebuild();
            return;
        }
    }
    m_nBuildFrom = nFrom;
    m_nBuildCopied = nFrom;
    m_nBuildTailLine = 0;
    SendMessage(EM_SETMODIFY, FALSE);
}

// Fills the hidden control for the rest of the budget (at least one piece),
// and swaps it in once it has caught up with the pane.
void COutputPane::StepRebuild(DWORD dwStart)
{
    ::SendMessageA(m_hWndBuild, WM_SETREDRAW, FALSE, 0);
    do {
        if (m_nBuildHeadDone < m_strBuildHead.size()) {
            const char* p = m_strBuildHead.data() + m_nBuildHeadDone;
            size_t len = PieceLength(p, m_strBuildHead.size() - m_nBuildHeadDone);
            Insert(m_hWndBuild, p, len, m_nBuildTailLine);
            m_nBuildHeadDone += len;
            continue;
        }
        long n = GetTextLength();
        if (m_nBuildCopied >= n) {
            FinishRebuild();
            return;
        }
        std::string piece = TextRange(m_nBuildCopied, std::min<long>(n, m_nBuildCopied + kPieceChars));
        if (piece.empty()) {
            AbortRebuild();
            return;
        }
        // A line end's carriage return goes with its line feed.
        if (piece.size() > 1 && piece.back() == '\r' && m_nBuildCopied + static_cast<long>(piece.size()) < n)
            piece.pop_back();
        Insert(m_hWndBuild, piece.data(), piece.size(), m_nBuildTailLine);
        m_nBuildCopied += static_cast<long>(piece.size());
    } while (TimeLeft(dwStart));
}

void COutputPane::FinishRebuild()
{
    bool bFollow = IsFollowing();
    long nFirst = bFollow ? 0 : GetFirstVisibleLine();
    std::string dropped = TextRange(0, m_nBuildFrom);
    m_kept.Unrelease(m_nBuildUnrelease);
    m_kept.Release(dropped.data(), dropped.size());
    long nLinesAdded = CountLines(m_strBuildHead) - CountLines(dropped);
    m_strBuildHead.clear();

    HWND hNew = m_hWndBuild;
    m_hWndBuild = nullptr;
    m_nTailLine = m_nBuildTailLine;
    ::SendMessageA(hNew, WM_SETREDRAW, TRUE, 0);
    TakeOver(hNew);
    if (bFollow) {
        PlaceCaret();
        ScrollToNewest();
    } else {
        LineScroll(std::max(0L, nFirst + nLinesAdded));
    }
    Repaint();
}

void COutputPane::AbortRebuild()
{
    if (m_hWndBuild != nullptr)
        ::DestroyWindow(m_hWndBuild);
    m_hWndBuild = nullptr;
    m_strBuildHead.clear();
}

// True while the view is at the bottom: less than a line of text lies below
// it.
bool COutputPane::IsFollowing()
{
    // A pane with no output follows, whatever the control's scroll range
    // (not brought up to date while redrawing is off) says of its old text.
    if (GetTextLength() <= static_cast<long>(m_strInput.size()))
        return true;
    SCROLLINFO si = ScrollInfo(m_hWnd, SB_VERT);
    if (si.nPage == 0)
        return true;
    int below = si.nMax - (si.nPos + static_cast<int>(si.nPage));
    return below < std::max(1, LineHeight());
}

// Every line of the pane has the same font and none wraps, so one height
// holds for all; it is taken from the first two lines, cheap to ask about.
int COutputPane::LineHeight()
{
    if (m_nLineHeight == 0) {
        int second = LineIndex(1);
        if (second > 0)
            m_nLineHeight = std::max(0, static_cast<int>(GetCharPos(second).y - GetCharPos(0).y));
    }
    return m_nLineHeight;
}

// Counts the lines at the bottom whose start lies outside the client area
// and scrolls down by that count plus one.
//
// Under Wine every question about a line far from the top (its index, its
// position, the first visible line) walks the text from the start, so the
// count is worked out from one position, that of the end of the text, and
// the line height.
void COutputPane::ScrollToNewest()
{
    RECT rc;
    GetClientRect(&rc);
    POINT first = GetCharPos(0); // the first line's start
    if (first.x < rc.left) {
        // No line start is in view: the pane is scrolled sideways. Back to
        // the left edge, then bring the caret (the end of the text) into view.
        SendMessage(WM_HSCROLL, SB_LEFT);
        SendMessage(EM_SCROLLCARET);
        return;
    }
    POINT last = GetCharPos(GetTextLength()); // the last line's start, on its line
    if (last.y >= rc.top && last.y < rc.bottom)
        return;
    int nLineHeight = LineHeight();
    if (last.y < rc.top || nLineHeight <= 0) {
        SendMessage(EM_SCROLLCARET);
        return;
    }
    int count = (last.y - rc.bottom) / nLineHeight + 1;
    LineScroll(count + 1);
}

std::string COutputPane::TextRange(long nFrom, long nTo) const
{
    std::string text;
    if (nTo <= nFrom)
        return text;
    text.resize(static_cast<size_t>(nTo - nFrom) + 1);
    TEXTRANGEA range{ { nFrom, nTo }, &text[0] };
    long got = static_cast<long>(::SendMessageA(m_hWnd, EM_GETTEXTRANGE, 0, reinterpret_cast<LPARAM>(&range)));
    text.resize(static_cast<size_t>(std::max(0L, std::min(got, nTo - nFrom))));
    return text;
}

// A control like the pane's own, with its styles, place, size and character
// format; hidden and without an id unless it is to be shown at once.
HWND COutputPane::CreateTwin(bool bVisible) const
{
    HWND hParent = ::GetParent(m_hWnd);
    RECT rc = RectInParent(m_hWnd);
    char className[64] = "";
    ::GetClassNameA(m_hWnd, className, sizeof className);
    DWORD style = static_cast<DWORD>(::GetWindowLongA(m_hWnd, GWL_STYLE));
    if (!bVisible)
        style &= ~WS_VISIBLE;
    HWND hNew = ::CreateWindowExA(static_cast<DWORD>(::GetWindowLongA(m_hWnd, GWL_EXSTYLE)), className, "", style,
                                  rc.left, rc.top, rc.right - rc.left, rc.bottom - rc.top, hParent, nullptr,
                                  reinterpret_cast<HINSTANCE>(::GetWindowLongPtrA(m_hWnd, GWLP_HINSTANCE)), nullptr);
    if (hNew == nullptr)
        return nullptr;
    ::SendMessageA(hNew, EM_EXLIMITTEXT, 0, kControlLimit);
    // Wine's rich edit answers WM_GETFONT with nothing, so the font goes
    // over as the default character format.
    CHARFORMATA cf{};
    cf.cbSize = sizeof cf;
    ::SendMessageA(m_hWnd, EM_GETCHARFORMAT, FALSE, reinterpret_cast<LPARAM>(&cf));
    ::SendMessageA(hNew, EM_SETCHARFORMAT, 0, reinterpret_cast<LPARAM>(&cf));
    return hNew;
}

// hNew becomes the pane: the old control's id, place in the tab order, size
// and focus go over, and the old control is hidden and destroyed in a
// message of its own (~45 ms per MB under Wine).
void COutputPane::TakeOver(HWND hNew)
{
    HWND hOld = m_hWnd;
    RECT rc = RectInParent(hOld);
    HWND hPrev = ::GetWindow(hOld, GW_HWNDPREV);
    ::SetWindowPos(hNew, hPrev != nullptr ? hPrev : HWND_TOP, rc.left, rc.top, rc.right - rc.left,
                   rc.bottom - rc.top, SWP_NOACTIVATE);
    int nID = ::GetDlgCtrlID(hOld);
    bool bHadFocus = ::GetFocus() == hOld;

    ::KillTimer(hOld, kRepaintTimer);
    ::KillTimer(hOld, kPaceTimer);
    ::KillTimer(hOld, kDisposeTimer);
    bool bPacing = m_bPacing;
    m_bPacing = false;
    m_bRepaintPending = false;
    UnsubclassWindow();
    ::ShowWindow(hOld, SW_HIDE);
    ::SetWindowLongPtrA(hOld, GWLP_ID, 0);
    ::SetWindowLongPtrA(hNew, GWLP_ID, nID);
    SubclassWindow(hNew);
    ::ShowWindow(hNew, SW_SHOWNA);
    if (bHadFocus)
        ::SetFocus(hNew);
    if (bPacing)
        Pace();
    DisposeRetired();
    m_hWndRetired = hOld;
    if (::SendMessageA(hOld, WM_GETTEXTLENGTH, 0, 0) <= kQuickDisposeChars)
        PostMessage(WM_PANE_DISPOSE);
    else
        DeferDispose();
}

// (Re)starts the wait before a big replaced control is destroyed.
void COutputPane::DeferDispose()
{
    if (m_hWndRetired != nullptr)
        ::SetTimer(m_hWnd, kDisposeTimer, kDisposeIdleMs, nullptr);
}

void COutputPane::ClearControl()
{
    if (GetTextLength() <= kInPlaceClearChars) {
        SetWindowText("");
        return;
    }
    HWND hNew = CreateTwin(true);
    if (hNew != nullptr)
        TakeOver(hNew);
    else
        SetWindowText(""); // slow, but still right
}

void COutputPane::Clear()
{
    AbortRebuild();
    m_kept.Reset();
    m_strInput.clear();
    m_nInputCaret = 0;
    m_bEofPending = false;
    m_bSettled = true;
    ClearControl();
    m_nTailLine = 0;
    ::KillTimer(m_hWnd, kPaceTimer);
    m_bPacing = false;
}

LRESULT COutputPane::OnDispose(WPARAM, LPARAM)
{
    DisposeRetired();
    return 0;
}

void COutputPane::DisposeRetired()
{
    if (m_hWndRetired != nullptr)
        ::DestroyWindow(m_hWndRetired);
    m_hWndRetired = nullptr;
    if (m_hWnd != nullptr)
        ::KillTimer(m_hWnd, kDisposeTimer);
}

void COutputPane::ScheduleRepaint()
{
    DWORD elapsed = ::GetTickCount() - m_dwLastRepaint;
    if (elapsed >= kRepaintMs) {
        Repaint();
    } else if (!m_bRepaintPending) {
        m_bRepaintPending = true;
        ::SetTimer(m_hWnd, kRepaintTimer, kRepaintMs - elapsed, nullptr);
    }
}

void COutputPane::Repaint()
{
    m_dwLastRepaint = ::GetTickCount();
    ::RedrawWindow(m_hWnd, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_FRAME);
}

bool COutputPane::ReadWholeOutput(const char* pszLineEnd, const std::function<void(const std::string&)>& sink)
{
    CLineEndFilter filter(pszLineEnd);
    std::string out;
    auto pass = [&](const char* p, size_t n) {
        out.clear();
        filter.Filter(p, n, out);
        if (!out.empty())
            sink(out);
    };
    uint64_t lost = m_kept.GetLostCount();
    if (lost > 0) {
        std::string note = "[" + std::to_string(lost) +
            " bytes at the beginning of the output could not be kept: the temporary folder could not be written.]\n";
        pass(note.data(), note.size());
    }
    bool bRead = m_kept.ReadReleased(pass);
    std::string text = TextRange(0, GetTextLength());
    pass(text.data(), text.size());
    bRead = m_kept.ReadPending(pass) && bRead;
    out.clear();
    filter.Finish(out);
    if (!out.empty())
        sink(out);
    return bRead;
}

void COutputPane::CopyAll()
{
    uint64_t n = m_kept.GetReleasedSize() + m_kept.GetPendingSize() + static_cast<uint64_t>(GetTextLength());
    if (n == 0)
        return;
    std::string text;
    bool bRead = true;
    if (n <= kMaxCopyChars) {
        text.reserve(static_cast<size_t>(n + n / 16));
        bRead = ReadWholeOutput("\r\n", [&](const std::string& piece) { text += piece; });
    }
    HGLOBAL hMem = n <= kMaxCopyChars && bRead ? ::GlobalAlloc(GMEM_MOVEABLE, text.size() + 1) : nullptr;
    char* p = hMem != nullptr ? static_cast<char*>(::GlobalLock(hMem)) : nullptr;
    if (p == nullptr) {
        if (hMem != nullptr)
            ::GlobalFree(hMem);
        AfxMessageBox(bRead ? "The output is too large for the clipboard. Use File > Save to keep all of it."
                            : "Part of the output could not be read back, so nothing was copied.");
        return;
    }
    std::memcpy(p, text.c_str(), text.size() + 1);
    ::GlobalUnlock(hMem);
    std::string().swap(text);

    CWnd* pMain = AfxGetMainWnd();
    HWND hOwner = pMain != nullptr ? pMain->m_hWnd : ::GetParent(m_hWnd);
    if (!::OpenClipboard(hOwner)) {
        ::GlobalFree(hMem);
        return;
    }
    ::EmptyClipboard();
    if (::SetClipboardData(CF_TEXT, hMem) == nullptr)
        ::GlobalFree(hMem);
    ::CloseClipboard();
}
