// CDialog: a modal dialog from a template, run by the framework's own modal
// loop so that PreTranslateMessage of the dialog and its bound children sees
// every queued message first.
//
// The dialog is created modeless and bound to its object on the first message
// its dialog procedure receives, before WM_INITDIALOG; from then on the
// framework's window procedure runs the map and the system's dialog
// procedure provides the default processing. The owner is disabled while the
// dialog runs.
#pragma once

#include "platform/CWnd.h"

class CDataExchange {
public:
    CDataExchange(CWnd* pDlgWnd, BOOL bSaveAndValidate) noexcept
        : m_bSaveAndValidate(bSaveAndValidate), m_pDlgWnd(pDlgWnd) {}

    BOOL m_bSaveAndValidate; // TRUE: controls to members; FALSE: members to controls
    CWnd* m_pDlgWnd;
};

// The edit text of a combo box against a string.
void DDX_CBString(CDataExchange* pDX, int nIDC, CString& value);

class CDialog : public CWnd {
public:
    explicit CDialog(UINT nIDTemplate, CWnd* pParentWnd = nullptr) noexcept
        : m_nIDTemplate(nIDTemplate), m_pParentWnd(pParentWnd) {}

    // Creates the dialog, runs it until EndDialog and destroys it. Returns the
    // EndDialog result, or -1 when the dialog could not be created.
    virtual INT_PTR DoModal();
    void EndDialog(int nResult);

    // Runs DoDataExchange: from the controls when bSaveAndValidate is TRUE,
    // towards them when FALSE.
    BOOL UpdateData(BOOL bSaveAndValidate = TRUE);

    // The styles the dialog's template gives control nID (as written there:
    // some controls change their own styles once created); false when the
    // template has no such control.
    bool GetTemplateItemStyle(int nID, DWORD* pStyle, DWORD* pExStyle) const;

    BOOL PreTranslateMessage(MSG* pMsg) override;
    // Called when the window is gone: wakes a modal loop waiting for a
    // message, so that it sees the window go however it went.
    void PostNcDestroy() override;

protected:
    virtual void DoDataExchange(CDataExchange* pDX);
    // Called when the controls exist and before the dialog shows: exchanges
    // data towards the controls. TRUE gives the focus to the first tab stop.
    virtual BOOL OnInitDialog();
    // Called for IDOK (Enter on a default OK button): data from the controls,
    // then close with IDOK.
    virtual void OnOK();
    // Called for IDCANCEL (Escape, the close box, a command IDCANCEL): close
    // with IDCANCEL.
    virtual void OnCancel();

    UINT m_nIDTemplate;
    CWnd* m_pParentWnd;
    HACCEL m_hAccel = nullptr; // the dialog's accelerators, if any; user-interface thread only

private:
    LRESULT HandleInitDialog(WPARAM wParam, LPARAM lParam);
    void RunModalLoop();
    static INT_PTR CALLBACK DlgProc(HWND hWnd, UINT message, WPARAM wParam, LPARAM lParam) noexcept;

    bool m_bEndModal = false;
    INT_PTR m_nModalResult = -1;

    DECLARE_MESSAGE_MAP()
};
