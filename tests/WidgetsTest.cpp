// The widgets on real controls: the link label (fitting, target and tooltip,
// colours and hover, opening through the shell or the .htm class), the About
// box's links, and the busy animation (the frame left on screen, read back
// from the control's pixels, and its worker).
#include "widgets/AboutBox.h"
#include "widgets/BusyAnimation.h"
#include "widgets/LinkLabel.h"

#include "TestResource.h"
#include "TestSupport.h"
#include "res/resource.h"

#include <gtest/gtest.h>

#include <map>

using namespace testsupport;

namespace {

class CProbeLabel : public CLinkLabel {
public:
    bool Hovered() const { return m_isHovered != FALSE; }
    std::string Tip() { return static_cast<LPCTSTR>(m_toolTip.GetText(this, 1)); }
};

const int kLinks[] = { IDC_LINK_LEFT, IDC_LINK_RIGHT, IDC_LINK_CENTER, IDC_LINK_MIDDLE,
                       IDC_LINK_NARROW, IDC_LINK_EMPTY, IDC_LINK_PRESET };

class CLinkTestDlg : public CDialog {
public:
    CLinkTestDlg() : CDialog(IDD_TEST)
    {
        m_labels[IDC_LINK_EMPTY].SetTarget("target shown");
        CProbeLabel& preset = m_labels[IDC_LINK_PRESET];
        preset.SetColors(RGB(1, 2, 3), RGB(4, 5, 6), RGB(7, 8, 9));
        preset.SetUnderlined(FALSE);
        preset.SetFitToText(FALSE);
        preset.SetHandCursor(::LoadCursor(nullptr, IDC_CROSS));
    }
    std::map<int, CProbeLabel> m_labels;
    std::map<int, CRect> m_template; // the rectangles before attaching

protected:
    BOOL OnInitDialog() override
    {
        CDialog::OnInitDialog();
        for (int id : kLinks) {
            m_template[id] = ChildRect(m_hWnd, id);
            m_labels[id].SubclassDlgItem(id, this);
        }
        return TRUE;
    }
};

SIZE Extent(HWND hCtl)
{
    std::string text = WindowText(hCtl);
    HDC hdc = ::GetDC(hCtl);
    HGDIOBJ old = ::SelectObject(hdc, reinterpret_cast<HFONT>(::SendMessageA(hCtl, WM_GETFONT, 0, 0)));
    SIZE sz{};
    ::GetTextExtentPoint32A(hdc, text.c_str(), static_cast<int>(text.size()), &sz);
    ::SelectObject(hdc, old);
    ::ReleaseDC(hCtl, hdc);
    return sz;
}

// The text colour, background mode and brush the label answers with.
std::string Colours(HWND hDlg, int id)
{
    HDC hdc = ::CreateCompatibleDC(nullptr);
    ::SetBkMode(hdc, OPAQUE);
    LRESULT brush = ::SendMessageA(hDlg, WM_CTLCOLORSTATIC, reinterpret_cast<WPARAM>(hdc),
                                   reinterpret_cast<LPARAM>(::GetDlgItem(hDlg, id)));
    COLORREF text = ::GetTextColor(hdc);
    bool transparent = ::GetBkMode(hdc) == TRANSPARENT;
    ::DeleteDC(hdc);
    return std::to_string(GetRValue(text)) + "," + std::to_string(GetGValue(text)) + "," +
        std::to_string(GetBValue(text)) + (transparent ? " transparent" : " opaque") +
        (brush == reinterpret_cast<LRESULT>(::GetStockObject(NULL_BRUSH)) ? " null brush" : " other brush");
}

} // namespace

TEST(LinkLabel, FitsItsTextKeepingItsAlignmentAndShowsItsTargetByTheRules)
{
    CLinkTestDlg dlg;
    std::map<int, CRect> fitted;
    std::map<int, SIZE> extent;
    std::vector<std::string> texts;
    RunModalWith(dlg, [&](HWND hDlg) {
        for (int id : kLinks) {
            fitted[id] = ChildRect(hDlg, id);
            extent[id] = Extent(::GetDlgItem(hDlg, id));
        }
        CProbeLabel& left = dlg.m_labels[IDC_LINK_LEFT];
        OnUiThread(hDlg, [&] {
            texts = { static_cast<LPCTSTR>(left.GetTarget()), left.Tip() };
            left.SetTarget("https://example.org/");
            texts.insert(texts.end(), { left.Tip(), WindowText(left.m_hWnd), WindowText(::GetDlgItem(hDlg, IDC_LINK_EMPTY)),
                                        dlg.m_labels[IDC_LINK_EMPTY].Tip() });
        });
    });
    EXPECT_EQ((std::vector<std::string>{ "Left link", "Left link", "https://example.org/", "Left link", "target shown",
                                         "target shown" }),
              texts)
        << "no target: the text is the target; SetTarget changes the tip, never the text; no text: the target shows";
    // Where each label should sit: 'L'eft, 'R'ight, 'C'entred or '-' as it
    // was across; 'T'op or 'M'iddle down.
    const std::pair<int, const char*> placing[] = { { IDC_LINK_LEFT, "LT" },   { IDC_LINK_RIGHT, "RT" },
                                                    { IDC_LINK_CENTER, "CT" }, { IDC_LINK_MIDDLE, "LM" },
                                                    { IDC_LINK_NARROW, "LT" }, { IDC_LINK_PRESET, "--" } };
    for (const auto& p : placing) {
        const CRect& t = dlg.m_template[p.first];
        const SIZE& e = extent[p.first];
        int dx = t.Width() - e.cx, dy = t.Height() - e.cy;
        CRect want = t;
        if (p.second[0] != '-')
            want = p.second[0] == 'L' ? CRect(t.left, t.top, t.left + e.cx, t.bottom)
                : p.second[0] == 'R'  ? CRect(t.right - e.cx, t.top, t.right, t.bottom)
                                      : CRect(t.left + dx / 2, t.top, t.right - dx / 2, t.bottom);
        if (p.second[1] != '-')
            want.top = p.second[1] == 'T' ? t.top : t.top + dy / 2, want.bottom = want.top + e.cy + (p.second[1] == 'M' ? dy % 2 : 0);
        const CRect& got = fitted[p.first];
        EXPECT_TRUE(::EqualRect(want, got)) << p.first << " " << p.second << ": " << got.left << "," << got.top << " "
                                           << got.Width() << "x" << got.Height();
    }
}

TEST(LinkLabel, ColoursHoverWinsOverVisitedOverPlainWithTheMouseCaptured)
{
    CLinkTestDlg dlg;
    std::vector<std::string> seen;
    LOGFONTA presetFont{};
    HCURSOR presetCursor = nullptr, handCursor = nullptr;
    RunModalWith(dlg, [&](HWND hDlg) {
        HWND hCtl = ::GetDlgItem(hDlg, IDC_LINK_LEFT);
        CProbeLabel& label = dlg.m_labels[IDC_LINK_LEFT];
        auto look = [&](const char* what) {
            GUITHREADINFO info{ sizeof info };
            ::GetGUIThreadInfo(::GetWindowThreadProcessId(hDlg, nullptr), &info);
            seen.push_back(std::string(what) + ": " + Colours(hDlg, IDC_LINK_LEFT) +
                           (Ask(hDlg, [&] { return label.Hovered(); }) ? " hovered" : "") +
                           (info.hwndCapture == hCtl ? " captured" : ""));
        };
        look("plain");
        OnUiThread(hDlg, [&] { label.MarkVisited(TRUE); });
        look("visited");
        ::SendMessageA(hCtl, WM_MOUSEMOVE, 0, MAKELPARAM(2, 2));
        ::SendMessageA(hCtl, WM_MOUSEMOVE, 0, MAKELPARAM(3, 2));
        look("over it");
        ::SendMessageA(hCtl, WM_MOUSEMOVE, 0, MAKELPARAM(5000, 2));
        look("left it");
        seen.push_back("preset: " + Colours(hDlg, IDC_LINK_PRESET));
        ::GetObjectA(reinterpret_cast<HFONT>(::SendDlgItemMessageA(hDlg, IDC_LINK_PRESET, WM_GETFONT, 0, 0)),
                     sizeof presetFont, &presetFont);
        presetCursor = dlg.m_labels[IDC_LINK_PRESET].GetHandCursor();
        handCursor = label.GetHandCursor();
    });
    const std::string hover = std::to_string(GetRValue(CLinkLabel().GetHoverColor())) + "," +
        std::to_string(GetGValue(CLinkLabel().GetHoverColor())) + "," + std::to_string(GetBValue(CLinkLabel().GetHoverColor()));
    EXPECT_EQ((std::vector<std::string>{ "plain: 0,0,238 transparent null brush", "visited: 85,26,139 transparent null brush",
                                         "over it: " + hover + " transparent null brush hovered captured",
                                         "left it: 85,26,139 transparent null brush", "preset: 1,2,3 transparent null brush" }),
              seen);
    EXPECT_EQ(0, presetFont.lfUnderline) << "set before attaching, applied by attaching";
    EXPECT_EQ(::LoadCursor(nullptr, IDC_CROSS), presetCursor);
    EXPECT_NE(nullptr, handCursor) << "the hand cursor from the resources";
}

namespace {

// Points ".htm" at a document class of the test's for its lifetime.
class HtmClass {
public:
    explicit HtmClass(const std::string& openCommand)
    {
        char buf[MAX_PATH] = "";
        LONG size = sizeof buf;
        ::RegQueryValueA(HKEY_CLASSES_ROOT, ".htm", buf, &size);
        m_old = buf;
        Set(".htm", "VorlikTestPage");
        Set("VorlikTestPage\\shell\\open\\command", openCommand);
    }
    ~HtmClass()
    {
        Set(".htm", m_old);
        ::SHDeleteKeyA(HKEY_CLASSES_ROOT, "VorlikTestPage");
    }
    static void Set(const std::string& key, const std::string& value)
    {
        ::RegSetValueA(HKEY_CLASSES_ROOT, key.c_str(), REG_SZ, value.c_str(), static_cast<DWORD>(value.size()));
    }

private:
    std::string m_old;
};

} // namespace

TEST(LinkLabel, WhatTheShellCannotOpenGoesToTheHtmProgramAndAFailureIsReported)
{
    char temp[MAX_PATH] = "";
    ::GetTempPathA(sizeof temp, temp);
    std::string argFile = std::string(temp) + "vorlik-argfile.txt";
    ::DeleteFileA(argFile.c_str());
    const char* target = "vorlik-no-such-document.xyz";
    MessageBoxWatcher boxes;
    bool visitedAfterOpen = false, visitedAfterFailure = true;
    {
        CLinkTestDlg dlg;
        HtmClass htm(ChildTool("argfile \"%1\" ignored"));
        RunModalWith(dlg, [&](HWND hDlg) {
            CProbeLabel& label = dlg.m_labels[IDC_LINK_LEFT];
            OnUiThread(hDlg, [&] { label.SetTarget(target); });
            ::SendMessageA(hDlg, WM_COMMAND, MAKEWPARAM(IDC_LINK_LEFT, STN_CLICKED),
                           reinterpret_cast<LPARAM>(::GetDlgItem(hDlg, IDC_LINK_LEFT)));
            visitedAfterOpen = Ask(hDlg, [&] { return label.IsVisited() != FALSE; });
            WaitUntil([&] { return ReadFileText(argFile) == target; });
        });
    }
    EXPECT_EQ(target, ReadFileText(argFile)) << "the program got the target, the rest of its command line cut";
    EXPECT_TRUE(visitedAfterOpen);
    {
        CLinkTestDlg dlg;
        HtmClass htm("\"C:\\no such folder\\browser.exe\" \"%1\"");
        RunModalWith(dlg, [&](HWND hDlg) {
            CProbeLabel& label = dlg.m_labels[IDC_LINK_LEFT];
            OnUiThread(hDlg, [&] { label.SetTarget(target), label.MarkVisited(TRUE); });
            ::SendMessageA(hDlg, WM_COMMAND, MAKEWPARAM(IDC_LINK_LEFT, STN_CLICKED),
                           reinterpret_cast<LPARAM>(::GetDlgItem(hDlg, IDC_LINK_LEFT)));
            visitedAfterFailure = Ask(hDlg, [&] { return label.IsVisited() != FALSE; });
        });
    }
    EXPECT_FALSE(visitedAfterFailure);
    ASSERT_EQ(1u, boxes.Texts().size());
    EXPECT_EQ(0u, boxes.Texts()[0].find("Unable to open hyperlink:\n\n")) << boxes.Texts()[0];
    ::DeleteFileA(argFile.c_str());
}

TEST(LinkLabel, TheOpenCommandLosesThePlaceholderAndWhatFollows)
{
    const char* const cases[][2] = {
        { "browser.exe -new", "browser.exe -new http://x/" },
        { "\"C:\\b b\\browser.exe\" -url \"%1\" -tail", "\"C:\\b b\\browser.exe\" -url  http://x/" },
        { "browser.exe %1 -tail", "browser.exe  http://x/" },
        { "b.exe %1 \"%1\"", "b.exe %1  http://x/" }, // the quoted form is looked for first
    };
    for (const auto& c : cases) {
        CString command;
        EXPECT_TRUE(CLinkLabel::BuildOpenCommand(c[0], "http://x/", 520, command));
        EXPECT_EQ(c[1], std::string(command));
    }
    CString command;
    EXPECT_FALSE(CLinkLabel::BuildOpenCommand("b.exe", std::string(600, 'u').c_str(), 520, command)) << "too long";
}

namespace {

class CTestAbout : public CAboutBox {
public:
    using CAboutBox::m_homeLink;
    using CAboutBox::m_mailLink;
};

BOOL CALLBACK AskTooltip(HWND hWnd, LPARAM lParam)
{
    auto* search = reinterpret_cast<std::pair<HWND, std::string>*>(lParam);
    char cls[32] = "", text[256] = "";
    ::GetClassNameA(hWnd, cls, sizeof cls);
    TOOLINFOA ti{ TTTOOLINFOA_V1_SIZE, 0, search->first, 1 };
    ti.lpszText = text;
    if (lstrcmpiA(cls, TOOLTIPS_CLASSA) == 0 && (::SendMessageA(hWnd, TTM_GETTEXTA, 0, reinterpret_cast<LPARAM>(&ti)), text[0]))
        search->second = text;
    return TRUE;
}

// The text of tool 1 of a label, from the tooltip windows of this thread.
std::string TipOf(HWND hLabel)
{
    std::pair<HWND, std::string> search{ hLabel, "" };
    ::EnumThreadWindows(::GetCurrentThreadId(), &AskTooltip, reinterpret_cast<LPARAM>(&search));
    return search.second;
}

} // namespace

// Wine shows a tooltip only over an active window, so the tooltips are read
// from their windows rather than by hovering.
TEST(AboutBox, EachLinkTargetsAndTipsItsAddressAndOkHasTheFocusAndCloses)
{
    CTestAbout box;
    std::vector<std::string> links;
    bool okFocused = false;
    INT_PTR result = RunModalWith(box, [&](HWND hDlg) {
        OnUiThread(hDlg, [&] {
            links = { TipOf(box.m_mailLink.m_hWnd), static_cast<LPCTSTR>(box.m_mailLink.GetTarget()),
                      TipOf(box.m_homeLink.m_hWnd), static_cast<LPCTSTR>(box.m_homeLink.GetTarget()) };
            okFocused = ::GetFocus() == ::GetDlgItem(hDlg, IDOK);
        });
        ::PostMessageA(::GetDlgItem(hDlg, IDOK), BM_CLICK, 0, 0);
        WaitUntil([&] { return !::IsWindow(hDlg); });
    });
    EXPECT_EQ((std::vector<std::string>{ "mailto:quorvel@example.org", "mailto:quorvel@example.org",
                                         "https://www.example.org/vorlik/", "https://www.example.org/vorlik/" }),
              links);
    EXPECT_TRUE(okFocused);
    EXPECT_EQ(IDOK, result);
}

namespace {

constexpr COLORREF kMask = RGB(0, 255, 0);
using Pixels = std::vector<COLORREF>;

// The 32 x 32 pixels at the origin of a DC.
Pixels Grab(HDC hdcSource)
{
    HDC hdc = ::CreateCompatibleDC(hdcSource);
    HBITMAP hbm = ::CreateCompatibleBitmap(hdcSource, 32, 32);
    HGDIOBJ old = ::SelectObject(hdc, hbm);
    ::BitBlt(hdc, 0, 0, 32, 32, hdcSource, 0, 0, SRCCOPY);
    Pixels pixels;
    for (int i = 0; i < 32 * 32; ++i)
        pixels.push_back(::GetPixel(hdc, i % 32, i / 32));
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
int Shown(HWND hCtl, const std::vector<Pixels>& frames)
{
    HDC hdc = ::GetDC(hCtl);
    Pixels shown = Grab(hdc);
    ::ReleaseDC(hCtl, hdc);
    auto at = std::find(frames.begin(), frames.end(), shown);
    return at == frames.end() ? -1 : static_cast<int>(at - frames.begin());
}

int Repainted(HWND hCtl, const std::vector<Pixels>& frames)
{
    ::RedrawWindow(hCtl, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_UPDATENOW);
    return Shown(hCtl, frames);
}

class CBusyTestDlg : public CDialog {
public:
    CBusyTestDlg() : CDialog(IDD_TEST) {}
    CBusyAnimation m_busy;

protected:
    BOOL OnInitDialog() override
    {
        CDialog::OnInitDialog();
        m_busy.SubclassDlgItem(IDC_TEST_BUSY, this);
        m_busy.Load(IDB_BUSY, 32, 250, kMask);
        return TRUE;
    }
};

} // namespace

// Each line: the stored frame index, then the frame on screen, then after a
// repaint.
TEST(BusyAnimation, StopLeavesTheLastFrameDrawnAndNeverWaitsOutTheDelay)
{
    CBusyTestDlg dlg;
    std::vector<Pixels> frames = ReferenceFrames(::GetSysColor(COLOR_BTNFACE));
    ASSERT_EQ(7u, frames.size());
    for (size_t i = 0; i + 1 < frames.size(); ++i)
        ASSERT_NE(frames[i], frames[i + 1]) << "each frame must differ from the next";
    std::vector<std::string> log;
    CRect client, window;
    int framesLoaded = 0, framesMissing = -1;
    bool runsWithoutFrames = true;
    RunModalWith(dlg, [&](HWND hDlg) {
        HWND hCtl = ::GetDlgItem(hDlg, IDC_TEST_BUSY);
        CBusyAnimation& busy = dlg.m_busy;
        ::GetClientRect(hCtl, client);
        ::GetWindowRect(hCtl, window);
        framesLoaded = Ask(hDlg, [&] { return busy.GetFrameCount(); });
        auto stopAt = [&](const char* what, int frame) {
            OnUiThread(hDlg, [&] { busy.Start(); });
            WaitUntil([&] { return Shown(hCtl, frames) == frame; });
            OnUiThread(hDlg, [&] { busy.Stop(); });
            int shown = Shown(hCtl, frames);
            log.push_back(std::string(what) + ": " + std::to_string(Ask(hDlg, [&] { return busy.GetCurrentFrame(); })) +
                          " " + std::to_string(shown) + " " + std::to_string(Repainted(hCtl, frames)));
        };
        stopAt("stopped at 3", 3);
        stopAt("stopped at 6", 6);
        stopAt("stopped at 4", 4);
        OnUiThread(hDlg, [&] { busy.Start(), busy.Stop(); }); // stopped before the first frame
        log.push_back("started and stopped at once: " + std::to_string(Ask(hDlg, [&] { return busy.GetCurrentFrame(); })));
        // A minute between frames: Stop still comes back at once.
        OnUiThread(hDlg, [&] { busy.Load(IDB_BUSY, 32, 60000, kMask), busy.Start(); });
        WaitUntil([&] { return Shown(hCtl, frames) == 3; }); // drawn; the worker waits out its delay
        DWORD start = ::GetTickCount();
        OnUiThread(hDlg, [&] { busy.Stop(); });
        log.push_back(::GetTickCount() - start < 10000 ? "a long delay: stopped at once" : "a long delay: waited");
        OnUiThread(hDlg, [&] { busy.Load(4711, 32, 100, kMask), busy.Start(); });
        framesMissing = Ask(hDlg, [&] { return busy.GetFrameCount(); });
        runsWithoutFrames = Ask(hDlg, [&] { return busy.IsRunning(); });
    });
    EXPECT_EQ(32, client.Width());
    EXPECT_EQ(32, client.Height());
    EXPECT_EQ(32, window.Width()) << "fitted to one frame, without a border";
    EXPECT_EQ(7, framesLoaded);
    EXPECT_EQ((std::vector<std::string>{ "stopped at 3: 3 3 3", "stopped at 6: 0 6 0", "stopped at 4: 4 4 4",
                                         "started and stopped at once: 3", "a long delay: stopped at once" }),
              log)
        << "after the last frame the index has wrapped to 0; a stop before the first frame steps back";
    EXPECT_EQ(0, framesMissing);
    EXPECT_FALSE(runsWithoutFrames) << "a missing strip leaves it idle";
}

TEST(BusyAnimation, OneWorkerAtATimeNoneOutlivesTheWindowAndTheFaceColourIsFollowed)
{
    const int element = COLOR_BTNFACE;
    const COLORREF original = ::GetSysColor(COLOR_BTNFACE), changed = RGB(200, 100, 50);
    long baseline = CWinThread::GetObjectCount();
    long workersWhileRunning = 0, workersAfterWindowGone = -1;
    int idleFrame = -1, runningFrame = -1;
    bool runningAfterWindowGone = true;
    CBusyTestDlg dlg;
    RunModalWith(dlg, [&](HWND hDlg) {
        HWND hCtl = ::GetDlgItem(hDlg, IDC_TEST_BUSY);
        CBusyAnimation& busy = dlg.m_busy;
        ::SetSysColors(1, &element, &changed);
        std::vector<Pixels> frames = ReferenceFrames(changed);
        idleFrame = Repainted(hCtl, frames);
        OnUiThread(hDlg, [&] { busy.Start(), busy.Start(); }); // the second start replaces the first worker
        workersWhileRunning = CWinThread::GetObjectCount() - baseline;
        WaitUntil([&] { return (runningFrame = Shown(hCtl, frames)) > 0; });
        OnUiThread(hDlg, [&] { ::DestroyWindow(hCtl); });
        workersAfterWindowGone = CWinThread::GetObjectCount() - baseline;
        runningAfterWindowGone = Ask(hDlg, [&] { return busy.IsRunning(); });
    });
    ::SetSysColors(1, &element, &original);
    EXPECT_EQ(0, idleFrame) << "the current frame, on the new face colour";
    EXPECT_GT(runningFrame, 0) << "the worker draws the frames on it too";
    EXPECT_EQ(1, workersWhileRunning) << "Start while running leaves exactly one worker";
    EXPECT_EQ(0, workersAfterWindowGone) << "no worker outlives the control's window";
    EXPECT_FALSE(runningAfterWindowGone);
}
