#include "widgets/LinkLabel.h"

#include "res/resource.h"

namespace {

constexpr UINT_PTR kToolId = 1;
constexpr int kCommandCapacity = 2 * MAX_PATH;

} // namespace

BEGIN_MESSAGE_MAP(CLinkLabel, CStatic)
    ON_CONTROL_REFLECT(STN_CLICKED, OnLinkClicked)
    ON_WM_CTLCOLOR_REFLECT()
    ON_WM_SETCURSOR()
    ON_WM_MOUSEMOVE()
END_MESSAGE_MAP()

CLinkLabel::CLinkLabel()
    : m_linkColor(RGB(0, 0, 238)), m_visitedColor(RGB(85, 26, 139)), m_hoverColor(::GetSysColor(COLOR_HIGHLIGHT))
{
}

CLinkLabel::~CLinkLabel()
{
    m_toolTip.DestroyWindow();
}

void CLinkLabel::PreSubclassWindow()
{
    ::SetWindowLongA(m_hWnd, GWL_STYLE, ::GetWindowLongA(m_hWnd, GWL_STYLE) | SS_NOTIFY);
    CString text;
    GetWindowText(text);
    if (m_target.IsEmpty())
        m_target = text;
    if (text.IsEmpty())
        SetWindowText(m_target);
    ApplyFont();
    FitToText();
    if (m_handCursor == nullptr && AfxGetApp() != nullptr)
        m_handCursor = AfxGetApp()->LoadCursor(IDC_LINKHAND);
    CRect rc;
    GetClientRect(rc);
    m_toolTip.Create(this, 0);
    m_toolTip.AddTool(this, m_target, rc, kToolId);
    CStatic::PreSubclassWindow();
}

// The control's font (or, without one, the default GUI font) with the
// underline taken from m_isUnderlined becomes the label's own font.
void CLinkLabel::ApplyFont()
{
    HFONT hCurrent = reinterpret_cast<HFONT>(SendMessage(WM_GETFONT));
    if (hCurrent == nullptr)
        hCurrent = static_cast<HFONT>(::GetStockObject(DEFAULT_GUI_FONT));
    LOGFONTA lf{};
    ::GetObjectA(hCurrent, sizeof lf, &lf);
    lf.lfUnderline = static_cast<BYTE>(m_isUnderlined ? TRUE : FALSE);
    m_font.DeleteObject();
    m_font.CreateFontIndirect(&lf);
    SendMessage(WM_SETFONT, reinterpret_cast<WPARAM>(static_cast<HFONT>(m_font)), TRUE);
}

BOOL CLinkLabel::PreTranslateMessage(MSG* pMsg)
{
    m_toolTip.RelayEvent(pMsg);
    return CStatic::PreTranslateMessage(pMsg);
}

void CLinkLabel::SetTarget(CString target)
{
    m_target = target;
    if (HasWindow()) {
        FitToText();
        m_toolTip.UpdateTipText(m_target, this, kToolId);
    }
}

void CLinkLabel::MarkVisited(BOOL visited)
{
    m_isVisited = visited;
    if (HasWindow())
        ::InvalidateRect(m_hWnd, nullptr, TRUE);
}

void CLinkLabel::FitToText()
{
    if (!HasWindow() || !m_fitToText)
        return;
    CRect rect;
    GetWindowRect(rect);
    HWND hParent = ::GetParent(m_hWnd);
    if (hParent != nullptr)
        ::MapWindowPoints(nullptr, hParent, reinterpret_cast<POINT*>(&rect), 2);

    CString text;
    GetWindowText(text);
    HDC hdc = ::GetDC(m_hWnd);
    HGDIOBJ old = ::SelectObject(hdc, static_cast<HFONT>(m_font));
    SIZE extent{ 0, 0 };
    ::GetTextExtentPoint32A(hdc, text, text.GetLength(), &extent);
    ::SelectObject(hdc, old);
    ::ReleaseDC(m_hWnd, hdc);

    DWORD style = static_cast<DWORD>(::GetWindowLongA(m_hWnd, GWL_STYLE));
    if ((style & SS_CENTERIMAGE) != 0) {
        int dy = (rect.Height() - extent.cy) / 2;
        rect.top += dy;
        rect.bottom -= dy;
    } else {
        rect.bottom = rect.top + extent.cy;
    }
    if ((style & SS_CENTER) != 0) {
        int dx = (rect.Width() - extent.cx) / 2;
        rect.left += dx;
        rect.right -= dx;
    } else if ((style & SS_RIGHT) != 0) {
        rect.left = rect.right - extent.cx;
    } else {
        rect.right = rect.left + extent.cx;
    }
    SetWindowPos(nullptr, rect.left, rect.top, rect.Width(), rect.Height(), SWP_NOZORDER);
}

HBRUSH CLinkLabel::CtlColor(CDC* pDC, UINT)
{
    pDC->SetTextColor(m_isHovered ? m_hoverColor : m_isVisited ? m_visitedColor : m_linkColor);
    pDC->SetBkMode(TRANSPARENT);
    return static_cast<HBRUSH>(::GetStockObject(NULL_BRUSH));
}

void CLinkLabel::OnMouseMove(UINT nFlags, CPoint point)
{
    CStatic::OnMouseMove(nFlags, point);
    constexpr UINT kRedraw = RDW_INVALIDATE | RDW_ERASE | RDW_UPDATENOW;
    if (!m_isHovered) {
        m_isHovered = TRUE;
        ::RedrawWindow(m_hWnd, nullptr, nullptr, kRedraw);
        ::SetCapture(m_hWnd);
        return;
    }
    CRect rc;
    GetClientRect(rc);
    if (!::PtInRect(rc, point)) {
        m_isHovered = FALSE;
        ::ReleaseCapture();
        ::RedrawWindow(m_hWnd, nullptr, nullptr, kRedraw);
    }
}

BOOL CLinkLabel::OnSetCursor(CWnd*, UINT, UINT)
{
    if (m_handCursor == nullptr)
        return FALSE;
    ::SetCursor(m_handCursor);
    return TRUE;
}

void CLinkLabel::OnLinkClicked()
{
    int result = OpenTarget(m_target, SW_SHOW);
    m_isVisited = result > 32;
    if (m_isVisited) {
        MarkVisited(TRUE);
    } else {
        ::MessageBeep(MB_ICONEXCLAMATION);
        ShowOpenError(result);
    }
}

bool CLinkLabel::BuildOpenCommand(LPCTSTR registryCommand, LPCTSTR target, int nCapacity, CString& command)
{
    // The first quoted placeholder, else the first bare one; stepping by
    // characters so that no trail byte of a double-byte character matches.
    const char* cut = nullptr;
    for (const char* p = registryCommand; *p != '\0'; p = ::CharNextA(p)) {
        if (p[0] == '"' && p[1] == '%' && p[2] == '1' && p[3] == '"') {
            cut = p;
            break;
        }
    }
    if (cut == nullptr) {
        for (const char* p = registryCommand; *p != '\0'; p = ::CharNextA(p)) {
            if (p[0] == '%' && p[1] == '1') {
                cut = p;
                break;
            }
        }
    }
    CString result = cut != nullptr ? CString(registryCommand, static_cast<int>(cut - registryCommand))
                                    : CString(registryCommand);
    result += " ";
    result += target;
    if (result.GetLength() >= nCapacity)
        return false;
    command = result;
    return true;
}

int CLinkLabel::OpenTarget(LPCTSTR target, int showCommand)
{
    HINSTANCE hResult = ::ShellExecuteA(nullptr, "open", target, nullptr, nullptr, showCommand);
    int result = static_cast<int>(reinterpret_cast<INT_PTR>(hResult));
    if (reinterpret_cast<UINT_PTR>(hResult) > 32)
        return result;

    char key[kCommandCapacity] = "";
    if (ReadDefaultValue(HKEY_CLASSES_ROOT, ".htm", key) != ERROR_SUCCESS)
        return result;
    if (lstrlenA(key) + lstrlenA("\\shell\\open\\command") >= kCommandCapacity)
        return result;
    lstrcatA(key, "\\shell\\open\\command");
    char registryCommand[kCommandCapacity] = "";
    if (ReadDefaultValue(HKEY_CLASSES_ROOT, key, registryCommand) != ERROR_SUCCESS)
        return result;
    CString command;
    if (!BuildOpenCommand(registryCommand, target, kCommandCapacity, command))
        return result;
    return static_cast<int>(::WinExec(command, static_cast<UINT>(showCommand)));
}

LONG CLinkLabel::ReadDefaultValue(HKEY root, LPCTSTR subKey, LPTSTR out)
{
    CRegKeyHandle key;
    LONG code = ::RegOpenKeyExA(root, subKey, 0, KEY_QUERY_VALUE, key.put());
    if (code != ERROR_SUCCESS)
        return code;
    char value[MAX_PATH] = "";
    LONG size = sizeof value;
    LONG read = ::RegQueryValueA(key.get(), nullptr, value, &size);
    // A missing default value, or one longer than the buffer, fails the
    // lookup.
    if (read != ERROR_SUCCESS || value[0] == '\0')
        return read != ERROR_SUCCESS ? read : ERROR_FILE_NOT_FOUND;
    lstrcpyA(out, value);
    return ERROR_SUCCESS;
}

void CLinkLabel::ShowOpenError(int code)
{
    const char* reason = nullptr;
    switch (static_cast<unsigned>(code)) {
    case 0: reason = "The operating system is out\nof memory or resources."; break;
    case ERROR_FILE_NOT_FOUND: reason = "The specified file was not found."; break;
    case ERROR_PATH_NOT_FOUND: reason = "The specified path was not found."; break;
    case SE_ERR_ACCESSDENIED: reason = "The operating system denied\naccess to the specified file."; break;
    case SE_ERR_OOM: reason = "There was not enough memory to complete the operation."; break;
    case ERROR_BAD_FORMAT: reason = "The .EXE file is invalid\n(non-Win32 .EXE or error in .EXE image)."; break;
    case SE_ERR_SHARE: reason = "A sharing violation occurred. "; break;
    case SE_ERR_ASSOCINCOMPLETE: reason = "The filename association is\nincomplete or invalid."; break;
    case SE_ERR_DDETIMEOUT:
        reason = "The DDE transaction could not\nbe completed because the request timed out.";
        break;
    case SE_ERR_DDEFAIL: reason = "The DDE transaction failed."; break;
    case SE_ERR_DDEBUSY:
        reason = "The DDE transaction could not\nbe completed because other DDE transactions\n"
                 "were being processed.";
        break;
    case SE_ERR_NOASSOC: reason = "There is no application associated\nwith the given filename extension."; break;
    case SE_ERR_DLLNOTFOUND: reason = "The specified dynamic-link library was not found."; break;
    default: break;
    }
    char unknown[64];
    if (reason == nullptr) {
        wsprintfA(unknown, "Unknown Error (%d) occurred.", code);
        reason = unknown;
    }
    CString message = CString("Unable to open hyperlink:\n\n") + reason;
    AfxMessageBox(message, MB_ICONEXCLAMATION);
}
