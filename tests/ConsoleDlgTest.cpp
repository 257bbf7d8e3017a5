// The main dialog in-process, from the program's own resources and with its
// real run session: every command in every run state, a worker that throws,
// the window destroyed during a run, resizing and saving.
#include "TestConsole.h"
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
    std::string good = TempPath("vorlik-save") + ".txt", folder = TempPath("vorlik-folder");
    std::string locked = TempPath("vorlik-locked") + ".txt";
    ::CreateDirectoryA(folder.c_str(), nullptr);
    std::ofstream(locked) << "old";
    HANDLE hLock = ::CreateFileA(locked.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    const std::pair<std::string, std::string> cases[] = { // path, its error ("*" the path)
        { good, "" },
        { TempPath("vorlik-no-such-folder") + "\\out.txt", "* contains an incorrect path." },
        { folder, "* cannot be accessed." },
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
    ::RemoveDirectoryA(folder.c_str());
}
