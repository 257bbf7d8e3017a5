#include "platform/CFindReplaceDialog.h"

const UINT WM_FINDREPLACE = ::RegisterWindowMessageA(FINDMSGSTRINGA);

CFindReplaceDialog::~CFindReplaceDialog()
{
    if (m_hWnd != nullptr)
        ::DestroyWindow(m_hWnd);
}

bool CFindReplaceDialog::Create(HWND hWndOwner, LPCTSTR lpszFindWhat)
{
    if (m_hWnd != nullptr) {
        ::SetActiveWindow(m_hWnd);
        return true;
    }
    if (lpszFindWhat != nullptr && *lpszFindWhat != '\0')
        lstrcpynA(m_szFindWhat, lpszFindWhat, sizeof m_szFindWhat);
    DWORD keep = m_fr.Flags & (FR_DOWN | FR_MATCHCASE | FR_WHOLEWORD);
    m_fr = FINDREPLACEA{};
    m_fr.lStructSize = sizeof m_fr;
    m_fr.hwndOwner = hWndOwner;
    m_fr.Flags = keep; // as the user left them last time
    m_fr.lpstrFindWhat = m_szFindWhat;
    m_fr.wFindWhatLen = sizeof m_szFindWhat;
    m_hWnd = ::FindTextA(&m_fr);
    return m_hWnd != nullptr;
}

bool CFindReplaceDialog::IsTerminating()
{
    if ((m_fr.Flags & FR_DIALOGTERM) == 0)
        return false;
    m_hWnd = nullptr;
    return true;
}
