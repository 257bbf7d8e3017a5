// CSizingDialog: a dialog that follows size changes of its client area and
// never becomes smaller than its initial size.
//
// OnInitDialog records the window's size (the minimum tracking size) and the
// client rectangle. From then on every change of the client area's size is
// handed to OnSizeChanged as the change in width and height since the last
// call; a derived dialog moves or grows its controls there with MoveChild and
// GrowChild. Size changes before initialisation and minimising are ignored.
//
// Every member belongs to the user-interface thread.
#pragma once

#include "platform/Afx.h"

class CSizingDialog : public CDialog {
public:
    CSizingDialog(UINT nIDTemplate, CWnd* pParent) noexcept : CDialog(nIDTemplate, pParent) {}

protected:
    BOOL OnInitDialog() override;
    void DoDataExchange(CDataExchange* pDX) override;
    // Called with the change of the client width and height (positive when
    // the area grew).
    virtual void OnSizeChanged(int dx, int dy) = 0;

    // Shifts child nID by dx, dy, keeping its size.
    void MoveChild(int dx, int dy, UINT nID);
    // Makes a child dx wider and dy taller, keeping its top-left corner.
    void GrowChild(int dx, int dy, UINT nID);
    void GrowChild(int dx, int dy, CWnd* pWnd);

    // Called when the window has been resized.
    void OnSize(UINT nType, int cx, int cy);
    // Called when the system asks for the window's size limits.
    void OnGetMinMaxInfo(MINMAXINFO* lpMMI);

    DECLARE_MESSAGE_MAP()

protected:
    CSize m_sizeMin;  // (0, 0) until recorded
    CRect m_rcClient;

private:
    void GrowChild(int dx, int dy, HWND hChild);
    void Place(HWND hChild, const CRect& rc);
};
