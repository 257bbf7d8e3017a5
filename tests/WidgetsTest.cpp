// The About box's link labels as the program uses them: fitted to their
// text, tipped with their target, coloured plain, visited and hovered.
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

// A label's tip, from this thread's tooltips (Wine shows none over an inactive window).
std::string TipOf(HWND hLabel)
{
    std::pair<HWND, std::string> search{ hLabel, "" };
    ::EnumThreadWindows(::GetCurrentThreadId(), &AskTooltip, reinterpret_cast<LPARAM>(&search));
    return search.second;
}

} // namespace

TEST(AboutBox, ItsLinksAreFittedTippedColouredAndOkHasTheFocus)
{
    ::SetCursorPos(0, 0); // away from the box
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
        auto pointAt = [&](POINT pt, const std::string& colour, const char* what) { // the real pointer agrees
            POINT screen = pt;
            ::ClientToScreen(hMail, &screen), ::SetCursorPos(screen.x, screen.y);
            EXPECT_TRUE(WaitFor(what, [&] { // moved again until the system's own moves agree
                SendTo(hMail, WM_MOUSEMOVE, 0, MAKELPARAM(pt.x, pt.y));
                return Colours(hDlg, IDC_MAILTO).find(colour) == 0;
            }));
            look(what);
        };
        pointAt({ 3, 2 }, Rgb(::GetSysColor(COLOR_HIGHLIGHT)), "over it");
        pointAt({ 5000, 2 }, "85,26,139", "left it");
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
