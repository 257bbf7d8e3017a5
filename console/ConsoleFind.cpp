// The main dialog's Find: the system's Find dialog over the window, Find
// Next and Find Previous from the keyboard, each looking in the text the
// pane holds.
#include "console/ConsoleDlg.h"

void CConsoleDlg::OnFind()
{
    m_findDlg.Create(m_hWnd, m_finder.m_strWhat.c_str());
}

LRESULT CConsoleDlg::OnFindReplace(WPARAM, LPARAM)
{
    if (m_findDlg.IsTerminating() || !m_findDlg.FindNext())
        return 0;
    m_finder.m_strWhat = static_cast<LPCTSTR>(m_findDlg.GetFindString());
    m_finder.m_bDown = m_findDlg.SearchDown();
    m_finder.m_bMatchCase = m_findDlg.MatchCase();
    m_finder.m_bWholeWord = m_findDlg.MatchWholeWord();
    FindInPane(m_finder);
    return 0;
}

void CConsoleDlg::FindAgain(bool bDown)
{
    if (m_finder.m_strWhat.empty()) {
        OnFind(); // nothing looked for yet: ask what
        return;
    }
    CTextFinder finder = m_finder;
    finder.m_bDown = bDown;
    FindInPane(finder);
}

void CConsoleDlg::FindInPane(const CTextFinder& finder)
{
    if (!m_output.Find(finder))
        AfxMessageBox(CString("Cannot find \"") + finder.m_strWhat.c_str() + "\"", MB_ICONINFORMATION);
}
