// CLinkLabel: a static text of a dialog that acts as a hyperlink.
//
// Attached to an existing static control, it draws the text in the link,
// visited or hover colour on a transparent background in an underlined copy
// of the control's font, fits the control to its text, shows a hand cursor
// and a tooltip with the target, and on a click opens the target with the
// shell, falling back to the program registered for ".htm" documents. A
// failed open beeps and names the reason in a message box.
//
// Settings are plain fields; a setter called before the control is attached
// only stores its value, and attaching applies it. Everything runs on the
// user-interface thread.
#pragma once

#include "platform/Afx.h"

class CLinkLabel : public CStatic {
public:
    CLinkLabel();
    ~CLinkLabel() override;

    void SetTarget(CString target);
    void MarkVisited(BOOL visited);

    // The registry's open command for ".htm" documents made into the command
    // line that opens target: cut before the first quoted "%1" (else the
    // first bare %1), then a blank and the target. False when the result
    // would not fit a command buffer of nCapacity characters.
    static bool BuildOpenCommand(LPCTSTR registryCommand, LPCTSTR target, int nCapacity, CString& command);

protected:
    // Called when the label is bound to its control.
    void PreSubclassWindow() override;
    // Called for each queued message of the label: shows it to the tooltip.
    BOOL PreTranslateMessage(MSG* pMsg) override;

    // Called when the control is clicked.
    void OnLinkClicked();
    // Called when the parent asks the control's colours.
    HBRUSH CtlColor(CDC* pDC, UINT nCtlColor);
    // Called when the cursor needs setting over the label.
    BOOL OnSetCursor(CWnd* pWnd, UINT nHitTest, UINT message);
    // Called when the pointer moves over the label (or anywhere, while it
    // holds the capture).
    void OnMouseMove(UINT nFlags, CPoint point);

    void FitToText();
    int OpenTarget(LPCTSTR target, int showCommand);
    void ShowOpenError(int code);
    LONG ReadDefaultValue(HKEY root, LPCTSTR subKey, LPTSTR out);

    DECLARE_MESSAGE_MAP()

protected:
    bool HasWindow() const { return m_hWnd != nullptr && ::IsWindow(m_hWnd); }
    void ApplyFont();

    COLORREF m_linkColor;
    COLORREF m_visitedColor;
    COLORREF m_hoverColor;
    BOOL m_isHovered = FALSE;
    BOOL m_isVisited = FALSE;
    BOOL m_isUnderlined = TRUE;
    BOOL m_fitToText = TRUE;
    CString m_target;
    CFont m_font;
    HCURSOR m_handCursor = nullptr; // shared: loaded from the resources, never destroyed
    CToolTipCtrl m_toolTip;
};
