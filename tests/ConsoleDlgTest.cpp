// The main dialog in-process, from the program's own resources and with its
// real run session: every command in every run state, a worker that throws,
// the window destroyed during a run, resizing and saving; and its output
// pane on the real RICHED32 control: colours and the current line rewritten
// in place, the view following the newest line only from the bottom at any
// rate, the newest part shown past the pane's bound while Save and Copy
// have it all, a replaced control in the old one's place.
#include "TestConsole.h"
#include "helpers/Pattern.h"
#include "runner/RunWorker.h"
#include "screen/TextExport.h"

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

// Hands bytes to the pane as a run's output; with bWait, until they show.
void Append(CTestConsole& dlg, HWND hDlg, const std::string& bytes, bool bWait = true)
{
    OnUiThread(hDlg, [&] { dlg.m_output.Write(bytes.data(), bytes.size()); });
    if (bWait)
        WaitUntil([&] { return !Ask(hDlg, [&] { return COutputPaneProbe::IsDrawing(dlg.m_output); }); });
}

// Until a Save or a Copy has ended and its result is on the clipboard or
// in a box.
void WaitForExport(CTestConsole& dlg, HWND hDlg)
{
    WaitUntil([&] { return !Ask(hDlg, [&] { return dlg.m_export.IsRunning(); }); });
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

// The status line, its times and the system's texts taken out.
std::string StatusOf(HWND hDlg)
{
    wchar_t text[256] = L"";
    ::GetWindowTextW(::GetDlgItem(hDlg, IDC_STATUS), text, 256);
    return StatusPattern(text);
}

} // namespace

// Each step leaves a line: the message box it caused (or "-"), whether the
// animation runs and the focus is in the pane, and the status line.
TEST(ConsoleDialog, EveryCommandInEveryRunState)
{
    MessageBoxWatcher boxes;
    CTestConsole dlg;
    std::vector<std::string> log;
    bool waited = true;
    int historyAfterRefusals = -1, historyAfterRuns = -1;
    CRunSession::StartResult second = CRunSession::started;
    INT_PTR result = RunModalWith(dlg, [&](HWND hDlg) {
        auto step = [&](const char* what, const std::function<void()>& act) {
            size_t before = boxes.Texts().size();
            act();
            std::vector<std::string> seen = boxes.Texts();
            bool busy = Ask(hDlg, [&] { return dlg.m_busy.IsRunning(); });
            bool inPane = Ask(hDlg, [&] { return ::GetFocus() == ::GetDlgItem(hDlg, IDC_OUTPUT); });
            log.push_back(std::string(what) + ": " + (seen.size() > before ? seen.back() : "-") + (busy ? " busy" : "") +
                          (inPane ? " in pane" : "") + " [" + StatusOf(hDlg) + "]");
        };
        auto ended = [&] { return PaneEndsWith(hDlg, "\r\n--End--\r\n"); };
        step("idle Stop", [&] { Send(hDlg, IDC_STOP); });
        SetCommand(hDlg, std::string(1100, 'x'));
        step("too long Run", [&] { Send(hDlg, IDC_RUN); });
        SetCommand(hDlg, ChildTool("wait"));
        step("Run", [&] { Send(hDlg, IDC_RUN), waited &= WaitForChildProcess(::GetCurrentProcessId(), "ChildTool.exe"); });
        step("running Run", [&] { Send(hDlg, IDC_RUN); });
        step("running Exit", [&] { Send(hDlg, IDCANCEL); });
        second = Ask(hDlg, [&] { return dlg.m_run.Start(hDlg, "cmd.exe /c rem", ""); });
        step("running Stop", [&] { Send(hDlg, IDC_STOP), waited &= ended(); });
        historyAfterRefusals = static_cast<int>(::SendDlgItemMessageA(hDlg, IDC_COMMAND, CB_GETCOUNT, 0, 0));
        // Stop in the same instant as Run: the child never gets to run.
        step("Run and Stop at once", [&] {
            Type(hDlg, "~"); // the last end line is no longer last
            ::PostMessageA(hDlg, WM_COMMAND, MAKEWPARAM(IDC_RUN, BN_CLICKED), 0);
            ::PostMessageA(hDlg, WM_COMMAND, MAKEWPARAM(IDC_STOP, BN_CLICKED), 0);
            waited &= ended();
        });
        SetCommand(hDlg, ChildTool("exit 3"));
        step("exit 3", [&] { Send(hDlg, IDC_RUN), waited &= ended(); });
        std::string doc = TempPath("vorlik-doc") + ".txt";
        std::ofstream(doc) << "text";
        SetCommand(hDlg, doc);
        step("a document", [&] { Send(hDlg, IDC_RUN), waited &= ended() && WaitUntil([&] { return !boxes.Texts().empty(); }); });
        ::DeleteFileA(doc.c_str());
        // Typed lines go whole at Enter; Ctrl+Z Enter ends the child's input.
        SetCommand(hDlg, ChildTool("cat"));
        step("cat", [&] {
            Send(hDlg, IDC_RUN), Type(hDlg, "hi\r"), waited &= PaneEndsWith(hDlg, "hi\r\nhi\r\n");
            Type(hDlg, "\x1a\r"), waited &= PaneEndsWith(hDlg, "hi\r\nhi\r\n^Z\r\neof\r\n\r\n--End--\r\n");
        });
        historyAfterRuns = static_cast<int>(::SendDlgItemMessageA(hDlg, IDC_COMMAND, CB_GETCOUNT, 0, 0));
        Send(hDlg, IDCANCEL);
    });
    const std::vector<std::string> expected = {
        "idle Stop: - []",
        "too long Run: The command line is too long. A command line can have at most 1023 characters. []",
        "Run: - busy in pane [Running~ # s]",
        std::string("running Run: ") + kRunRefused + " busy in pane [Running~ # s]",
        std::string("running Exit: ") + kExitRefused + " busy in pane [Running~ # s]",
        "running Stop: - in pane [Stopped after # s]",
        "Run and Stop at once: - in pane [Stopped after # s]",
        "exit 3: - in pane [Exit code 3 * # s]",
        "a document: Couldn't Create Process\r\n in pane [Could not start: #]",
        "cat: - in pane [Exit code 0 * # s]",
    };
    EXPECT_EQ(expected, log);
    EXPECT_EQ(CRunSession::busy, second) << "a second run is refused while one is active";
    EXPECT_TRUE(waited) << "the child, each end line, the echo, the end of input";
    EXPECT_EQ(0, CountProcesses("ChildTool.exe")) << "nothing of a stopped run is left";
    EXPECT_EQ(1, historyAfterRefusals) << "refused runs are not remembered";
    EXPECT_EQ(4, historyAfterRuns);
    EXPECT_EQ(IDCANCEL, result) << "Exit while idle closes";
}

// The window can go by other routes than Exit: the run's tree ends first and
// its worker is waited for; so is a Save's, which leaves no partial file.
TEST(ConsoleDialog, DestroyedDuringARunOrASaveItEndsBothAndLeavesNoThread)
{
    int threads = CountThreads(::GetCurrentProcessId());
    std::string path = TempPath("vorlik-saving") + ".txt";
    bool childSeen = false, saving = false;
    for (bool bSave : { false, true }) {
        CTestConsole dlg;
        RunModalWith(dlg, [&](HWND hDlg) {
            SetCommand(hDlg, ChildTool("wait"));
            Send(hDlg, IDC_RUN);
            childSeen = WaitForChildProcess(::GetCurrentProcessId(), "ChildTool.exe");
            if (bSave) {
                std::string block = Pattern(1 << 20);
                for (int i = 0; i < 100; ++i)
                    Append(dlg, hDlg, block, false);
                saving = Ask(hDlg, [&] { return dlg.StartSave(path.c_str()); });
            }
            OnUiThread(hDlg, [&] { ::DestroyWindow(hDlg); });
        });
    }
    EXPECT_TRUE(childSeen);
    EXPECT_TRUE(saving);
    EXPECT_EQ(0, CountProcesses("ChildTool.exe")) << "the child ended with the window";
    EXPECT_EQ(INVALID_FILE_ATTRIBUTES, ::GetFileAttributesA(path.c_str())) << "no partial file";
    EXPECT_TRUE(WaitUntil([&] { return CountThreads(::GetCurrentProcessId()) <= threads; })) << "no worker left";
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
        Append(dlg, hDlg, "one\r\ntwo\n\x1b[31m\n--End--\n", false);
        for (const auto& c : cases) {
            OnUiThread(hDlg, [&] { dlg.StartSave(c.first.c_str()); });
            WaitForExport(dlg, hDlg);
        }
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

// A Save whose file takes its time (a pipe this test reads when it likes):
// after half a second it shows its progress and a Cancel button, the window
// answers and output goes on arriving, a second Save is refused, and the
// file gets exactly the text of the moment Save was chosen. Cancelled, it
// reports nothing and leaves no file.
TEST(ConsoleDialog, ASlowSaveShowsItsProgressAndWritesTheTextOfItsMomentAndCancelLeavesNoFile)
{
    MessageBoxWatcher boxes;
    CTestConsole dlg;
    const std::string pipeName = "\\\\.\\pipe\\vorlik-slow-save", text = Pattern(2 << 20);
    const std::string path = TempPath("vorlik-cancelled") + ".txt";
    std::string received, statusWhileSaving, statusAfter;
    bool cancelShown = false, secondRefused = false, cancelledLeftFile = true;
    UINT menuWhileSaving = 0, menuAfter = 0;
    RunModalWith(dlg, [&](HWND hDlg) {
        Append(dlg, hDlg, text);
        CHandle pipe(::CreateNamedPipeA(pipeName.c_str(), PIPE_ACCESS_INBOUND, PIPE_TYPE_BYTE | PIPE_WAIT, 1, 0, 4096, 0,
                                        nullptr));
        OnUiThread(hDlg, [&] { dlg.StartSave(pipeName.c_str()); });
        ::ConnectNamedPipe(pipe.get(), nullptr);
        WaitUntil([&] { return ::IsWindowVisible(::GetDlgItem(hDlg, IDC_SAVECANCEL)) != FALSE; });
        cancelShown = ::IsWindowVisible(::GetDlgItem(hDlg, IDC_SAVECANCEL)) != FALSE;
        statusWhileSaving = StatusOf(hDlg);
        menuWhileSaving = ::GetMenuState(::GetMenu(hDlg), IDM_SAVE, MF_BYCOMMAND) & MF_GRAYED;
        secondRefused = !Ask(hDlg, [&] { return dlg.StartSave(path.c_str()); });
        Append(dlg, hDlg, "\r\nlater output\r\n"); // the window goes on; the Save does not see it
        char buffer[65536];
        DWORD n = 0;
        while (::ReadFile(pipe.get(), buffer, sizeof buffer, &n, nullptr))
            received.append(buffer, n);
        WaitForExport(dlg, hDlg);
        statusAfter = StatusOf(hDlg) + (::IsWindowVisible(::GetDlgItem(hDlg, IDC_SAVECANCEL)) ? " cancel shown" : "");
        menuAfter = ::GetMenuState(::GetMenu(hDlg), IDM_SAVE, MF_BYCOMMAND) & MF_GRAYED;
        // Cancelled as soon as it began, of a few megabytes.
        OnUiThread(hDlg, [&] { dlg.StartSave(path.c_str()), Send(hDlg, IDC_SAVECANCEL); });
        WaitForExport(dlg, hDlg);
        cancelledLeftFile = ::GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES;
    });
    EXPECT_TRUE(cancelShown) << "progress after half a second";
    EXPECT_EQ("Saving~ # %", statusWhileSaving);
    EXPECT_EQ(static_cast<UINT>(MF_GRAYED), menuWhileSaving);
    EXPECT_TRUE(secondRefused) << "one Save at a time";
    EXPECT_TRUE(received == text) << "the text of the moment Save was chosen: " << received.size() << " bytes";
    EXPECT_EQ("", statusAfter) << "the status as before, no Cancel";
    EXPECT_EQ(0u, menuAfter);
    EXPECT_FALSE(cancelledLeftFile) << "a cancelled Save removes its partial file";
    EXPECT_EQ(std::vector<std::string>{}, boxes.Texts()) << "neither reports anything";
}

// What a console shows, in the control: colours as the text's colour, the
// current line rewritten in place, tab stops every 8 columns, no escape
// bytes; from a real child through the real run.
TEST(OutputPane, ShowsColoursAndRewritesTheCurrentLineInPlace)
{
    CTestConsole dlg;
    std::string text;
    std::vector<std::string> colours;
    RunModalWith(dlg, [&](HWND hDlg) {
        SetCommand(hDlg, ChildTool("write \"\\x1b[31mred\\x1b[0m plain\\r\\n\" \"a\\x09b\\r\\n\" 1%\\r 50%\\r "
                                   "\"done\\x1b[K\\r\\n\""));
        Send(hDlg, IDC_RUN);
        PaneEndsWith(hDlg, "--End--\r\n");
        text = WindowText(Pane(hDlg));
        for (long at : { 0L, 4L }) {
            CHARRANGE sel{ at, at + 1 };
            ::SendMessageA(Pane(hDlg), EM_EXSETSEL, 0, reinterpret_cast<LPARAM>(&sel));
            CHARFORMATA cf{ sizeof cf };
            ::SendMessageA(Pane(hDlg), EM_GETCHARFORMAT, TRUE, reinterpret_cast<LPARAM>(&cf));
            colours.push_back((cf.dwEffects & CFE_AUTOCOLOR) ? "auto" : std::to_string(cf.crTextColor));
        }
    });
    EXPECT_EQ("red plain\r\na       b\r\ndone\r\n\r\n--End--\r\n", text);
    EXPECT_EQ((std::vector<std::string>{ std::to_string(RGB(197, 15, 31)), "auto" }), colours);
}

// The view follows the output only from the bottom, at any rate: scrolled
// up, the user's place and selection stay while a flood arrives; back at
// the bottom it follows again; a new run follows from its start.
TEST(OutputPane, TheViewFollowsOnlyFromTheBottomAtAnyRate)
{
    CTestConsole dlg;
    std::string text;
    CHARRANGE sel{ -1, -1 }, kept{ -1, -1 }, found{ -1, -1 };
    std::vector<int> firstVisible;
    bool endInViewSideways = false, newestInView = false, followsAgain = false, foundStays = false;
    std::string topBefore, topAfter;
    RunModalWith(dlg, [&](HWND hDlg) {
        auto run = [&](const std::string& output) { // a new run's first output
            OnUiThread(hDlg, [&] { dlg.m_output.Clear(); });
            Append(dlg, hDlg, output);
        };
        auto following = [&] { return Ask(hDlg, [&] { return COutputPaneProbe::IsFollowing(dlg.m_output); }); };
        run("first\r\nsecond");
        ::SendMessageA(Pane(hDlg), EM_SETSEL, 2, 5);
        Append(dlg, hDlg, " tail");
        text = WindowText(Pane(hDlg));
        ::SendMessageA(Pane(hDlg), EM_EXGETSEL, 0, reinterpret_cast<LPARAM>(&sel));
        // Scrolled sideways: the newest output comes into view at column 0.
        run(std::string(400, 'w') + "\r\n" + std::string(400, 'v'));
        ::SendMessageA(Pane(hDlg), WM_HSCROLL, SB_RIGHT, 0);
        Append(dlg, hDlg, "\r\nend");
        endInViewSideways = InView(hDlg, -1);

        run(Lines(0, 200));
        newestInView = InView(hDlg, 199);
        // Scrolled to the top with a selection there: a flood past the
        // pane's bound leaves both alone.
        ::SendMessageA(Pane(hDlg), WM_VSCROLL, SB_TOP, 0);
        ::SendMessageA(Pane(hDlg), EM_SETSEL, 4, 6); // "L1"
        topBefore = WindowText(Pane(hDlg)).substr(0, 30);
        for (int i = 0; i < 60; ++i)
            Append(dlg, hDlg, "\r\n" + Lines(1000 + i * 1000, 1000), false);
        Append(dlg, hDlg, "");
        firstVisible.push_back(FirstVisible(hDlg));
        ::SendMessageA(Pane(hDlg), EM_EXGETSEL, 0, reinterpret_cast<LPARAM>(&kept));
        topAfter = WindowText(Pane(hDlg)).substr(0, 30);
        firstVisible.push_back(following() ? 1 : 0);
        // Back at the bottom: it follows, catching up with the newest.
        ::SendMessageA(Pane(hDlg), WM_VSCROLL, SB_BOTTOM, 0);
        Append(dlg, hDlg, "\r\nnewest");
        followsAgain = following() && InView(hDlg, -1) && EndsWith(WindowText(Pane(hDlg)), "L60999\r\nnewest");
        // A new run after a scrolled one follows its output from the start.
        ::SendMessageA(Pane(hDlg), WM_VSCROLL, SB_TOP, 0);
        run(Lines(0, 300));
        firstVisible.push_back(InView(hDlg, 299) ? 1 : 0);
        // Find at the bottom: the match stays selected and in view while
        // output goes on.
        CTextFinder finder;
        finder.m_strWhat = "L29";
        OnUiThread(hDlg, [&] { dlg.m_output.Find(finder); });
        Append(dlg, hDlg, "\r\n" + Lines(300, 100));
        ::SendMessageA(Pane(hDlg), EM_EXGETSEL, 0, reinterpret_cast<LPARAM>(&found));
        foundStays = !following() && InView(hDlg, 29);
    });
    EXPECT_EQ(static_cast<LONG>(Lines(0, 29).size() + 2), found.cpMin) << "found from the top, on from the end";
    EXPECT_EQ(found.cpMin + 3, found.cpMax);
    EXPECT_TRUE(foundStays) << "the view stopped following";
    EXPECT_EQ("first\r\nsecond tail", text);
    EXPECT_EQ(static_cast<LONG>(text.size()), sel.cpMin) << "following, the selection gave way to the caret at the end";
    EXPECT_EQ(sel.cpMin, sel.cpMax);
    EXPECT_TRUE(endInViewSideways);
    EXPECT_TRUE(newestInView);
    EXPECT_EQ((std::vector<int>{ 0, 0, 1 }), firstVisible) << "scrolled up: stays through a flood; a new run follows";
    EXPECT_EQ(4, kept.cpMin) << "the selection stays";
    EXPECT_EQ(6, kept.cpMax);
    EXPECT_EQ(topBefore, topAfter);
    EXPECT_TRUE(followsAgain);
}

// Past its bound the pane shows the newest output from a line start, and
// Save and Copy have the whole run, whether it comes as a flood (the pane
// skips ahead, then settles) or a piece at a time (the pane trims).
TEST(OutputPane, ShowsTheNewestPastItsBoundFromALineStartAndTheWholeRunIsKept)
{
    const std::string all = Pattern(1400000);
    for (bool flood : { true, false }) {
        SCOPED_TRACE(flood ? "flood" : "a piece at a time");
        CTestConsole dlg;
        std::string whole, text;
        int panes = 0;
        RunModalWith(dlg, [&](HWND hDlg) {
            for (size_t i = 0; i < all.size(); i += 65536)
                Append(dlg, hDlg, all.substr(i, 65536), !flood);
            Append(dlg, hDlg, "");
            OnUiThread(hDlg, [&] { CTextExport(dlg.m_output.GetModel()).Write([&](const std::string& s) { return whole += s, true; }); });
            text = WindowText(Pane(hDlg));
            panes = RichEditsLeft(hDlg);
        });
        EXPECT_TRUE(whole == all) << "every byte, in order (" << whole.size() << " of " << all.size() << ")";
        EXPECT_LE(static_cast<long>(text.size()), COutputView::kMaxChars + 70000);
        EXPECT_GE(static_cast<long>(text.size()), COutputView::kKeepChars);
        ASSERT_LT(text.size(), all.size());
        EXPECT_TRUE(all.compare(all.size() - text.size(), text.size(), text) == 0) << "the newest output, whole";
        EXPECT_EQ('\n', all[all.size() - text.size() - 1]) << "from the start of a line";
        EXPECT_EQ(1, panes) << "no hidden or replaced control is left";
    }
}

// A big pane is replaced rather than emptied (emptying in place takes
// seconds): the new control must look and behave as the old one.
// Whether the pane scrolls sideways to the end of a 400-character line: a
// horizontal scroll bar shows, its range is wider than the page, and
// SB_RIGHT moves the view there.
bool ScrollsSideways(CTestConsole& dlg, HWND hDlg)
{
    Append(dlg, hDlg, "\r\n" + std::string(400, 'h') + "\r\n");
    ::SendMessageA(Pane(hDlg), WM_HSCROLL, SB_RIGHT, 0);
    SCROLLINFO si{ sizeof si, SIF_ALL };
    SCROLLBARINFO bar{ sizeof bar };
    return ::GetScrollInfo(Pane(hDlg), SB_HORZ, &si) && si.nMax > static_cast<int>(si.nPage) && si.nPos > 0 &&
        ::GetScrollBarInfo(Pane(hDlg), OBJID_HSCROLL, &bar) && (bar.rgstate[0] & STATE_SYSTEM_INVISIBLE) == 0;
}

// A control that replaces the pane, after a new run or past the pane's
// bound, is the old one's equal: place, font, tab order, focus, and the
// template's scroll bars.
TEST(OutputPane, AReplacedControlTakesTheOldOnesPlaceFontTabOrderFocusAndScrollBars)
{
    CTestConsole dlg;
    std::vector<std::string> seen;
    std::vector<bool> sideways;
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
        sideways.push_back(ScrollsSideways(dlg, hDlg));
        std::string big;
        while (big.size() < 200000)
            big += "0123456789 0123456789 0123456789 0123456789 0123456789 0123456789\r\n";
        Append(dlg, hDlg, big);
        OnUiThread(hDlg, [&] { dlg.m_output.Clear(); });
        Type(hDlg, "z");
        seen.push_back(hOld != Pane(hDlg) ? "replaced" : "emptied in place");
        look();
        panes = RichEditsLeft(hDlg);
        sideways.push_back(ScrollsSideways(dlg, hDlg));
        HWND hNew = Pane(hDlg);
        for (int i = 0; i < 11; ++i) // past the pane's bound
            Append(dlg, hDlg, big, false);
        Append(dlg, hDlg, "");
        sideways.push_back(hNew != Pane(hDlg) && ScrollsSideways(dlg, hDlg));
    });
    ASSERT_EQ(3u, seen.size());
    EXPECT_EQ("replaced", seen[1]);
    EXPECT_EQ(seen[0].substr(0, seen[0].size() - 1) + "z]", seen[2]) << "the same place, font, tab order and focus";
    EXPECT_EQ(1, panes) << "the old control is destroyed";
    EXPECT_EQ((std::vector<bool>{ true, true, true }), sideways)
        << "a long line scrolls sideways: at first, in a replaced control, past 2 MiB of output";
}

TEST(OutputPane, CopyTakesTheWholeOutputAsUnicodeOrSaysItIsTooLarge)
{
    MessageBoxWatcher boxes;
    CTestConsole dlg;
    std::string afterEmpty, ansi, afterHuge;
    std::wstring unicode;
    const std::string output = "box \xe2\x94\x80 \xe6\x97\xa5\r\n" + std::string(100000, 'x') + "\r\n";
    RunModalWith(dlg, [&](HWND hDlg) {
        OnUiThread(hDlg, [&] { dlg.m_output.GetModel().SetCodePage(COutputDecoder::utf8); });
        SetClipboardText("sentinel");
        auto copy = [&] {
            ::SendMessageA(hDlg, WM_COMMAND, IDM_COPY, 0);
            WaitForExport(dlg, hDlg);
        };
        copy();
        afterEmpty = ClipboardText();
        Append(dlg, hDlg, output);
        copy();
        ansi = ClipboardText();
        unicode = ClipboardUnicode();
        std::string huge(CExportJob::kMaxCopyBytes / 8, 'y');
        for (int i = 0; i < 9; ++i)
            Append(dlg, hDlg, huge, false);
        copy();
        afterHuge = ClipboardText();
    });
    EXPECT_EQ("sentinel", afterEmpty) << "nothing to copy leaves the clipboard alone";
    EXPECT_TRUE(L"box \u2500 \u65e5\r\n" + std::wstring(100000, L'x') + L"\r\n" == unicode) << "every character";
    EXPECT_EQ("box ", ansi.substr(0, 4)) << "and the ANSI text beside it";
    EXPECT_EQ(std::vector<std::string>{ "The output is too large for the clipboard. Use File > Save to keep all of it." },
              boxes.Texts());
    EXPECT_TRUE(afterHuge == ansi) << "the clipboard is left as it was";
}
