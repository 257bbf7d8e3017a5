// CConsoleDlg in-process, from the program's own resources: the run state
// table, typed characters, the end of a run, resizing and saving.
#include "console/ConsoleDlg.h"

#include "ChildProcess.h"
#include "MessageBoxes.h"
#include "ModalRunner.h"
#include "Pump.h"
#include "RunTestDialog.h"
#include "TestFiles.h"
#include "UiCall.h"
#include "WindowText.h"
#include "res/resource.h"
#include "runner/RunWorker.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>

using namespace testsupport;

namespace {

constexpr UINT WM_PROBE_FAKE_RUN = WM_APP + 80;  // wParam: 1 = a run is active, 0 = idle
constexpr UINT WM_PROBE_OPEN_STDIN = WM_APP + 81; // lParam: write end for the writer
constexpr UINT WM_PROBE_BUSY = WM_APP + 82;      // whether the animation runs
constexpr UINT WM_PROBE_SAVE = WM_APP + 83;      // lParam: path
constexpr UINT WM_PROBE_COMMAND = WM_APP + 84;   // the command string's text length
constexpr UINT WM_PROBE_THROWING_RUN = WM_APP + 85;

// The main dialog with a few windows into its state for the tests.
class CConsoleProbe : public CConsoleDlg {
protected:
    // A run whose worker does nothing: the test plays its part.
    LRESULT OnFakeRun(WPARAM wParam, LPARAM)
    {
        if (wParam != 0)
            m_run.Start(m_hWnd, "", [](LPVOID) -> UINT { return 0; });
        else
            m_run.OnFinished();
        return 0;
    }
    // A run whose worker throws.
    LRESULT OnThrowingRun(WPARAM, LPARAM)
    {
        m_busy.Start();
        m_run.Start(m_hWnd, "", [](LPVOID p) -> UINT {
            return RunGuarded(p, [](CRunSession&) { throw CException("out of memory"); });
        });
        return 0;
    }
    LRESULT OnOpenStdin(WPARAM, LPARAM lParam)
    {
        m_run.GetStdin().Open(reinterpret_cast<HANDLE>(lParam));
        return 0;
    }
    LRESULT OnBusy(WPARAM, LPARAM) { return m_busy.IsRunning(); }
    LRESULT OnSaveTo(WPARAM, LPARAM lParam)
    {
        SaveOutput(reinterpret_cast<LPCTSTR>(lParam));
        return 1;
    }
    LRESULT OnCommandText(WPARAM, LPARAM) { return m_strCommand.GetLength(); }
    DECLARE_MESSAGE_MAP()
};

BEGIN_MESSAGE_MAP(CConsoleProbe, CConsoleDlg)
    ON_MESSAGE(WM_PROBE_FAKE_RUN, OnFakeRun)
    ON_MESSAGE(WM_PROBE_THROWING_RUN, OnThrowingRun)
    ON_MESSAGE(WM_PROBE_OPEN_STDIN, OnOpenStdin)
    ON_MESSAGE(WM_PROBE_BUSY, OnBusy)
    ON_MESSAGE(WM_PROBE_SAVE, OnSaveTo)
    ON_MESSAGE(WM_PROBE_COMMAND, OnCommandText)
END_MESSAGE_MAP()

std::string Pane(HWND hDlg)
{
    return WindowText(::GetDlgItem(hDlg, IDC_OUTPUT));
}

void Click(HWND hDlg, int id)
{
    ::PostMessageA(hDlg, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), reinterpret_cast<LPARAM>(::GetDlgItem(hDlg, id)));
}

const char kRunRefused[] = "You can't begin a new proccess will old one is running.";
const char kExitRefused[] = "You can't exit will your process is running.";

} // namespace

TEST(ConsoleDialog, EveryCommandInEveryRunState)
{
    MessageBoxWatcher boxes;
    CConsoleProbe dlg;
    HANDLE hRead = nullptr, hWrite = nullptr;
    ASSERT_TRUE(::CreatePipe(&hRead, &hWrite, nullptr, 1024));
    ChildProcess child("\"" + BesideTests("ChildTool.exe") + "\" wait");
    ASSERT_TRUE(child.Started());
    HANDLE hChild = child.Handle();

    std::string typedIdle, typedStarting, typedPipe, afterEnd;
    size_t boxesStarting = 0, boxesPipe = 0, boxesRunning = 0;
    bool openWhileRunning = false, childKilled = false, busyAfterEnd = true;
    INT_PTR result = RunModalWith(dlg, [&](HWND hDlg) {
        HWND hPane = ::GetDlgItem(hDlg, IDC_OUTPUT);
        // Idle: Stop does nothing, typing goes nowhere.
        Click(hDlg, IDC_STOP);
        TypeInto(hPane, "i");
        WaitUntil([&] { return Pane(hDlg) == "i"; });
        typedIdle = ReadAvailable(hRead);

        // Starting: Run and Exit are refused, Stop does nothing, typing is shown only.
        ::SendMessageA(hDlg, WM_PROBE_FAKE_RUN, 1, 0);
        Click(hDlg, IDC_RUN);
        ::PostMessageA(hDlg, WM_COMMAND, IDCANCEL, 0);
        Click(hDlg, IDC_STOP);
        WaitUntil([&] { return boxes.Count() == 2; });
        boxesStarting = boxes.Count();
        TypeInto(hPane, "s");
        WaitUntil([&] { return Pane(hDlg) == "is"; });
        typedStarting = ReadAvailable(hRead);

        // Pipe known: typing reaches the pipe.
        ::SendMessageA(hDlg, WM_RUN_STDIN, 0, reinterpret_cast<LPARAM>(hWrite));
        ::SendMessageA(hDlg, WM_PROBE_OPEN_STDIN, 0, reinterpret_cast<LPARAM>(hWrite));
        Click(hDlg, IDC_RUN);
        WaitUntil([&] { return boxes.Count() == 3; });
        boxesPipe = boxes.Count();
        TypeInto(hPane, "p\r\b");
        WaitUntil([&] { return typedPipe.append(ReadAvailable(hRead)).size() >= 5; });

        // Child running: Stop kills it; Exit is still refused.
        ::SendMessageA(hDlg, WM_RUN_PROCESS, reinterpret_cast<WPARAM>(hChild), 0);
        ::PostMessageA(hDlg, WM_COMMAND, IDCANCEL, 0);
        WaitUntil([&] { return boxes.Count() == 4; });
        boxesRunning = boxes.Count();
        openWhileRunning = ::IsWindowVisible(hDlg) != FALSE;
        Click(hDlg, IDC_STOP);
        childKilled = child.WaitForExit(kTimeoutMs);

        // The end of the run: idle again, end line, animation stopped.
        ::SendMessageA(hDlg, WM_RUN_FINISHED, 0, 0);
        WaitUntil([&] {
            afterEnd = Pane(hDlg);
            return afterEnd.size() > 9;
        });
        busyAfterEnd = ::SendMessageA(hDlg, WM_PROBE_BUSY, 0, 0) != 0;
        ::PostMessageA(hDlg, WM_COMMAND, IDCANCEL, 0); // Exit while idle closes
        WaitUntil([&] { return !::IsWindow(hDlg); });
    });
    ::CloseHandle(hRead);
    ::CloseHandle(hWrite);

    std::vector<MessageBoxSeen> seen = boxes.Seen();
    EXPECT_EQ(IDCANCEL, result);
    EXPECT_EQ("", typedIdle);
    EXPECT_EQ("", typedStarting);
    EXPECT_EQ(2u, boxesStarting) << "Stop before the process is known shows nothing";
    EXPECT_EQ(3u, boxesPipe);
    EXPECT_EQ(std::string("isp\r\n"), typedPipe)
        << "the line typed across the states goes whole at Enter, with CR LF; Backspace on an empty line goes nowhere";
    EXPECT_EQ(4u, boxesRunning);
    EXPECT_TRUE(openWhileRunning);
    EXPECT_TRUE(childKilled);
    EXPECT_FALSE(busyAfterEnd);
    ASSERT_EQ(4u, seen.size());
    EXPECT_EQ(kRunRefused, seen[0].text);
    EXPECT_EQ(kExitRefused, seen[1].text);
    EXPECT_EQ(kRunRefused, seen[2].text);
    EXPECT_EQ(kExitRefused, seen[3].text);
    EXPECT_EQ(AfxGetAppName(), seen[0].title) << "titled with the application name";
    EXPECT_EQ("\n--End--\n", afterEnd.substr(afterEnd.size() - 9));
}

TEST(ConsoleDialog, ARealRunShowsItsOutputEndsAndStopsTheAnimation)
{
    CConsoleProbe dlg;
    std::string text;
    bool busyDuring = false, busyAfter = true, focusInPane = false;
    RunModalWith(dlg, [&](HWND hDlg) {
        HWND hCombo = ::GetDlgItem(hDlg, IDC_COMMAND);
        // A child that waits for its input keeps the run open while we look.
        std::string command = "\"" + BesideTests("ChildTool.exe") + "\" echo";
        ::SendMessageA(hCombo, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(command.c_str()));
        Click(hDlg, IDC_RUN);
        WaitForChildProcess(::GetCurrentProcessId(), "ChildTool.exe", kTimeoutMs);
        busyDuring = ::SendMessageA(hDlg, WM_PROBE_BUSY, 0, 0) != 0;
        GUITHREADINFO info{};
        info.cbSize = sizeof info;
        ::GetGUIThreadInfo(::GetWindowThreadProcessId(hDlg, nullptr), &info);
        focusInPane = info.hwndFocus == ::GetDlgItem(hDlg, IDC_OUTPUT);
        TypeInto(::GetDlgItem(hDlg, IDC_OUTPUT), "hi\r");
        WaitUntil([&] { return Pane(hDlg).size() >= 8; }); // typed and echoed back
        TypeInto(::GetDlgItem(hDlg, IDC_OUTPUT), "q\r");
        WaitUntil([&] { return Pane(hDlg).find("--End--") != std::string::npos; });
        text = Pane(hDlg);
        busyAfter = ::SendMessageA(hDlg, WM_PROBE_BUSY, 0, 0) != 0;
    });
    EXPECT_TRUE(busyDuring);
    EXPECT_EQ(2, std::count(text.begin(), text.end(), 'h')) << text;
    EXPECT_EQ("\n--End--\n", text.substr(text.size() - 9));
    EXPECT_FALSE(busyAfter);
    EXPECT_TRUE(focusInPane) << "after a successful start the focus is in the pane";
}

TEST(ConsoleDialog, AnExceptionInTheWorkerStillEndsTheRun)
{
    MessageBoxWatcher boxes;
    CConsoleProbe dlg;
    std::string text;
    INT_PTR result = RunModalWith(dlg, [&](HWND hDlg) {
        ::SendMessageA(hDlg, WM_PROBE_THROWING_RUN, 0, 0);
        WaitUntil([&] { return (text = Pane(hDlg)).find("--End--") != std::string::npos; });
        ::PostMessageA(hDlg, WM_COMMAND, IDCANCEL, 0); // Exit is accepted again
        WaitUntil([&] { return !::IsWindow(hDlg); });
    });
    EXPECT_EQ(IDCANCEL, result);
    ASSERT_EQ(1u, boxes.Count());
    EXPECT_EQ("out of memory", boxes.Seen()[0].text) << "reported before the run ends";
    EXPECT_EQ("\n--End--\n", text);
}

// The window can go by other routes than Exit: the run's tree ends first and
// its worker is waited for, so nothing it uses is gone before it is.
TEST(ConsoleDialog, DestroyedDuringARunItEndsTheChildAndLeavesNoWorker)
{
    long baseline = CWinThread::GetObjectCount();
    bool childSeen = false;
    {
        CConsoleProbe dlg;
        RunModalWith(dlg, [&](HWND hDlg) {
            std::string command = "\"" + BesideTests("ChildTool.exe") + "\" wait";
            ::SendMessageA(::GetDlgItem(hDlg, IDC_COMMAND), WM_SETTEXT, 0, reinterpret_cast<LPARAM>(command.c_str()));
            Click(hDlg, IDC_RUN);
            childSeen = WaitForChildProcess(::GetCurrentProcessId(), "ChildTool.exe", kTimeoutMs);
            OnUiThread(hDlg, [&] { ::DestroyWindow(hDlg); });
        });
    }
    EXPECT_TRUE(childSeen);
    EXPECT_EQ(0, CountProcesses("ChildTool.exe")) << "the child ended with the window";
    EXPECT_EQ(baseline, CWinThread::GetObjectCount()) << "no worker left";
}

TEST(ConsoleDialog, WiderMovesNothingAndGrowsTheTopLineAndPaneTallerGrowsOnlyThePane)
{
    CConsoleProbe dlg;
    const int ids[] = { IDC_COMMAND, IDC_RUN, IDC_STOP, IDC_BUSY, IDC_OUTPUT, IDC_TOPLINE };
    CRect before[6], wider[6], taller[6];
    auto grab = [](HWND hDlg, CRect* rects, const int* list) {
        for (int i = 0; i < 6; ++i)
            rects[i] = ChildRect(hDlg, list[i]);
    };
    RunModalWith(dlg, [&](HWND hDlg) {
        grab(hDlg, before, ids);
        CRect rc;
        ::GetWindowRect(hDlg, rc);
        ::SetWindowPos(hDlg, nullptr, 0, 0, rc.Width() + 40, rc.Height(), SWP_NOMOVE | SWP_NOZORDER);
        grab(hDlg, wider, ids);
        ::SetWindowPos(hDlg, nullptr, 0, 0, rc.Width() + 40, rc.Height() + 30, SWP_NOMOVE | SWP_NOZORDER);
        grab(hDlg, taller, ids);
    });
    for (int i = 0; i < 4; ++i) {
        EXPECT_TRUE(::EqualRect(&before[i], &wider[i])) << "control " << ids[i] << " moved";
        EXPECT_TRUE(::EqualRect(&before[i], &taller[i])) << "control " << ids[i] << " moved";
    }
    EXPECT_EQ(before[4].Width() + 40, wider[4].Width());
    EXPECT_EQ(before[4].Height(), wider[4].Height());
    EXPECT_EQ(before[5].Width() + 40, wider[5].Width());
    EXPECT_EQ(before[4].Height() + 30, taller[4].Height());
    EXPECT_EQ(before[4].Width() + 40, taller[4].Width());
    EXPECT_TRUE(::EqualRect(&wider[5], &taller[5])) << "the top line does not grow taller";
}

TEST(ConsoleDialog, SaveWritesPlainCrLfLinesAndFileErrorsAreReported)
{
    MessageBoxWatcher boxes;
    CConsoleProbe dlg;
    std::string good = TempPath("vorlik-save") + ".txt";
    std::string missingFolder = TempPath("vorlik-no-such-folder") + "\\out.txt";
    // A folder cannot be opened as a file; a file another process holds
    // open without sharing cannot be written.
    std::string folder = TempPath("vorlik-folder");
    ::CreateDirectoryA(folder.c_str(), nullptr);
    std::string locked = TempPath("vorlik-locked") + ".txt";
    std::ofstream(locked) << "old";
    HANDLE hLock = ::CreateFileA(locked.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    std::string refusedName = TempPath("vorlik-bad<name>") + ".txt"; // the file system refuses '<' and '>'
    LRESULT missingResult = 1, folderResult = 1, lockedResult = 1, refusedResult = 1;
    bool carriesOn = false;
    RunModalWith(dlg, [&](HWND hDlg) {
        ::SendMessageA(::GetDlgItem(hDlg, IDC_OUTPUT), WM_SETTEXT, 0,
                       reinterpret_cast<LPARAM>("one\r\ntwo\r\n\n--End--\n"));
        ::SendMessageA(hDlg, WM_PROBE_SAVE, 0, reinterpret_cast<LPARAM>(good.c_str()));
        missingResult = ::SendMessageA(hDlg, WM_PROBE_SAVE, 0, reinterpret_cast<LPARAM>(missingFolder.c_str()));
        folderResult = ::SendMessageA(hDlg, WM_PROBE_SAVE, 0, reinterpret_cast<LPARAM>(folder.c_str()));
        lockedResult = ::SendMessageA(hDlg, WM_PROBE_SAVE, 0, reinterpret_cast<LPARAM>(locked.c_str()));
        refusedResult = ::SendMessageA(hDlg, WM_PROBE_SAVE, 0, reinterpret_cast<LPARAM>(refusedName.c_str()));
        carriesOn = ::SendMessageA(hDlg, WM_PROBE_COMMAND, 0, 0) == 0;
    });
    std::string saved = ReadFileText(good);
    ::DeleteFileA(good.c_str());
    ::CloseHandle(hLock);
    std::string oldContent = ReadFileText(locked);
    ::DeleteFileA(locked.c_str());
    ::RemoveDirectoryA(folder.c_str());

    EXPECT_EQ("one\r\ntwo\r\n\r\n--End--\r\n", saved);
    EXPECT_EQ(0, missingResult) << "the handler was left by the file exception";
    EXPECT_EQ(0, folderResult);
    EXPECT_EQ(0, lockedResult);
    EXPECT_EQ(0, refusedResult);
    EXPECT_TRUE(carriesOn);
    std::vector<MessageBoxSeen> seen = boxes.Seen();
    ASSERT_EQ(4u, seen.size());
    EXPECT_EQ(missingFolder + " contains an incorrect path.", seen[0].text);
    EXPECT_EQ(folder + " cannot be accessed.", seen[1].text);
    EXPECT_EQ("Sharing violation while accessing " + locked + ".", seen[2].text);
    EXPECT_EQ(refusedName + " contains an incorrect path.", seen[3].text);
    EXPECT_EQ("old", oldContent);
}
