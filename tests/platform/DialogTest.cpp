// CDialog: the framework's modal loop and PreTranslateMessage, data exchange,
// the default button, the routes to OnCancel and the disabled owner.
#include "platform/Afx.h"

#include "ModalRunner.h"
#include "Pump.h"
#include "TestResource.h"
#include "WindowText.h"

#include <gtest/gtest.h>

#include <atomic>
#include <mutex>
#include <string>

using namespace testsupport;

namespace {

void PostKey(HWND hWnd, UINT vk)
{
    ::PostMessageA(hWnd, WM_KEYDOWN, vk, 1);
    ::PostMessageA(hWnd, WM_KEYUP, vk, 0xC0000001);
}

// An edit control that sees every character before the dialog does and keeps
// 'x' for itself.
class CFilterEdit : public CWnd {
public:
    BOOL PreTranslateMessage(MSG* pMsg) override
    {
        if (pMsg->message != WM_CHAR)
            return FALSE;
        std::lock_guard<std::mutex> lock(m_mutex);
        m_seen += static_cast<char>(pMsg->wParam);
        return pMsg->wParam == 'x';
    }
    std::string Seen()
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        return m_seen;
    }

private:
    std::mutex m_mutex;
    std::string m_seen;
};

class CExchangeDlg : public CDialog {
public:
    CExchangeDlg() : CDialog(IDD_TEST_DIALOG) {}

    CString m_strCombo;
    CFilterEdit m_edit;

protected:
    void DoDataExchange(CDataExchange* pDX) override
    {
        CDialog::DoDataExchange(pDX);
        DDX_CBString(pDX, IDC_TEST_COMBO, m_strCombo);
    }
    BOOL OnInitDialog() override
    {
        CDialog::OnInitDialog();
        m_edit.SubclassDlgItem(IDC_TEST_EDIT, this);
        return TRUE;
    }
};

} // namespace

TEST(Dialog, TheModalLoopOffersQueuedMessagesToPreTranslateMessage)
{
    CExchangeDlg dlg;
    std::string text;
    RunModalWith(dlg, [&](HWND hDlg) {
        HWND hEdit = ::GetDlgItem(hDlg, IDC_TEST_EDIT);
        for (char ch : std::string("axb"))
            ::PostMessageA(hEdit, WM_CHAR, static_cast<WPARAM>(ch), 1);
        WaitUntil([&] { return dlg.m_edit.Seen().size() == 3 && WindowText(hEdit) == "ab"; });
        text = WindowText(hEdit);
    });
    EXPECT_EQ("axb", dlg.m_edit.Seen());
    EXPECT_EQ("ab", text) << "a message PreTranslateMessage takes is not dispatched";
}

TEST(Dialog, ExchangesDataBothWaysAndEnterPressesTheDefaultButton)
{
    CExchangeDlg dlg;
    dlg.m_strCombo = "first text";
    std::string shown;
    INT_PTR result = RunModalWith(dlg, [&](HWND hDlg) {
        HWND hCombo = ::GetDlgItem(hDlg, IDC_TEST_COMBO);
        shown = WindowText(hCombo);
        ::SendMessageA(hCombo, WM_SETTEXT, 0, reinterpret_cast<LPARAM>("second text"));
        HWND hComboEdit = ::GetWindow(hCombo, GW_CHILD);
        PostKey(hComboEdit != nullptr ? hComboEdit : hCombo, VK_RETURN);
        WaitUntil([&] { return !::IsWindow(hDlg); });
    });
    EXPECT_EQ("first text", shown) << "OnInitDialog exchanges towards the controls";
    EXPECT_EQ(IDOK, result);
    EXPECT_EQ(CString("second text"), dlg.m_strCombo) << "OnOK exchanges from the controls";
}

namespace {

class CRefusingDlg : public CDialog {
public:
    CRefusingDlg() : CDialog(IDD_TEST_DIALOG) {}
    std::atomic<int> m_nCancel{ 0 };
    int m_nAllowAt = 3;

protected:
    void OnCancel() override
    {
        if (++m_nCancel >= m_nAllowAt)
            CDialog::OnCancel();
    }
};

} // namespace

TEST(Dialog, EscapeTheCloseBoxAndACommandAllArriveAsCancel)
{
    CRefusingDlg dlg;
    bool openAfterEscape = false;
    bool openAfterCloseBox = false;
    INT_PTR result = RunModalWith(dlg, [&](HWND hDlg) {
        PostKey(::GetDlgItem(hDlg, IDC_TEST_EDIT), VK_ESCAPE);
        WaitUntil([&] { return dlg.m_nCancel == 1; });
        openAfterEscape = ::IsWindowVisible(hDlg);

        ::PostMessageA(hDlg, WM_SYSCOMMAND, SC_CLOSE, 0);
        WaitUntil([&] { return dlg.m_nCancel == 2; });
        openAfterCloseBox = ::IsWindowVisible(hDlg);

        ::PostMessageA(hDlg, WM_COMMAND, MAKEWPARAM(IDCANCEL, 0), 0);
        WaitUntil([&] { return !::IsWindow(hDlg); });
    });
    EXPECT_EQ(3, dlg.m_nCancel);
    EXPECT_TRUE(openAfterEscape);
    EXPECT_TRUE(openAfterCloseBox);
    EXPECT_EQ(IDCANCEL, result);
}

TEST(Dialog, AMissingTemplateFailsWithMinusOne)
{
    CDialog dlg(4711);
    EXPECT_EQ(-1, dlg.DoModal());
    EXPECT_EQ(nullptr, dlg.m_hWnd);
}

namespace {

constexpr UINT WM_RUN_NESTED = WM_APP + 10;

class COuterDlg : public CDialog {
public:
    COuterDlg() : CDialog(IDD_TEST_DIALOG) {}
    std::atomic<INT_PTR> m_nNestedResult{ 0 };

protected:
    LRESULT OnRunNested(WPARAM, LPARAM)
    {
        CDialog nested(IDD_TEST_CHILD_DIALOG, this);
        m_nNestedResult = nested.DoModal();
        return 0;
    }
    DECLARE_MESSAGE_MAP()
};

BEGIN_MESSAGE_MAP(COuterDlg, CDialog)
    ON_MESSAGE(WM_RUN_NESTED, OnRunNested)
END_MESSAGE_MAP()

} // namespace

TEST(Dialog, ANestedDialogDisablesItsOwnerWhileItRuns)
{
    COuterDlg dlg;
    bool ownerDisabled = false;
    bool ownerEnabledAfter = false;
    RunModalWith(dlg, [&](HWND hDlg) {
        ::PostMessageA(hDlg, WM_RUN_NESTED, 0, 0);
        HWND hNested = nullptr;
        WaitUntil([&] { return (hNested = ::FindWindowA("#32770", "Nested Test Dialog")) != nullptr &&
                               ::IsWindowVisible(hNested); });
        ownerDisabled = hNested != nullptr && !::IsWindowEnabled(hDlg);
        if (hNested != nullptr)
            PostKey(::GetDlgItem(hNested, IDOK), VK_RETURN);
        ownerEnabledAfter = WaitUntil([&] { return dlg.m_nNestedResult != 0 && ::IsWindowEnabled(hDlg); });
    });
    EXPECT_TRUE(ownerDisabled);
    EXPECT_TRUE(ownerEnabledAfter);
    EXPECT_EQ(IDOK, dlg.m_nNestedResult);
}
