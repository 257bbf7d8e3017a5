#include "platform/CComboBox.h"

void CComboBox::GetLBText(int nIndex, CString& rString) const
{
    LRESULT n = ::SendMessageA(m_hWnd, CB_GETLBTEXTLEN, static_cast<WPARAM>(nIndex), 0);
    if (n == CB_ERR || n < 0) {
        rString.Empty();
        return;
    }
    LPTSTR p = rString.GetBuffer(static_cast<int>(n));
    LRESULT got = ::SendMessageA(m_hWnd, CB_GETLBTEXT, static_cast<WPARAM>(nIndex), reinterpret_cast<LPARAM>(p));
    rString.ReleaseBuffer(got == CB_ERR ? 0 : static_cast<int>(got));
}
