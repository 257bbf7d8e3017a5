#include "platform/CComboBox.h"

#include <string>

void CComboBox::GetLBText(int nIndex, CString& rString) const
{
    // Asked in UTF-16: with common controls 6 the combo box is a Unicode
    // window, and Wine's ANSI translation of CB_GETLBTEXT copies through a
    // 512-character buffer on the stack, which a longer entry overruns.
    LRESULT n = ::SendMessageW(m_hWnd, CB_GETLBTEXTLEN, static_cast<WPARAM>(nIndex), 0);
    if (n == CB_ERR || n < 0) {
        rString.Empty();
        return;
    }
    std::wstring wide(static_cast<size_t>(n) + 1, L'\0');
    LRESULT got = ::SendMessageW(m_hWnd, CB_GETLBTEXT, static_cast<WPARAM>(nIndex), reinterpret_cast<LPARAM>(&wide[0]));
    if (got == CB_ERR || got < 0) {
        rString.Empty();
        return;
    }
    int bytes = ::WideCharToMultiByte(CP_ACP, 0, wide.c_str(), static_cast<int>(got), nullptr, 0, nullptr, nullptr);
    LPTSTR p = rString.GetBuffer(bytes);
    ::WideCharToMultiByte(CP_ACP, 0, wide.c_str(), static_cast<int>(got), p, bytes, nullptr, nullptr);
    rString.ReleaseBuffer(bytes);
}
