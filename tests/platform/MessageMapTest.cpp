// Message maps on real windows: dispatch and chaining, reflection to a bound
// child, subclassing, and exceptions stopped at the window procedure.
#include "platform/Afx.h"

#include "MessageBoxes.h"
#include "ModalRunner.h"
#include "Pump.h"
#include "TestResource.h"

#include <gtest/gtest.h>

#include <atomic>

using namespace testsupport;

namespace {

constexpr UINT WM_SHARED = WM_APP + 1;
constexpr UINT WM_BASE_ONLY = WM_APP + 2;
constexpr UINT WM_THROW = WM_APP + 3;

class CBaseDlg : public CDialog {
public:
    CBaseDlg() : CDialog(IDD_TEST_DIALOG) {}

    std::atomic<int> m_nButton{ 0 };
    std::atomic<int> m_nBaseShared{ 0 };

protected:
    void OnButton() { ++m_nButton; }
    LRESULT OnShared(WPARAM, LPARAM)
    {
        ++m_nBaseShared;
        return 1;
    }
    LRESULT OnBaseOnly(WPARAM wParam, LPARAM lParam) { return static_cast<LRESULT>(wParam) + lParam; }

    DECLARE_MESSAGE_MAP()
};

BEGIN_MESSAGE_MAP(CBaseDlg, CDialog)
    ON_BN_CLICKED(IDC_TEST_BUTTON, OnButton)
    ON_MESSAGE(WM_SHARED, OnShared)
    ON_MESSAGE(WM_BASE_ONLY, OnBaseOnly)
END_MESSAGE_MAP()

class CDerivedDlg : public CBaseDlg {
public:
    std::atomic<int> m_nDerivedShared{ 0 };

protected:
    LRESULT OnDerivedShared(WPARAM, LPARAM)
    {
        ++m_nDerivedShared;
        return 2;
    }
    LRESULT OnThrow(WPARAM, LPARAM) { throw CException("The handler failed."); }

    DECLARE_MESSAGE_MAP()
};

BEGIN_MESSAGE_MAP(CDerivedDlg, CBaseDlg)
    ON_MESSAGE(WM_SHARED, OnDerivedShared)
    ON_MESSAGE(WM_THROW, OnThrow)
END_MESSAGE_MAP()

} // namespace

TEST(MessageMap, DispatchesOnceAndChainsToTheBaseMap)
{
    CDerivedDlg dlg;
    LRESULT shared = 0;
    LRESULT baseOnly = 0;
    RunModalWith(dlg, [&](HWND hDlg) {
        ::SendMessageA(::GetDlgItem(hDlg, IDC_TEST_BUTTON), BM_CLICK, 0, 0);
        shared = ::SendMessageA(hDlg, WM_SHARED, 0, 0);
        baseOnly = ::SendMessageA(hDlg, WM_BASE_ONLY, 3, 4);
    });
    EXPECT_EQ(1, dlg.m_nButton) << "a click reaches its handler exactly once";
    EXPECT_EQ(2, shared) << "the derived entry wins";
    EXPECT_EQ(1, dlg.m_nDerivedShared);
    EXPECT_EQ(0, dlg.m_nBaseShared);
    EXPECT_EQ(7, baseOnly) << "a base entry applies, with both parameters";
}

TEST(MessageMap, AnExceptionIsReportedAndTheDialogCarriesOn)
{
    MessageBoxWatcher boxes;
    CDerivedDlg dlg;
    LRESULT thrown = -1;
    RunModalWith(dlg, [&](HWND hDlg) {
        thrown = ::SendMessageA(hDlg, WM_THROW, 0, 0);
        ::SendMessageA(::GetDlgItem(hDlg, IDC_TEST_BUTTON), BM_CLICK, 0, 0);
    });
    EXPECT_EQ(0, thrown);
    ASSERT_EQ(1u, boxes.Count());
    EXPECT_EQ("The handler failed.", boxes.Seen()[0].text);
    EXPECT_EQ(AfxGetAppName(), boxes.Seen()[0].title);
    EXPECT_EQ(1, dlg.m_nButton) << "the dialog still handles messages afterwards";
}

namespace {

// A label that takes its own click and colour notifications.
class CReflectingLabel : public CStatic {
public:
    HBRUSH m_hBrush = nullptr; // what CtlColor answers
    std::atomic<int> m_nClicked{ 0 };
    std::atomic<int> m_nCtlColor{ 0 };
    std::atomic<UINT> m_nLastCtlColor{ 0xFFFF };
    HWND m_hWndAtPreSubclass = nullptr;
    bool m_bBoundAtPreSubclass = false;

protected:
    void PreSubclassWindow() override
    {
        m_hWndAtPreSubclass = m_hWnd;
        m_bBoundAtPreSubclass = FromHandlePermanent(m_hWnd) == this;
    }
    void OnClicked() { ++m_nClicked; }
    HBRUSH CtlColor(CDC* pDC, UINT nCtlColor)
    {
        ++m_nCtlColor;
        m_nLastCtlColor = nCtlColor;
        pDC->SetTextColor(RGB(255, 0, 0));
        return m_hBrush;
    }

    DECLARE_MESSAGE_MAP()
};

BEGIN_MESSAGE_MAP(CReflectingLabel, CStatic)
    ON_CONTROL_REFLECT(STN_CLICKED, OnClicked)
    ON_WM_CTLCOLOR_REFLECT()
END_MESSAGE_MAP()

constexpr UINT WM_UNSUBCLASS = WM_APP + 4;

class CLabelDlg : public CDialog {
public:
    CLabelDlg() : CDialog(IDD_TEST_DIALOG) {}

    CReflectingLabel m_label;
    bool m_bSubclassed = false;
    bool m_bSecondBindRefused = false;
    bool m_bUnknownIdRefused = false;
    std::atomic<int> m_nParentClicked{ 0 };
    std::atomic<int> m_nParentDblClk{ 0 };

protected:
    BOOL OnInitDialog() override
    {
        CDialog::OnInitDialog();
        m_bSubclassed = m_label.SubclassDlgItem(IDC_TEST_STATIC, this);
        CStatic other;
        m_bSecondBindRefused = !other.SubclassDlgItem(IDC_TEST_STATIC, this);
        m_bUnknownIdRefused = !other.SubclassDlgItem(4242, this);
        return TRUE;
    }
    void OnParentClicked() { ++m_nParentClicked; }
    void OnParentDblClk() { ++m_nParentDblClk; }
    LRESULT OnUnsubclass(WPARAM, LPARAM)
    {
        return m_label.UnsubclassWindow() != nullptr && CWnd::FromHandlePermanent(GetDlgItem(IDC_TEST_STATIC)) == nullptr;
    }

    DECLARE_MESSAGE_MAP()
};

BEGIN_MESSAGE_MAP(CLabelDlg, CDialog)
    ON_CONTROL(STN_CLICKED, IDC_TEST_STATIC, OnParentClicked)
    ON_CONTROL(STN_DBLCLK, IDC_TEST_STATIC, OnParentDblClk)
    ON_MESSAGE(WM_UNSUBCLASS, OnUnsubclass)
END_MESSAGE_MAP()

void SendNotify(HWND hDlg, int id, UINT code)
{
    ::SendMessageA(hDlg, WM_COMMAND, MAKEWPARAM(id, code), reinterpret_cast<LPARAM>(::GetDlgItem(hDlg, id)));
}

} // namespace

TEST(MessageMap, SubclassingBindsTheControlAndRunsPreSubclassWindowFirst)
{
    CLabelDlg dlg;
    HWND hLabel = nullptr;
    CString text;
    RunModalWith(dlg, [&](HWND hDlg) {
        hLabel = ::GetDlgItem(hDlg, IDC_TEST_STATIC);
        // Default processing still runs for what the map does not take.
        ::SendMessageA(hLabel, WM_SETTEXT, 0, reinterpret_cast<LPARAM>("Changed"));
        char buf[32] = "";
        ::SendMessageA(hLabel, WM_GETTEXT, sizeof buf, reinterpret_cast<LPARAM>(buf));
        text = buf;
    });
    EXPECT_TRUE(dlg.m_bSubclassed);
    EXPECT_EQ(hLabel, dlg.m_label.m_hWndAtPreSubclass);
    EXPECT_TRUE(dlg.m_label.m_bBoundAtPreSubclass);
    EXPECT_TRUE(dlg.m_bSecondBindRefused);
    EXPECT_TRUE(dlg.m_bUnknownIdRefused);
    EXPECT_EQ(CString("Changed"), text);
    EXPECT_EQ(nullptr, dlg.m_label.m_hWnd) << "the object lets go of its window when it is destroyed";
}

TEST(MessageMap, ReflectsACommandToTheBoundChildBeforeTheParent)
{
    CLabelDlg dlg;
    LRESULT unbound = 0;
    RunModalWith(dlg, [&](HWND hDlg) {
        SendNotify(hDlg, IDC_TEST_STATIC, STN_CLICKED);
        SendNotify(hDlg, IDC_TEST_STATIC, STN_DBLCLK); // the child has no entry for this one
        unbound = ::SendMessageA(hDlg, WM_UNSUBCLASS, 0, 0);
        SendNotify(hDlg, IDC_TEST_STATIC, STN_CLICKED);
    });
    EXPECT_EQ(1, dlg.m_label.m_nClicked);
    EXPECT_EQ(1, dlg.m_nParentDblClk);
    EXPECT_TRUE(unbound);
    EXPECT_EQ(1, dlg.m_nParentClicked) << "only the click sent after unbinding reaches the parent";
}

TEST(MessageMap, ReflectsControlColourAndANullBrushDeclines)
{
    CLabelDlg dlg;
    dlg.m_label.m_hBrush = static_cast<HBRUSH>(::GetStockObject(NULL_BRUSH));
    LRESULT answered = 0;
    LRESULT declined = 0;
    COLORREF textColour = 0;
    int paintedColours = 0;
    RunModalWith(dlg, [&](HWND hDlg) {
        HWND hLabel = ::GetDlgItem(hDlg, IDC_TEST_STATIC);
        // The real control asks its parent when it paints.
        ::RedrawWindow(hLabel, nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW);
        WaitUntil([&] { return dlg.m_label.m_nCtlColor > 0; });
        paintedColours = dlg.m_label.m_nCtlColor;

        HDC hdc = ::CreateCompatibleDC(nullptr);
        answered = ::SendMessageA(hDlg, WM_CTLCOLORSTATIC, reinterpret_cast<WPARAM>(hdc),
                                  reinterpret_cast<LPARAM>(hLabel));
        textColour = ::GetTextColor(hdc);
        dlg.m_label.m_hBrush = nullptr;
        declined = ::SendMessageA(hDlg, WM_CTLCOLORSTATIC, reinterpret_cast<WPARAM>(hdc),
                                  reinterpret_cast<LPARAM>(hLabel));
        ::DeleteDC(hdc);
    });
    EXPECT_GT(paintedColours, 0);
    EXPECT_EQ(reinterpret_cast<LRESULT>(::GetStockObject(NULL_BRUSH)), answered);
    EXPECT_EQ(RGB(255, 0, 0), textColour);
    EXPECT_EQ(static_cast<UINT>(CTLCOLOR_STATIC), dlg.m_label.m_nLastCtlColor);
    EXPECT_NE(0, declined) << "the dialog's own colour answer applies";
    EXPECT_NE(answered, declined);
}
