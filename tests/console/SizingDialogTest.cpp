// CSizingDialog on a real resizable dialog: the deltas reported for
// minimising, maximising and dragging, the minimum tracking size, and the
// child operations.
#include "console/SizingDialog.h"

#include "ModalRunner.h"
#include "Pump.h"
#include "TestResource.h"
#include "WindowText.h"
#include "res/resource.h"

#include <gtest/gtest.h>

#include <mutex>
#include <utility>
#include <vector>

using namespace testsupport;

namespace {

constexpr UINT WM_TEST_MOVE = WM_APP + 60; // wParam: id, lParam: dx, dy
constexpr UINT WM_TEST_GROW = WM_APP + 61; // wParam: id (0: a null window), lParam: dx, dy

class CSizingTestDlg : public CSizingDialog {
public:
    CSizingTestDlg() : CSizingDialog(IDD_TEST_SIZING, nullptr) {}

    std::vector<std::pair<int, int>> Calls()
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        return m_calls;
    }
    CSize m_sizeAtInit;  // the window size OnInitDialog found
    CRect m_rcInitClient;

protected:
    BOOL OnInitDialog() override
    {
        CSizingDialog::OnInitDialog();
        CRect rc;
        GetWindowRect(rc);
        m_sizeAtInit = CSize(rc.Width(), rc.Height());
        GetClientRect(m_rcInitClient);
        return TRUE;
    }
    void OnSizeChanged(int dx, int dy) override
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_calls.emplace_back(dx, dy);
    }
    LRESULT OnTestMove(WPARAM wParam, LPARAM lParam)
    {
        MoveChild(static_cast<short>(LOWORD(lParam)), static_cast<short>(HIWORD(lParam)), static_cast<UINT>(wParam));
        return 0;
    }
    LRESULT OnTestGrow(WPARAM wParam, LPARAM lParam)
    {
        int dx = static_cast<short>(LOWORD(lParam));
        int dy = static_cast<short>(HIWORD(lParam));
        if (wParam == 0)
            GrowChild(dx, dy, static_cast<CWnd*>(nullptr));
        else
            GrowChild(dx, dy, static_cast<UINT>(wParam));
        return 0;
    }
    DECLARE_MESSAGE_MAP()

private:
    std::mutex m_mutex;
    std::vector<std::pair<int, int>> m_calls; // guarded by m_mutex
};

BEGIN_MESSAGE_MAP(CSizingTestDlg, CSizingDialog)
    ON_MESSAGE(WM_TEST_MOVE, OnTestMove)
    ON_MESSAGE(WM_TEST_GROW, OnTestGrow)
END_MESSAGE_MAP()

CRect Client(HWND hDlg)
{
    CRect rc;
    ::GetClientRect(hDlg, rc);
    return rc;
}

void Resize(HWND hDlg, int cx, int cy)
{
    ::SetWindowPos(hDlg, nullptr, 0, 0, cx, cy, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
}

} // namespace

TEST(SizingDialog, ReportsNothingBeforeInitialisationOrForMinimising)
{
    CSizingTestDlg dlg;
    std::vector<std::pair<int, int>> atStart, afterMinRestore;
    RunModalWith(dlg, [&](HWND hDlg) {
        atStart = dlg.Calls();
        ::ShowWindow(hDlg, SW_MINIMIZE);
        WaitUntil([&] { return ::IsIconic(hDlg) != FALSE; });
        ::ShowWindow(hDlg, SW_RESTORE);
        WaitUntil([&] { return !::IsIconic(hDlg); });
        afterMinRestore = dlg.Calls();
    });
    EXPECT_TRUE(atStart.empty()) << "the WM_SIZE of creation came before initialisation";
    EXPECT_TRUE(afterMinRestore.empty()) << "minimise and restore to the same size report nothing";
}

TEST(SizingDialog, MaximiseAndRestoreReportOppositeChanges)
{
    CSizingTestDlg dlg;
    CRect before, maximised;
    std::vector<std::pair<int, int>> calls;
    RunModalWith(dlg, [&](HWND hDlg) {
        before = Client(hDlg);
        ::ShowWindow(hDlg, SW_MAXIMIZE);
        WaitUntil([&] { return dlg.Calls().size() == 1; });
        maximised = Client(hDlg);
        ::ShowWindow(hDlg, SW_RESTORE);
        WaitUntil([&] { return dlg.Calls().size() == 2; });
        calls = dlg.Calls();
    });
    ASSERT_EQ(2u, calls.size());
    EXPECT_EQ(maximised.right - before.right, calls[0].first);
    EXPECT_EQ(maximised.bottom - before.bottom, calls[0].second);
    EXPECT_GT(calls[0].first, 0);
    EXPECT_EQ(-calls[0].first, calls[1].first);
    EXPECT_EQ(-calls[0].second, calls[1].second);
}

TEST(SizingDialog, DragsAddUpAndTheInitialSizeIsTheMinimum)
{
    CSizingTestDlg dlg;
    std::vector<std::pair<int, int>> calls;
    CRect last;
    MINMAXINFO mmi{};
    RunModalWith(dlg, [&](HWND hDlg) {
        const int w = dlg.m_sizeAtInit.cx;
        const int h = dlg.m_sizeAtInit.cy;
        const int steps[][2] = { { 10, 0 }, { 25, 7 }, { 25, 7 }, { 3, 40 }, { 0, 0 } };
        for (const auto& step : steps)
            Resize(hDlg, w + step[0], h + step[1]);
        last = Client(hDlg);
        calls = dlg.Calls();
        ::SendMessageA(hDlg, WM_GETMINMAXINFO, 0, reinterpret_cast<LPARAM>(&mmi));
    });
    int sumX = 0, sumY = 0;
    for (const auto& c : calls) {
        EXPECT_TRUE(c.first != 0 || c.second != 0);
        sumX += c.first;
        sumY += c.second;
    }
    EXPECT_EQ(4u, calls.size()) << "a size equal to the last reported one gives no call";
    EXPECT_EQ(0, sumX) << "back at the initial size";
    EXPECT_EQ(0, sumY);
    EXPECT_EQ(dlg.m_rcInitClient.right, last.right);
    EXPECT_EQ(dlg.m_sizeAtInit.cx, mmi.ptMinTrackSize.x);
    EXPECT_EQ(dlg.m_sizeAtInit.cy, mmi.ptMinTrackSize.y);
}

TEST(SizingDialog, MoveChildAndGrowChildChangeByExactlyTheDeltas)
{
    CSizingTestDlg dlg;
    CRect button0, button1, edit0, edit1, edit2;
    RunModalWith(dlg, [&](HWND hDlg) {
        button0 = ChildRect(hDlg, IDC_TEST_BUTTON);
        edit0 = ChildRect(hDlg, IDC_TEST_EDIT);
        ::SendMessageA(hDlg, WM_TEST_MOVE, IDC_TEST_BUTTON, MAKELPARAM(5, -3));
        ::SendMessageA(hDlg, WM_TEST_GROW, IDC_TEST_EDIT, MAKELPARAM(40, 2));
        button1 = ChildRect(hDlg, IDC_TEST_BUTTON);
        edit1 = ChildRect(hDlg, IDC_TEST_EDIT);
        // Unknown ids, a null window and zero changes do nothing.
        ::SendMessageA(hDlg, WM_TEST_MOVE, 4242, MAKELPARAM(5, 5));
        ::SendMessageA(hDlg, WM_TEST_GROW, 4242, MAKELPARAM(5, 5));
        ::SendMessageA(hDlg, WM_TEST_GROW, 0, MAKELPARAM(5, 5));
        ::SendMessageA(hDlg, WM_TEST_GROW, IDC_TEST_EDIT, MAKELPARAM(0, 0));
        ::SendMessageA(hDlg, WM_TEST_MOVE, IDC_TEST_EDIT, MAKELPARAM(0, 0));
        edit2 = ChildRect(hDlg, IDC_TEST_EDIT);
    });
    EXPECT_EQ(button0.left + 5, button1.left);
    EXPECT_EQ(button0.top - 3, button1.top);
    EXPECT_EQ(button0.Width(), button1.Width());
    EXPECT_EQ(button0.Height(), button1.Height());
    EXPECT_EQ(edit0.left, edit1.left);
    EXPECT_EQ(edit0.top, edit1.top);
    EXPECT_EQ(edit0.Width() + 40, edit1.Width());
    EXPECT_EQ(edit0.Height() + 2, edit1.Height());
    EXPECT_TRUE(::EqualRect(edit1, edit2));
}
