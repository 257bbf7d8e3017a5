// The output pane on a real RICHED32 control: appending at the end, the
// scroll walk, typed characters, CopyAll, the cap and clearing.
#include "console/OutputPane.h"

#include "MessageBoxes.h"
#include "ModalRunner.h"
#include "Pump.h"
#include "RunTestDialog.h"
#include "TestFiles.h"
#include "TestResource.h"
#include "UiCall.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>

using namespace testsupport;

namespace {

std::string Lines(int from, int count)
{
    std::string s;
    char line[32];
    for (int i = from; i < from + count; ++i) {
        std::snprintf(line, sizeof line, "%sL%d", s.empty() ? "" : "\r\n", i);
        s += line;
    }
    return s;
}

int FirstVisibleLine(HWND hPane)
{
    return static_cast<int>(::SendMessageA(hPane, EM_GETFIRSTVISIBLELINE, 0, 0));
}

// How many line starts of a pane scrolled to the top lie in its client area.
int VisibleLineStarts(HWND hPane)
{
    RECT rc;
    ::GetClientRect(hPane, &rc);
    int n = 0;
    for (int line = 0;; ++line) {
        LRESULT index = ::SendMessageA(hPane, EM_LINEINDEX, line, 0);
        if (index < 0)
            return n;
        POINTL pt{};
        ::SendMessageA(hPane, EM_POSFROMCHAR, reinterpret_cast<WPARAM>(&pt), index);
        if (pt.y >= rc.bottom)
            return n;
        ++n;
    }
}

int RichEditChildren(HWND hDlg)
{
    int n = 0;
    for (HWND h = ::GetWindow(hDlg, GW_CHILD); h != nullptr; h = ::GetWindow(h, GW_HWNDNEXT)) {
        char name[32] = "";
        ::GetClassNameA(h, name, sizeof name);
        n += lstrcmpiA(name, "RICHEDIT") == 0 ? 1 : 0;
    }
    return n;
}

CHARFORMATA DefaultFormat(HWND hPane)
{
    CHARFORMATA cf{};
    cf.cbSize = sizeof cf;
    ::SendMessageA(hPane, EM_GETCHARFORMAT, FALSE, reinterpret_cast<LPARAM>(&cf));
    return cf;
}

void SetText(HWND hPane, const std::string& text)
{
    ::SendMessageA(hPane, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text.c_str()));
}

// Hands text to the pane as the dialog does, and waits until it is shown.
void Append(CRunTestDlg& dlg, HWND hDlg, const std::string& text)
{
    OnUiThread(hDlg, [&] { dlg.m_output.AppendText(text.c_str()); });
    WaitForPane(hDlg, dlg.m_output);
}

} // namespace

TEST(OutputPane, AppendsAtTheEndWhateverTheCaretAndSelection)
{
    CRunTestDlg dlg;
    std::string text;
    CHARRANGE sel{ -1, -1 };
    RunModalWith(dlg, [&](HWND hDlg) {
        HWND hPane = PaneOf(hDlg);
        SetText(hPane, "first\r\nsecond");
        ::SendMessageA(hPane, EM_SETSEL, 2, 5);
        Append(dlg, hDlg, " tail");
        text = PaneText(hDlg);
        ::SendMessageA(hPane, EM_EXGETSEL, 0, reinterpret_cast<LPARAM>(&sel));
    });
    EXPECT_EQ("first\r\nsecond tail", text);
    EXPECT_EQ(static_cast<LONG>(text.size()), sel.cpMin);
    EXPECT_EQ(sel.cpMin, sel.cpMax) << "the selection is dropped; the caret stays at the end";
}

TEST(OutputPane, ScrollsOnlyWhenTheNewestLineStartsBelowTheView)
{
    CRunTestDlg dlg;
    int visible = 0;
    int afterVisibleAppend = -1;
    int afterTwoBelow = -1;
    int afterScrolledUp = -1;
    int afterBackDown = -1;
    bool lastInView = false;
    RunModalWith(dlg, [&](HWND hDlg) {
        HWND hPane = PaneOf(hDlg);
        SetText(hPane, Lines(0, 200));
        visible = VisibleLineStarts(hPane);

        // The last line's start stays in view: nothing scrolls.
        SetText(hPane, Lines(0, visible - 1));
        Append(dlg, hDlg, "\r\n" + Lines(visible - 1, 1));
        afterVisibleAppend = FirstVisibleLine(hPane);

        // Two more lines below the view: scrolled by three.
        SetText(hPane, Lines(0, visible));
        Append(dlg, hDlg, "\r\n" + Lines(visible, 2));
        afterTwoBelow = FirstVisibleLine(hPane);
        RECT rc;
        ::GetClientRect(hPane, &rc);
        POINTL pt{};
        LRESULT lastStart = ::SendMessageA(hPane, EM_LINEINDEX, visible + 1, 0);
        ::SendMessageA(hPane, EM_POSFROMCHAR, reinterpret_cast<WPARAM>(&pt), lastStart);
        lastInView = pt.y >= rc.top && pt.y < rc.bottom;

        // The user scrolled back to the top of a long text: the view stays
        // while output arrives, and follows it again from the bottom.
        SetText(hPane, Lines(0, 200));
        ::SendMessageA(hPane, WM_VSCROLL, SB_TOP, 0);
        Append(dlg, hDlg, "\r\n" + Lines(200, 1));
        afterScrolledUp = FirstVisibleLine(hPane);
        ::SendMessageA(hPane, WM_VSCROLL, SB_BOTTOM, 0);
        Append(dlg, hDlg, "\r\n" + Lines(201, 1));
        afterBackDown = FirstVisibleLine(hPane);
    });
    ASSERT_GT(visible, 3);
    EXPECT_EQ(0, afterVisibleAppend);
    // Asked to scroll by three, the control stops where the last line sits at
    // the bottom.
    EXPECT_EQ(2, afterTwoBelow);
    EXPECT_TRUE(lastInView);
    EXPECT_EQ(0, afterScrolledUp) << "a view scrolled away stays put";
    EXPECT_EQ(202 - visible, afterBackDown) << "at the bottom, the view follows the output again";
}

TEST(OutputPane, ScrolledSidewaysItBringsTheEndOfTheTextIntoView)
{
    CRunTestDlg dlg;
    bool firstStartHidden = false;
    POINTL end{ -1, -1 };
    RECT rc{};
    RunModalWith(dlg, [&](HWND hDlg) {
        HWND hPane = PaneOf(hDlg);
        SetText(hPane, std::string(400, 'w') + "\r\n" + std::string(400, 'v'));
        ::SendMessageA(hPane, WM_HSCROLL, SB_RIGHT, 0);
        POINTL start{};
        ::SendMessageA(hPane, EM_POSFROMCHAR, reinterpret_cast<WPARAM>(&start), 0);
        firstStartHidden = start.x < 0;
        Append(dlg, hDlg, "\r\n" "end");
        LRESULT n = ::SendMessageA(hPane, WM_GETTEXTLENGTH, 0, 0);
        ::SendMessageA(hPane, EM_POSFROMCHAR, reinterpret_cast<WPARAM>(&end), n - 1);
        ::GetClientRect(hPane, &rc);
    });
    EXPECT_TRUE(firstStartHidden);
    EXPECT_GE(end.x, rc.left);
    EXPECT_LT(end.x, rc.right);
    EXPECT_GE(end.y, rc.top);
    EXPECT_LT(end.y, rc.bottom);
}

TEST(OutputPane, ForwardsEachTypedCharacterBeforeItIsEchoed)
{
    CRunTestDlg dlg;
    std::string text;
    RunModalWith(dlg, [&](HWND hDlg) {
        TypeInto(PaneOf(hDlg), "ab\r\b");
        WaitUntil([&] { return dlg.PaneLengthsAtChar().size() == 4; });
        text = PaneText(hDlg);
    });
    std::vector<long> lengths = dlg.PaneLengthsAtChar();
    ASSERT_EQ(4u, lengths.size());
    EXPECT_EQ(0, lengths[0]);
    EXPECT_EQ(1, lengths[1]) << "the pane did not yet show 'b' when it was reported";
    EXPECT_EQ(2, lengths[2]);
    EXPECT_EQ("ab", text.substr(0, 2)) << "Enter made a new line, backspace took it back";
}

TEST(OutputPane, CopyAllTakesTheWholeOutputAndSaysWhenItIsTooLarge)
{
    CRunTestDlg dlg;
    MessageBoxWatcher boxes;
    std::string afterEmpty, afterFull, afterHuge;
    RunModalWith(dlg, [&](HWND hDlg) {
        SetClipboardText("sentinel");
        ::SendMessageA(hDlg, WM_TEST_COPY, 0, 0);
        afterEmpty = ClipboardText();
        // A line longer than the pane shows whole: the rest is kept.
        Append(dlg, hDlg, "output line\r\n" + std::string(100000, 'x') + "\r\n--End--\n");
        ::SendMessageA(hDlg, WM_TEST_COPY, 0, 0);
        afterFull = ClipboardText();
        std::string huge(COutputPane::kMaxCopyChars / 8, 'y');
        for (int i = 0; i < 9; ++i)
            Append(dlg, hDlg, huge);
        ::PostMessageA(hDlg, WM_TEST_COPY, 0, 0);
        WaitUntil([&] { return boxes.Count() == 1; });
        afterHuge = ClipboardText();
    });
    EXPECT_EQ("sentinel", afterEmpty);
    EXPECT_TRUE("output line\r\n" + std::string(100000, 'x') + "\r\n--End--\r\n" == afterFull);
    ASSERT_EQ(1u, boxes.Count());
    EXPECT_EQ("The output is too large for the clipboard. Use File > Save to keep all of it.", boxes.Seen()[0].text);
    EXPECT_TRUE(afterHuge == afterFull) << "the clipboard is left as it was";
}

// Past its bound the pane shows the newest output from a line start, and the
// whole run stays available to Save and Copy, whether the output comes as a
// flood (the pane skips ahead, then settles) or slowly (the pane trims).
TEST(OutputPane, KeepsTheWholeRunPastItsBoundAndShowsTheNewestFromALineStart)
{
    const long bound = 100000;
    const long keep = 30000;
    for (bool flood : { true, false }) {
        CRunTestDlg dlg;
        dlg.m_output.SetMaxChars(bound, keep);
        std::string all, whole, text;
        int panes = 0;
        RunModalWith(dlg, [&](HWND hDlg) {
            char line[64];
            std::string chunk;
            for (int i = 0; i < 8000; ++i) {
                std::snprintf(line, sizeof line, "%07d abcdefghijklmnopqrstuvwxyz\r\n", i);
                chunk += line;
                if (chunk.size() > 3000 || i == 7999) {
                    OnUiThread(hDlg, [&] { dlg.m_output.AppendText(chunk.c_str()); });
                    if (!flood)
                        WaitForPane(hDlg, dlg.m_output);
                    all += chunk;
                    chunk.clear();
                }
            }
            WaitForPane(hDlg, dlg.m_output);
            whole = WholeOutput(hDlg, dlg.m_output);
            text = PaneText(hDlg);
            WaitUntil([&] { return RichEditChildren(hDlg) == 1; });
            panes = RichEditChildren(hDlg);
        });
        SCOPED_TRACE(flood ? "flood" : "slow");
        EXPECT_TRUE(whole == all) << "every byte, in order (" << whole.size() << " of " << all.size() << ")";
        EXPECT_LE(static_cast<long>(text.size()), bound);
        EXPECT_GE(static_cast<long>(text.size()), keep - 40);
        ASSERT_LT(text.size(), all.size());
        EXPECT_TRUE(all.compare(all.size() - text.size(), text.size(), text) == 0) << "the newest output, whole";
        EXPECT_EQ('\n', all[all.size() - text.size() - 1]) << "cut at the start of a line";
        EXPECT_EQ(1, panes) << "no hidden or replaced control is left";
    }
}

TEST(OutputPane, ClearingABigPaneLeavesAWorkingEmptyPaneInThePlaceOfTheOld)
{
    CRunTestDlg dlg;
    std::string before, after, typed;
    RECT rcBefore{}, rcAfter{};
    HWND hNextBefore = nullptr, hNextAfter = nullptr;
    CHARFORMATA fontBefore{}, fontAfter{};
    int panesLeft = 0;
    bool focusKept = false;
    RunModalWith(dlg, [&](HWND hDlg) {
        HWND hPane = PaneOf(hDlg);
        ::GetWindowRect(hPane, &rcBefore);
        hNextBefore = ::GetWindow(::GetDlgItem(hDlg, IDC_TEST_EDIT), GW_HWNDNEXT);
        fontBefore = DefaultFormat(hPane);
        std::string big;
        while (big.size() < 1000000)
            big += "0123456789 0123456789 0123456789 0123456789 0123456789 0123456789\r\n";
        SetText(hPane, big);
        before = PaneText(hDlg);

        OnUiThread(hDlg, [&] { dlg.m_output.Clear(); });
        after = PaneText(hDlg);
        hPane = PaneOf(hDlg);
        ::GetWindowRect(hPane, &rcAfter);
        hNextAfter = ::GetWindow(::GetDlgItem(hDlg, IDC_TEST_EDIT), GW_HWNDNEXT);
        fontAfter = DefaultFormat(hPane);
        TypeInto(hPane, "z");
        WaitUntil([&] { return dlg.PaneLengthsAtChar().size() == 1; });
        typed = PaneText(hDlg);

        Append(dlg, hDlg, "small");
        OnUiThread(hDlg, [&] { dlg.m_output.Clear(); });
        focusKept = PaneText(hDlg).empty();
        // The replaced control is destroyed soon after, in a message of its own.
        WaitUntil([&] { return RichEditChildren(hDlg) == 1; });
        panesLeft = RichEditChildren(hDlg);
    });
    EXPECT_EQ(1, panesLeft) << "the replaced control is destroyed";
    EXPECT_GE(before.size(), 1000000u);
    EXPECT_EQ("", after);
    EXPECT_TRUE(::EqualRect(&rcBefore, &rcAfter));
    EXPECT_STREQ(fontBefore.szFaceName, fontAfter.szFaceName) << "the dialog's font, not the control's own";
    EXPECT_EQ(fontBefore.yHeight, fontAfter.yHeight);
    EXPECT_EQ(::GetDlgCtrlID(hNextBefore), ::GetDlgCtrlID(hNextAfter)) << "same place in the tab order";
    EXPECT_EQ(1u, dlg.PaneLengthsAtChar().size()) << "the new control still reports typing";
    EXPECT_EQ("z", typed);
    EXPECT_TRUE(focusKept);
}
