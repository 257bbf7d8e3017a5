#include "console/OutputPane.h"

#include "platform/CClipboard.h"

BEGIN_MESSAGE_MAP(COutputPane, CRichEditCtrl)
    ON_WM_CHAR()
    ON_WM_KEYDOWN()
    ON_MESSAGE(WM_GETDLGCODE, OnGetDlgCode)
    ON_MESSAGE(WM_PASTE, OnPaste)
    ON_MESSAGE(WM_CUT, OnCut)
    ON_MESSAGE(WM_CLEAR, OnNoEdit)
    ON_MESSAGE(WM_UNDO, OnNoEdit)
    ON_MESSAGE(EM_UNDO, OnNoEdit)
    ON_MESSAGE(WM_VSCROLL, OnVScroll)
    ON_MESSAGE(WM_MOUSEWHEEL, OnUserScroll)
    ON_MESSAGE(WM_LBUTTONDOWN, OnMouseDown)
    ON_MESSAGE(WM_LBUTTONUP, OnUserSelect)
    ON_MESSAGE(WM_CAPTURECHANGED, OnCaptureChanged)
    ON_WM_PAINT()
    ON_WM_TIMER()
    ON_WM_DESTROY()
    ON_MESSAGE(WM_PANE_DISPOSE, OnDispose)
END_MESSAGE_MAP()

COutputPane::~COutputPane()
{
    m_controls.OnDestroy();
}

void COutputPane::OnDestroy()
{
    m_controls.OnDestroy();
    Default();
}

void COutputPane::PreSubclassWindow()
{
    m_controls.OnAttach();
}

void COutputPane::Clear()
{
    m_input.Forget();
    m_model.Reset();
    m_view.Reset();
}

void COutputPane::Write(const char* p, size_t n)
{
    m_model.Write(p, n);
    m_view.OnOutput();
    m_controls.OnBusy();
}

void COutputPane::EndOutput()
{
    m_model.Finish();
    m_view.OnOutput();
}

void COutputPane::AppendText(LPCTSTR lpszText)
{
    int n = lstrlenA(lpszText);
    std::wstring text(static_cast<size_t>(n), L'\0');
    text.resize(static_cast<size_t>(::MultiByteToWideChar(CP_ACP, 0, lpszText, n, &text[0], n)));
    m_model.Echo(text);
    m_view.OnOutput();
}

std::unique_ptr<CTextExport> COutputPane::Snapshot()
{
    return std::make_unique<CTextExport>(m_model, m_input.GetText());
}

bool COutputPane::IsEmpty() const
{
    return m_model.IsEmpty() && m_input.GetText().empty() && GetTextLength() == 0;
}

void COutputPane::OnChar(UINT nChar, UINT, UINT nFlags)
{
    if (nChar == '\t')
        return; // Tab (or Ctrl+I) only moves the focus, in either mode
    if (nChar >= 0x20) {
        m_typing.Char(nChar, nFlags);
        return;
    }
    long nStart = 0, nEnd = 0;
    GetSel(nStart, nEnd);
    if (nChar == 0x03 && nStart != nEnd) {
        CopySelection(); // in either mode: a selection is there to be copied
        return;
    }
    if (m_typing.Control(nChar, nFlags))
        return;
    switch (nChar) {
    case 0x03: // Ctrl+C with nothing selected: what Stop does
        ::SendMessageA(::GetParent(m_hWnd), WM_CONSOLE_BREAK, 0, 0);
        break;
    case 0x16: // Ctrl+V
        SendMessage(WM_PASTE);
        break;
    case 0x18: // Ctrl+X: copies; the output stays
        CopySelection();
        break;
    case 0x01: // Ctrl+A
        SetSel(0, -1);
        m_view.OnSelect();
        break;
    default:
        break; // no other control character goes anywhere
    }
}

void COutputPane::OnKeyDown(UINT nChar, UINT, UINT)
{
    bool bCtrl = ::GetKeyState(VK_CONTROL) < 0;
    bool bShift = ::GetKeyState(VK_SHIFT) < 0;
    switch (nChar) {
    case VK_LEFT:
    case VK_RIGHT:
    case VK_HOME:
    case VK_END:
        if (m_typing.IsKeyAtATime() || bCtrl || bShift)
            break; // moving through or selecting the output
        m_input.Move(nChar);
        m_view.OnInputEdited();
        return;
    case VK_UP:
    case VK_DOWN:
        if (m_typing.IsKeyAtATime() || bCtrl || bShift)
            break; // moving through or selecting the output
        m_input.Recall(nChar == VK_UP);
        m_view.OnInputEdited();
        return;
    case VK_DELETE:
        if (bShift)
            CopySelection();
        else if (!m_typing.IsKeyAtATime())
            m_input.Delete();
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
        if (bCtrl && !m_typing.IsKeyAtATime())
            return; // the character that follows does it
        break;
    case 'C':
        if (bCtrl)
            return; // the character that follows does it
        break;
    case 'V':
    case 'X':
    case 'Y':
    case 'Z':
        if (bCtrl)
            return; // the control's own paste, cut, redo and undo never run
        break;
    default:
        break;
    }
    Default();
    m_view.OnSelect(); // a move, a page, or Shift and a key: a selection
}

LRESULT COutputPane::OnGetDlgCode(WPARAM, LPARAM lParam)
{
    LRESULT code = Default() & ~DLGC_HASSETSEL;
    const MSG* pMsg = reinterpret_cast<const MSG*>(lParam);
    if (pMsg != nullptr && pMsg->message == WM_KEYDOWN && pMsg->wParam == VK_TAB)
        return code & ~(DLGC_WANTTAB | DLGC_WANTALLKEYS | DLGC_WANTMESSAGE); // the dialog moves the focus
    if (pMsg != nullptr && pMsg->message == WM_KEYDOWN &&
        (pMsg->wParam == VK_RETURN || (pMsg->wParam == VK_ESCAPE && !m_typing.IsKeyAtATime())))
        code |= DLGC_WANTMESSAGE;
    return code;
}

LRESULT COutputPane::OnPaste(WPARAM, LPARAM)
{
    // Unicode, so that what the ANSI code page lacks still reaches the
    // program (the system makes it from CF_TEXT when only that is there).
    if (!::IsClipboardFormatAvailable(CF_UNICODETEXT) || !::OpenClipboard(m_hWnd))
        return 0;
    std::wstring text;
    if (HANDLE hData = ::GetClipboardData(CF_UNICODETEXT)) {
        if (const wchar_t* p = static_cast<const wchar_t*>(::GlobalLock(hData))) {
            text = p;
            ::GlobalUnlock(hData);
        }
    }
    ::CloseClipboard();
    m_typing.Paste(text);
    return 0;
}

LRESULT COutputPane::OnCut(WPARAM, LPARAM)
{
    CopySelection();
    return 0;
}

LRESULT COutputPane::OnNoEdit(WPARAM, LPARAM)
{
    return 0;
}

LRESULT COutputPane::OnVScroll(WPARAM wParam, LPARAM)
{
    LRESULT result = Default();
    m_view.OnScroll(LOWORD(wParam) == SB_THUMBTRACK);
    return result;
}

LRESULT COutputPane::OnMouseDown(WPARAM, LPARAM)
{
    LRESULT result = Default();
    m_view.OnScroll(true); // the view holds still while the user selects
    return result;
}

LRESULT COutputPane::OnCaptureChanged(WPARAM, LPARAM lParam)
{
    LRESULT result = Default();
    if (reinterpret_cast<HWND>(lParam) != m_hWnd)
        m_view.OnSelect(); // the mouse was let go, or taken away
    return result;
}

LRESULT COutputPane::OnUserSelect(WPARAM, LPARAM)
{
    LRESULT result = Default();
    m_view.OnSelect();
    return result;
}

LRESULT COutputPane::OnUserScroll(WPARAM, LPARAM)
{
    LRESULT result = Default();
    m_view.OnScroll(false);
    return result;
}

bool COutputPane::Find(const CTextFinder& finder)
{
    std::string text = static_cast<LPCTSTR>(AfxGetWindowText(m_hWnd));
    long nStart = 0, nEnd = 0;
    GetSel(nStart, nEnd);
    long at = finder.Find(text, finder.m_bDown ? nEnd : nStart);
    if (at < 0) // on from the other end: the caret is mostly at the very end
        at = finder.Find(text, finder.m_bDown ? 0 : static_cast<long>(text.size()));
    if (at < 0)
        return false;
    m_view.StopFollowing();
    SetSel(at, at + static_cast<long>(finder.m_strWhat.size()));
    SendMessage(EM_SCROLLCARET);
    return true;
}

// The selection as Unicode, as Copy gives it (the system adds the ANSI
// text); the control's own copy, in the ANSI code page, when the view
// cannot match the selection to the model's text.
void COutputPane::CopySelection()
{
    long nStart = 0, nEnd = 0;
    GetSel(nStart, nEnd);
    std::wstring text;
    if (nStart == nEnd || !m_view.GetText(nStart, nEnd, &text)) {
        SendMessage(WM_COPY);
        return;
    }
    CClipboard clipboard(m_hWnd);
    CGlobalMemory memory = CClipboard::Copy(text.c_str(), (text.size() + 1) * sizeof(wchar_t));
    if (clipboard.IsOpen() && memory && clipboard.Empty())
        clipboard.SetData(CF_UNICODETEXT, memory);
}

void COutputPane::OnPaint()
{
    m_controls.OnPaint();
    Default();
}

void COutputPane::OnTimer(UINT_PTR nIDEvent)
{
    using Timer = CPaneControls::Timer;
    if (nIDEvent == static_cast<UINT_PTR>(Timer::dispose))
        m_controls.OnDisposeTimer(m_view.WorkDue());
    else if (nIDEvent == static_cast<UINT_PTR>(Timer::pace) || nIDEvent == static_cast<UINT_PTR>(Timer::repaint))
        m_view.OnTimer(static_cast<Timer>(nIDEvent));
    else
        Default();
}

LRESULT COutputPane::OnDispose(WPARAM, LPARAM)
{
    m_controls.OnDispose();
    return 0;
}
