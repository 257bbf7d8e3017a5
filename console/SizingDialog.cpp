#include "console/SizingDialog.h"

BEGIN_MESSAGE_MAP(CSizingDialog, CDialog)
    ON_WM_GETMINMAXINFO()
    ON_WM_SIZE()
END_MESSAGE_MAP()

BOOL CSizingDialog::OnInitDialog()
{
    CDialog::OnInitDialog();
    CRect rc;
    GetWindowRect(rc);
    m_sizeMin = CSize(rc.Width(), rc.Height());
    GetClientRect(m_rcClient);
    return TRUE;
}

void CSizingDialog::DoDataExchange(CDataExchange* pDX)
{
    CDialog::DoDataExchange(pDX);
}

void CSizingDialog::OnSize(UINT nType, int cx, int cy)
{
    CDialog::OnSize(nType, cx, cy);
    if (nType == SIZE_MINIMIZED || cx < 0 || cy < 0 || (m_sizeMin.cx == 0 && m_sizeMin.cy == 0))
        return;
    CRect rc;
    GetClientRect(rc);
    int dx = rc.right - m_rcClient.right;
    int dy = rc.bottom - m_rcClient.bottom;
    if (dx != 0 || dy != 0) {
        OnSizeChanged(dx, dy);
        m_rcClient.right = rc.right;
        m_rcClient.bottom = rc.bottom;
    }
}

void CSizingDialog::OnGetMinMaxInfo(MINMAXINFO* lpMMI)
{
    CDialog::OnGetMinMaxInfo(lpMMI);
    if (m_sizeMin.cx != 0 && m_sizeMin.cy != 0) {
        lpMMI->ptMinTrackSize.x = m_sizeMin.cx;
        lpMMI->ptMinTrackSize.y = m_sizeMin.cy;
    }
}

void CSizingDialog::MoveChild(int dx, int dy, UINT nID)
{
    if (dx == 0 && dy == 0)
        return;
    HWND hChild = GetDlgItem(static_cast<int>(nID));
    if (hChild == nullptr)
        return;
    CRect rc;
    ::GetWindowRect(hChild, rc);
    ScreenToClient(rc);
    ::OffsetRect(rc, dx, dy);
    Place(hChild, rc);
}

void CSizingDialog::GrowChild(int dx, int dy, UINT nID)
{
    if (dx == 0 && dy == 0)
        return;
    HWND hChild = GetDlgItem(static_cast<int>(nID));
    if (hChild != nullptr)
        GrowChild(dx, dy, hChild);
}

void CSizingDialog::GrowChild(int dx, int dy, CWnd* pWnd)
{
    if ((dx == 0 && dy == 0) || pWnd == nullptr || pWnd->m_hWnd == nullptr)
        return;
    GrowChild(dx, dy, pWnd->m_hWnd);
}

void CSizingDialog::GrowChild(int dx, int dy, HWND hChild)
{
    CRect rc;
    ::GetWindowRect(hChild, rc);
    ScreenToClient(rc);
    rc.right += dx;
    rc.bottom += dy;
    Place(hChild, rc);
}

// Moves and sizes a child, which then paints itself whole where it is: the
// pixels of its old place are not copied along, since the dialog may have
// painted its background over them meanwhile (a status line moved into the
// area a larger window uncovers stayed blank).
void CSizingDialog::Place(HWND hChild, const CRect& rc)
{
    ::SetWindowPos(hChild, nullptr, rc.left, rc.top, rc.Width(), rc.Height(),
                   SWP_NOZORDER | SWP_NOACTIVATE | SWP_NOCOPYBITS);
}
