// The output pane of the real main dialog, on its RICHED32 control: output
// goes to the end whatever the caret, the scroll follows the newest line
// only from the bottom, the whole run is kept past the pane's bound, a
// replaced control takes the old one's place and focus, and Copy takes it
// all.
#include "TestConsole.h"
#include "helpers/Pattern.h"

#include <gtest/gtest.h>

using namespace testsupport;

namespace {

// Hands text to the pane as a run's output, and waits until it shows.
void Append(CTestConsole& dlg, HWND hDlg, const std::string& text)
{
    OnUiThread(hDlg, [&] { dlg.m_output.AppendText(text.c_str()); });
    WaitUntil([&] { return !Ask(hDlg, [&] { return dlg.m_output.IsCatchingUp(); }); });
}

std::string Lines(int from, int count)
{
    std::string s;
    for (int i = from; i < from + count; ++i)
        s += (s.empty() ? "L" : "\r\nL") + std::to_string(i);
    return s;
}

int FirstVisible(HWND hDlg)
{
    return static_cast<int>(::SendMessageA(Pane(hDlg), EM_GETFIRSTVISIBLELINE, 0, 0));
}

// Whether character index (-1: the last one) lies in the pane's view; 0
// past the bottom.
bool InView(HWND hDlg, long index)
{
    RECT rc;
    ::GetClientRect(Pane(hDlg), &rc);
    POINTL pt{};
    if (index < 0)
        index = static_cast<long>(::SendMessageA(Pane(hDlg), WM_GETTEXTLENGTH, 0, 0)) - 1;
    ::SendMessageA(Pane(hDlg), EM_POSFROMCHAR, reinterpret_cast<WPARAM>(&pt), index);
    return pt.x >= rc.left && pt.x < rc.right && pt.y >= rc.top && pt.y < rc.bottom;
}

long LineStart(HWND hDlg, int line)
{
    return static_cast<long>(::SendMessageA(Pane(hDlg), EM_LINEINDEX, line, 0));
}

// How many RICHEDIT controls the dialog has, once no more than one.
int RichEditsLeft(HWND hDlg)
{
    int n = 0;
    WaitUntil([&] {
        n = 0;
        for (HWND h = ::FindWindowExA(hDlg, nullptr, "RICHEDIT", nullptr); h; h = ::FindWindowExA(hDlg, h, "RICHEDIT", nullptr))
            ++n;
        return n == 1;
    });
    return n;
}

} // namespace

TEST(OutputPane, AppendsAtTheEndAndScrollsOnlyAsFarAsTheNewestLineNeeds)
{
    CTestConsole dlg;
    std::string text;
    CHARRANGE sel{ -1, -1 };
    int visible = 0;
    std::vector<int> firstVisible;
    bool lastInView = false, endInViewSideways = false;
    RunModalWith(dlg, [&](HWND hDlg) {
        auto run = [&](const std::string& output) { // a new run's first output
            OnUiThread(hDlg, [&] { dlg.m_output.Clear(); });
            Append(dlg, hDlg, output);
        };
        run("first\r\nsecond");
        ::SendMessageA(Pane(hDlg), EM_SETSEL, 2, 5);
        Append(dlg, hDlg, " tail");
        text = WindowText(Pane(hDlg));
        ::SendMessageA(Pane(hDlg), EM_EXGETSEL, 0, reinterpret_cast<LPARAM>(&sel));
        // Scrolled sideways: the end of the text comes into view.
        run(std::string(400, 'w') + "\r\n" + std::string(400, 'v'));
        ::SendMessageA(Pane(hDlg), WM_HSCROLL, SB_RIGHT, 0);
        Append(dlg, hDlg, "\r\nend");
        endInViewSideways = InView(hDlg, -1);

        // How many line starts fit in the view.
        run(Lines(0, 200));
        ::SendMessageA(Pane(hDlg), WM_VSCROLL, SB_TOP, 0);
        while (InView(hDlg, LineStart(hDlg, visible)))
            ++visible;
        // Scrolled to the top, the view stays; back at the bottom, it follows.
        Append(dlg, hDlg, "\r\n" + Lines(200, 1));
        firstVisible.push_back(FirstVisible(hDlg));
        ::SendMessageA(Pane(hDlg), WM_VSCROLL, SB_BOTTOM, 0);
        Append(dlg, hDlg, "\r\n" + Lines(201, 1));
        firstVisible.push_back(FirstVisible(hDlg) - (202 - visible));
        // The newest line starts in view: nothing scrolls.
        run(Lines(0, visible - 1));
        Append(dlg, hDlg, "\r\n" + Lines(visible - 1, 1));
        firstVisible.push_back(FirstVisible(hDlg));
        // Two lines below the view: scrolled by their count and one more,
        // which the control stops at the bottom.
        run(Lines(0, visible));
        Append(dlg, hDlg, "\r\n" + Lines(visible, 2));
        firstVisible.push_back(FirstVisible(hDlg));
        lastInView = InView(hDlg, LineStart(hDlg, visible + 1));
        // A new run after a scrolled one follows its output from the start.
        run(Lines(0, 300));
        firstVisible.push_back(FirstVisible(hDlg) - (300 - visible));
    });
    EXPECT_EQ("first\r\nsecond tail", text);
    EXPECT_EQ(static_cast<LONG>(text.size()), sel.cpMin) << "the selection gave way to the caret at the end";
    EXPECT_EQ(sel.cpMin, sel.cpMax);
    ASSERT_GT(visible, 3);
    EXPECT_EQ((std::vector<int>{ 0, 0, 0, 2, 0 }), firstVisible)
        << "scrolled up: stays; at the bottom: follows; the newest line in view: still; two below: by three; "
           "a new run: follows";
    EXPECT_TRUE(lastInView);
    EXPECT_TRUE(endInViewSideways);
}

// Past its bound the pane shows the newest output from a line start, and the
// whole run stays for Save and Copy, whether it comes as a flood (the pane
// skips ahead, then settles) or slowly (the pane trims).
TEST(OutputPane, KeepsTheWholeRunPastItsBoundAndShowsTheNewestFromALineStart)
{
    const long bound = 100000, keep = 30000;
    const std::string all = Pattern(250000);
    for (bool flood : { true, false }) {
        SCOPED_TRACE(flood ? "flood" : "slow");
        CTestConsole dlg;
        std::string whole, text;
        int panes = 0;
        RunModalWith(dlg, [&](HWND hDlg) {
            OnUiThread(hDlg, [&] { dlg.m_output.SetMaxChars(bound, keep); });
            for (size_t i = 0; i < all.size(); i += 3000) {
                std::string piece = all.substr(i, 3000);
                if (flood)
                    OnUiThread(hDlg, [&] { dlg.m_output.AppendText(piece.c_str()); });
                else
                    Append(dlg, hDlg, piece);
            }
            Append(dlg, hDlg, "");
            OnUiThread(hDlg, [&] { dlg.m_output.ReadWholeOutput("\r\n", [&](const std::string& s) { whole += s; }); });
            text = WindowText(Pane(hDlg));
            panes = RichEditsLeft(hDlg);
        });
        EXPECT_TRUE(whole == all) << "every byte, in order (" << whole.size() << " of " << all.size() << ")";
        EXPECT_LE(static_cast<long>(text.size()), bound);
        EXPECT_GE(static_cast<long>(text.size()), keep - 60);
        ASSERT_LT(text.size(), all.size());
        EXPECT_TRUE(all.compare(all.size() - text.size(), text.size(), text) == 0) << "the newest output, whole";
        EXPECT_EQ('\n', all[all.size() - text.size() - 1]) << "cut at the start of a line";
        EXPECT_EQ(1, panes) << "no hidden or replaced control is left";
    }
}

// A big pane is replaced rather than emptied (emptying in place takes
// seconds): the new control must look and behave as the old one.
TEST(OutputPane, AReplacedControlTakesTheOldOnesPlaceFontTabOrderAndFocus)
{
    CTestConsole dlg;
    std::vector<std::string> seen;
    int panes = 0;
    RunModalWith(dlg, [&](HWND hDlg) {
        auto look = [&] {
            CHARFORMATA cf{ sizeof cf };
            ::SendMessageA(Pane(hDlg), EM_GETCHARFORMAT, FALSE, reinterpret_cast<LPARAM>(&cf));
            CRect rc = ChildRect(hDlg, IDC_OUTPUT);
            bool focused = Ask(hDlg, [&] { return ::GetFocus() == Pane(hDlg); });
            seen.push_back(std::to_string(rc.left) + "," + std::to_string(rc.top) + " " + std::to_string(rc.Width()) +
                           "x" + std::to_string(rc.Height()) + " " + cf.szFaceName + " " + std::to_string(cf.yHeight) +
                           " before " + std::to_string(::GetDlgCtrlID(::GetNextDlgTabItem(hDlg, Pane(hDlg), FALSE))) +
                           (focused ? " focused" : "") + " [" + WindowText(Pane(hDlg)).substr(0, 3) + "]");
        };
        HWND hOld = Pane(hDlg);
        OnUiThread(hDlg, [&] { ::SetFocus(hOld); });
        look();
        std::string big;
        while (big.size() < 1000000)
            big += "0123456789 0123456789 0123456789 0123456789 0123456789 0123456789\r\n";
        ::SendMessageA(hOld, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(big.c_str()));
        OnUiThread(hDlg, [&] { dlg.m_output.Clear(); });
        ::SendMessageA(Pane(hDlg), WM_CHAR, 'z', 1);
        seen.push_back(hOld != Pane(hDlg) ? "replaced" : "emptied in place");
        look();
        panes = RichEditsLeft(hDlg);
    });
    ASSERT_EQ(3u, seen.size());
    EXPECT_EQ("replaced", seen[1]);
    EXPECT_EQ(seen[0].substr(0, seen[0].size() - 1) + "z]", seen[2]) << "the same place, font, tab order and focus";
    EXPECT_EQ(1, panes) << "the old control is destroyed";
}

TEST(OutputPane, CopyTakesTheWholeOutputOrSaysItIsTooLarge)
{
    MessageBoxWatcher boxes;
    CTestConsole dlg;
    std::string afterEmpty, afterFull, afterHuge;
    const std::string output = "output line\r\n" + std::string(100000, 'x') + "\r\n--End--\n";
    RunModalWith(dlg, [&](HWND hDlg) {
        SetClipboardText("sentinel");
        ::SendMessageA(hDlg, WM_COMMAND, IDM_COPY, 0);
        afterEmpty = ClipboardText();
        Append(dlg, hDlg, output);
        ::SendMessageA(hDlg, WM_COMMAND, IDM_COPY, 0);
        afterFull = ClipboardText();
        std::string huge(COutputPane::kMaxCopyChars / 8, 'y');
        for (int i = 0; i < 9; ++i)
            OnUiThread(hDlg, [&] { dlg.m_output.AppendText(huge.c_str()); });
        ::SendMessageA(hDlg, WM_COMMAND, IDM_COPY, 0);
        afterHuge = ClipboardText();
    });
    EXPECT_EQ("sentinel", afterEmpty) << "nothing to copy leaves the clipboard alone";
    EXPECT_TRUE("output line\r\n" + std::string(100000, 'x') + "\r\n--End--\r\n" == afterFull);
    EXPECT_EQ(std::vector<std::string>{ "The output is too large for the clipboard. Use File > Save to keep all of it." },
              boxes.Texts());
    EXPECT_TRUE(afterHuge == afterFull) << "the clipboard is left as it was";
}
