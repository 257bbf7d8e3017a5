// The main dialog in-process, from the program's own resources and with its
// real run session: every command in every run state, a worker that throws,
// the window destroyed during a run, resizing and saving; and its output
// pane on the real RICHED32 control: output goes to the end whatever the
// caret, the view follows the newest line only from the bottom, the whole
// run is kept past the pane's bound, a replaced control takes the old one's
// place and focus, and Copy takes it all.
#include "TestConsole.h"
#include "helpers/Pattern.h"
#include "runner/RunWorker.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>

using namespace testsupport;

namespace {

const char kRunRefused[] = "You can't begin a new proccess will old one is running.";
const char kExitRefused[] = "You can't exit will your process is running.";

void SetCommand(HWND hDlg, const std::string& command)
{
    ::SendMessageA(::GetDlgItem(hDlg, IDC_COMMAND), WM_SETTEXT, 0, reinterpret_cast<LPARAM>(command.c_str()));
}

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

// Where the start of line (-1: the last character) is in the pane.
POINTL PosOf(HWND hDlg, int line)
{
    POINTL pt{};
    LRESULT index = line < 0 ? ::SendMessageA(Pane(hDlg), WM_GETTEXTLENGTH, 0, 0) - 1
                             : ::SendMessageA(Pane(hDlg), EM_LINEINDEX, line, 0);
    ::SendMessageA(Pane(hDlg), EM_POSFROMCHAR, reinterpret_cast<WPARAM>(&pt), index);
    return pt;
}

bool InView(HWND hDlg, int line)
{
    RECT rc;
    ::GetClientRect(Pane(hDlg), &rc);
    POINTL pt = PosOf(hDlg, line);
    return pt.x >= rc.left && pt.x < rc.right && pt.y >= rc.top && pt.y < rc.bottom;
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

// Each step leaves a line: the message box it caused (or "-"), what reached
// the child's stdin, whether the animation runs and the focus is in the pane.
TEST(ConsoleDialog, EveryCommandInEveryRunState)
{
    MessageBoxWatcher boxes;
    CTestConsole dlg;
    HANDLE hRead = nullptr, hWrite = nullptr;
    ASSERT_TRUE(::CreatePipe(&hRead, &hWrite, nullptr, 4096));
    ChildProcess child(ChildTool("wait"));
    std::vector<std::string> log;
    bool childEnded = false, waited = true;
    int historyAfterRefusals = -1, historyAfterRun = -1;
    INT_PTR result = RunModalWith(dlg, [&](HWND hDlg) {
        auto step = [&](const char* what, const std::function<void()>& act) {
            size_t before = boxes.Texts().size();
            act();
            std::vector<std::string> seen = boxes.Texts();
            bool busy = Ask(hDlg, [&] { return dlg.m_busy.IsRunning(); });
            bool inPane = Ask(hDlg, [&] { return ::GetFocus() == ::GetDlgItem(hDlg, IDC_OUTPUT); });
            log.push_back(std::string(what) + ": " + (seen.size() > before ? seen.back() : "-") + " |" +
                          ReadAvailable(hRead) + "|" + (busy ? " busy" : "") + (inPane ? " in pane" : ""));
        };
        step("idle Stop", [&] { Send(hDlg, IDC_STOP); });
        step("idle typing", [&] { Type(hDlg, "i\r"); });
        // A run whose worker does nothing: the test plays its part.
        OnUiThread(hDlg, [&] { dlg.m_run.Start(hDlg, "", [](LPVOID) -> UINT { return 0; }); });
        step("starting Run", [&] { Send(hDlg, IDC_RUN); });
        step("starting Exit", [&] { Send(hDlg, IDCANCEL); });
        step("starting Stop", [&] { Send(hDlg, IDC_STOP); });
        step("starting typing", [&] { Type(hDlg, "s\r"); });
        ::SendMessageA(hDlg, WM_RUN_STDIN, 0, 0);
        OnUiThread(hDlg, [&] { dlg.m_run.GetStdin().Open(hWrite); });
        step("stdin typing", [&] { Type(hDlg, "p\b\b\bq\r"); });
        step("stdin Run", [&] { Send(hDlg, IDC_RUN); });
        ::SendMessageA(hDlg, WM_RUN_PROCESS, reinterpret_cast<WPARAM>(child.Handle()), 0);
        step("child Exit", [&] { Send(hDlg, IDCANCEL); });
        step("child Stop", [&] { Send(hDlg, IDC_STOP); });
        childEnded = child.WaitForExit(kTimeoutMs);
        step("end", [&] { ::SendMessageA(hDlg, WM_RUN_FINISHED, 0, 0), waited &= PaneEndsWith(hDlg, "\n--End--\n"); });
        historyAfterRefusals = static_cast<int>(::SendDlgItemMessageA(hDlg, IDC_COMMAND, CB_GETCOUNT, 0, 0));
        // A real run: the pane takes the focus, typed lines go whole at Enter,
        // Ctrl+Z Enter ends the child's input.
        SetCommand(hDlg, ChildTool("cat"));
        step("real Run", [&] { Send(hDlg, IDC_RUN), waited &= WaitForChildProcess(::GetCurrentProcessId(), "ChildTool.exe"); });
        step("real typing", [&] {
            Type(hDlg, "hi\r"), waited &= PaneEndsWith(hDlg, "hi\r\nhi\r\n");
            Type(hDlg, "\x1a\r"), waited &= PaneEndsWith(hDlg, "hi\r\nhi\r\n^Z\r\neof\r\n\n--End--\n");
        });
        historyAfterRun = static_cast<int>(::SendDlgItemMessageA(hDlg, IDC_COMMAND, CB_GETCOUNT, 0, 0));
        Send(hDlg, IDCANCEL);
    });
    ::CloseHandle(hRead);
    ::CloseHandle(hWrite);
    const std::vector<std::string> expected = {
        "idle Stop: - ||",
        "idle typing: - ||",
        std::string("starting Run: ") + kRunRefused + " ||",
        std::string("starting Exit: ") + kExitRefused + " ||",
        "starting Stop: - ||",
        "starting typing: - ||",
        "stdin typing: - |q\r\n|",
        std::string("stdin Run: ") + kRunRefused + " ||",
        std::string("child Exit: ") + kExitRefused + " ||",
        "child Stop: - ||",
        "end: - ||",
        "real Run: - || busy in pane",
        "real typing: - || in pane",
    };
    EXPECT_EQ(expected, log);
    EXPECT_TRUE(childEnded) << "Stop ended the child";
    EXPECT_TRUE(waited) << "the end line, the child, the echo, the end of input";
    EXPECT_EQ(0, historyAfterRefusals) << "refused runs are not remembered";
    EXPECT_EQ(1, historyAfterRun);
    EXPECT_EQ(IDCANCEL, result) << "Exit while idle closes";
}

TEST(ConsoleDialog, AWorkerThatThrowsIsReportedAndTheRunEnds)
{
    MessageBoxWatcher boxes;
    CTestConsole dlg;
    bool ended = false;
    INT_PTR result = RunModalWith(dlg, [&](HWND hDlg) {
        OnUiThread(hDlg, [&] {
            dlg.m_run.Start(hDlg, "", [](LPVOID p) -> UINT {
                return RunGuarded(p, [](CRunSession&) { throw CException("out of memory"); });
            });
        });
        ended = PaneEndsWith(hDlg, "\n--End--\n");
        Send(hDlg, IDCANCEL); // Exit is accepted again
    });
    EXPECT_TRUE(ended);
    EXPECT_EQ(std::vector<std::string>{ "out of memory" }, boxes.Texts());
    EXPECT_EQ(IDCANCEL, result);
}

// The window can go by other routes than Exit: the run's tree ends first and
// its worker is waited for.
TEST(ConsoleDialog, DestroyedDuringARunItEndsTheChildAndLeavesNoWorker)
{
    long baseline = CWinThread::GetObjectCount();
    bool childSeen = false;
    {
        CTestConsole dlg;
        RunModalWith(dlg, [&](HWND hDlg) {
            SetCommand(hDlg, ChildTool("wait"));
            Send(hDlg, IDC_RUN);
            childSeen = WaitForChildProcess(::GetCurrentProcessId(), "ChildTool.exe");
            OnUiThread(hDlg, [&] { ::DestroyWindow(hDlg); });
        });
    }
    EXPECT_TRUE(childSeen);
    EXPECT_EQ(0, CountProcesses("ChildTool.exe")) << "the child ended with the window";
    EXPECT_EQ(baseline, CWinThread::GetObjectCount()) << "no worker left";
}

TEST(ConsoleDialog, ResizingGrowsOnlyThePaneAndTheTopLineNeverBelowTheFirstSize)
{
    CTestConsole dlg;
    const int ids[] = { IDC_COMMAND, IDC_RUN, IDC_STOP, IDC_BUSY, IDC_OUTPUT, IDC_TOPLINE };
    const SIZE grows[] = { { 0, 0 }, { 0, 0 }, { 0, 0 }, { 0, 0 }, { 40, 30 }, { 40, 0 } };
    std::vector<std::string> expected, after, restored;
    CRect first;
    MINMAXINFO mmi{};
    RunModalWith(dlg, [&](HWND hDlg) {
        auto grab = [&](std::vector<std::string>& rects, bool bGrown) {
            for (size_t i = 0; i < std::size(ids); ++i) {
                CRect rc = ChildRect(hDlg, ids[i]);
                char text[64];
                std::snprintf(text, sizeof text, "%d: %ld,%ld %ldx%ld", ids[i], rc.left, rc.top,
                              rc.Width() + (bGrown ? grows[i].cx : 0), rc.Height() + (bGrown ? grows[i].cy : 0));
                rects.push_back(text);
            }
        };
        grab(expected, true);
        ::GetWindowRect(hDlg, first);
        ::SetWindowPos(hDlg, nullptr, 0, 0, first.Width() + 40, first.Height() + 30, SWP_NOMOVE | SWP_NOZORDER);
        grab(after, false);
        ::SendMessageA(hDlg, WM_GETMINMAXINFO, 0, reinterpret_cast<LPARAM>(&mmi));
        for (int show : { SW_MAXIMIZE, SW_MINIMIZE, SW_RESTORE })
            ::ShowWindow(hDlg, show);
        ::SetWindowPos(hDlg, nullptr, 0, 0, first.Width(), first.Height(), SWP_NOMOVE | SWP_NOZORDER);
        grab(restored, true);
    });
    EXPECT_EQ(expected, after) << "only the pane grows, and the top line only wider";
    EXPECT_EQ(expected, restored) << "maximised, minimised, restored and back: as grown, less the growth";
    EXPECT_EQ(first.Width(), mmi.ptMinTrackSize.x);
    EXPECT_EQ(first.Height(), mmi.ptMinTrackSize.y);
}

TEST(ConsoleDialog, SaveWritesCrLfLinesAndReportsEachFileError)
{
    MessageBoxWatcher boxes;
    CTestConsole dlg;
    std::string good = TempPath("vorlik-save") + ".txt", locked = TempPath("vorlik-locked") + ".txt";
    std::ofstream(locked) << "old";
    HANDLE hLock = ::CreateFileA(locked.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    const std::pair<std::string, std::string> cases[] = { // path, its error ("*" the path)
        { good, "" },
        { TempPath("vorlik-no-such-folder") + "\\out.txt", "* contains an incorrect path." },
        { "C:\\windows", "* cannot be accessed." }, // a folder
        { locked, "Sharing violation while accessing *." },
        { TempPath("vorlik-bad<name>"), "* contains an incorrect path." },
    };
    RunModalWith(dlg, [&](HWND hDlg) {
        OnUiThread(hDlg, [&] { dlg.m_output.AppendText("one\r\ntwo\n\n--End--\n"); });
        for (const auto& c : cases)
            OnUiThread(hDlg, [&] { dlg.SaveOutput(c.first.c_str()); }); // its error reported as a handler's
    });
    ::CloseHandle(hLock);
    EXPECT_EQ("one\r\ntwo\r\n\r\n--End--\r\n", ReadFileText(good));
    EXPECT_EQ("old", ReadFileText(locked));
    std::vector<std::string> expected;
    for (auto c : cases)
        if (!c.second.empty())
            expected.push_back(c.second.replace(c.second.find('*'), 1, c.first));
    EXPECT_EQ(expected, boxes.Texts());
    ::DeleteFileA(good.c_str());
    ::DeleteFileA(locked.c_str());
}

TEST(OutputPane, AppendsAtTheEndAndScrollsOnlyAsFarAsTheNewestLineNeeds)
{
    CTestConsole dlg;
    std::string text;
    CHARRANGE sel{ -1, -1 };
    int visible = 0;
    std::vector<int> firstVisible;
    bool lastWhole = false, endInViewSideways = false;
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
        int h = PosOf(hDlg, 1).y - PosOf(hDlg, 0).y;
        RECT rc;
        ::GetClientRect(Pane(hDlg), &rc);
        while (InView(hDlg, visible))
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
        // which the control stops where the newest line shows whole.
        run(Lines(0, visible));
        Append(dlg, hDlg, "\r\n" + Lines(visible, 2));
        firstVisible.push_back(FirstVisible(hDlg));
        lastWhole = InView(hDlg, visible + 1) && PosOf(hDlg, visible + 1).y + h <= rc.bottom;
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
    EXPECT_TRUE(lastWhole) << "the newest line shows whole";
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
