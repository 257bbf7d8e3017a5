// The framework's message maps on a real dialog: the derived map before the
// base one, notifications reflected to a bound child before the parent,
// accelerator commands told from control notifications, and an exception
// stopped at the window procedure.
#include "TestResource.h"
#include "TestSupport.h"

#include <gtest/gtest.h>

using namespace testsupport;

namespace {

constexpr UINT WM_SHARED = WM_APP + 1;
constexpr UINT WM_BASE_ONLY = WM_APP + 2;
constexpr UINT WM_THROW = WM_APP + 3;
constexpr UINT IDM_TEST = 9301;

// A label that takes its own clicks.
class CClickLabel : public CStatic {
public:
    int m_nClicked = 0;

protected:
    void OnClicked() { ++m_nClicked; }
    DECLARE_MESSAGE_MAP()
};

BEGIN_MESSAGE_MAP(CClickLabel, CStatic)
    ON_CONTROL_REFLECT(STN_CLICKED, OnClicked)
END_MESSAGE_MAP()

class CBaseDlg : public CDialog {
public:
    CBaseDlg() : CDialog(IDD_TEST) {}
    std::vector<std::string> m_calls; // user-interface thread, read after the dialog ends

protected:
    LRESULT OnShared(WPARAM, LPARAM) { return m_calls.push_back("base shared"), 1; }
    LRESULT OnBaseOnly(WPARAM wParam, LPARAM lParam) { return static_cast<LRESULT>(wParam) + lParam; }
    void OnMenuCommand() { m_calls.push_back("menu command"); }
    DECLARE_MESSAGE_MAP()
};

BEGIN_MESSAGE_MAP(CBaseDlg, CDialog)
    ON_MESSAGE(WM_SHARED, OnShared)
    ON_MESSAGE(WM_BASE_ONLY, OnBaseOnly)
    ON_COMMAND(IDM_TEST, OnMenuCommand)
END_MESSAGE_MAP()

class CDerivedDlg : public CBaseDlg {
public:
    CClickLabel m_label;

protected:
    BOOL OnInitDialog() override
    {
        CDialog::OnInitDialog();
        m_label.SubclassDlgItem(IDC_TEST_LABEL, this);
        return TRUE;
    }
    LRESULT OnShared(WPARAM, LPARAM) { return m_calls.push_back("derived shared"), 2; }
    LRESULT OnThrow(WPARAM, LPARAM) { throw CException("The handler failed."); }
    void OnButton() { m_calls.push_back("button"); }
    void OnLabelClicked() { m_calls.push_back("label clicked"); }
    DECLARE_MESSAGE_MAP()
};

BEGIN_MESSAGE_MAP(CDerivedDlg, CBaseDlg)
    ON_MESSAGE(WM_SHARED, OnShared)
    ON_MESSAGE(WM_THROW, OnThrow)
    ON_BN_CLICKED(IDC_TEST_BUTTON, OnButton)
    ON_CONTROL(STN_CLICKED, IDC_TEST_LABEL, OnLabelClicked)
END_MESSAGE_MAP()

} // namespace

TEST(MessageMap, DispatchesReflectsAndSurvivesAThrowingHandler)
{
    MessageBoxWatcher boxes;
    CDerivedDlg dlg;
    LRESULT shared = 0, baseOnly = 0, thrown = -1;
    RunModalWith(dlg, [&](HWND hDlg) {
        HWND hLabel = ::GetDlgItem(hDlg, IDC_TEST_LABEL);
        auto notify = [&](UINT code, HWND hCtl, UINT id = IDC_TEST_LABEL) {
            ::SendMessageA(hDlg, WM_COMMAND, MAKEWPARAM(id, code), reinterpret_cast<LPARAM>(hCtl));
        };
        ::SendMessageA(::GetDlgItem(hDlg, IDC_TEST_BUTTON), BM_CLICK, 0, 0);
        shared = ::SendMessageA(hDlg, WM_SHARED, 0, 0);
        baseOnly = ::SendMessageA(hDlg, WM_BASE_ONLY, 3, 4);
        notify(STN_CLICKED, hLabel); // the bound label takes it
        notify(1, hLabel, IDM_TEST);  // code 1 from a control (STN_DBLCLK): no ON_COMMAND's
        notify(1, nullptr, IDM_TEST); // code 1 and no control: an accelerator's command
        thrown = ::SendMessageA(hDlg, WM_THROW, 0, 0);
        OnUiThread(hDlg, [&] { dlg.m_label.UnsubclassWindow(); });
        notify(STN_CLICKED, hLabel); // unbound: the parent's
    });
    EXPECT_EQ(2, shared) << "the derived entry wins";
    EXPECT_EQ(7, baseOnly) << "a base entry applies, with both parameters";
    EXPECT_EQ(1, dlg.m_label.m_nClicked);
    EXPECT_EQ((std::vector<std::string>{ "button", "derived shared", "menu command", "label clicked" }), dlg.m_calls)
        << "the click after unbinding reaches the parent";
    EXPECT_EQ(0, thrown);
    EXPECT_EQ(std::vector<std::string>{ "The handler failed." }, boxes.Texts());
}
