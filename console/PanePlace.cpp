#include "console/PanePlace.h"

#include "console/InputLine.h"

CPanePlace::CPanePlace(const CRichEditCtrl& pane, long nInputStart)
    : m_nInputStart(nInputStart), m_ptText(pane.GetCharPos(0))
{
    pane.GetSel(m_nSelStart, m_nSelEnd);
}

void CPanePlace::Restore(CRichEditCtrl& pane, CInputLine& input, bool bFollowing, long nUnchanged) const
{
    bool bInOutput = m_nSelStart < m_nInputStart && m_nSelEnd <= nUnchanged;
    if (!bFollowing && bInOutput)
        pane.SetSel(m_nSelStart, m_nSelEnd);
    else
        input.PlaceCaret();
    if (bFollowing) {
        if (::GetScrollPos(pane.m_hWnd, SB_HORZ) > 0)
            pane.SendMessage(WM_HSCROLL, SB_LEFT);
        return;
    }
    // Back to where the user was: the text's first character where it was,
    // to the pixel. (The first visible line is no measure here: under Wine
    // it is out of date while text added below has not been laid out.)
    // EM_SETSCROLLPOS takes the scroll position in pixels, which is where
    // the text's top left is, less the control's inset, found on the way.
    POINT now = pane.GetCharPos(0);
    for (int tries = 0; tries < 2 && (now.x != m_ptText.x || now.y != m_ptText.y); ++tries) {
        POINT scroll{ -m_ptText.x, -m_ptText.y };
        if (tries == 1) {
            scroll.x += now.x - m_ptText.x;
            scroll.y += now.y - m_ptText.y;
        }
        pane.SendMessage(EM_SETSCROLLPOS, 0, reinterpret_cast<LPARAM>(&scroll));
        now = pane.GetCharPos(0);
    }
}

bool CPanePlace::AtBottom(const CRichEditCtrl& pane)
{
    RECT rc;
    pane.GetClientRect(&rc);
    return pane.GetCharPos(pane.GetTextLength()).y < rc.bottom;
}
