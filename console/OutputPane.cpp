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
constexpr UINT WM_PANE_TRIM = WM_APP + 0x102;
constexpr UINT WM_PANE_DISPOSE = WM_APP + 0x103;
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
    ON_WM_DESTROY()
    ON_MESSAGE(WM_PANE_APPEND, OnAppend)
    ON_MESSAGE(WM_PANE_CLEAR, OnClear)
    ON_MESSAGE(WM_PANE_TRIM, OnTrim)
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

// The replaced control and the mailbox go with the pane's control or with
// this object, whichever goes first.
void COutputPane::ReleaseHelpers()
{
    DisposeRetired();
    if (m_hWndMailbox != nullptr)
        ::DestroyWindow(m_hWndMailbox);
    m_hWndMailbox = nullptr;
}

void COutputPane::PreSubclassWindow()
{
    LimitText(kControlLimit);
    if (m_hWndMailbox == nullptr) {
        m_hWndMailbox = ::CreateWindowExA(0, "STATIC", "", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr,
                                          ::GetModuleHandleA(nullptr), nullptr);
        if (m_hWndMailbox != nullptr) {
            ::SetWindowLongPtrA(m_hWndMailbox, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
            ::SetWindowLongPtrA(m_hWndMailbox, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&MailboxProc));
        }
    }
}

// Runs on the user-interface thread, the mailbox's owner: passes the pane's
// own messages on to whichever control is the pane now.
LRESULT CALLBACK COutputPane::MailboxProc(HWND hWnd, UINT message, WPARAM wParam, LPARAM lParam) noexcept
{
    if (message == WM_PANE_APPEND || message == WM_PANE_CLEAR) {
        auto* pPane = reinterpret_cast<COutputPane*>(::GetWindowLongPtrA(hWnd, GWLP_USERDATA));
        return pPane != nullptr ? ::SendMessageA(pPane->m_hWnd, message, wParam, lParam) : 0;
    }
    return ::DefWindowProcA(hWnd, message, wParam, lParam);
}

void COutputPane::AppendText(LPCTSTR lpszText)
{
    ::SendMessageA(m_hWndMailbox, WM_PANE_APPEND, 0, reinterpret_cast<LPARAM>(lpszText));
}

void COutputPane::Clear()
{
    ::SendMessageA(m_hWndMailbox, WM_PANE_CLEAR, 0, 0);
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
    InsertAtEnd(lpszText, std::strlen(lpszText));
    return 0;
}

LRESULT COutputPane::OnTrim(WPARAM, LPARAM)
{
    m_bTrimPosted = false;
    if (GetTextLength() > m_nMaxChars)
        TrimOldest();
    return 0;
}

LRESULT COutputPane::OnDispose(WPARAM, LPARAM)
{
    DisposeRetired();
    return 0;
}

void COutputPane::InsertAtEnd(const char* pText, size_t nLength)
{
    SendMessage(WM_SETREDRAW, FALSE);
    // Setting the selection walks the whole text under Wine; after an append
    // the caret is at the end already, unless the user moved it.
    long n = GetTextLength();
    long nStart = 0, nEnd = 0;
    GetSel(nStart, nEnd);
    if (nStart != n || nEnd != n)
        SetSel(n, n);
    InsertInPieces(pText, nLength);
    // Past the cap the oldest lines go in a message of their own, so that no
    // single message holds the window for long.
    if (GetTextLength() > m_nMaxChars && !m_bTrimPosted)
        m_bTrimPosted = PostMessage(WM_PANE_TRIM) != FALSE;
    ScrollToNewest();
    SendMessage(WM_SETREDRAW, TRUE);
    ScheduleRepaint();
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
    InsertAtEnd(tail.data(), static_cast<size_t>(std::max(0L, got)));
}

// Inserts at the caret, which is at the end, in pieces of about kPieceChars,
// split after a line feed where there is one and never between a carriage
// return and its line feed. Under Wine each insertion allocates in
// proportion to its length, and once big controls have been freed the heap
// serves large blocks slowly: 64 KB pieces then take twice as long per byte
// as 16 KB ones.
void COutputPane::InsertInPieces(const char* pText, size_t nLength)
{
    constexpr size_t kPieceChars = 16 * 1024;
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
    int nLineHeight = GetLineCount() > 1 ? static_cast<int>(GetCharPos(LineIndex(1)).y - first.y) : 0;
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
    // Same place in the tab order: just before the old control, which stays
    // (hidden) until it is disposed of.
    HWND hPrev = ::GetWindow(hOld, GW_HWNDPREV);
    ::SetWindowPos(hNew, hPrev != nullptr ? hPrev : HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
    // Wine's rich edit answers WM_GETFONT with nothing, so the font goes
    // over as the default character format.
    CHARFORMATA cf{};
    cf.cbSize = sizeof cf;
    ::SendMessageA(hOld, EM_GETCHARFORMAT, FALSE, reinterpret_cast<LPARAM>(&cf));
    ::SendMessageA(hNew, EM_SETCHARFORMAT, 0, reinterpret_cast<LPARAM>(&cf));
    bool bHadFocus = ::GetFocus() == hOld;

    ::KillTimer(hOld, kRepaintTimer);
    m_bRepaintPending = false;
    m_bTrimPosted = false; // a trim posted to the old control goes with it
    UnsubclassWindow();
    SubclassWindow(hNew);
    if (bHadFocus)
        ::SetFocus(hNew);
    // Destroying a big control takes a while (~45 ms per MB); it is done in
    // a message of its own. Until then the old control is hidden and has no
    // id, so that nothing finds it in place of the new one.
    DisposeRetired();
    ::ShowWindow(hOld, SW_HIDE);
    ::SetWindowLongPtrA(hOld, GWLP_ID, 0);
    m_hWndRetired = hOld;
    PostMessage(WM_PANE_DISPOSE);
}

void COutputPane::DisposeRetired()
{
    if (m_hWndRetired != nullptr)
        ::DestroyWindow(m_hWndRetired);
    m_hWndRetired = nullptr;
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
