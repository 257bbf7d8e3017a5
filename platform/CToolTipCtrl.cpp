#include "platform/CToolTipCtrl.h"

#include "platform/CWnd.h"

namespace {

TOOLINFOA ToolInfo(CWnd* pWnd, UINT_PTR nIDTool, LPCTSTR lpszText)
{
    TOOLINFOA ti{};
    ti.cbSize = TTTOOLINFOA_V1_SIZE; // the common controls of any version take this size
    ti.hwnd = pWnd != nullptr ? pWnd->m_hWnd : nullptr;
    ti.uId = nIDTool;
    ti.lpszText = const_cast<LPTSTR>(lpszText);
    return ti;
}

} // namespace

BOOL CToolTipCtrl::Create(CWnd* pParentWnd, DWORD dwStyle)
{
    DestroyWindow();
    m_hWnd = ::CreateWindowExA(0, TOOLTIPS_CLASSA, nullptr, WS_POPUP | dwStyle, CW_USEDEFAULT, CW_USEDEFAULT,
                               CW_USEDEFAULT, CW_USEDEFAULT, pParentWnd != nullptr ? pParentWnd->m_hWnd : nullptr,
                               nullptr, ::GetModuleHandleA(nullptr), nullptr);
    return m_hWnd != nullptr;
}

BOOL CToolTipCtrl::AddTool(CWnd* pWnd, LPCTSTR lpszText, LPCRECT lpRectTool, UINT_PTR nIDTool)
{
    TOOLINFOA ti = ToolInfo(pWnd, nIDTool, lpszText);
    if (lpRectTool != nullptr)
        ti.rect = *lpRectTool;
    return static_cast<BOOL>(::SendMessageA(m_hWnd, TTM_ADDTOOLA, 0, reinterpret_cast<LPARAM>(&ti)));
}

void CToolTipCtrl::UpdateTipText(LPCTSTR lpszText, CWnd* pWnd, UINT_PTR nIDTool)
{
    TOOLINFOA ti = ToolInfo(pWnd, nIDTool, lpszText);
    ::SendMessageA(m_hWnd, TTM_UPDATETIPTEXTA, 0, reinterpret_cast<LPARAM>(&ti));
}

void CToolTipCtrl::RelayEvent(MSG* pMsg)
{
    if (m_hWnd != nullptr)
        ::SendMessageA(m_hWnd, TTM_RELAYEVENT, 0, reinterpret_cast<LPARAM>(pMsg));
}

BOOL CToolTipCtrl::DestroyWindow()
{
    if (m_hWnd == nullptr)
        return FALSE;
    BOOL ok = ::IsWindow(m_hWnd) && ::DestroyWindow(m_hWnd);
    m_hWnd = nullptr;
    return ok;
}
