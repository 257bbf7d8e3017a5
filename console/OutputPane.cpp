#include "console/OutputPane.h"

#include "platform/CWinApp.h"

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

namespace {

// Private messages of the pane. WM_APP-based: the rich edit control's own
// messages take much of the WM_USER range.
constexpr UINT WM_PANE_APPEND = WM_APP + 0x100; // lParam: the text
constexpr UINT WM_PANE_CLEAR = WM_APP + 0x101;
constexpr UINT_PTR kRepaintTimer = 1;

// Below this length emptying the control in place is quick (~60 ms for
// 128 KB under Wine); above it a fresh control is cheaper (~10 ms).
constexpr long kInPlaceClearChars = 64 * 1024;

// The control's own limit: well above the cap, so that an insertion is never
// cut before the trim has run.
constexpr long kControlLimit = 16 * 1024 * 1024;

} // namespace

BEGIN_MESSAGE_MAP(COutputPane, CRichEditCtrl)
    ON_WM_CHAR()
    ON_WM_TIMER()
    ON_MESSAGE(WM_PANE_APPEND, OnAppend)
    ON_MESSAGE(WM_PANE_CLEAR, OnClear)
END_MESSAGE_MAP()

void COutputPane::PreSubclassWindow()
{
    LimitText(kControlLimit);
}

void COutputPane::AppendText(LPCTSTR lpszText)
{
    ::SendMessageA(m_hWnd, WM_PANE_APPEND, 0, reinterpret_cast<LPARAM>(lpszText));
}

void COutputPane::Clear()
{
    ::SendMessageA(m_hWnd, WM_PANE_CLEAR, 0, 0);
}

void COutputPane::OnChar(UINT nChar, UINT, UINT nFlags)
{
    ::SendMessageA(::GetParent(m_hWnd), WM_CONSOLE_CHAR, nChar, nFlags);
    // The echo repaints like an append does: at a bounded rate, so that a
    // burst of keys (a paste of posted characters, a held key) stays cheap.
    SendMessage(WM_SETREDRAW, FALSE);
    Default();
    SendMessage(WM_SETREDRAW, TRUE);
    ScheduleRepaint();
}

LRESULT COutputPane::OnAppend(WPARAM, LPARAM lParam)
{
    LPCTSTR lpszText = reinterpret_cast<LPCTSTR>(lParam);
    SendMessage(WM_SETREDRAW, FALSE);
    // Setting the selection walks the whole text under Wine; after an append
    // the caret is at the end already, unless the user moved it.
    long n = GetTextLength();
    long nStart = 0, nEnd = 0;
    GetSel(nStart, nEnd);
    if (nStart != n || nEnd != n)
        SetSel(n, n);
    ReplaceSel(lpszText, FALSE);
    if (GetTextLength() > m_nMaxChars)
        TrimOldest();
    ScrollToNewest();
    SendMessage(WM_SETREDRAW, TRUE);
    ScheduleRepaint();
    return 0;
}

void COutputPane::TrimOldest()
{
    long n = GetTextLength();
    long keepFrom = n - m_nKeepChars;
    if (keepFrom <= 0)
        return;
    // Keep from the start of the first line that begins at or after that
    // point; a single line longer than that is cut inside.
    long line = LineFromChar(keepFrom);
    long start = LineIndex(static_cast<int>(line));
    if (start < keepFrom) {
        long next = LineIndex(static_cast<int>(line) + 1);
        if (next > 0 && next < n)
            keepFrom = next;
    } else {
        keepFrom = start;
    }

    std::vector<char> tail(static_cast<size_t>(n - keepFrom) + 1, '\0');
    TEXTRANGEA range{ { keepFrom, n }, tail.data() };
    long got = static_cast<long>(SendMessage(EM_GETTEXTRANGE, 0, reinterpret_cast<LPARAM>(&range)));
    Recreate();
    SendMessage(WM_SETREDRAW, FALSE);
    InsertInPieces(tail.data(), static_cast<size_t>(std::max(0L, got)));
}

// Inserts at the end in pieces of about kPieceChars, split after a line feed
// where there is one and never between a carriage return and its line feed:
// the control takes 64 KB pieces much faster than one huge insertion.
void COutputPane::InsertInPieces(const char* pText, size_t nLength)
{
    constexpr size_t kPieceChars = 64 * 1024;
    std::string piece;
    size_t pos = 0;
    while (pos < nLength) {
        size_t end = std::min(nLength, pos + kPieceChars);
        if (end < nLength) {
            const char* lf = static_cast<const char*>(std::memchr(pText + pos + kPieceChars / 2, '\n',
                                                                  end - pos - kPieceChars / 2));
            if (lf != nullptr)
                end = static_cast<size_t>(lf - pText) + 1;
            else if (pText[end - 1] == '\r')
                ++end;
        }
        piece.assign(pText + pos, end - pos);
        long at = GetTextLength();
        SetSel(at, at);
        ReplaceSel(piece.c_str(), FALSE);
        pos = end;
    }
}

// Counts the lines at the bottom whose start lies outside the client area
// and scrolls down by that count plus one.
//
// Under Wine every question about a line far from the top (its index, its
// position, the first visible line) walks the text from the start, so the
// count is worked out from one position, that of the end of the text, and
// the line height: every line of the pane has the same font and none wraps.
void COutputPane::ScrollToNewest()
{
    RECT rc;
    GetClientRect(&rc);
    if (GetCharPos(0).x < rc.left) {
        // No line start is in view: the pane is scrolled sideways. Back to
        // the left edge, then bring the caret (the end of the text) into view.
        SendMessage(WM_HSCROLL, SB_LEFT);
        SendMessage(EM_SCROLLCARET);
        return;
    }
    POINT last = GetCharPos(GetTextLength()); // the last line's start, on its line
    if (last.y >= rc.top && last.y < rc.bottom)
        return;
    int nLineHeight = GetLineCount() > 1 ? static_cast<int>(GetCharPos(LineIndex(1)).y - GetCharPos(0).y) : 0;
    if (last.y < rc.top || nLineHeight <= 0) {
        SendMessage(EM_SCROLLCARET);
        return;
    }
    int count = (last.y - rc.bottom) / nLineHeight + 1;
    LineScroll(count + 1);
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

void COutputPane::OnTimer(UINT_PTR nIDEvent)
{
    if (nIDEvent != kRepaintTimer) {
        Default();
        return;
    }
    ::KillTimer(m_hWnd, kRepaintTimer);
    m_bRepaintPending = false;
    Repaint();
}

LRESULT COutputPane::OnClear(WPARAM, LPARAM)
{
    if (GetTextLength() <= kInPlaceClearChars)
        SetWindowText("");
    else
        Recreate();
    return 0;
}

void COutputPane::Recreate()
{
    HWND hOld = m_hWnd;
    HWND hParent = ::GetParent(hOld);
    RECT rc;
    ::GetWindowRect(hOld, &rc);
    ::MapWindowPoints(nullptr, hParent, reinterpret_cast<POINT*>(&rc), 2);
    char className[64] = "";
    ::GetClassNameA(hOld, className, sizeof className);
    HWND hNew = ::CreateWindowExA(
        static_cast<DWORD>(::GetWindowLongA(hOld, GWL_EXSTYLE)), className, "",
        static_cast<DWORD>(::GetWindowLongA(hOld, GWL_STYLE)), rc.left, rc.top, rc.right - rc.left,
        rc.bottom - rc.top, hParent, reinterpret_cast<HMENU>(static_cast<INT_PTR>(::GetDlgCtrlID(hOld))),
        reinterpret_cast<HINSTANCE>(::GetWindowLongPtrA(hOld, GWLP_HINSTANCE)), nullptr);
    if (hNew == nullptr) {
        SetWindowText(""); // slow, but still right
        return;
    }
    // Same place in the tab order, same font.
    ::SetWindowPos(hNew, hOld, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
    ::SendMessageA(hNew, WM_SETFONT, ::SendMessageA(hOld, WM_GETFONT, 0, 0), FALSE);
    bool bHadFocus = ::GetFocus() == hOld;

    ::KillTimer(hOld, kRepaintTimer);
    m_bRepaintPending = false;
    UnsubclassWindow();
    SubclassWindow(hNew);
    if (bHadFocus)
        ::SetFocus(hNew);
    ::DestroyWindow(hOld);
}

void COutputPane::CopyAll()
{
    long n = GetTextLength();
    if (n <= 0)
        return;
    HGLOBAL hMem = ::GlobalAlloc(GMEM_MOVEABLE, static_cast<SIZE_T>(n) + 1);
    if (hMem == nullptr)
        return;
    char* p = static_cast<char*>(::GlobalLock(hMem));
    if (p == nullptr) {
        ::GlobalFree(hMem);
        return;
    }
    ::SendMessageA(m_hWnd, WM_GETTEXT, static_cast<WPARAM>(n) + 1, reinterpret_cast<LPARAM>(p));
    ::GlobalUnlock(hMem);

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
