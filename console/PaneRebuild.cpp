#include "console/PaneRebuild.h"

bool CPaneRebuild::Begin(const CTextStore& store, uint64_t nTo, uint64_t nKeep)
{
    if (!m_controls.BeginBuild())
        return false;
    ::SendMessageA(m_controls.GetBuild(), WM_SETREDRAW, FALSE, 0);
    m_nFrom = m_nAt = store.FindStart(nTo, nKeep);
    m_nChars = m_nColumn = 0;
    return true;
}

CPaneRebuild::Step CPaneRebuild::Fill(const CTextStore& store, uint64_t nTo, DWORD dwStart, DWORD dwBudgetMs)
{
    DWORD dwPieceMs = 0;
    while (CPaneText::TimeLeft(dwStart, dwPieceMs, dwBudgetMs)) {
        DWORD dwPiece = ::GetTickCount();
        if (m_nAt >= nTo)
            return Step::done;
        std::string piece = CPaneText::ReadPiece(store, m_nAt, nTo);
        m_text.Begin(m_nColumn, m_nMaxColumn);
        size_t taken = m_text.Add(piece.data(), piece.size(), m_nAt + piece.size() == nTo);
        if (taken == 0)
            return Step::failed;
        m_nChars += m_text.Insert(m_controls.GetBuild(), m_nChars, 0);
        m_nAt += taken;
        m_nColumn = m_text.GetColumn();
        dwPieceMs = ::GetTickCount() - dwPiece;
    }
    return Step::more;
}
