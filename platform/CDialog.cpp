#include "platform/CDialog.h"

#include "platform/CWinApp.h"

#include <cstring>


namespace {

// The dialog being created on this thread, bound on its first message.
thread_local CDialog* t_pDialogInit = nullptr;

} // namespace

BEGIN_MESSAGE_MAP(CDialog, CWnd)
    ON_MESSAGE(WM_INITDIALOG, HandleInitDialog)
    ON_COMMAND(IDOK, OnOK)
    ON_COMMAND(IDCANCEL, OnCancel)
END_MESSAGE_MAP()

INT_PTR CALLBACK CDialog::DlgProc(HWND hWnd, UINT message, WPARAM wParam, LPARAM lParam) noexcept
{
    CDialog* pDlg = t_pDialogInit;
    if (pDlg == nullptr || FromHandlePermanent(hWnd) != nullptr)
        return FALSE; // bound: the system's default processing applies
    t_pDialogInit = nullptr;
    if (!pDlg->SubclassWindow(hWnd))
        return FALSE;
    // Without DS_SETFONT the first message may already be WM_INITDIALOG.
    if (message == WM_INITDIALOG)
        return CWnd::WndProc(hWnd, message, wParam, lParam);
    return FALSE;
}

INT_PTR CDialog::DoModal()
{
    if (m_hWnd != nullptr)
        return -1;

    HWND hOwner = m_pParentWnd != nullptr ? m_pParentWnd->m_hWnd : nullptr;
    if (hOwner == nullptr) {
        CWnd* pMain = AfxGetMainWnd();
        if (pMain != nullptr && pMain != this)
            hOwner = pMain->m_hWnd;
    }
    if (hOwner != nullptr)
        hOwner = ::GetAncestor(hOwner, GA_ROOT);

    m_bEndModal = false;
    m_nModalResult = -1;
    t_pDialogInit = this;
    HWND hWnd = ::CreateDialogParamA(::GetModuleHandleA(nullptr), MAKEINTRESOURCEA(m_nIDTemplate), hOwner,
                                     &CDialog::DlgProc, 0);
    t_pDialogInit = nullptr;
    if (hWnd == nullptr)
        return -1;

    bool bOwnerDisabled = hOwner != nullptr && ::IsWindowEnabled(hOwner);
    if (bOwnerDisabled)
        ::EnableWindow(hOwner, FALSE);

    if (!m_bEndModal) {
        if (!::IsWindowVisible(hWnd))
            ::ShowWindow(hWnd, SW_SHOWNORMAL);
        RunModalLoop();
    }

    if (bOwnerDisabled)
        ::EnableWindow(hOwner, TRUE);
    if (hOwner != nullptr && ::GetActiveWindow() == hWnd)
        ::SetActiveWindow(hOwner);
    ::DestroyWindow(hWnd);
    return m_nModalResult;
}

void CDialog::RunModalLoop()
{
    MSG msg;
    // The loop also ends if the window goes away without EndDialog.
    while (!m_bEndModal && m_hWnd != nullptr) {
        BOOL got = ::GetMessageA(&msg, nullptr, 0, 0);
        if (got == -1)
            break;
        if (got == 0) {
            // WM_QUIT belongs to the loop outside this one.
            ::PostQuitMessage(static_cast<int>(msg.wParam));
            break;
        }
        if (!CWnd::WalkPreTranslateTree(m_hWnd, &msg)) {
            ::TranslateMessage(&msg);
            ::DispatchMessageA(&msg);
        }
    }
}

void CDialog::EndDialog(int nResult)
{
    m_nModalResult = nResult;
    m_bEndModal = true;
    // Wakes the loop when this runs inside a message sent from another thread.
    if (m_hWnd != nullptr)
        ::PostMessageA(m_hWnd, WM_NULL, 0, 0);
}

void CDialog::PostNcDestroy()
{
    ::PostThreadMessageA(::GetCurrentThreadId(), WM_NULL, 0, 0);
}

BOOL CDialog::PreTranslateMessage(MSG* pMsg)
{
    // Accelerators first, then keyboard navigation: Tab, Enter to the
    // default button, Escape.
    if (pMsg->message < WM_KEYFIRST || pMsg->message > WM_KEYLAST)
        return FALSE;
    if (m_hAccel != nullptr && ::TranslateAcceleratorA(m_hWnd, m_hAccel, pMsg))
        return TRUE;
    return ::IsDialogMessageA(m_hWnd, pMsg);
}

BOOL CDialog::UpdateData(BOOL bSaveAndValidate)
{
    CDataExchange dx(this, bSaveAndValidate);
    DoDataExchange(&dx);
    return TRUE;
}

void CDialog::DoDataExchange(CDataExchange*) {}

LRESULT CDialog::HandleInitDialog(WPARAM, LPARAM)
{
    return OnInitDialog();
}

BOOL CDialog::OnInitDialog()
{
    UpdateData(FALSE);
    return TRUE;
}

void CDialog::OnOK()
{
    if (UpdateData(TRUE))
        EndDialog(IDOK);
}

void CDialog::OnCancel()
{
    EndDialog(IDCANCEL);
}

namespace {

// Reads a dialog template, classic (DLGTEMPLATE) or extended (DLGTEMPLATEEX).
class CTemplateReader {
public:
    CTemplateReader(const BYTE* p, size_t n) : m_p(p), m_end(p + n) {}

    bool Ok() const { return m_p <= m_end; }
    WORD Word() { return Take<WORD>(); }
    DWORD Dword() { return Take<DWORD>(); }
    void Skip(size_t n) { m_p += n; }
    // A string, an ordinal or nothing (sz_Or_Ord).
    void SkipNameOrOrdinal()
    {
        WORD first = Word();
        if (first == 0xFFFF)
            Word();
        else
            while (first != 0 && Ok())
                first = Word();
    }
    void AlignDword(const BYTE* base) { m_p += (4 - (m_p - base) % 4) % 4; }
    const BYTE* Here() const { return m_p; }

private:
    template <class T>
    T Take()
    {
        T value{};
        if (m_p + sizeof(T) <= m_end)
            std::memcpy(&value, m_p, sizeof(T));
        m_p += sizeof(T);
        return value;
    }

    const BYTE* m_p;
    const BYTE* m_end;
};

} // namespace

bool CDialog::GetTemplateItemStyle(int nID, DWORD* pStyle, DWORD* pExStyle) const
{
    HINSTANCE hInstance = ::GetModuleHandleA(nullptr);
    HRSRC hRes = ::FindResourceA(hInstance, MAKEINTRESOURCEA(m_nIDTemplate), MAKEINTRESOURCEA(5)); // RT_DIALOG
    HGLOBAL hData = hRes != nullptr ? ::LoadResource(hInstance, hRes) : nullptr;
    const BYTE* base = hData != nullptr ? static_cast<const BYTE*>(::LockResource(hData)) : nullptr;
    if (base == nullptr)
        return false;
    CTemplateReader in(base, ::SizeofResource(hInstance, hRes));
    bool bExtended = in.Word() == 1 && in.Word() == 0xFFFF;
    DWORD style = 0;
    if (bExtended) {
        in.Skip(8); // help id, extended style
        style = in.Dword();
    } else {
        in = CTemplateReader(base, ::SizeofResource(hInstance, hRes));
        style = in.Dword();
        in.Skip(4);
    }
    WORD count = in.Word();
    in.Skip(8); // x, y, cx, cy
    in.SkipNameOrOrdinal(); // menu
    in.SkipNameOrOrdinal(); // class
    in.SkipNameOrOrdinal(); // title
    if ((style & DS_SETFONT) != 0) {
        in.Skip(bExtended ? 6 : 2); // point size (and weight, italic, character set)
        in.SkipNameOrOrdinal();
    }
    for (WORD i = 0; i < count && in.Ok(); ++i) {
        in.AlignDword(base);
        DWORD itemStyle = 0, itemExStyle = 0;
        int itemId = 0;
        if (bExtended) {
            in.Skip(4); // help id
            itemExStyle = in.Dword();
            itemStyle = in.Dword();
            in.Skip(8);
            itemId = static_cast<int>(in.Dword());
        } else {
            itemStyle = in.Dword();
            itemExStyle = in.Dword();
            in.Skip(8);
            itemId = static_cast<short>(in.Word());
        }
        in.SkipNameOrOrdinal(); // class
        in.SkipNameOrOrdinal(); // title
        in.Skip(in.Word());     // creation data
        if (itemId == nID && in.Ok()) {
            *pStyle = itemStyle;
            *pExStyle = itemExStyle;
            return true;
        }
    }
    return false;
}

void DDX_CBString(CDataExchange* pDX, int nIDC, CString& value)
{
    HWND hCtrl = ::GetDlgItem(pDX->m_pDlgWnd->m_hWnd, nIDC);
    if (hCtrl == nullptr)
        return;
    if (pDX->m_bSaveAndValidate) {
        value = AfxGetWindowText(hCtrl);
    } else {
        ::SetWindowTextA(hCtrl, value);
    }
}
