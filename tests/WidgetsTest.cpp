// The widgets as the program uses them: the About box's link labels
// (fitted, tipped, coloured, opened through the shell or the .htm class) and
// the main dialog's busy animation (the frame left on screen, read back from
// the control's pixels, and its worker).
#include "TestConsole.h"
#include "widgets/AboutBox.h"
#include "widgets/LinkLabel.h"

#include <gtest/gtest.h>

#include <algorithm>

using namespace testsupport;

namespace {

// The link label bound to control id of the About box.
CLinkLabel& Link(HWND hDlg, int id)
{
    return dynamic_cast<CLinkLabel&>(*CWnd::FromHandlePermanent(::GetDlgItem(hDlg, id)));
}

std::string Rgb(COLORREF c)
{
    return std::to_string(GetRValue(c)) + "," + std::to_string(GetGValue(c)) + "," + std::to_string(GetBValue(c));
}

// A label's text colour, background mode and brush, as it answers its parent.
std::string Colours(HWND hDlg, int id)
{
    HDC hdc = ::CreateCompatibleDC(nullptr);
    LRESULT brush = ::SendMessageA(hDlg, WM_CTLCOLORSTATIC, reinterpret_cast<WPARAM>(hdc),
                                   reinterpret_cast<LPARAM>(::GetDlgItem(hDlg, id)));
    std::string s = Rgb(::GetTextColor(hdc)) + (::GetBkMode(hdc) == TRANSPARENT ? " transparent" : " opaque") +
        (brush == reinterpret_cast<LRESULT>(::GetStockObject(NULL_BRUSH)) ? " null brush" : " other brush");
    ::DeleteDC(hdc);
    return s;
}

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

// The tip of a label, read from the tooltip windows of this thread (Wine
// shows a tooltip only over an active window, so hovering would not do).
std::string TipOf(HWND hLabel)
{
    std::pair<HWND, std::string> search{ hLabel, "" };
    ::EnumThreadWindows(::GetCurrentThreadId(), &AskTooltip, reinterpret_cast<LPARAM>(&search));
    return search.second;
}

} // namespace

TEST(AboutBox, ItsLinksAreFittedTippedColouredAndOkHasTheFocus)
{
    CAboutBox box;
    std::vector<std::string> seen;
    CRect fitted, placed;
    bool okFocused = false;
    INT_PTR result = RunModalWith(box, [&](HWND hDlg) {
        HWND hHome = ::GetDlgItem(hDlg, IDC_HOMEPAGE), hMail = ::GetDlgItem(hDlg, IDC_MAILTO);
        fitted = ChildRect(hDlg, IDC_HOMEPAGE);
        placed = CRect(71, 40, 71 + 88, 40 + 8); // where the template puts it
        ::MapDialogRect(hDlg, placed);
        OnUiThread(hDlg, [&] {
            okFocused = ::GetFocus() == ::GetDlgItem(hDlg, IDOK);
            seen = { TipOf(hMail), WindowText(hMail), TipOf(hHome), WindowText(hHome) };
            Link(hDlg, IDC_HOMEPAGE).SetTarget("https://example.org/");
            seen.insert(seen.end(), { TipOf(hHome), WindowText(hHome) });
        });
        auto look = [&](const char* what) {
            GUITHREADINFO info{ sizeof info };
            ::GetGUIThreadInfo(::GetWindowThreadProcessId(hDlg, nullptr), &info);
            seen.push_back(std::string(what) + ": " + Colours(hDlg, IDC_MAILTO) + (info.hwndCapture == hMail ? " captured" : ""));
        };
        look("plain");
        OnUiThread(hDlg, [&] { Link(hDlg, IDC_MAILTO).MarkVisited(TRUE); });
        look("visited");
        SendTo(hMail, WM_MOUSEMOVE, 0, MAKELPARAM(2, 2));
        SendTo(hMail, WM_MOUSEMOVE, 0, MAKELPARAM(3, 2));
        look("over it");
        SendTo(hMail, WM_MOUSEMOVE, 0, MAKELPARAM(5000, 2));
        look("left it");
        ::PostMessageA(::GetDlgItem(hDlg, IDOK), BM_CLICK, 0, 0);
        EXPECT_TRUE(WaitFor("the About box to close", [&] { return !::IsWindow(hDlg); }));
    });
    const std::string hover = Rgb(::GetSysColor(COLOR_HIGHLIGHT));
    EXPECT_EQ((std::vector<std::string>{ "mailto:quorvel@example.org", "quorvel@example.org",
                                         "https://www.example.org/vorlik/", "My website", "https://example.org/",
                                         "My website", "plain: 0,0,238 transparent null brush",
                                         "visited: 85,26,139 transparent null brush",
                                         "over it: " + hover + " transparent null brush captured",
                                         "left it: 85,26,139 transparent null brush" }),
              seen)
        << "the tip is the target, which never changes the text; hover wins over visited over plain";
    EXPECT_EQ(placed.left, fitted.left) << "fitted to its text where the template put it";
    EXPECT_EQ(placed.top, fitted.top);
    EXPECT_GT(placed.Width(), fitted.Width() + 10);
    EXPECT_GE(fitted.Height(), 8);
    EXPECT_TRUE(okFocused);
    EXPECT_EQ(IDOK, result);
}

TEST(AboutBox, ALinkTheShellCannotOpenGoesToTheHtmProgramAndAFailureIsReported)
{
    char temp[MAX_PATH] = "";
    ::GetTempPathA(sizeof temp, temp);
    const std::string argFile = std::string(temp) + "vorlik-argfile.txt", target = "vorlik-no-such-document.xyz";
    ::DeleteFileA(argFile.c_str());
    MessageBoxWatcher boxes;
    std::vector<bool> visited;
    const std::pair<std::string, BOOL> cases[] = { // the .htm program, and whether the link was visited before
        { ChildTool("argfile \"%1\" ignored"), FALSE },
        { "\"C:\\no such\\b.exe\" \"%1\"", TRUE },
    };
    char oldHtm[MAX_PATH] = "";
    LONG size = sizeof oldHtm;
    ::RegQueryValueA(HKEY_CLASSES_ROOT, ".htm", oldHtm, &size);
    ::RegSetValueA(HKEY_CLASSES_ROOT, ".htm", REG_SZ, "VorlikTestPage", 14); // a document class of the test's
    for (const auto& c : cases) {
        ::RegSetValueA(HKEY_CLASSES_ROOT, "VorlikTestPage\\shell\\open\\command", REG_SZ, c.first.c_str(),
                       static_cast<DWORD>(c.first.size()));
        CAboutBox box;
        RunModalWith(box, [&](HWND hDlg) {
            OnUiThread(hDlg, [&] { Link(hDlg, IDC_HOMEPAGE).SetTarget(target.c_str()), Link(hDlg, IDC_HOMEPAGE).MarkVisited(c.second); });
            SendTo(hDlg, WM_COMMAND, MAKEWPARAM(IDC_HOMEPAGE, STN_CLICKED), reinterpret_cast<LPARAM>(::GetDlgItem(hDlg, IDC_HOMEPAGE)));
            visited.push_back(Colours(hDlg, IDC_HOMEPAGE).find("85,26,139") == 0);
        });
        if (c.second == FALSE) { // the .htm program runs and writes what it was given
            EXPECT_TRUE(WaitFor("the .htm program to write its argument", [&] { return ReadFileText(argFile) == target; }));
        }
    }
    ::RegSetValueA(HKEY_CLASSES_ROOT, ".htm", REG_SZ, oldHtm, static_cast<DWORD>(strlen(oldHtm)));
    ::SHDeleteKeyA(HKEY_CLASSES_ROOT, "VorlikTestPage");
    EXPECT_EQ(target, ReadFileText(argFile)) << "the program got the target, the rest of its command line cut";
    EXPECT_EQ((std::vector<bool>{ true, false }), visited) << "opened: visited; failed: no longer";
    ASSERT_EQ(1u, boxes.Texts().size());
    EXPECT_EQ(0u, boxes.Texts()[0].find("Unable to open hyperlink:\n\n")) << boxes.Texts()[0];
    ::DeleteFileA(argFile.c_str());
}

namespace {

// The 32 x 32 pixels at the origin of a DC.
std::vector<COLORREF> Grab(HDC hdcSource)
{
    HDC hdc = ::CreateCompatibleDC(hdcSource);
    HGDIOBJ old = ::SelectObject(hdc, ::CreateCompatibleBitmap(hdcSource, 32, 32));
    ::BitBlt(hdc, 0, 0, 32, 32, hdcSource, 0, 0, SRCCOPY);
    std::vector<COLORREF> pixels;
    for (int i = 0; i < 32 * 32; ++i)
        pixels.push_back(::GetPixel(hdc, i % 32, i / 32));
    ::DeleteObject(::SelectObject(hdc, old));
    ::DeleteDC(hdc);
    return pixels;
}

// Which of the strip's frames, drawn on the face colour, the control shows
// (after a repaint if asked), or -1.
int Shown(HWND hCtl, bool bRepaint = false)
{
    HIMAGELIST hList = ::ImageList_LoadImageA(::GetModuleHandleA(nullptr), MAKEINTRESOURCEA(IDB_BUSY), 32, 1,
                                              RGB(0, 255, 0), IMAGE_BITMAP, 0);
    ::ImageList_SetBkColor(hList, ::GetSysColor(COLOR_BTNFACE));
    if (bRepaint)
        ::RedrawWindow(hCtl, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_UPDATENOW);
    HDC hdcCtl = ::GetDC(hCtl), hdc = ::CreateCompatibleDC(hdcCtl);
    std::vector<COLORREF> shown = Grab(hdcCtl);
    HGDIOBJ old = ::SelectObject(hdc, ::CreateCompatibleBitmap(hdcCtl, 32, 32));
    int found = -1;
    for (int i = 0; i < ::ImageList_GetImageCount(hList) && found < 0; ++i)
        found = ::ImageList_Draw(hList, i, hdc, 0, 0, ILD_NORMAL) && Grab(hdc) == shown ? i : -1;
    ::DeleteObject(::SelectObject(hdc, old));
    ::DeleteDC(hdc);
    ::ReleaseDC(hCtl, hdcCtl);
    ::ImageList_Destroy(hList);
    return found;
}

} // namespace

// Each line: the frame on screen, and after a repaint (the frame the
// control keeps).
TEST(BusyAnimation, StopLeavesTheLastFrameDrawnAndNoWorkerOutlivesTheWindow)
{
    CConsoleDlg dlg;
    std::vector<std::string> log;
    CRect client;
    int workersWhileRunning = -1, workersAfterWindowGone = -1;
    RunModalWith(dlg, [&](HWND hDlg) {
        const int baseline = CountThreads(::GetCurrentProcessId()); // the dialog's thread and this one
        HWND hCtl = ::GetDlgItem(hDlg, IDC_BUSY);
        auto& busy = dynamic_cast<CBusyAnimation&>(*CWnd::FromHandlePermanent(hCtl));
        ::GetClientRect(hCtl, client);
        auto shown = [&] {
            std::string onScreen = std::to_string(Shown(hCtl));
            return onScreen + " " + std::to_string(Shown(hCtl, true));
        };
        for (int frame : { 3, 6, 4 }) {
            OnUiThread(hDlg, [&] { busy.Start(), busy.Start(); }); // the second start replaces the first worker
            workersWhileRunning = CountThreads(::GetCurrentProcessId()) - baseline;
            EXPECT_TRUE(WaitFor("frame " + std::to_string(frame), [&] { return Shown(hCtl) == frame; }));
            OnUiThread(hDlg, [&] { busy.Stop(); });
            log.push_back(shown());
        }
        OnUiThread(hDlg, [&] { busy.Start(), busy.Stop(); }); // stopped before it drew a frame
        log.push_back(shown());
        OnUiThread(hDlg, [&] { busy.Start(), ::DestroyWindow(hCtl); });
        EXPECT_TRUE(WaitFor("the worker to end with its window", [&] { return CountThreads(::GetCurrentProcessId()) == baseline; }));
        workersAfterWindowGone = CountThreads(::GetCurrentProcessId()) - baseline;
    });
    EXPECT_EQ(32, client.Width());
    EXPECT_EQ(32, client.Height());
    EXPECT_EQ((std::vector<std::string>{ "3 3", "6 0", "4 4", "4 3" }), log)
        << "after the last frame the control keeps frame 0; a stop before the first frame steps back";
    EXPECT_EQ(1, workersWhileRunning) << "one worker at a time";
    EXPECT_EQ(0, workersAfterWindowGone);
}
