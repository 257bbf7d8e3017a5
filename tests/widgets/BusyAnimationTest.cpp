// CBusyAnimation on a real static control and a real worker thread: the
// frame left on screen (read back from the control's pixels) and the stored
// index after each kind of stop, restarts, destruction and face colours.
#include "widgets/BusyAnimation.h"

#include "ModalRunner.h"
#include "Pump.h"
#include "UiCall.h"
#include "TestResource.h"
#include "res/resource.h"

#include <gtest/gtest.h>

#include <vector>

using namespace testsupport;

namespace {

constexpr COLORREF kMask = RGB(0, 255, 0);
constexpr UINT WM_TEST_LOAD = WM_APP + 70;      // wParam: bitmap id, lParam: delay
constexpr UINT WM_TEST_START = WM_APP + 71;
constexpr UINT WM_TEST_STOP = WM_APP + 72;
constexpr UINT WM_TEST_STARTSTOP = WM_APP + 73; // Start, then Stop at once
constexpr UINT WM_TEST_STATE = WM_APP + 74;     // LOWORD frame, HIWORD running
constexpr UINT WM_TEST_DELETE = WM_APP + 75;
constexpr UINT WM_TEST_REQUESTED = WM_APP + 76; // whether a stop request is pending
constexpr UINT WM_TEST_COUNT = WM_APP + 77;     // frame count
constexpr UINT WM_TEST_LIST = WM_APP + 78;      // the image list handle

class CBusyProbe : public CBusyAnimation {
public:
    bool StopRequested()
    {
        if (!m_evStop.Lock(0))
            return false;
        m_evStop.SetEvent(); // put back what the look consumed
        return true;
    }
    HIMAGELIST List() const { return m_imageList.GetSafeHandle(); }
};

class CBusyTestDlg : public CDialog {
public:
    CBusyTestDlg() : CDialog(IDD_TEST_SIZING) {}
    ~CBusyTestDlg() override { delete m_pBusy; }

    CBusyProbe* m_pBusy = new CBusyProbe;

protected:
    BOOL OnInitDialog() override
    {
        CDialog::OnInitDialog();
        m_pBusy->SubclassDlgItem(IDC_BUSY, this);
        m_pBusy->Load(IDB_BUSY, 32, 100, kMask);
        return TRUE;
    }
    LRESULT OnLoad(WPARAM wParam, LPARAM lParam)
    {
        m_pBusy->Load(static_cast<UINT>(wParam), 32, static_cast<int>(lParam), kMask);
        return 0;
    }
    LRESULT OnStart(WPARAM, LPARAM)
    {
        m_pBusy->Start();
        return 0;
    }
    LRESULT OnStop(WPARAM, LPARAM)
    {
        m_pBusy->Stop();
        return 0;
    }
    LRESULT OnStartStop(WPARAM, LPARAM)
    {
        m_pBusy->Start();
        m_pBusy->Stop();
        return 0;
    }
    LRESULT OnState(WPARAM, LPARAM)
    {
        return MAKELRESULT(m_pBusy->GetCurrentFrame(), m_pBusy->IsRunning() ? 1 : 0);
    }
    LRESULT OnDelete(WPARAM, LPARAM)
    {
        delete m_pBusy;
        m_pBusy = nullptr;
        return 0;
    }
    LRESULT OnRequested(WPARAM, LPARAM) { return m_pBusy->StopRequested(); }
    LRESULT OnCount(WPARAM, LPARAM) { return m_pBusy->GetFrameCount(); }
    LRESULT OnList(WPARAM, LPARAM) { return reinterpret_cast<LRESULT>(m_pBusy->List()); }
    DECLARE_MESSAGE_MAP()
};

BEGIN_MESSAGE_MAP(CBusyTestDlg, CDialog)
    ON_MESSAGE(WM_TEST_LOAD, OnLoad)
    ON_MESSAGE(WM_TEST_START, OnStart)
    ON_MESSAGE(WM_TEST_STOP, OnStop)
    ON_MESSAGE(WM_TEST_STARTSTOP, OnStartStop)
    ON_MESSAGE(WM_TEST_STATE, OnState)
    ON_MESSAGE(WM_TEST_DELETE, OnDelete)
    ON_MESSAGE(WM_TEST_REQUESTED, OnRequested)
    ON_MESSAGE(WM_TEST_COUNT, OnCount)
    ON_MESSAGE(WM_TEST_LIST, OnList)
END_MESSAGE_MAP()

using Pixels = std::vector<COLORREF>;

// The 32 x 32 pixels of a DC region.
Pixels Grab(HDC hdcSource)
{
    HDC hdc = ::CreateCompatibleDC(hdcSource);
    HBITMAP hbm = ::CreateCompatibleBitmap(hdcSource, 32, 32);
    HGDIOBJ old = ::SelectObject(hdc, hbm);
    ::BitBlt(hdc, 0, 0, 32, 32, hdcSource, 0, 0, SRCCOPY);
    Pixels pixels;
    for (int y = 0; y < 32; ++y)
        for (int x = 0; x < 32; ++x)
            pixels.push_back(::GetPixel(hdc, x, y));
    ::SelectObject(hdc, old);
    ::DeleteObject(hbm);
    ::DeleteDC(hdc);
    return pixels;
}

// The seven frames as the control should show them on this background.
std::vector<Pixels> ReferenceFrames(COLORREF crBack)
{
    HIMAGELIST hList = ::ImageList_LoadImageA(::GetModuleHandleA(nullptr), MAKEINTRESOURCEA(IDB_BUSY), 32, 1, kMask,
                                              IMAGE_BITMAP, 0);
    ::ImageList_SetBkColor(hList, crBack);
    HDC hScreen = ::GetDC(nullptr);
    HDC hdc = ::CreateCompatibleDC(hScreen);
    HBITMAP hbm = ::CreateCompatibleBitmap(hScreen, 32, 32);
    HGDIOBJ old = ::SelectObject(hdc, hbm);
    std::vector<Pixels> frames;
    for (int i = 0; i < ::ImageList_GetImageCount(hList); ++i) {
        ::ImageList_Draw(hList, i, hdc, 0, 0, ILD_NORMAL);
        frames.push_back(Grab(hdc));
    }
    ::SelectObject(hdc, old);
    ::DeleteObject(hbm);
    ::DeleteDC(hdc);
    ::ReleaseDC(nullptr, hScreen);
    ::ImageList_Destroy(hList);
    return frames;
}

// Which frame the control shows, or -1.
int FrameOnScreen(HWND hCtl, const std::vector<Pixels>& frames)
{
    HDC hdc = ::GetDC(hCtl);
    Pixels shown = Grab(hdc);
    ::ReleaseDC(hCtl, hdc);
    for (size_t i = 0; i < frames.size(); ++i)
        if (frames[i] == shown)
            return static_cast<int>(i);
    return -1;
}

int Frame(HWND hDlg)
{
    return LOWORD(::SendMessageA(hDlg, WM_TEST_STATE, 0, 0));
}

bool Running(HWND hDlg)
{
    return HIWORD(::SendMessageA(hDlg, WM_TEST_STATE, 0, 0)) != 0;
}

void Repaint(HWND hCtl)
{
    ::RedrawWindow(hCtl, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_UPDATENOW);
}

} // namespace

TEST(BusyAnimation, LoadFitsTheControlToOneFrameAndAMissingStripLeavesItIdle)
{
    CBusyTestDlg dlg;
    CRect client, window, before, after;
    LRESULT count = 0, countAgain = 0, countMissing = -1;
    bool runsWithoutFrames = true;
    RunModalWith(dlg, [&](HWND hDlg) {
        HWND hCtl = ::GetDlgItem(hDlg, IDC_BUSY);
        ::GetClientRect(hCtl, client);
        ::GetWindowRect(hCtl, window);
        count = ::SendMessageA(hDlg, WM_TEST_COUNT, 0, 0);
        ::GetWindowRect(hCtl, before);
        ::SendMessageA(hDlg, WM_TEST_LOAD, IDB_BUSY, 100);
        countAgain = ::ImageList_GetImageCount(reinterpret_cast<HIMAGELIST>(::SendMessageA(hDlg, WM_TEST_LIST, 0, 0)));
        ::GetWindowRect(hCtl, after);
        ::SendMessageA(hDlg, WM_TEST_LOAD, 4711, 100);
        countMissing = ::SendMessageA(hDlg, WM_TEST_COUNT, 0, 0);
        ::SendMessageA(hDlg, WM_TEST_START, 0, 0);
        runsWithoutFrames = Running(hDlg);
    });
    EXPECT_EQ(32, client.Width());
    EXPECT_EQ(32, client.Height());
    EXPECT_EQ(32, window.Width()) << "the control has no border";
    EXPECT_EQ(7, count);
    EXPECT_EQ(7, countAgain) << "a second Load replaces the list, not adds to it";
    EXPECT_TRUE(::EqualRect(before, after)) << "the control stays where the template put it";
    EXPECT_EQ(0, countMissing);
    EXPECT_FALSE(runsWithoutFrames);
}

void BlackOut(HWND hCtl)
{
    RECT rc;
    ::GetClientRect(hCtl, &rc);
    HDC hdc = ::GetDC(hCtl);
    ::FillRect(hdc, &rc, static_cast<HBRUSH>(::GetStockObject(BLACK_BRUSH)));
    ::ReleaseDC(hCtl, hdc);
}

TEST(BusyAnimation, StopLeavesTheLastFrameDrawnAndItsIndex)
{
    CBusyTestDlg dlg;
    std::vector<Pixels> frames = ReferenceFrames(::GetSysColor(COLOR_BTNFACE));
    int stored = -1, shown = -1, repainted = -1;
    int storedAfterWrap = -1, shownAfterWrap = -1, repaintedAfterWrap = -1;
    bool stopAnswered = false;
    int storedAfterLongDelay = -1;
    bool framesDiffer = frames.size() == 7;
    for (size_t i = 0; framesDiffer && i + 1 < frames.size(); ++i)
        framesDiffer = frames[i] != frames[i + 1];
    RunModalWith(dlg, [&](HWND hDlg) {
        HWND hCtl = ::GetDlgItem(hDlg, IDC_BUSY);
        ::SendMessageA(hDlg, WM_TEST_LOAD, IDB_BUSY, 250);
        ::SendMessageA(hDlg, WM_TEST_START, 0, 0);
        // Stopped while frame 3 is up (the worker sleeps after drawing it).
        WaitUntil([&] { return FrameOnScreen(hCtl, frames) == 3; });
        ::SendMessageA(hDlg, WM_TEST_STOP, 0, 0);
        stored = Frame(hDlg);
        shown = FrameOnScreen(hCtl, frames);
        Repaint(hCtl);
        repainted = FrameOnScreen(hCtl, frames);

        // Stopped after the last frame: the advance wrapped to 0 and stays.
        ::SendMessageA(hDlg, WM_TEST_START, 0, 0);
        WaitUntil([&] { return FrameOnScreen(hCtl, frames) == 6; });
        ::SendMessageA(hDlg, WM_TEST_STOP, 0, 0);
        storedAfterWrap = Frame(hDlg);
        shownAfterWrap = FrameOnScreen(hCtl, frames);
        Repaint(hCtl);
        repaintedAfterWrap = FrameOnScreen(hCtl, frames);

        // A stop does not wait out the delay: with a minute between frames
        // it still comes back at once, leaving the frame on screen.
        ::SendMessageA(hDlg, WM_TEST_LOAD, IDB_BUSY, 60000);
        BlackOut(hCtl); // so that frame 0 shows only once the worker drew it
        ::SendMessageA(hDlg, WM_TEST_START, 0, 0);
        WaitUntil([&] { return FrameOnScreen(hCtl, frames) == 0; });
        DWORD_PTR ignored = 0;
        stopAnswered = ::SendMessageTimeoutA(hDlg, WM_TEST_STOP, 0, 0, SMTO_NORMAL, 20000, &ignored) != 0;
        storedAfterLongDelay = Frame(hDlg);
    });
    EXPECT_TRUE(stopAnswered) << "Stop waited for the delay to run out";
    EXPECT_EQ(0, storedAfterLongDelay);
    ASSERT_TRUE(framesDiffer) << "each frame must differ from the next";
    EXPECT_EQ(3, stored);
    EXPECT_EQ(3, shown);
    EXPECT_EQ(3, repainted);
    EXPECT_EQ(0, storedAfterWrap);
    EXPECT_EQ(6, shownAfterWrap);
    EXPECT_EQ(0, repaintedAfterWrap);
}

TEST(BusyAnimation, ARequestPendingAtTheFirstPollDrawsNothingAndStepsBack)
{
    CBusyTestDlg dlg;
    std::vector<Pixels> frames = ReferenceFrames(::GetSysColor(COLOR_BTNFACE));
    int fromZero = -1, onScreen = -1, stepped = -1, shownAfter = -1;
    RunModalWith(dlg, [&](HWND hDlg) {
        HWND hCtl = ::GetDlgItem(hDlg, IDC_BUSY);
        ::SendMessageA(hDlg, WM_TEST_STARTSTOP, 0, 0);
        fromZero = Frame(hDlg);

        ::SendMessageA(hDlg, WM_TEST_LOAD, IDB_BUSY, 250);
        ::SendMessageA(hDlg, WM_TEST_START, 0, 0);
        WaitUntil([&] { return FrameOnScreen(hCtl, frames) == 4; });
        ::SendMessageA(hDlg, WM_TEST_STOP, 0, 0);
        onScreen = FrameOnScreen(hCtl, frames);
        ::SendMessageA(hDlg, WM_TEST_STARTSTOP, 0, 0);
        stepped = Frame(hDlg);
        shownAfter = FrameOnScreen(hCtl, frames);
    });
    EXPECT_EQ(0, fromZero) << "0 stays 0";
    EXPECT_EQ(4, onScreen);
    EXPECT_EQ(3, stepped);
    EXPECT_EQ(4, shownAfter) << "nothing was drawn";
}

TEST(BusyAnimation, RestartsStopsWhileIdleAndDestructionLeaveNoWorker)
{
    CBusyTestDlg dlg;
    long baseline = CWinThread::GetObjectCount();
    std::vector<Pixels> frames = ReferenceFrames(::GetSysColor(COLOR_BTNFACE));
    LRESULT requestedAfterIdleStop = 1;
    bool runningAfterRestart = false, animatesAfterRestart = false;
    long workersWhileRunning = 0, workersAfterDelete = -1, workersAfterWindowGone = -1;
    bool runningAfterWindowGone = true;
    RunModalWith(dlg, [&](HWND hDlg) {
        HWND hCtl = ::GetDlgItem(hDlg, IDC_BUSY);
        ::SendMessageA(hDlg, WM_TEST_STOP, 0, 0);
        requestedAfterIdleStop = ::SendMessageA(hDlg, WM_TEST_REQUESTED, 0, 0);

        ::SendMessageA(hDlg, WM_TEST_START, 0, 0);
        ::SendMessageA(hDlg, WM_TEST_START, 0, 0); // stops the first worker, starts another
        runningAfterRestart = Running(hDlg);
        workersWhileRunning = CWinThread::GetObjectCount() - baseline;
        int firstSeen = FrameOnScreen(hCtl, frames);
        animatesAfterRestart = WaitUntil([&] {
            int now = FrameOnScreen(hCtl, frames);
            return now >= 0 && now != firstSeen;
        });

        // Its window destroyed while it plays: the worker goes with it.
        OnUiThread(hDlg, [&] { ::DestroyWindow(hCtl); });
        workersAfterWindowGone = CWinThread::GetObjectCount() - baseline;
        runningAfterWindowGone = Running(hDlg);

        ::SendMessageA(hDlg, WM_TEST_START, 0, 0);
        ::SendMessageA(hDlg, WM_TEST_DELETE, 0, 0); // the object deleted
        workersAfterDelete = CWinThread::GetObjectCount() - baseline;
    });
    EXPECT_EQ(0, workersAfterWindowGone) << "no worker outlives the control's window";
    EXPECT_FALSE(runningAfterWindowGone);
    EXPECT_EQ(0, requestedAfterIdleStop) << "Stop while idle sets no request";
    EXPECT_TRUE(runningAfterRestart);
    EXPECT_EQ(1, workersWhileRunning) << "Start while running leaves exactly one worker";
    EXPECT_TRUE(animatesAfterRestart);
    EXPECT_EQ(0, workersAfterDelete) << "the destructor waited for the worker";
}

TEST(BusyAnimation, FollowsAChangeOfTheFaceColourIdleAndRunning)
{
    const int element = COLOR_BTNFACE;
    const COLORREF original = ::GetSysColor(COLOR_BTNFACE);
    const COLORREF first = RGB(200, 100, 50);
    const COLORREF second = RGB(40, 90, 160);
    CBusyTestDlg dlg;
    int idleFrame = -1, runningFrame = -1;
    bool runningStill = false;
    RunModalWith(dlg, [&](HWND hDlg) {
        HWND hCtl = ::GetDlgItem(hDlg, IDC_BUSY);
        ::SetSysColors(1, &element, &first);
        Repaint(hCtl);
        idleFrame = FrameOnScreen(hCtl, ReferenceFrames(first));

        ::SendMessageA(hDlg, WM_TEST_START, 0, 0);
        ::SetSysColors(1, &element, &second);
        Repaint(hCtl);
        std::vector<Pixels> onSecond = ReferenceFrames(second);
        WaitUntil([&] { return (runningFrame = FrameOnScreen(hCtl, onSecond)) >= 0; });
        runningStill = Running(hDlg);
        ::SendMessageA(hDlg, WM_TEST_STOP, 0, 0);
    });
    ::SetSysColors(1, &element, &original);
    EXPECT_EQ(0, idleFrame) << "the current frame, on the new background";
    EXPECT_GE(runningFrame, 0) << "the restarted worker draws on the new background";
    EXPECT_TRUE(runningStill);
}
