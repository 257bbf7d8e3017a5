// CToolTipCtrl: an owned tooltip window and the tool operations used on it.
// The window is created, not bound: the framework handles none of its
// messages.
#pragma once

#include "platform/CString.h"

class CWnd;

class CToolTipCtrl {
public:
    CToolTipCtrl() = default;
    ~CToolTipCtrl() { DestroyWindow(); }
    CToolTipCtrl(const CToolTipCtrl&) = delete;
    CToolTipCtrl& operator=(const CToolTipCtrl&) = delete;

    BOOL Create(CWnd* pParentWnd, DWORD dwStyle = 0);
    BOOL AddTool(CWnd* pWnd, LPCTSTR lpszText, LPCRECT lpRectTool, UINT_PTR nIDTool);
    void UpdateTipText(LPCTSTR lpszText, CWnd* pWnd, UINT_PTR nIDTool);
    void RelayEvent(MSG* pMsg);
    BOOL DestroyWindow();

    HWND m_hWnd = nullptr; // user-interface thread only
};
