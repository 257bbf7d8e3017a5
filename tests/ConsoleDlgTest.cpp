// The main dialog in-process, from the program's own resources, with its
// real run session: every command in every run state, a real run, a worker
// that throws, the window destroyed during a run, resizing, saving and the
// command history.
#include "console/ConsoleDlg.h"

#include "TestSupport.h"
#include "res/resource.h"
#include "runner/RunWorker.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>

using namespace testsupport;

namespace {

const std::string kEnd = "\n--End--\n";
const char kRunRefused[] = "You can't begin a new proccess will old one is running.";
const char kExitRefused[] = "You can't exit will your process is running.";

// The main dialog, its parts in reach of the tests.
class CTestConsole : public CConsoleDlg {
public:
    using CConsoleDlg::m_busy;
    using CConsoleDlg::m_output;
    using CConsoleDlg::m_run;
};

void Send(HWND hDlg, int id, UINT code = BN_CLICKED)
{
    ::SendMessageA(hDlg, WM_COMMAND, MAKEWPARAM(id, code), reinterpret_cast<LPARAM>(::GetDlgItem(hDlg, id)));
}

// Types into the pane as the keyboard would, each character handled before
// this returns.
void Type(HWND hDlg, const std::string& text)
{
    for (char ch : text)
        ::SendMessageA(::GetDlgItem(hDlg, IDC_OUTPUT), WM_CHAR, static_cast<unsigned char>(ch), 1);
}

bool PaneEndsWith(HWND hDlg, const std::string& tail)
{
    return WaitUntil([&] {
        std::string t = WindowText(::GetDlgItem(hDlg, IDC_OUTPUT));
        return t.size() >= tail.size() && t.compare(t.size() - tail.size(), tail.size(), tail) == 0;
    });
}

std::vector<std::string> History(HWND hDlg)
{
    HWND hBox = ::GetDlgItem(hDlg, IDC_COMMAND);
    std::vector<std::string> entries;
    for (int i = 0, n = static_cast<int>(::SendMessageA(hBox, CB_GETCOUNT, 0, 0)); i < n; ++i) {
        char buf[2048] = "";
        ::SendMessageA(hBox, CB_GETLBTEXT, i, reinterpret_cast<LPARAM>(buf));
        entries.push_back(buf);
    }
    return entries;
}

} // namespace

// Each step leaves a line: the message box it caused (or "-"), then what
// reached the child's stdin.
TEST(ConsoleDialog, EveryCommandInEveryRunState)
{
    MessageBoxWatcher boxes;
    CTestConsole dlg;
    HANDLE hRead = nullptr, hWrite = nullptr;
    ASSERT_TRUE(::CreatePipe(&hRead, &hWrite, nullptr, 4096));
    ChildProcess child(ChildTool("wait"));
    std::vector<std::string> log;
    bool childEnded = false, busyAfter = true;
    std::vector<std::string> history = { "?" };
    INT_PTR result = RunModalWith(dlg, [&](HWND hDlg) {
        auto step = [&](const char* what, const std::function<void()>& act) {
            size_t before = boxes.Texts().size();
            act();
            std::vector<std::string> seen = boxes.Texts();
            log.push_back(std::string(what) + ": " + (seen.size() > before ? seen.back() : "-") + " | " +
                          ReadAvailable(hRead));
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
        ::SendMessageA(hDlg, WM_RUN_FINISHED, 0, 0);
        PaneEndsWith(hDlg, kEnd);
        busyAfter = Ask(hDlg, [&] { return dlg.m_busy.IsRunning(); });
        history = History(hDlg);
        step("idle Exit", [&] { Send(hDlg, IDCANCEL); });
    });
    ::CloseHandle(hRead);
    ::CloseHandle(hWrite);
    const std::vector<std::string> expected = {
        "idle Stop: - | ",
        "idle typing: - | ",
        std::string("starting Run: ") + kRunRefused + " | ",
        std::string("starting Exit: ") + kExitRefused + " | ",
        "starting Stop: - | ",
        "starting typing: - | ",
        "stdin typing: - | q\r\n",
        std::string("stdin Run: ") + kRunRefused + " | ",
        std::string("child Exit: ") + kExitRefused + " | ",
        "child Stop: - | ",
        "idle Exit: - | ",
    };
    EXPECT_EQ(expected, log);
    EXPECT_TRUE(childEnded) << "Stop ended the child";
    EXPECT_FALSE(busyAfter);
    EXPECT_TRUE(history.empty()) << "refused runs are not remembered";
    EXPECT_EQ(IDCANCEL, result) << "Exit while idle closes";
}

TEST(ConsoleDialog, ARealRunTakesTypedLinesAndAFailedOneIsStillRemembered)
{
    MessageBoxWatcher boxes;
    CTestConsole dlg;
    std::string doc = TempPath("vorlik-doc") + ".txt";
    std::ofstream(doc) << "not a program";
    bool busyDuring = false, busyAfter = true, focusInPane = false, echoed = false, ended = false;
    std::string paneAtBox = "?";
    std::vector<std::string> history;
    RunModalWith(dlg, [&](HWND hDlg) {
        HWND hCommand = ::GetDlgItem(hDlg, IDC_COMMAND);
        ::SendMessageA(hCommand, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(ChildTool("cat").c_str()));
        Send(hDlg, IDC_RUN);
        busyDuring = Ask(hDlg, [&] { return dlg.m_busy.IsRunning(); });
        focusInPane = Ask(hDlg, [&] { return ::GetFocus() == ::GetDlgItem(hDlg, IDC_OUTPUT); });
        WaitForChildProcess(::GetCurrentProcessId(), "ChildTool.exe");
        Type(hDlg, "hi\r");
        echoed = PaneEndsWith(hDlg, "hi\r\nhi\r\n");
        Type(hDlg, "\x1a\r"); // Ctrl+Z, Enter: the end of the input
        ended = PaneEndsWith(hDlg, "^Z\r\neof\r\n" + kEnd);
        busyAfter = Ask(hDlg, [&] { return dlg.m_busy.IsRunning(); });

        ::SendMessageA(hCommand, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(doc.c_str()));
        ::PostMessageA(hDlg, WM_COMMAND, MAKEWPARAM(IDC_RUN, BN_CLICKED), 0);
        HWND hBox = nullptr;
        WaitUntil([&] { return (hBox = FindMessageBox(::GetCurrentProcessId())) != nullptr || !boxes.Texts().empty(); });
        paneAtBox = WindowText(::GetDlgItem(hDlg, IDC_OUTPUT));
        PaneEndsWith(hDlg, kEnd);
        history = History(hDlg);
    });
    ::DeleteFileA(doc.c_str());
    EXPECT_TRUE(busyDuring);
    EXPECT_TRUE(focusInPane) << "after a start the focus is in the pane";
    EXPECT_TRUE(echoed) << "the typed line went whole at Enter";
    EXPECT_TRUE(ended) << "the child read to the end of its input";
    EXPECT_FALSE(busyAfter);
    EXPECT_EQ(std::vector<std::string>{ "Couldn't Create Process\r\n" }, boxes.Texts());
    EXPECT_EQ("", paneAtBox) << "the last run's output is gone before the box shows";
    EXPECT_EQ((std::vector<std::string>{ doc, ChildTool("cat") }), history) << "a started run is remembered";
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
        ended = PaneEndsWith(hDlg, kEnd);
        Send(hDlg, IDCANCEL); // Exit is accepted again
    });
    EXPECT_TRUE(ended);
    EXPECT_EQ(std::vector<std::string>{ "out of memory" }, boxes.Texts());
    EXPECT_EQ(IDCANCEL, result);
}

// The window can go by other routes than Exit: the run's tree ends first
// and its worker is waited for.
TEST(ConsoleDialog, DestroyedDuringARunItEndsTheChildAndLeavesNoWorker)
{
    long baseline = CWinThread::GetObjectCount();
    bool childSeen = false;
    {
        CTestConsole dlg;
        RunModalWith(dlg, [&](HWND hDlg) {
            ::SendMessageA(::GetDlgItem(hDlg, IDC_COMMAND), WM_SETTEXT, 0,
                           reinterpret_cast<LPARAM>(ChildTool("wait").c_str()));
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
    const int grows[][2] = { { 0, 0 }, { 0, 0 }, { 0, 0 }, { 0, 0 }, { 40, 30 }, { 40, 0 } };
    auto describe = [](int id, const CRect& rc, int dx, int dy) {
        char text[64];
        std::snprintf(text, sizeof text, "%d: %ld,%ld %dx%d", id, rc.left, rc.top, rc.Width() + dx, rc.Height() + dy);
        return std::string(text);
    };
    std::vector<std::string> expected, after, restored, before;
    CRect first;
    MINMAXINFO mmi{};
    RunModalWith(dlg, [&](HWND hDlg) {
        auto grab = [&](std::vector<std::string>& rects, bool bExpect) {
            for (size_t i = 0; i < std::size(ids); ++i) {
                rects.push_back(describe(ids[i], ChildRect(hDlg, ids[i]), 0, 0));
                if (bExpect)
                    expected.push_back(describe(ids[i], ChildRect(hDlg, ids[i]), grows[i][0], grows[i][1]));
            }
        };
        grab(before, true);
        ::GetWindowRect(hDlg, first);
        ::SetWindowPos(hDlg, nullptr, 0, 0, first.Width() + 40, first.Height() + 30, SWP_NOMOVE | SWP_NOZORDER);
        grab(after, false);
        ::SendMessageA(hDlg, WM_GETMINMAXINFO, 0, reinterpret_cast<LPARAM>(&mmi));
        ::ShowWindow(hDlg, SW_MAXIMIZE);
        ::ShowWindow(hDlg, SW_MINIMIZE);
        ::ShowWindow(hDlg, SW_RESTORE);
        ::SetWindowPos(hDlg, nullptr, 0, 0, first.Width(), first.Height(), SWP_NOMOVE | SWP_NOZORDER);
        grab(restored, false);
    });
    EXPECT_EQ(expected, after) << "only the pane grows, and the top line only wider";
    EXPECT_EQ(before, restored) << "maximised, minimised and back: every control where it was";
    EXPECT_EQ(first.Width(), mmi.ptMinTrackSize.x);
    EXPECT_EQ(first.Height(), mmi.ptMinTrackSize.y);
}

TEST(ConsoleDialog, SaveWritesCrLfLinesAndReportsEachFileError)
{
    MessageBoxWatcher boxes;
    CTestConsole dlg;
    std::string good = TempPath("vorlik-save") + ".txt";
    std::string folder = TempPath("vorlik-folder");
    ::CreateDirectoryA(folder.c_str(), nullptr);
    std::string locked = TempPath("vorlik-locked") + ".txt";
    std::ofstream(locked) << "old";
    HANDLE hLock = ::CreateFileA(locked.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    const std::pair<std::string, std::string> cases[] = {
        { good, "" },
        { TempPath("vorlik-no-such-folder") + "\\out.txt", " contains an incorrect path." },
        { folder, " cannot be accessed." },
        { locked, "Sharing violation while accessing " },
        { TempPath("vorlik-bad<name>"), " contains an incorrect path." },
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
    for (const auto& c : cases)
        if (!c.second.empty())
            expected.push_back(c.second[0] == ' ' ? c.first + c.second : c.second + c.first + ".");
    EXPECT_EQ(expected, boxes.Texts());
    ::DeleteFileA(good.c_str());
    ::DeleteFileA(locked.c_str());
    ::RemoveDirectoryA(folder.c_str());
}

// The command history against the registry of the test prefix: each row
// stores values, opens the dialog, adds commands, and checks the list and
// what was written back.
TEST(History, LoadsAddsAndWritesBackNewestFirst)
{
    const std::string key = "software\\Quorvel's Tools\\HistoryTest";
    AfxGetApp()->SetAppName("HistoryTest");
    AfxGetApp()->SetRegistryKey("Quorvel's Tools");
    using List = std::vector<std::string>;
    auto numbered = [](int from, int count, List front = {}) {
        for (int i = from; i < from + count; ++i)
            front.push_back("command " + std::to_string(i));
        return front;
    };
    const std::string tooLong(5000, 'x');
    struct Case {
        List stored; // "<dword>" stores a number, "<none>" nothing
        List added;
        List loaded;
        List written; // RecentCmd0... up to 24, "<none>" where missing
    };
    const Case cases[] = {
        { {}, {}, {}, {} },
        { numbered(0, 20), { "newest", "COMMAND 5", "" }, numbered(0, 20), numbered(0, 19, { "newest" }) },
        { numbered(100, 20), {}, numbered(100, 20), numbered(100, 20) },
        { { "a", "b", "c", "<none>", "e" }, {}, { "a", "b", "c" }, { "a", "b", "c", "<none>", "e" } },
        { { "a", "b", "c", "<none>", "e" }, { "d2", "d1" }, { "a", "b", "c" }, { "d1", "d2", "a", "b", "c" } },
        { { "first", tooLong, "third" }, {}, { "first", "third" }, { "first", "third", "third" } },
        { { "first", "<dword>", "third" }, {}, { "first" }, { "first", "<dword>", "third" } },
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.stored.size() > 0 ? c.stored[0] + " ..." : "nothing stored");
        ::SHDeleteKeyA(HKEY_CURRENT_USER, key.c_str());
        HKEY hKey = nullptr;
        ::RegCreateKeyExA(HKEY_CURRENT_USER, (key + "\\RecentCmd").c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr,
                          &hKey, nullptr);
        for (size_t i = 0; i < c.stored.size(); ++i) {
            std::string name = "RecentCmd" + std::to_string(i);
            DWORD number = 42;
            if (c.stored[i] == "<dword>")
                ::RegSetValueExA(hKey, name.c_str(), 0, REG_DWORD, reinterpret_cast<const BYTE*>(&number), 4);
            else if (c.stored[i] != "<none>")
                ::RegSetValueExA(hKey, name.c_str(), 0, REG_SZ, reinterpret_cast<const BYTE*>(c.stored[i].c_str()),
                                 static_cast<DWORD>(c.stored[i].size() + 1));
        }
        CTestConsole dlg;
        List loaded;
        RunModalWith(dlg, [&](HWND hDlg) {
            loaded = History(hDlg);
            for (const std::string& command : c.added)
                OnUiThread(hDlg, [&] { dlg.AddToHistory(command.c_str()); });
        });
        List written;
        for (int i = 0; i < 25; ++i) {
            char buf[64] = "";
            DWORD size = sizeof buf, type = 0;
            LONG r = ::RegQueryValueExA(hKey, ("RecentCmd" + std::to_string(i)).c_str(), nullptr, &type,
                                        reinterpret_cast<BYTE*>(buf), &size);
            written.push_back(r == ERROR_FILE_NOT_FOUND ? "<none>" : type == REG_DWORD ? "<dword>" : buf);
        }
        while (!written.empty() && written.back() == "<none>")
            written.pop_back();
        ::RegCloseKey(hKey);
        EXPECT_EQ(c.loaded, loaded);
        EXPECT_EQ(c.written, written);
    }
    ::SHDeleteKeyA(HKEY_CURRENT_USER, key.c_str());
}
