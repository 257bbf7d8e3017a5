#include "platform/CWnd.h"

#include "platform/CDC.h"
#include "platform/CException.h"

#include <vector>

namespace {

// The window property that points from a window to its bound object.
constexpr char kWndProp[] = "AfxWnd";

} // namespace

LRESULT afx::CtlColorCall(CCmdTarget* p, WPARAM wParam, LPARAM lParam,
                          HBRUSH (*call)(CCmdTarget*, CDC*, UINT))
{
    CDC dc(reinterpret_cast<HDC>(wParam));
    return reinterpret_cast<LRESULT>(call(p, &dc, static_cast<UINT>(lParam)));
}

CWnd* afx::CWndFromHandle(HWND hWnd) noexcept
{
    return CWnd::FromHandlePermanent(hWnd);
}

CWnd::~CWnd()
{
    if (m_hWnd != nullptr && ::IsWindow(m_hWnd))
        UnsubclassWindow();
}

CWnd* CWnd::FromHandlePermanent(HWND hWnd) noexcept
{
    return hWnd ? static_cast<CWnd*>(::GetPropA(hWnd, kWndProp)) : nullptr;
}

void CWnd::Attach(HWND hWnd) noexcept
{
    m_hWnd = hWnd;
    ::SetPropA(hWnd, kWndProp, this);
}

void CWnd::Detach() noexcept
{
    if (m_hWnd != nullptr)
        ::RemovePropA(m_hWnd, kWndProp);
    m_hWnd = nullptr;
}

bool CWnd::SubclassWindow(HWND hWnd)
{
    if (hWnd == nullptr || m_hWnd != nullptr || FromHandlePermanent(hWnd) != nullptr)
        return false;
    Attach(hWnd);
    PreSubclassWindow();
    m_pfnSuper = reinterpret_cast<WNDPROC>(
        ::SetWindowLongPtrA(hWnd, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&CWnd::WndProc)));
    if (m_pfnSuper == nullptr) {
        Detach();
        return false;
    }
    return true;
}

bool CWnd::SubclassDlgItem(UINT nID, CWnd* pParent)
{
    return pParent != nullptr && SubclassWindow(::GetDlgItem(pParent->m_hWnd, static_cast<int>(nID)));
}

HWND CWnd::UnsubclassWindow() noexcept
{
    HWND hWnd = m_hWnd;
    if (hWnd == nullptr)
        return nullptr;
    if (m_pfnSuper != nullptr)
        ::SetWindowLongPtrA(hWnd, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(m_pfnSuper));
    m_pfnSuper = nullptr;
    Detach();
    return hWnd;
}

LRESULT CALLBACK CWnd::WndProc(HWND hWnd, UINT message, WPARAM wParam, LPARAM lParam) noexcept
{
    CWnd* pWnd = FromHandlePermanent(hWnd);
    if (pWnd == nullptr)
        return ::DefWindowProcA(hWnd, message, wParam, lParam);

    MSG saved = pWnd->m_msgCurrent;
    pWnd->m_msgCurrent = MSG{ hWnd, message, wParam, lParam, 0, {} };
    LRESULT result = 0;
    try {
        result = pWnd->WindowProc(message, wParam, lParam);
    } catch (...) {
        afx::ReportCurrentException();
    }
    pWnd->m_msgCurrent = saved;

    if (message == WM_NCDESTROY) {
        // The window is gone: unbind so that nothing can reach this object
        // through a dead handle, then let the owner of the object know.
        WNDPROC super = pWnd->m_pfnSuper;
        pWnd->m_pfnSuper = nullptr;
        if (super != nullptr)
            ::SetWindowLongPtrA(hWnd, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(super));
        pWnd->Detach();
        pWnd->PostNcDestroy();
    }
    return result;
}

LRESULT CWnd::WindowProc(UINT message, WPARAM wParam, LPARAM lParam)
{
    LRESULT result = 0;
    if (!OnWndMsg(message, wParam, lParam, &result))
        result = DefWindowProc(message, wParam, lParam);
    return result;
}

bool CWnd::OnWndMsg(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* pResult)
{
    if (message == WM_COMMAND) {
        if (!OnCommand(wParam, lParam))
            return false;
        *pResult = 0;
        return true;
    }
    if (message >= WM_CTLCOLORMSGBOX && message <= WM_CTLCOLORSTATIC) {
        CWnd* pChild = FromHandlePermanent(reinterpret_cast<HWND>(lParam));
        if (pChild != nullptr && pChild != this && pChild->OnChildNotify(message, wParam, lParam, pResult))
            return true;
    }
    const AFX_MSGMAP_ENTRY* entry = FindEntry(message, 0, 0);
    if (entry == nullptr)
        return false;
    *pResult = entry->pfn(this, wParam, lParam);
    return true;
}

bool CWnd::OnCommand(WPARAM wParam, LPARAM lParam)
{
    HWND hCtrl = reinterpret_cast<HWND>(lParam);
    if (hCtrl != nullptr) {
        CWnd* pChild = FromHandlePermanent(hCtrl);
        LRESULT ignored = 0;
        if (pChild != nullptr && pChild != this && pChild->OnChildNotify(WM_COMMAND, wParam, lParam, &ignored))
            return true;
    }
    // An accelerator (code 1, no control) reaches its command's entries,
    // as a menu item (code 0) does.
    int nCode = HIWORD(wParam);
    if (hCtrl == nullptr && nCode == 1)
        nCode = 0;
    return OnCmdMsg(LOWORD(wParam), nCode);
}

bool CWnd::OnChildNotify(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* pResult)
{
    return ReflectChildNotify(message, wParam, lParam, pResult);
}

bool CWnd::ReflectChildNotify(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* pResult)
{
    if (message == WM_COMMAND) {
        const AFX_MSGMAP_ENTRY* entry = FindEntry(WM_REFLECT_BASE + WM_COMMAND, HIWORD(wParam), 0);
        if (entry == nullptr)
            return false;
        *pResult = entry->pfn(this, wParam, lParam);
        return true;
    }
    if (message >= WM_CTLCOLORMSGBOX && message <= WM_CTLCOLORSTATIC) {
        const AFX_MSGMAP_ENTRY* entry = FindEntry(WM_REFLECT_BASE + WM_CTLCOLOR, 0, 0);
        if (entry == nullptr)
            return false;
        LRESULT brush = entry->pfn(this, wParam, message - WM_CTLCOLORMSGBOX);
        if (brush == 0)
            return false;
        *pResult = brush;
        return true;
    }
    return false;
}

LRESULT CWnd::Default()
{
    return DefWindowProc(m_msgCurrent.message, m_msgCurrent.wParam, m_msgCurrent.lParam);
}

LRESULT CWnd::DefWindowProc(UINT message, WPARAM wParam, LPARAM lParam)
{
    if (m_pfnSuper != nullptr)
        return ::CallWindowProcA(m_pfnSuper, m_hWnd, message, wParam, lParam);
    return ::DefWindowProcA(m_hWnd, message, wParam, lParam);
}

BOOL CWnd::PreTranslateMessage(MSG*)
{
    return FALSE;
}

bool CWnd::WalkPreTranslateTree(HWND hWndStop, MSG* pMsg)
{
    for (HWND hWnd = pMsg->hwnd; hWnd != nullptr; hWnd = ::GetParent(hWnd)) {
        CWnd* pWnd = FromHandlePermanent(hWnd);
        if (pWnd != nullptr && pWnd->PreTranslateMessage(pMsg))
            return true;
        if (hWnd == hWndStop)
            break;
    }
    return false;
}

LRESULT CWnd::SendMessage(UINT message, WPARAM wParam, LPARAM lParam) const
{
    return ::SendMessageA(m_hWnd, message, wParam, lParam);
}

BOOL CWnd::PostMessage(UINT message, WPARAM wParam, LPARAM lParam) const
{
    return ::PostMessageA(m_hWnd, message, wParam, lParam);
}

void CWnd::SetWindowText(LPCTSTR lpszString)
{
    ::SetWindowTextA(m_hWnd, lpszString);
}

CString AfxGetWindowText(HWND hWnd)
{
    int nLen = ::GetWindowTextLengthA(hWnd);
    std::vector<char> buf(static_cast<size_t>(nLen) + 1);
    int nGot = ::GetWindowTextA(hWnd, buf.data(), nLen + 1);
    return CString(buf.data(), nGot);
}

void CWnd::GetWindowText(CString& rString) const
{
    rString = AfxGetWindowText(m_hWnd);
}

HWND CWnd::GetDlgItem(int nID) const
{
    return ::GetDlgItem(m_hWnd, nID);
}

int CWnd::GetDlgCtrlID() const
{
    return ::GetDlgCtrlID(m_hWnd);
}

BOOL CWnd::ShowWindow(int nCmdShow)
{
    return ::ShowWindow(m_hWnd, nCmdShow);
}

BOOL CWnd::IsWindowVisible() const
{
    return ::IsWindowVisible(m_hWnd);
}

void CWnd::GetClientRect(LPRECT lpRect) const
{
    ::GetClientRect(m_hWnd, lpRect);
}

void CWnd::GetWindowRect(LPRECT lpRect) const
{
    ::GetWindowRect(m_hWnd, lpRect);
}

HWND CWnd::SetFocus()
{
    return ::SetFocus(m_hWnd);
}

BOOL CWnd::DestroyWindow()
{
    return m_hWnd != nullptr && ::DestroyWindow(m_hWnd);
}

void CWnd::MoveWindow(LPCRECT lpRect, BOOL bRepaint)
{
    ::MoveWindow(m_hWnd, lpRect->left, lpRect->top, lpRect->right - lpRect->left, lpRect->bottom - lpRect->top,
                 bRepaint);
}

void CWnd::ScreenToClient(LPRECT lpRect) const
{
    ::MapWindowPoints(nullptr, m_hWnd, reinterpret_cast<POINT*>(lpRect), 2);
}

BOOL CWnd::SetWindowPos(HWND hWndInsertAfter, int x, int y, int cx, int cy, UINT nFlags)
{
    return ::SetWindowPos(m_hWnd, hWndInsertAfter, x, y, cx, cy, nFlags);
}
