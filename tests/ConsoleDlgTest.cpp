// The main dialog in-process, from the program's own resources and with its
// real run session, driven through its windows: every command in every run
// state, Escape, typed input's code page, the window destroyed during a run
// or a Save, resizing and saving; and its output pane on the real RICHED32
// control: colours and a line rewritten in place, the typed line
// in Save and Copy, the font, the newest part shown past the pane's bound
// while Save and Copy have it all, a replaced control in the old one's
// place, Copy.
#include "TestConsole.h"
#include "helpers/Pattern.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <fstream>

using namespace testsupport;

namespace {

const char kRunRefused[] = "You can't begin a new proccess will old one is running.";
const char kExitRefused[] = "You can't exit will your process is running.";

// Waits until the dialog has no RICHEDIT control but its pane: the ones it
// replaced go when the pane has been idle for a while.
::testing::AssertionResult OnlyThePaneLeft(HWND hDlg)
{
    auto count = [&] {
        int n = 0;
        for (HWND h = ::FindWindowExA(hDlg, nullptr, "RICHEDIT", nullptr); h; h = ::FindWindowExA(hDlg, h, "RICHEDIT", nullptr))
            ++n;
        return n;
    };
    return WaitFor("the replaced controls to go", [&] { return count() == 1; },
                   [&] { return std::to_string(count()) + " RICHEDIT controls"; }, 60000);
}

// The status line, its times and the system's texts taken out.
std::string StatusOf(HWND hDlg)
{
    wchar_t text[256] = L"";
    ::GetWindowTextW(::GetDlgItem(hDlg, IDC_STATUS), text, 256);
    return StatusPattern(text);
}

bool IsBusy(HWND hDlg)
{
    return Ask(hDlg, [&] {
        auto* busy = dynamic_cast<CBusyAnimation*>(CWnd::FromHandlePermanent(::GetDlgItem(hDlg, IDC_BUSY)));
        return busy != nullptr && busy->IsRunning();
    });
}

BOOL WINAPI RefusePipe(PHANDLE, PHANDLE, LPSECURITY_ATTRIBUTES, DWORD)
{
    ::SetLastError(ERROR_NO_SYSTEM_RESOURCES);
    return FALSE;
}

// File > Save of the dialog to path (which the Save As dialog answers); a
// file there goes first.
void SaveTo(HWND hDlg, const std::string& path)
{
    ::DeleteFileA(path.c_str());
    SaveAsAnswer answer(path);
    Send(hDlg, IDM_SAVE);
}

} // namespace

// Each step leaves a line: the message box it caused (or "-"), whether the
// animation runs and the focus is in the pane, and the status line.
TEST(ConsoleDialog, EveryCommandInEveryRunState)
{
    MessageBoxWatcher boxes;
    CConsoleDlg dlg;
    std::vector<std::string> log;
    int historyAfterRefusals = -1, historyAfterRuns = -1, historyAfterNoPipe = -1;
    std::string paneAfterNoPipe;
    INT_PTR result = RunModalWith(dlg, [&](HWND hDlg) {
        // bBox: the step ends with a message box, which it waits for.
        auto step = [&](const char* what, bool bBox, const std::function<void()>& act) {
            size_t before = boxes.Texts().size();
            int focus = FocusId(hDlg);
            act();
            if (bBox) {
                EXPECT_TRUE(boxes.WaitForMore(before)) << what;
                // The box gives the focus back as its call returns, just after it has gone.
                EXPECT_TRUE(WaitFor("the focus back where it was", [&] { return FocusId(hDlg) == focus; })) << what;
            }
            std::vector<std::string> seen = boxes.Texts();
            OnUiThread(hDlg, [&] { // between the dialog's messages
                log.push_back(std::string(what) + ": " + (seen.size() > before ? seen.back() : "-") +
                              (IsBusy(hDlg) ? " busy" : "") + (FocusId(hDlg) == IDC_OUTPUT ? " in pane" : "") + " [" +
                              StatusOf(hDlg) + "]");
            });
        };
        auto ended = [&] { EXPECT_TRUE(PaneEndsWith(hDlg, "\r\n--End--\r\n")); };
        step("idle Stop", false, [&] { Send(hDlg, IDC_STOP); });
        SetCommand(hDlg, std::string(1100, 'x'));
        step("too long Run", true, [&] { Send(hDlg, IDC_RUN); });
        SetCommand(hDlg, ChildTool("wait"));
        step("Run", false, [&] {
            Send(hDlg, IDC_RUN);
            EXPECT_TRUE(WaitForChildProcess(::GetCurrentProcessId(), "ChildTool.exe"));
        });
        step("running Run", true, [&] { Send(hDlg, IDC_RUN); });
        step("running Exit", true, [&] { Send(hDlg, IDCANCEL); });
        step("running Stop", false, [&] { Send(hDlg, IDC_STOP), ended(); });
        historyAfterRefusals = static_cast<int>(SendTo(::GetDlgItem(hDlg, IDC_COMMAND), CB_GETCOUNT));
        // Stop in the same instant as Run: the child never gets to run.
        step("Run and Stop at once", false, [&] {
            Type(hDlg, "~"); // the last end line is no longer last
            ::PostMessageA(hDlg, WM_COMMAND, MAKEWPARAM(IDC_RUN, BN_CLICKED), 0);
            ::PostMessageA(hDlg, WM_COMMAND, MAKEWPARAM(IDC_STOP, BN_CLICKED), 0);
            ended();
        });
        step("exit 3", false, [&] { EXPECT_TRUE(RunToEnd(hDlg, ChildTool("exit 3"))); });
        std::string doc = TempPath("vorlik-doc") + ".txt";
        std::ofstream(doc) << "text";
        step("a document", true, [&] { EXPECT_TRUE(RunToEnd(hDlg, doc)); });
        ::DeleteFileA(doc.c_str());
        // Typed lines go whole at Enter; Ctrl+Z Enter ends the child's input.
        SetCommand(hDlg, ChildTool("cat"));
        step("cat", false, [&] {
            Send(hDlg, IDC_RUN);
            Type(hDlg, "hi\r");
            EXPECT_TRUE(PaneEndsWith(hDlg, "hi\r\nhi\r\n"));
            Type(hDlg, "\x1a\r");
            EXPECT_TRUE(PaneEndsWith(hDlg, "hi\r\nhi\r\n^Z\r\neof\r\n\r\n--End--\r\n"));
        });
        historyAfterRuns = static_cast<int>(SendTo(::GetDlgItem(hDlg, IDC_COMMAND), CB_GETCOUNT));
        // The system gives no pipe: no run, and the last one's output stays.
        SetCommand(hDlg, ChildTool("print never"));
        step("no pipes", true, [&] {
            ImportStandIn noPipe("kernel32.dll", "CreatePipe", reinterpret_cast<void*>(&RefusePipe));
            Send(hDlg, IDC_RUN);
        });
        paneAfterNoPipe = PaneText(hDlg);
        historyAfterNoPipe = static_cast<int>(SendTo(::GetDlgItem(hDlg, IDC_COMMAND), CB_GETCOUNT));
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
        "no pipes: Couldn't create Pipe\n in pane [Could not start: #]",
    };
    EXPECT_EQ(expected, log);
    EXPECT_EQ(0, CountProcesses("ChildTool.exe")) << "nothing of a stopped run is left";
    EXPECT_EQ(1, historyAfterRefusals) << "refused runs are not remembered";
    EXPECT_EQ(4, historyAfterRuns);
    EXPECT_TRUE(EndsWith(paneAfterNoPipe, "eof\r\n\r\n--End--\r\n")) << paneAfterNoPipe;
    EXPECT_EQ(4, historyAfterNoPipe) << "a run that never began is not remembered";
    EXPECT_EQ(IDCANCEL, result) << "Exit while idle closes";
}

// Escape closes the window only when nothing would be lost: nothing shown
// or typed in the pane, nothing typed in the command box.
TEST(ConsoleDialog, EscapeClosesOnlyAWindowThatHoldsNothing)
{
    const std::pair<std::string, std::string> cases[] = { // the command box, the pane
        { "", "" }, { "cmd /c echo a carefully typed command", "" }, { "", "half a line" } };
    std::vector<std::string> seen;
    for (const auto& c : cases) {
        CConsoleDlg dlg;
        RunModalWith(dlg, [&](HWND hDlg) {
            SetCommand(hDlg, c.first);
            Type(hDlg, c.second);
            HWND hEdit = ::FindWindowExA(::GetDlgItem(hDlg, IDC_COMMAND), nullptr, "Edit", nullptr);
            int length = ::GetWindowTextLengthA(Pane(hDlg));
            ::PostMessageA(hEdit, WM_KEYDOWN, VK_ESCAPE, 1); // through the dialog's loop, as the key comes
            ::PostMessageA(Pane(hDlg), WM_CHAR, '~', 1);     // handled after it
            EXPECT_TRUE(WaitFor("Escape to be handled", [&] {
                return !::IsWindow(hDlg) || ::GetWindowTextLengthA(Pane(hDlg)) > length;
            }));
            seen.push_back(::IsWindow(hDlg) ? "stays" : "closed");
        });
    }
    EXPECT_EQ((std::vector<std::string>{ "closed", "stays", "stays" }), seen);
}

// What is typed reaches the child in the code page its output is read in,
// as a console sends it: typed keys (WM_CHAR in the ANSI code page, 1252
// here), a line or each key at once, and a paste, which can carry what the
// ANSI code page lacks. The child writes each byte it reads to a file.
TEST(ConsoleDialog, WhatIsTypedReachesTheChildInTheCodePageOfItsOutput)
{
    if (::GetACP() != 1252 || ::GetOEMCP() != 437)
        GTEST_SKIP() << "the expected bytes are for code pages 1252 and 437";
    struct Case {
        UINT codePage;
        bool bKeyAtATime;
        std::string typed;   // WM_CHAR
        std::wstring pasted; // then pasted (WM_PASTE, as the pane's menu and Shift+Insert do)
        std::string bytes;   // what the child read
    };
    const Case cases[] = {
        { IDM_CP_OEM, false, "caf\xe9 \x80\r", L"", "63 61 66 82 20 3F 0D 0A " }, // no euro sign in 437
        { IDM_CP_ANSI, false, "caf\xe9 \x80\r", L"", "63 61 66 E9 20 80 0D 0A " },
        { IDM_CP_UTF8, false, "caf\xe9 \x80\r", L"", "63 61 66 C3 A9 20 E2 82 AC 0D 0A " },
        { IDM_CP_UTF8, true, "\xe9\x80\r\x1a", L"", "C3 A9 E2 82 AC 0D 0A 1A " }, // Ctrl+Z as it is
        { IDM_CP_UTF8, false, "", L"\u00e9\u20ac\u65e5\r\n", "C3 A9 E2 82 AC E6 97 A5 0D 0A " },
        { IDM_CP_OEM, true, "", L"\u00e9\u2500\r\n", "82 C4 0D 0A " },
    };
    const std::string out = TempPath("vorlik-typed") + ".txt";
    std::vector<std::string> read;
    CConsoleDlg dlg;
    RunModalWith(dlg, [&](HWND hDlg) {
        bool bKeyAtATime = false;
        for (const Case& c : cases) {
            ::DeleteFileA(out.c_str());
            Send(hDlg, c.codePage);
            if (c.bKeyAtATime != bKeyAtATime)
                Send(hDlg, IDM_KEYATATIME), bKeyAtATime = c.bKeyAtATime;
            SetClipboardText(c.pasted);
            SetCommand(hDlg, ChildTool("hex \"" + out + "\""));
            Send(hDlg, IDC_RUN);
            EXPECT_TRUE(WaitForChildProcess(::GetCurrentProcessId(), "ChildTool.exe"));
            Type(hDlg, c.typed);
            if (!c.pasted.empty())
                SendTo(Pane(hDlg), WM_PASTE);
            EXPECT_TRUE(WaitFor("the child to read " + c.bytes, [&] { return ReadFileText(out) == c.bytes; },
                                [&] { return ReadFileText(out); }));
            read.push_back(ReadFileText(out));
            Send(hDlg, IDC_STOP);
            EXPECT_TRUE(PaneEndsWith(hDlg, "--End--\r\n"));
        }
    });
    std::vector<std::string> expected;
    for (const Case& c : cases)
        expected.push_back(c.bytes);
    EXPECT_EQ(expected, read);
    ::DeleteFileA(out.c_str());
}

// The window can go by other routes than Exit: the run's tree ends first and
// its worker is waited for; so is a Save's, which leaves no partial file.
TEST(ConsoleDialog, DestroyedDuringARunOrASaveItEndsBothAndLeavesNoThread)
{
    std::string path = TempPath("vorlik-saving") + ".txt";
    for (bool bSave : { false, true }) {
        SCOPED_TRACE(bSave ? "during a Save" : "during a run");
        CConsoleDlg dlg;
        int threads = 0; // with the window shown, less the test's helper thread
        RunModalWith(dlg, [&](HWND hDlg) {
            threads = CountThreads(::GetCurrentProcessId()) - 1;
            SetCommand(hDlg, ChildTool("wait"));
            Send(hDlg, IDC_RUN);
            EXPECT_TRUE(WaitForChildProcess(::GetCurrentProcessId(), "ChildTool.exe"));
            if (bSave) {
                std::string block = Pattern(1 << 20);
                for (int i = 0; i < 100; ++i)
                    Output(hDlg, block);
            }
            // The Save of 100 MB begins and the window goes in one step.
            SaveAsAnswer answer(path);
            OnUiThread(hDlg, [&] {
                if (bSave)
                    ::SendMessageA(hDlg, WM_COMMAND, IDM_SAVE, 0);
                ::DestroyWindow(hDlg);
            });
        });
        EXPECT_EQ(threads, CountThreads(::GetCurrentProcessId())) << "no worker outlives the window";
        EXPECT_EQ(0, CountProcesses("ChildTool.exe")) << "the child ended with the window";
        EXPECT_EQ(INVALID_FILE_ATTRIBUTES, ::GetFileAttributesA(path.c_str())) << "no partial file";
    }
}

namespace {

// How many dark pixels (text) control id shows.
int Ink(HWND hDlg, int id)
{
    HWND hCtl = ::GetDlgItem(hDlg, id);
    RECT rc;
    ::GetClientRect(hCtl, &rc);
    HDC hdc = ::GetDC(hCtl);
    int n = 0;
    for (int y = 0; y < rc.bottom; ++y)
        for (int x = 0; x < rc.right; ++x) {
            COLORREF c = ::GetPixel(hdc, x, y);
            n += GetRValue(c) + GetGValue(c) + GetBValue(c) < 200 ? 1 : 0;
        }
    ::ReleaseDC(hCtl, hdc);
    return n;
}

} // namespace

TEST(ConsoleDialog, ResizingGrowsOnlyThePaneAndTheTopLineNeverBelowTheTemplateAndTheStatusLineShows)
{
    CConsoleDlg dlg;
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
        SendTo(hDlg, WM_GETMINMAXINFO, 0, reinterpret_cast<LPARAM>(&mmi));
        for (int show : { SW_MAXIMIZE, SW_MINIMIZE, SW_RESTORE })
            ::ShowWindow(hDlg, show);
        ::SetWindowPos(hDlg, nullptr, 0, 0, first.Width(), first.Height(), SWP_NOMOVE | SWP_NOZORDER);
        grab(restored, true);
        // The status line shows its text at every size it is moved to.
        EXPECT_TRUE(RunToEnd(hDlg, ChildTool("exit 3")));
        for (SIZE size : { SIZE{ 900, 650 }, SIZE{ 800, 600 }, SIZE{ 1000, 700 } }) {
            ::SetWindowPos(hDlg, nullptr, 0, 0, size.cx, size.cy, SWP_NOMOVE | SWP_NOZORDER);
            EXPECT_TRUE(WaitFor("the status line's text", [&] { return Ink(hDlg, IDC_STATUS) > 20; })) << size.cx;
        }
    });
    EXPECT_EQ(expected, after) << "only the pane grows, and the top line only wider";
    EXPECT_EQ(expected, restored) << "maximised, minimised, restored and back: as grown, less the growth";
    // The smallest is the template's size; the first window is as high and
    // wider, for the pane's columns.
    EXPECT_LT(mmi.ptMinTrackSize.x, first.Width());
    EXPECT_EQ(first.Height(), mmi.ptMinTrackSize.y);
}

namespace {

std::string g_throwOn; // the file CreateOrThrow throws for
decltype(&::CreateFileA) g_createFile = nullptr;

// CreateFileA that throws what no code of the program knows, for one file.
HANDLE WINAPI CreateOrThrow(LPCSTR name, DWORD access, DWORD share, LPSECURITY_ATTRIBUTES sa, DWORD how, DWORD flags,
                            HANDLE hTemplate)
{
    if (g_throwOn == name)
        throw 42;
    return g_createFile(name, access, share, sa, how, flags, hTemplate);
}

} // namespace

// Each path as the Save As dialog would give it (the system's own dialog
// refuses some of them itself): the file, or the error in a box and no
// file; Save can be chosen again after each, also after a failure that no
// code of the program expected.
TEST(ConsoleDialog, SaveWritesCrLfLinesAndReportsEachFileError)
{
    MessageBoxWatcher boxes;
    CConsoleDlg dlg;
    std::string good = TempPath("vorlik-save") + ".txt", locked = TempPath("vorlik-locked") + ".txt";
    std::ofstream(locked) << "old";
    HANDLE hLock = ::CreateFileA(locked.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    const std::pair<std::string, std::string> cases[] = { // path, its error ("*" the path)
        { good, "" },
        { TempPath("vorlik-no-such-folder") + "\\out.txt", "* contains an incorrect path." },
        { "C:\\windows", "* cannot be accessed." }, // a folder
        { locked, "Sharing violation while accessing *." },
        { TempPath("vorlik-bad<name>"), "* contains an incorrect path." },
        { g_throwOn = TempPath("vorlik-throws"), "An unexpected error occurred." }, // not even an exception of ours
    };
    std::vector<bool> usable;
    RunModalWith(dlg, [&](HWND hDlg) {
        Output(hDlg, "one\r\ntwo\n\x1b[31m\n--End--\n");
        ImportStandIn throws("kernel32.dll", "CreateFileA", reinterpret_cast<void*>(&CreateOrThrow));
        g_createFile = reinterpret_cast<decltype(g_createFile)>(throws.System());
        for (const auto& c : cases) {
            size_t before = boxes.Texts().size();
            SaveTo(hDlg, c.first);
            EXPECT_TRUE(c.second.empty() ? WaitForFile(c.first) : boxes.WaitForMore(before)) << c.first;
            usable.push_back(WaitFor("Save to be usable again", [&] { return CanSave(hDlg); }));
        }
    });
    ::CloseHandle(hLock);
    EXPECT_EQ("one\r\ntwo\r\n\r\n--End--\r\n", ReadFileText(good));
    EXPECT_EQ("old", ReadFileText(locked));
    std::vector<std::string> expected;
    for (auto c : cases)
        if (!c.second.empty())
            expected.push_back(c.second.find('*') == std::string::npos ? c.second : c.second.replace(c.second.find('*'), 1, c.first));
    EXPECT_EQ(expected, boxes.Texts());
    EXPECT_EQ(std::vector<bool>(std::size(cases), true), usable);
    ::DeleteFileA(good.c_str());
    ::DeleteFileA(locked.c_str());
}

// A Save whose file takes its time (a pipe this test reads when it likes):
// after half a second it shows its progress and a Cancel button, Save and
// Copy are greyed, the window answers and output goes on arriving, and the
// file gets exactly the text of the moment Save was chosen. Cancelled, it
// stops writing and reports nothing.
TEST(ConsoleDialog, ASlowSaveShowsItsProgressAndWritesTheTextOfItsMomentAndCancelStopsIt)
{
    MessageBoxWatcher boxes;
    CConsoleDlg dlg;
    const std::string pipeName = "\\\\.\\pipe\\vorlik-slow-save", text = Pattern(2 << 20);
    std::vector<std::string> seen;
    std::string received;
    size_t cancelledAt = 0;
    RunModalWith(dlg, [&](HWND hDlg) {
        Output(hDlg, text);
        auto cancelShown = [&] { return ::IsWindowVisible(::GetDlgItem(hDlg, IDC_SAVECANCEL)) != FALSE; };
        auto look = [&](const char* when) { // on the dialog's thread: between its messages
            OnUiThread(hDlg, [&] {
                seen.push_back(std::string(when) + ": [" + StatusOf(hDlg) + "]" + (cancelShown() ? " cancel" : "") +
                               (CanSave(hDlg) ? "" : " greyed"));
            });
        };
        for (bool bCancel : { false, true }) {
            CHandle pipe(::CreateNamedPipeA(pipeName.c_str(), PIPE_ACCESS_INBOUND, PIPE_TYPE_BYTE | PIPE_WAIT, 1, 0, 4096,
                                            0, nullptr));
            {
                SaveAsAnswer answer(pipeName);
                Send(hDlg, IDM_SAVE);
            }
            ::ConnectNamedPipe(pipe.get(), nullptr);
            EXPECT_TRUE(WaitFor("the Save's progress", cancelShown));
            look("saving");
            if (bCancel)
                Send(hDlg, IDC_SAVECANCEL);
            else
                Output(hDlg, "\r\nlater output\r\n"); // the window goes on; the Save does not see it
            std::string got;
            char buffer[65536];
            DWORD n = 0;
            while (::ReadFile(pipe.get(), buffer, sizeof buffer, &n, nullptr))
                got.append(buffer, n);
            if (bCancel)
                cancelledAt = got.size();
            else
                received = got;
            EXPECT_TRUE(WaitFor("Save to be usable again", [&] { return CanSave(hDlg); }));
            look("after");
        }
    });
    EXPECT_EQ((std::vector<std::string>{ "saving: [Saving~ # %] cancel greyed", "after: []",
                                         "saving: [Saving~ # %] cancel greyed", "after: []" }),
              seen);
    EXPECT_TRUE(received == text) << "the text of the moment Save was chosen: " << received.size() << " bytes";
    EXPECT_LT(cancelledAt, text.size()) << "Cancel stopped the writing";
    EXPECT_EQ(std::vector<std::string>{}, boxes.Texts()) << "neither reports anything";
}

// What a console shows, in the control: colours as the text's colour (also
// with the characters RTF gives a meaning), the current line rewritten in
// place, tab stops every 8 columns, no escape bytes, and the end line in
// the pane's own colour whatever colour the child left set; from a real
// child through the real run.
TEST(OutputPane, ShowsColoursAndRewritesTheCurrentLineInPlace)
{
    CConsoleDlg dlg;
    std::string text;
    std::vector<std::string> colours;
    RunModalWith(dlg, [&](HWND hDlg) {
        ASSERT_TRUE(RunToEnd(hDlg, ChildTool("write \"\\x1b[31mred\\x1b[0m plain\\r\\n\" \"a\\x09b\\r\\n\" 1%\\r 50%\\r "
                                             "\"done\\x1b[K\\r\\n\" \"\\x1b[32mg\\\\{x}\\x1b[m!\\r\\n\" \"\\x1b[35mleft\"")));
        text = PaneText(hDlg);
        for (const char* what : { "red", " plain", "g\\{x}", "!", "left", "--End--" }) {
            FINDTEXTA find{ { 0, -1 }, what };
            LONG at = static_cast<LONG>(SendToItem(hDlg, IDC_OUTPUT, EM_FINDTEXT, FR_DOWN | FR_MATCHCASE, reinterpret_cast<LPARAM>(&find)));
            CHARRANGE sel{ at, at + static_cast<LONG>(std::strlen(what)) };
            SendToItem(hDlg, IDC_OUTPUT, EM_EXSETSEL, 0, reinterpret_cast<LPARAM>(&sel));
            CHARFORMATA cf{ sizeof cf };
            DWORD mask = static_cast<DWORD>(SendToItem(hDlg, IDC_OUTPUT, EM_GETCHARFORMAT, TRUE, reinterpret_cast<LPARAM>(&cf)));
            colours.push_back(std::string(what) + " " +
                              ((mask & CFM_COLOR) == 0 ? "mixed" : (cf.dwEffects & CFE_AUTOCOLOR) ? "auto" : std::to_string(cf.crTextColor)));
        }
    });
    EXPECT_EQ("red plain\r\na       b\r\ndone\r\ng\\{x}!\r\nleft\r\n--End--\r\n", text);
    EXPECT_EQ((std::vector<std::string>{ "red " + std::to_string(RGB(197, 15, 31)), " plain auto",
                                         "g\\{x} " + std::to_string(RGB(19, 161, 14)), "! auto",
                                         "left " + std::to_string(RGB(136, 23, 152)), "--End-- auto" }),
              colours);
}

// Save and Copy give what the pane shows: what is being typed and not sent
// yet is there too, after a run and during one.
TEST(OutputPane, SaveAndCopyHaveWhatIsBeingTyped)
{
    CConsoleDlg dlg;
    const std::string path = TempPath("vorlik-typed-save") + ".txt";
    std::vector<std::string> copied, saved;
    RunModalWith(dlg, [&](HWND hDlg) {
        auto take = [&] {
            copied.push_back(CopyAndRead([&] { Send(hDlg, IDM_COPY); }));
            SaveTo(hDlg, path);
            EXPECT_TRUE(WaitForFile(path));
            saved.push_back(ReadFileText(path));
        };
        EXPECT_TRUE(RunToEnd(hDlg, ChildTool("print copytest")));
        Type(hDlg, "qr");
        take();
        SetCommand(hDlg, ChildTool("wait"));
        Send(hDlg, IDC_RUN);
        EXPECT_TRUE(WaitForChildProcess(::GetCurrentProcessId(), "ChildTool.exe"));
        Output(hDlg, "Name? ");
        Type(hDlg, "b\xf6" "b");
        EXPECT_TRUE(PaneEndsWith(hDlg, "Name? b\xf6" "b"));
        take();
        Send(hDlg, IDC_STOP);
        EXPECT_TRUE(PaneEndsWith(hDlg, "--End--\r\nb\xf6" "b")) << "what is being typed stays last";
    });
    EXPECT_EQ((std::vector<std::string>{ "copytest\r\n\r\n--End--\r\nqr", "Name? b\xf6" "b" }), copied);
    EXPECT_EQ(copied, saved);
    ::DeleteFileA(path.c_str());
}

// The pane's font is fixed-pitch whatever fonts the system has (the tests'
// Wine prefix maps none), and the first window shows about 100 columns.
TEST(OutputPane, ItsFontIsFixedPitchAndTheFirstWindowShowsAbout100Columns)
{
    CConsoleDlg dlg;
    SIZE narrow{}, wide{};
    int columns = 0;
    std::string face;
    RunModalWith(dlg, [&](HWND hDlg) {
        OnUiThread(hDlg, [&] {
            CHARFORMATA cf{ sizeof cf };
            ::SendMessageA(Pane(hDlg), EM_GETCHARFORMAT, FALSE, reinterpret_cast<LPARAM>(&cf));
            face = cf.szFaceName;
            HDC hdc = ::GetDC(Pane(hDlg));
            LOGFONTA lf{};
            lf.lfHeight = -::MulDiv(cf.yHeight, ::GetDeviceCaps(hdc, LOGPIXELSY), 1440);
            lstrcpynA(lf.lfFaceName, cf.szFaceName, LF_FACESIZE);
            HFONT hFont = ::CreateFontIndirectA(&lf);
            HGDIOBJ old = ::SelectObject(hdc, hFont);
            ::GetTextExtentPoint32A(hdc, "iiiiiiiiii", 10, &narrow);
            ::GetTextExtentPoint32A(hdc, "WWWWWWWWWW", 10, &wide);
            ::DeleteObject(::SelectObject(hdc, old));
            ::ReleaseDC(Pane(hDlg), hdc);
            RECT rc;
            ::GetClientRect(Pane(hDlg), &rc);
            columns = rc.right * 10 / std::max<LONG>(1, wide.cx);
        });
    });
    EXPECT_EQ(narrow.cx, wide.cx) << face << " is fixed-pitch";
    EXPECT_GE(columns, 95) << face;
    EXPECT_LE(columns, 105) << face;
}

// Past its bound the pane shows the newest output from a line start, and
// Save and Copy have the whole run, whether it comes as a flood (the pane
// skips ahead, then settles) or a piece at a time (the pane trims).
TEST(OutputPane, ShowsTheNewestPastItsBoundFromALineStartAndTheWholeRunIsKept)
{
    const std::string all = Pattern(1400000), last = all.substr(all.rfind('\n', all.size() - 2) + 1);
    const std::string path = TempPath("vorlik-whole") + ".txt";
    for (bool flood : { true, false }) {
        SCOPED_TRACE(flood ? "flood" : "a piece at a time");
        CConsoleDlg dlg;
        std::string text;
        RunModalWith(dlg, [&](HWND hDlg) {
            for (size_t i = 0; i < all.size(); i += 65536) {
                std::string piece = all.substr(i, 65536);
                Output(hDlg, piece);
                if (!flood) {
                    EXPECT_TRUE(PaneEndsWith(hDlg, piece.substr(piece.size() - 20)));
                }
            }
            EXPECT_TRUE(WaitFor("the pane to settle on the newest 512 KiB", [&] {
                text = PaneText(hDlg);
                return EndsWith(text, last) && text.size() >= static_cast<size_t>(COutputView::kKeepChars) &&
                    text.size() < all.size();
            }, [&] { return std::to_string(text.size()) + " characters ending " + Tail(text, 60); }));
            SaveTo(hDlg, path);
            EXPECT_TRUE(WaitForFile(path));
            EXPECT_TRUE(OnlyThePaneLeft(hDlg));
        });
        EXPECT_TRUE(ReadFileText(path) == all) << "every byte, in order (" << ReadFileText(path).size() << " of "
                                               << all.size() << ")";
        EXPECT_LE(static_cast<long>(text.size()), COutputView::kMaxChars + 70000);
        ASSERT_LT(text.size(), all.size());
        EXPECT_TRUE(EndsWith(all, text)) << "the newest output, whole";
        EXPECT_EQ('\n', all[all.size() - text.size() - 1]) << "from the start of a line";
        ::DeleteFileA(path.c_str());
    }
}

namespace {

// Whether the pane scrolls sideways to the end of a 400-character line: a
// horizontal scroll bar shows, its range is wider than the page, and
// SB_RIGHT moves the view there. typed: the line being typed, shown last.
bool ScrollsSideways(HWND hDlg, const std::string& typed)
{
    Output(hDlg, "\r\n" + std::string(400, 'h') + "\r\n");
    EXPECT_TRUE(PaneEndsWith(hDlg, std::string(400, 'h') + "\r\n" + typed));
    return Ask(hDlg, [&] {
        ::SendMessageA(Pane(hDlg), WM_HSCROLL, SB_RIGHT, 0);
        SCROLLINFO si{ sizeof si, SIF_ALL };
        SCROLLBARINFO bar{ sizeof bar };
        return ::GetScrollInfo(Pane(hDlg), SB_HORZ, &si) && si.nMax > static_cast<int>(si.nPage) && si.nPos > 0 &&
            ::GetScrollBarInfo(Pane(hDlg), OBJID_HSCROLL, &bar) && (bar.rgstate[0] & STATE_SYSTEM_INVISIBLE) == 0;
    });
}

} // namespace

// A big pane is replaced rather than emptied (emptying in place takes
// seconds): the control that replaces it, after a new run or past the
// pane's bound, is the old one's equal: place, font, tab order, focus, and
// the template's scroll bars.
TEST(OutputPane, AReplacedControlTakesTheOldOnesPlaceFontTabOrderFocusAndScrollBars)
{
    CConsoleDlg dlg;
    std::vector<std::string> seen;
    std::vector<bool> sideways;
    RunModalWith(dlg, [&](HWND hDlg) {
        auto look = [&] {
            CHARFORMATA cf{ sizeof cf };
            SendToItem(hDlg, IDC_OUTPUT, EM_GETCHARFORMAT, FALSE, reinterpret_cast<LPARAM>(&cf));
            CRect rc = ChildRect(hDlg, IDC_OUTPUT);
            seen.push_back(std::to_string(rc.left) + "," + std::to_string(rc.top) + " " + std::to_string(rc.Width()) +
                           "x" + std::to_string(rc.Height()) + " " + cf.szFaceName + " " + std::to_string(cf.yHeight) +
                           " before " + std::to_string(::GetDlgCtrlID(::GetNextDlgTabItem(hDlg, Pane(hDlg), FALSE))) +
                           (FocusId(hDlg) == IDC_OUTPUT ? " focused" : ""));
        };
        HWND hOld = Pane(hDlg);
        OnUiThread(hDlg, [&] { ::SetFocus(hOld); });
        look();
        sideways.push_back(ScrollsSideways(hDlg, ""));
        std::string big;
        while (big.size() < 200000)
            big += "0123456789 0123456789 0123456789 0123456789 0123456789 0123456789\r\n";
        Output(hDlg, big);
        EXPECT_TRUE(PaneEndsWith(hDlg, big.substr(big.size() - 40)));
        EXPECT_TRUE(RunToEnd(hDlg, ChildTool("exit 0"))); // a new run: the pane starts afresh
        Type(hDlg, "z");
        EXPECT_TRUE(PaneEndsWith(hDlg, "--End--\r\nz"));
        seen.push_back(hOld != Pane(hDlg) ? "replaced" : "emptied in place");
        look();
        EXPECT_TRUE(OnlyThePaneLeft(hDlg)) << "the old control is destroyed";
        sideways.push_back(ScrollsSideways(hDlg, "z"));
        HWND hNew = Pane(hDlg);
        for (int i = 0; i < 11; ++i) // past the pane's bound
            Output(hDlg, big);
        EXPECT_TRUE(PaneEndsWith(hDlg, big.substr(big.size() - 40) + "z"));
        EXPECT_TRUE(WaitFor("the pane past its bound to be replaced", [&] { return Pane(hDlg) != hNew; }));
        sideways.push_back(ScrollsSideways(hDlg, "z"));
    });
    ASSERT_EQ(3u, seen.size());
    EXPECT_EQ("replaced", seen[1]);
    EXPECT_EQ(seen[0], seen[2]) << "the same place, font, tab order and focus";
    EXPECT_EQ((std::vector<bool>{ true, true, true }), sideways)
        << "a long line scrolls sideways: at first, in a replaced control, past 2 MiB of output";
}

// Copy puts the whole output on the clipboard, as Unicode and as ANSI; the
// pane shows a character split between the pieces it reads (U+FF21 cut
// after its second byte: lines of 62 bytes as kept, then "zzzzzz") as one
// character.
TEST(OutputPane, CopyTakesTheWholeOutputAsUnicodeOrSaysItIsTooLarge)
{
    MessageBoxWatcher boxes;
    CConsoleDlg dlg;
    std::string ansi, afterHuge, cutLine;
    std::wstring unicode;
    bool emptyCopied = true;
    const std::string first = "box \xe2\x94\x80 \xe6\x97\xa5\r\n" + std::string(100000, 'x') + "\r\n";
    std::string lines; // 8,190 bytes as kept: the pane reads 8 KB at a time
    for (int i = 0; i < 132; ++i)
        lines += std::string(61, 'y') + "\r\n";
    lines += "zzzzzz";
    RunModalWith(dlg, [&](HWND hDlg) {
        Send(hDlg, IDM_CP_UTF8);
        SetClipboardText(L"sentinel");
        DWORD sequence = ::GetClipboardSequenceNumber();
        Send(hDlg, IDM_COPY); // nothing to copy: no Copy begins
        emptyCopied = !CanSave(hDlg) || ::GetClipboardSequenceNumber() != sequence;
        Output(hDlg, first);
        EXPECT_TRUE(PaneEndsWith(hDlg, "xxx\r\n"));
        Output(hDlg, lines + "\xef\xbc\xa1!\r\n");
        EXPECT_TRUE(PaneEndsWith(hDlg, "!\r\n"));
        std::string text = PaneText(hDlg);
        cutLine = text.substr(text.rfind("\r\n", text.size() - 3) + 2);
        ansi = CopyAndRead([&] { Send(hDlg, IDM_COPY); });
        unicode = ClipboardUnicode();
        std::string huge(CExportJob::kMaxCopyBytes / 8, 'y');
        for (int i = 0; i < 9; ++i)
            Output(hDlg, huge);
        size_t before = boxes.Texts().size();
        Send(hDlg, IDM_COPY);
        EXPECT_TRUE(boxes.WaitForMore(before));
        afterHuge = ClipboardText();
    });
    EXPECT_FALSE(emptyCopied) << "nothing to copy leaves the clipboard alone";
    std::wstring wideLines(lines.begin(), lines.end());
    EXPECT_TRUE(L"box \u2500 \u65e5\r\n" + std::wstring(100000, L'x') + L"\r\n" + wideLines + L"\uff21!\r\n" == unicode)
        << "every character";
    EXPECT_EQ("box ", ansi.substr(0, 4)) << "and the ANSI text beside it";
    EXPECT_EQ("zzzzzz", cutLine.substr(0, 6));
    EXPECT_EQ(10u, cutLine.size()) << "one character and \"!\": " << cutLine;
    EXPECT_EQ(std::vector<std::string>{ "The output is too large for the clipboard. Use File > Save to keep all of it." },
              boxes.Texts());
    EXPECT_TRUE(afterHuge == ansi) << "the clipboard is left as it was";
}

