// CComboBox: the list operations of a combo box, on a dialog's control. It
// wraps the window handle without binding an object to the window.
#pragma once

#include "platform/CString.h"

class CComboBox {
public:
    explicit CComboBox(HWND hWnd) noexcept : m_hWnd(hWnd) {}

    int GetCount() const { return static_cast<int>(::SendMessageA(m_hWnd, CB_GETCOUNT, 0, 0)); }
    // Entry nIndex; empty when there is none.
    void GetLBText(int nIndex, CString& rString) const;
    int AddString(LPCTSTR lpszString)
    {
        return static_cast<int>(::SendMessageA(m_hWnd, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(lpszString)));
    }
    int InsertString(int nIndex, LPCTSTR lpszString)
    {
        return static_cast<int>(
            ::SendMessageA(m_hWnd, CB_INSERTSTRING, static_cast<WPARAM>(nIndex), reinterpret_cast<LPARAM>(lpszString)));
    }
    int DeleteString(int nIndex)
    {
        return static_cast<int>(::SendMessageA(m_hWnd, CB_DELETESTRING, static_cast<WPARAM>(nIndex), 0));
    }

    HWND m_hWnd;
};
