// The real Vorlik.exe driven from outside, as a user or another program
// would: a table of command lines and what they give; the contract of the
// built program's resources; real key presses through Vorlik's own message
// loop; runs past the pane's bound; the process tree a run owns; and the
// oldest Windows the program can start on.
#include "VorlikProcess.h"
#include "helpers/Pattern.h"

#include <gtest/gtest.h>

#include <psapi.h>

#include <algorithm>
#include <cstdio>
#include <fstream>
#include <set>
#include <utility>

using namespace testsupport;

TEST(EndToEnd, CommandLinesAndWhatTheyGive)
{
    char cwd[MAX_PATH] = "";
    ::GetCurrentDirectoryA(sizeof cwd, cwd);
    std::string beside = BesideTests("").substr(0, BesideTests("").size() - 1);
    std::string doc = TempPath("vorlik-e2e-doc") + ".txt";
    std::ofstream(doc) << "text";
    struct Case {
        std::string command, pane, box, saved; // pane "*": not looked at; saved: what Copy and Save give, if not ""
        std::string status = "Exit code 0 * # s";
    };
    const Case cases[] = {
        { "cd", std::string(cwd) + "\r\n", "", "" }, // a built-in runs in Vorlik's folder (until Save changes it)
        { "echo hello vorlik", "hello vorlik\r\n", "", "" },
        { "ChildTool print found", "found\r\n", "", "found\r\n" + kEnd }, // a program beside Vorlik
        { "ChildTool write out1 err1 out2", "out1err1out2", "", "" },        // stdout and stderr share the pane
        { "ChildTool write abc\\0def\\0\\0ghi", "abcdefghi", "", "" },         // zero bytes hide nothing
        { "ChildTool write lf1\\nlf2\\n", "lf1\r\nlf2\r\n", "", "lf1\r\nlf2\r\n" + kEnd },
        { "ChildTool cwd", beside + "\r\n", "", "" }, // a program runs in its own folder
        { "ChildTool pattern 300000 300000", "*", "", Pattern(300000) + kEnd }, // all of it, as the child ends
        { "ChildTool write 1%\\r 50%\\r 100%\\r\\n", "100%\r\n", "", "100%\r\n" + kEnd }, // progress: one line
        { "ChildTool write \"\\x1b[31mred\\x1b[0m \\x1b]0;title\\x07done\\r\\n\"", "red done\r\n", "", "red done\r\n" + kEnd },
        // Redrawn as a terminal shows it: two bars moved up to, a cleared screen, a full-screen program.
        { "ChildTool write \"a 0%\\r\\nb 0%\\r\\n\" \"\\x1b[2Aa 50%\\r\\nb 50%\\r\\n\" \"\\x1b[2Aa 100%\\r\\nb 100%\\r\\n\" done",
          "a 100%\r\nb 100%\r\ndone", "", "a 100%\r\nb 100%\r\ndone" + kEnd },
        { "ChildTool write old\\r\\n \"\\x1b[2J\\x1b[Hnew\\r\\n\"", "new\r\n", "", "new\r\n" + kEnd },
        { "ChildTool write before\\r\\n \"\\x1b[?1049h\\x1b[Hmenu\\r\\nitem\" \"\\x1b[?1049lafter\\r\\n\"", "before\r\nafter\r\n",
          "", "before\r\nafter\r\n" + kEnd },
        { "ChildTool exit 3", "", "", "", "Exit code 3 * # s" },
        { "ChildTool exit -1", "", "", "", "Exit code -1 * # s" },
        { "ChildTool exit -1073741510", "", "", "", "Exit code 0xC000013A * # s" }, // as Ctrl+C leaves it
        { doc, "", "Couldn't Create Process\r\n", kEnd, "Could not start: #" }, // a document, not a program
    };
    VorlikProcess vorlik;
    ASSERT_TRUE(vorlik.Ready());
    for (const Case& c : cases) {
        SCOPED_TRACE(c.command.substr(0, 40));
        std::vector<std::string> boxes;
        vorlik.Run(c.command);
        EXPECT_TRUE(vorlik.WaitForEnd(&boxes, c.box.empty() ? 0 : 1));
        EXPECT_EQ(c.box.empty() ? std::vector<std::string>{} : std::vector<std::string>{ "Vorlik: " + c.box }, boxes);
        EXPECT_TRUE(c.pane == "*" || c.pane + kEnd == vorlik.PaneText()) << vorlik.PaneText().substr(0, 200);
        EXPECT_TRUE(c.saved.empty() || c.saved == vorlik.CopyOutput()) << "Copy";
        EXPECT_TRUE(c.saved.empty() || c.saved == vorlik.SaveOutput()) << "Save";
        EXPECT_EQ(c.status, StatusPattern(vorlik.Status()));
    }
    ::DeleteFileA(doc.c_str());
}

TEST(Keyboard, EnterRunsTheCommandAndALineGoesToTheChildAsEdited)
{
    VorlikProcess vorlik;
    ASSERT_TRUE(vorlik.Ready());
    ASSERT_TRUE(vorlik.Keys(IDC_COMMAND, "cmd\r"));
    ASSERT_TRUE(WaitForChildProcess(vorlik.Pid(), "cmd.exe"));
    ASSERT_TRUE(vorlik.Keys(IDC_OUTPUT, "echo hello vorlik\r"));
    // The typed line, then cmd's answer; the banner and prompt may come
    // before or after the typed line.
    // (Not before: Wine's cmd drops what follows a line in one read, and
    // would not see the exit.)
    const std::string typed = "echo hello vorlik\r\n";
    EXPECT_TRUE(WaitFor("cmd's answer after the typed line", [&] {
        std::string t = vorlik.PaneText();
        size_t at = t.find(typed);
        return at != std::string::npos && t.find("hello vorlik\r\n", at + typed.size()) != std::string::npos;
    }, [&] { return vorlik.PaneText(); }));
    ASSERT_TRUE(vorlik.Keys(IDC_OUTPUT, "exit\r"));
    EXPECT_TRUE(vorlik.WaitForEnd()) << "exit reached the interpreter whole";

    vorlik.Run("ChildTool cat");
    ASSERT_TRUE(WaitForChildProcess(vorlik.Pid(), "ChildTool.exe"));
    SetClipboardText(L"one\r\ntwo\r\n");
    ASSERT_TRUE(vorlik.Keys(IDC_OUTPUT, ""));
    vorlik.Press('V', true);
    EXPECT_TRUE(vorlik.PaneHas("one\r\ntwo\r\none\r\ntwo\r\n")) << "typed, then echoed";
    vorlik.Press('Z', true);
    vorlik.Press(VK_RETURN);
    EXPECT_TRUE(vorlik.WaitForEnd()) << "the child read to the end of its input";
    EXPECT_NE(std::string::npos, vorlik.PaneText().find("^Z\r\neof\r\n")) << vorlik.PaneText();
}

TEST(Keyboard, EarlierOutputNeverChangesAndOutputGoesAboveTheLineBeingTyped)
{
    VorlikProcess vorlik;
    ASSERT_TRUE(vorlik.Ready());
    vorlik.Run("ChildTool print hello");
    ASSERT_TRUE(vorlik.WaitForEnd());
    std::string before = vorlik.PaneText();
    // Tab into the pane from the command box, then keys that would replace
    // or delete a selection.
    ASSERT_TRUE(vorlik.Keys(IDC_COMMAND, ""));
    vorlik.Press(VK_TAB);
    vorlik.Press(VK_TAB);
    vorlik.Press('A', true);
    vorlik.Press(VK_DELETE);
    vorlik.Press('X', true);
    ASSERT_TRUE(vorlik.Keys(IDC_OUTPUT, "x\b\by"));
    EXPECT_TRUE(vorlik.PaneEndsWith(before + "y"));

    vorlik.Run("ChildTool stamps 100000 100");
    ASSERT_TRUE(WaitFor("the run's first line", [&] {
        std::string t = vorlik.PaneText();
        return t.find('~') == std::string::npos && t.find("\r\n") != std::string::npos;
    }, [&] { return vorlik.PaneText(); }));
    ASSERT_TRUE(vorlik.Keys(IDC_OUTPUT, "abc"));
    EXPECT_TRUE(WaitFor("five lines of output above the line being typed", [&] {
        std::string text = vorlik.PaneText();
        return std::count(text.begin(), text.end(), '\n') >= 5 && EndsWith(text, "\r\nabc");
    }, [&] { return Tail(vorlik.PaneText()); }));
    vorlik.Press('C', true); // nothing selected: as Stop
    EXPECT_TRUE(vorlik.PaneHas(kEnd + "abc")) << "the line being typed stays last";
}

// Keys that each do one thing, pressed for real: Escape does nothing once
// the window has shown something (ConsoleDialog.Escape... has the rest); Up
// and Down recall the lines sent, a line sent twice in a row once; Tab only
// moves the focus, in both input modes; Ctrl+F, F3 and Shift+F3 find in
// the pane, with the Find dialog's options (the only test of them), and say
// when there is nothing more.
TEST(Keyboard, EscapeRecallTabAndFindEachDoOneThing)
{
    VorlikProcess vorlik;
    ASSERT_TRUE(vorlik.Ready());
    auto count = [&](const std::string& what) {
        std::string t = vorlik.PaneText();
        size_t n = 0;
        for (size_t at = 0; (at = t.find(what, at)) != std::string::npos; ++at)
            ++n;
        return n;
    };
    auto counts = [&](const std::string& what, size_t n) {
        return WaitFor(std::to_string(n) + " times \"" + what + "\"", [&] { return count(what) == n; },
                       [&] { return Tail(vorlik.PaneText()); });
    };
    vorlik.Run("cmd");
    ASSERT_TRUE(WaitForChildProcess(vorlik.Pid(), "cmd.exe"));
    // A line at a time: Wine's cmd drops what follows a line in one read.
    const std::pair<std::string, size_t> sends[] = { { "first", 2 }, { "second", 2 }, { "second", 4 } };
    for (const auto& send : sends) {
        ASSERT_TRUE(vorlik.Keys(IDC_OUTPUT, "echo " + send.first + "\r"));
        EXPECT_TRUE(counts(send.first + "\r\n", send.second)) << "sent and answered";
    }
    ASSERT_TRUE(vorlik.Keys(IDC_OUTPUT, "echo x"));
    vorlik.Press(VK_UP);
    EXPECT_TRUE(vorlik.PaneEndsWith(">echo second"));
    vorlik.Press(VK_DOWN);
    EXPECT_TRUE(vorlik.PaneEndsWith(">echo x")) << "Down past the newest: as typed";
    vorlik.Press(VK_ESCAPE); // in the pane: clears the line
    vorlik.Press(VK_UP);
    vorlik.Press(VK_UP);
    vorlik.Press(VK_RETURN);
    EXPECT_TRUE(counts("first\r\n", 4)) << "Up, Up, Enter: the first line again (a line sent twice is recalled once)";
    EXPECT_EQ(2u, count("echo first\r\n")) << "and only it reached cmd";
    ASSERT_TRUE(vorlik.Keys(IDC_COMMAND, ""));
    vorlik.Press(VK_ESCAPE); // output shown: nothing happens, not even a refusal
    ASSERT_TRUE(vorlik.Keys(IDC_OUTPUT, "exit\r"));
    EXPECT_TRUE(vorlik.WaitForEnd());
    EXPECT_EQ(nullptr, FindMessageBox(vorlik.Pid()));

    GUITHREADINFO info{ sizeof info };
    auto focus = [&] {
        ::GetGUIThreadInfo(::GetWindowThreadProcessId(vorlik.Dialog(), nullptr), &info);
        return ::GetDlgCtrlID(info.hwndFocus);
    };
    for (const char* pair : { "ab", "cd" }) { // line input, then each key at once
        vorlik.Run("ChildTool cat");
        ASSERT_TRUE(WaitForChildProcess(vorlik.Pid(), "ChildTool.exe"));
        ASSERT_TRUE(vorlik.Keys(IDC_OUTPUT, std::string(1, pair[0])));
        vorlik.Press(VK_TAB);
        EXPECT_TRUE(WaitFor("the focus on Stop", [&] { return focus() == IDC_STOP; })) << pair << ": Tab moved the focus on";
        ASSERT_TRUE(vorlik.Keys(IDC_OUTPUT, std::string(1, pair[1]) + "\r"));
        EXPECT_TRUE(WaitFor("both keys typed and echoed", [&] {
            return count(std::string(1, pair[0])) == 2 && count(std::string(1, pair[1])) == 2;
        }, [&] { return vorlik.PaneText(); })) << "nothing lost";
        EXPECT_EQ(0u, count("\t")) << vorlik.PaneText();
        vorlik.Click(IDC_STOP);
        EXPECT_TRUE(vorlik.WaitForEnd());
        vorlik.Command(IDM_KEYATATIME);
    }

    vorlik.Run("ChildTool print alpha,beta,alphabet,ALPHA");
    ASSERT_TRUE(vorlik.WaitForEnd());
    ASSERT_TRUE(vorlik.Keys(IDC_COMMAND, ""));
    vorlik.Press('F', true);
    HWND hFind = WaitForTopWindow(vorlik.Pid(), "Find");
    ASSERT_NE(nullptr, hFind) << "Ctrl+F";
    ASSERT_TRUE(WaitFor("the Find dialog in the foreground", [&] { return ::GetForegroundWindow() == hFind; }));
    std::vector<std::string> found;
    auto selection = [&] {
        DWORD sel = static_cast<DWORD>(SendToItem(vorlik.Dialog(), IDC_OUTPUT, EM_GETSEL));
        return std::to_string(LOWORD(sel)) + "-" + std::to_string(HIWORD(sel));
    };
    // Each press moves the selection to the match expected: a new place.
    auto press = [&](WORD vk, bool bShift, const std::string& expected) {
        vorlik.Press(vk, false, bShift);
        EXPECT_TRUE(WaitFor("the match at " + expected, [&] { return selection() == expected; }, selection));
        found.push_back(selection());
    };
    for (char ch : std::string("alpha"))
        vorlik.Press(static_cast<WORD>(::toupper(ch)));
    press(VK_RETURN, false, "0-5"); // Find Next, from the caret at the end: on from the top
    press(VK_F3, false, "11-16");
    press(VK_F3, false, "20-25");
    press(VK_F3, true, "11-16");
    press(VK_F3, true, "0-5");
    press(VK_F3, true, "20-25");
    EXPECT_EQ((std::vector<std::string>{ "0-5", "11-16", "20-25", "11-16", "0-5", "20-25" }), found)
        << "Find Next, F3, F3, Shift+F3, Shift+F3, Shift+F3";
    // The dialog's options, and F3 keeps them.
    found.clear();
    const int kWholeWord = 0x410, kMatchCase = 0x411;
    SendTo(::GetDlgItem(hFind, kMatchCase), BM_CLICK);
    press(VK_RETURN, false, "0-5");
    press(VK_F3, false, "11-16");
    press(VK_F3, false, "0-5");
    SendTo(::GetDlgItem(hFind, kMatchCase), BM_CLICK);
    SendTo(::GetDlgItem(hFind, kWholeWord), BM_CLICK);
    press(VK_RETURN, false, "20-25");
    press(VK_F3, false, "0-5");
    EXPECT_EQ((std::vector<std::string>{ "0-5", "11-16", "0-5", "20-25", "0-5" }), found)
        << "Match case skips ALPHA, Whole word skips alphabet";
    SendTo(::GetDlgItem(hFind, 0x480), WM_SETTEXT, 0, reinterpret_cast<LPARAM>("omega"));
    vorlik.Press(VK_RETURN);
    HWND hBox = nullptr;
    ASSERT_TRUE(WaitFor("Cannot find", [&] { return (hBox = FindMessageBox(vorlik.Pid())) != nullptr; }));
    EXPECT_EQ("Cannot find \"omega\"", MessageBoxText(hBox));
    EXPECT_EQ(hFind, ::GetWindow(hBox, GW_OWNER)) << "over the window that was active";
    DismissMessageBox(hBox);
    ASSERT_TRUE(WaitFor("the Find dialog in the foreground again", [&] { return ::GetForegroundWindow() == hFind; }));
    vorlik.Press(VK_ESCAPE);
    EXPECT_TRUE(WaitFor("the Find dialog to close", [&] { return !::IsWindow(hFind); })) << "Escape closes it";
    EXPECT_TRUE(vorlik.Answers()) << "and only it";
    EXPECT_TRUE(::IsWindow(vorlik.Dialog()));
}

TEST(Keyboard, OptionsAndAcceleratorsAndTheOptionsKept)
{
    const char* settings = "software\\Quorvel's Tools\\Vorlik\\Settings";
    VorlikProcess vorlik;
    ASSERT_TRUE(vorlik.Ready());
    vorlik.Command(IDM_KEYATATIME);
    vorlik.Run("ChildTool cat");
    ASSERT_TRUE(WaitForChildProcess(vorlik.Pid(), "ChildTool.exe"));
    ASSERT_TRUE(vorlik.Keys(IDC_OUTPUT, "hi"));
    EXPECT_TRUE(WaitFor("each key sent at once, without Enter, and echoed", [&] {
        std::string t = vorlik.PaneText();
        return std::count(t.begin(), t.end(), 'h') == 2 && std::count(t.begin(), t.end(), 'i') == 2;
    }, [&] { return vorlik.PaneText(); }));
    vorlik.Click(IDC_STOP);
    EXPECT_TRUE(vorlik.WaitForEnd());
    DWORD keyAtATime = 0, size = sizeof keyAtATime;
    ::SHGetValueA(HKEY_CURRENT_USER, settings, "KeyAtATime", nullptr, &keyAtATime, &size);
    EXPECT_EQ(1u, keyAtATime) << "kept in the profile";
    vorlik.Command(IDM_KEYATATIME); // back to line input

    ASSERT_TRUE(vorlik.Keys(IDC_OUTPUT, ""));
    vorlik.Press('S', true);
    HWND hSave = WaitForTopWindow(vorlik.Pid(), "Save As");
    ASSERT_NE(nullptr, hSave) << "Ctrl+S is File > Save";
    ::PostMessageA(hSave, WM_COMMAND, IDCANCEL, 0);
    EXPECT_TRUE(WaitFor("the Save As dialog to close", [&] { return !::IsWindow(hSave); }));
    ASSERT_TRUE(WaitFor("Vorlik in the foreground again", [&] { return ::GetForegroundWindow() == vorlik.Dialog(); }));
    vorlik.Press(VK_F1);
    HWND hAbout = WaitForTopWindow(vorlik.Pid(), "About");
    ASSERT_NE(nullptr, hAbout) << "F1 is Help > About";
    EXPECT_EQ("Quorvel", WindowText(::GetDlgItem(hAbout, IDC_AUTHOR)));
    EXPECT_FALSE(::IsWindowEnabled(vorlik.Dialog())) << "modal over the main window";
    ::PostMessageA(hAbout, WM_COMMAND, IDOK, 0);
    EXPECT_TRUE(WaitFor("the main window enabled again", [&] { return ::IsWindowEnabled(vorlik.Dialog()) != FALSE; }));

    vorlik.Command(IDM_CP_UTF8);
    ASSERT_TRUE(vorlik.Exit());
    VorlikProcess again(true); // the options as they were left
    ASSERT_TRUE(again.Ready());
    again.Run("ChildTool write caf\\xc3 \\xa9"); // a character split between two writes
    EXPECT_TRUE(again.WaitForEnd());
    EXPECT_EQ("caf\xe9" + kEnd, again.PaneText()) << "UTF-8 still";
}

// What the child wrote, in each code page: the pane shows it as the ANSI code
// page can; Save keeps every character (ANSI as written when all fit,
// otherwise UTF-8 with a byte order mark) and Copy has it as Unicode.
TEST(EndToEnd, EachCodePageShowsSavesAndCopiesEveryCharacter)
{
    if (::GetOEMCP() != 437 || ::GetACP() != 1252)
        GTEST_SKIP() << "the expected texts are for code pages 437 and 1252";
    const std::string bom = "\xEF\xBB\xBF";
    struct Case {
        UINT codePage;
        std::string written, pane, saved;
        std::wstring copied;
    };
    const Case cases[] = {
        { IDM_CP_OEM, "caf\\x82 \\x9abung", "caf\xe9 \xdc" "bung", "caf\xe9 \xdc" "bung", L"caf\u00e9 \u00dcbung" },
        { IDM_CP_OEM, "\\xc4\\xc5\\xb3", "-+\xa6", bom + "\xe2\x94\x80\xe2\x94\xbc\xe2\x94\x82", L"\u2500\u253c\u2502" },
        { IDM_CP_ANSI, "caf\\x82 \\x9abung \\xe9\\x80", "caf\x82 \x9a" "bung \xe9\x80", "caf\x82 \x9a" "bung \xe9\x80",
          L"caf\u201a \u0161bung \u00e9\u20ac" },
        { IDM_CP_UTF8, "\\xe6\\x97\\xa5\\xe6\\x9c\\xac", "??", bom + "\xe6\x97\xa5\xe6\x9c\xac", L"\u65e5\u672c" },
        { IDM_CP_UTF8, "caf\\x82", "caf?", bom + "caf\xef\xbf\xbd", L"caf\ufffd" },
    };
    VorlikProcess vorlik;
    ASSERT_TRUE(vorlik.Ready());
    for (const Case& c : cases) {
        SCOPED_TRACE(c.written);
        vorlik.Command(c.codePage);
        vorlik.Run("ChildTool write \"" + c.written + "\\r\\n\"");
        EXPECT_TRUE(vorlik.WaitForEnd());
        EXPECT_EQ(c.pane + "\r\n" + kEnd, vorlik.PaneText());
        EXPECT_EQ(c.saved + "\r\n" + kEnd, vorlik.SaveOutput());
        vorlik.CopyOutput();
        EXPECT_TRUE(c.copied + L"\r\n\r\n--End--\r\n" == ClipboardUnicode());
    }
}

// At thousands of lines a second the view stays where the user put it
// (PageUp, the wheel, a selection dragged up past the top) while the output
// goes on below it, and so does the selection; Ctrl+End follows the output
// again.
TEST(Keyboard, TheViewStaysWhereTheUserScrolledWhileAFastChildWrites)
{
    VorlikProcess vorlik;
    ASSERT_TRUE(vorlik.Ready());
    // The view, read from one control (it may be replaced as the output
    // goes) with no output put in between the reads (a tick's worth of lines
    // between them would look like a view left behind).
    struct View {
        long first, lines;
        std::pair<DWORD, DWORD> sel;
    };
    auto view = [&] {
        View v{};
        for (int attempt = 0; attempt < 20; ++attempt) {
            HWND h = vorlik.Item(IDC_OUTPUT);
            v.lines = static_cast<long>(SendToItem(vorlik.Dialog(), IDC_OUTPUT, EM_GETLINECOUNT));
            v.first = static_cast<long>(SendToItem(vorlik.Dialog(), IDC_OUTPUT, EM_GETFIRSTVISIBLELINE));
            SendToItem(vorlik.Dialog(), IDC_OUTPUT, EM_GETSEL, reinterpret_cast<WPARAM>(&v.sel.first),
                       reinterpret_cast<LPARAM>(&v.sel.second));
            if (h == vorlik.Item(IDC_OUTPUT) && v.lines == SendToItem(vorlik.Dialog(), IDC_OUTPUT, EM_GETLINECOUNT))
                break;
        }
        return v;
    };
    auto where = [&] {
        View v = view();
        return "first visible line " + std::to_string(v.first) + " of " + std::to_string(v.lines) + ", selected " +
            std::to_string(v.sel.first) + "-" + std::to_string(v.sel.second);
    };
    auto atBottom = [&] {
        View v = view();
        return v.lines - v.first < 100;
    };
    // Waits for the output to grow by more than 2,000 lines, then says
    // whether the view and the selection are still as they were.
    auto staysWhileOutputComes = [&](const View& before) {
        EXPECT_TRUE(WaitFor("2,000 more lines", [&] { return view().lines > before.lines + 2000; }, where));
        View now = view();
        return ::testing::AssertionResult(now.first == before.first && now.sel == before.sel)
            << "the view moved from line " << before.first << " to " << where() << " from " << before.sel.first << "-"
            << before.sel.second;
    };
    vorlik.Run("ChildTool stamps 10000000 0");
    ASSERT_TRUE(WaitFor("500 lines", [&] { return view().lines > 500; }, where));
    ASSERT_TRUE(vorlik.Keys(IDC_OUTPUT, ""));
    vorlik.Press(VK_PRIOR);
    ASSERT_TRUE(WaitFor("PageUp to leave the newest lines", [&] { return !atBottom(); }, where));
    View paged = view();
    EXPECT_TRUE(staysWhileOutputComes(paged)) << "PageUp";
    INPUT wheel{ INPUT_MOUSE };
    wheel.mi.dwFlags = MOUSEEVENTF_WHEEL;
    wheel.mi.mouseData = WHEEL_DELTA;
    ::SendInput(1, &wheel, sizeof wheel);
    ASSERT_TRUE(WaitFor("the wheel to scroll up", [&] { return view().first < paged.first; }, where));
    EXPECT_TRUE(staysWhileOutputComes(view())) << "the wheel";
    vorlik.Press(VK_END, true);
    EXPECT_TRUE(WaitFor("Ctrl+End to bring the view to the newest line", atBottom, where));
    long lines = view().lines;
    EXPECT_TRUE(WaitFor("2,000 more lines", [&] { return view().lines > lines + 2000; }, where));
    EXPECT_TRUE(atBottom()) << "it follows: " << where();

    // A selection dragged from a line of the view up past its top: the view
    // scrolls up with it and stays there, the selection too.
    RECT rc{}; // the control, whichever it is now, is where the first one was
    ASSERT_TRUE(::GetWindowRect(vorlik.Item(IDC_OUTPUT), &rc));
    auto mouse = [&](int x, int y, DWORD flags) {
        INPUT in{ INPUT_MOUSE };
        in.mi.dx = x * 65535 / ::GetSystemMetrics(SM_CXSCREEN);
        in.mi.dy = y * 65535 / ::GetSystemMetrics(SM_CYSCREEN);
        in.mi.dwFlags = MOUSEEVENTF_MOVE | MOUSEEVENTF_ABSOLUTE | flags;
        ::SendInput(1, &in, sizeof in);
    };
    mouse(rc.left + 30, rc.bottom - 40, MOUSEEVENTF_LEFTDOWN);
    for (int y = rc.bottom - 40; y > rc.top - 30; y -= 10)
        mouse(rc.left + 30, y, 0);
    int jiggle = 0; // the pointer must move for each move to count
    ASSERT_TRUE(WaitFor("the drag to take the view up", [&] {
        mouse(rc.left + 30 + (++jiggle & 1), rc.top - 30, 0);
        View v = view();
        return v.lines - v.first > 60; // a page and more up from the newest line
    }, where));
    mouse(rc.left + 30, rc.top - 30, MOUSEEVENTF_LEFTUP);
    GUITHREADINFO info{ sizeof info };
    EXPECT_TRUE(WaitFor("the pane to let the mouse go", [&] {
        return ::GetGUIThreadInfo(::GetWindowThreadProcessId(vorlik.Dialog(), nullptr), &info) && info.hwndCapture == nullptr;
    }));
    View dragged = view();
    EXPECT_LT(dragged.sel.first, dragged.sel.second) << "something is selected";
    EXPECT_TRUE(staysWhileOutputComes(dragged)) << "a selection dragged up";
    vorlik.Click(IDC_STOP);
    EXPECT_TRUE(vorlik.WaitForEnd());
}

// A selection made while a child prints keeps its text as output goes on below it, and Ctrl+C
// copies it (with what the pane can only show as '?') while the run goes on.
TEST(Keyboard, ASelectionMadeWhileAChildPrintsStaysAndCtrlCCopiesItWhileTheRunGoesOn)
{
    VorlikProcess vorlik;
    ASSERT_TRUE(vorlik.Ready());
    vorlik.Command(IDM_CP_UTF8);
    vorlik.Run("ChildTool stamps 100000 50 \\xe6\\x97\\xa5");
    auto lines = [&] {
        std::string t = vorlik.PaneText();
        return std::count(t.begin(), t.end(), '\n');
    };
    DWORD start = 0, end = 0;
    auto selected = [&] {
        SendToItem(vorlik.Dialog(), IDC_OUTPUT, EM_GETSEL, reinterpret_cast<WPARAM>(&start), reinterpret_cast<LPARAM>(&end));
        return vorlik.PaneText().substr(start, end - start);
    };
    ASSERT_TRUE(WaitFor("3 lines", [&] { return lines() >= 3; }));
    ASSERT_TRUE(vorlik.Keys(IDC_COMMAND, "\t\t")); // into the pane by Tab: a click would move the caret
    GUITHREADINFO info{ sizeof info };
    ASSERT_TRUE(WaitFor("the focus in the pane", [&] {
        return ::GetGUIThreadInfo(::GetWindowThreadProcessId(vorlik.Dialog(), nullptr), &info) &&
            info.hwndFocus == vorlik.Item(IDC_OUTPUT);
    }));
    // Shift+Up from the end selects lines (pressed again while nothing is
    // selected: under Wine a synthesized Shift is now and then not seen).
    std::string text;
    DWORD pressed = 0;
    ASSERT_TRUE(WaitFor("lines selected with Shift+Up", [&] {
        text = selected();
        if (text.empty() && ::GetTickCount() - pressed > 5000) {
            vorlik.Press(VK_END, true);
            vorlik.Press(VK_UP, false, true); // one key: the selection is whole once it shows
            pressed = ::GetTickCount();
        }
        return std::count(text.begin(), text.end(), '\n') >= 1;
    }, [&] { return text; }));
    const DWORD selStart = start, selEnd = end;
    auto before = lines();
    EXPECT_TRUE(WaitFor("5 more lines", [&] { return lines() >= before + 5; }));
    EXPECT_EQ(text, selected()) << "the selection keeps its text";
    EXPECT_EQ(selStart, start);
    EXPECT_EQ(selEnd, end);
    DWORD sequence = ::GetClipboardSequenceNumber();
    vorlik.Press('C', true);
    ASSERT_TRUE(WaitFor("Ctrl+C to copy", [&] { return ::GetClipboardSequenceNumber() != sequence; }));
    std::wstring expected;
    for (char c : text)
        expected += c == '?' ? L'\u65e5' : static_cast<wchar_t>(c);
    EXPECT_TRUE(WaitFor("the selection on the clipboard, in Unicode", [&] { return ClipboardUnicode() == expected; }));
    auto atCopy = lines();
    EXPECT_TRUE(WaitFor("more output: the run goes on", [&] { return lines() > atCopy; }));
    EXPECT_EQ(std::string::npos, vorlik.PaneText().find("--End--")) << "Ctrl+C with a selection never stops the run";
    vorlik.Click(IDC_STOP);
    EXPECT_TRUE(vorlik.WaitForEnd());
}

// 6 MB: past the pane's bound, and past what the run's record holds in
// memory before it goes to a temporary file; then a run after it, which
// lets the file go.
TEST(KeptOutput, ARunPastThePaneKeepsEveryByteInBoundedMemoryAndTheWindowAnswersThroughout)
{
    char temp[MAX_PATH] = "";
    ::GetTempPathA(sizeof temp, temp);
    const std::string spills = std::string(temp) + "vlk*.tmp";
    const size_t spilledBefore = FilesLike(spills).size();
    VorlikProcess vorlik;
    ASSERT_TRUE(vorlik.Ready());
    vorlik.Run("ChildTool pattern 6000000 65536");
    int asked = 0, answered = 0;
    for (; vorlik.PaneText().find("--End--") == std::string::npos && asked < 5000; ::Sleep(20))
        answered += vorlik.Answers() ? 1 : 0, ++asked;
    EXPECT_EQ(asked, answered) << "the window answered all along";
    ASSERT_TRUE(vorlik.WaitForEnd());
    EXPECT_EQ(spilledBefore + 1, FilesLike(spills).size()) << "the run's record went to a temporary file";
    const std::string all = Pattern(6000000);
    std::string text;
    EXPECT_TRUE(WaitFor("the pane to settle to 512 KiB", [&] { return (text = vorlik.PaneText()).size() >= 512 * 1024; },
                        [&] { return std::to_string(text.size()) + " characters"; }));
    EXPECT_LE(text.size(), 1024u * 1024 + 70000);
    text.resize(text.size() - kEnd.size());
    ASSERT_LT(text.size(), all.size());
    EXPECT_TRUE(EndsWith(all, text)) << "the newest output";
    EXPECT_EQ('\n', all[all.size() - text.size() - 1]) << "from the start of a line";
    CHandle process(::OpenProcess(PROCESS_QUERY_INFORMATION | PROCESS_VM_READ, FALSE, vorlik.Pid()));
    PROCESS_MEMORY_COUNTERS pmc{ sizeof pmc };
    ASSERT_TRUE(::GetProcessMemoryInfo(process.get(), &pmc, sizeof pmc));
    std::printf("Vorlik's resident memory after 6 MB of output: %lu MB\n", static_cast<unsigned long>(pmc.WorkingSetSize >> 20));
    EXPECT_LT(pmc.WorkingSetSize, 250u << 20);
    EXPECT_TRUE(vorlik.CopyOutput() == all + kEnd) << "Copy: every byte in order";
    EXPECT_TRUE(vorlik.SaveOutput() == all + kEnd) << "Save: every byte in order";
    // The next run is its own, whatever the last one left behind.
    vorlik.Run("ChildTool print after");
    ASSERT_TRUE(vorlik.WaitForEnd());
    EXPECT_EQ("after\r\n" + kEnd, vorlik.PaneText());
    EXPECT_EQ("after\r\n" + kEnd, vorlik.SaveOutput());
    EXPECT_EQ("after\r\n" + kEnd, vorlik.CopyOutput());
    EXPECT_TRUE(WaitFor("the big run's temporary file to go", [&] { return FilesLike(spills).size() == spilledBefore; },
                        [&] { return std::to_string(FilesLike(spills).size() - spilledBefore) + " left"; }));
}

TEST(KeptOutput, WithoutATempFolderSaveGivesANoteThenTheNewestOutput)
{
    std::string missing = TempPath("vorlik-no-such-folder") + "\\inner";
    char old[2][MAX_PATH] = {};
    const char* names[] = { "TMP", "TEMP" };
    for (int i = 0; i < 2; ++i)
        ::GetEnvironmentVariableA(names[i], old[i], MAX_PATH), ::SetEnvironmentVariableA(names[i], missing.c_str());
    VorlikProcess vorlik; // inherits the missing folder
    for (int i = 0; i < 2; ++i)
        ::SetEnvironmentVariableA(names[i], old[i]);
    ASSERT_TRUE(vorlik.Ready());
    const size_t size = 24000000;
    vorlik.Run("ChildTool pattern 24000000 65536");
    ASSERT_TRUE(vorlik.WaitForEnd());
    std::string saved = vorlik.SaveOutput();
    unsigned long lost = std::strtoul(saved.c_str() + 1, nullptr, 10);
    std::string note = "[" + std::to_string(lost) + " bytes at the beginning of the output could not be kept: the "
                       "temporary folder could not be written.]\r\n";
    EXPECT_EQ(note, saved.substr(0, note.size()));
    ASSERT_TRUE(lost > 0 && lost < size) << lost;
    EXPECT_TRUE(saved.substr(note.size()) == Pattern(size).substr(lost) + kEnd) << "the newest output, whole";
    EXPECT_TRUE(vorlik.Answers());
}

// ChildTool tree leaves two ChildTools running until stopped.
TEST(RunTree, StopEndsTheChildAndEverythingItStartedAndExitFollows)
{
    for (const char* interpreter : { "cmd /c ", "cmd /k " }) {
        SCOPED_TRACE(interpreter);
        VorlikProcess vorlik;
        ASSERT_TRUE(vorlik.Ready());
        vorlik.Run(interpreter + ChildTool("tree"));
        ASSERT_TRUE(WaitFor("the child and the grandchild", [&] { return CountProcesses("ChildTool.exe") == 2; }));
        vorlik.Click(IDC_STOP);
        EXPECT_TRUE(vorlik.WaitForEnd());
        EXPECT_TRUE(WaitFor("nothing of the run left", [&] { return CountProcesses("ChildTool.exe") == 0; }));
        EndProcesses("ChildTool.exe");
        vorlik.Click(IDC_STOP);
        EXPECT_TRUE(vorlik.Exit()) << "Exit right after a Stop";
    }
    VorlikProcess vorlik;
    ASSERT_TRUE(vorlik.Ready());
    vorlik.Run("ChildTool grandchild");
    ASSERT_TRUE(vorlik.WaitForEnd());
    EXPECT_EQ(1, CountProcesses("ChildTool.exe")) << "a run that ends by itself leaves what it started";
    EndProcesses("ChildTool.exe");
}

// The import table decides where Vorlik.exe can start at all: Windows XP
// (the runtime's AddVectoredExceptionHandler needs it). Every DLL it imports
// must ship with XP, and no function it imports may be one that came later.
// It reads the shipped 32-bit Vorlik.exe, also from a 64-bit test build.
TEST(RunTree, TheProgramImportsNothingNewerThanWindowsXp)
{
    std::ifstream file(VORLIK_EXE32, std::ios::binary);
    std::vector<char> image((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
    ASSERT_GT(image.size(), 1024u);
    auto at = [&](size_t offset) { return image.data() + offset; };
    const auto* nt = reinterpret_cast<const IMAGE_NT_HEADERS32*>(at(reinterpret_cast<const IMAGE_DOS_HEADER*>(at(0))->e_lfanew));
    ASSERT_EQ(IMAGE_FILE_MACHINE_I386, nt->FileHeader.Machine);
    const auto* sections = IMAGE_FIRST_SECTION(nt);
    auto fileOffset = [&](DWORD rva) -> size_t {
        for (int i = 0; i < nt->FileHeader.NumberOfSections; ++i)
            if (rva >= sections[i].VirtualAddress && rva < sections[i].VirtualAddress + sections[i].Misc.VirtualSize)
                return rva - sections[i].VirtualAddress + sections[i].PointerToRawData;
        return 0;
    };
    EXPECT_LE(nt->OptionalHeader.MajorSubsystemVersion, 5) << "the loader would refuse the exe on XP";
    const std::set<std::string> xpDlls = { "KERNEL32.DLL", "USER32.DLL", "GDI32.DLL", "ADVAPI32.DLL", "SHELL32.DLL",
                                           "COMCTL32.DLL", "COMDLG32.DLL", "SHLWAPI.DLL", "MSVCRT.DLL", "OLE32.DLL" };
    // Functions a toolchain or this code might reach for that XP lacks.
    const std::set<std::string> newer = {
        "GetTickCount64", "InitializeCriticalSectionEx", "InitOnceExecuteOnce", "InitializeSRWLock",
        "AcquireSRWLockExclusive", "SleepConditionVariableCS", "WakeConditionVariable", "FlsAlloc", "FlsSetValue",
        "GetSystemTimePreciseAsFileTime", "CreateEventExA", "GetFileInformationByHandleEx", "GetLocaleInfoEx",
        "SetThreadStackGuarantee", "GetErrorMode", "GetThreadId", "GetProcessId", "_fseeki64", "_localtime64_s",
    };
    const auto& dir = nt->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_IMPORT];
    int functions = 0;
    for (const auto* imp = reinterpret_cast<const IMAGE_IMPORT_DESCRIPTOR*>(at(fileOffset(dir.VirtualAddress)));
         imp->Name != 0; ++imp) {
        std::string dll = at(fileOffset(imp->Name));
        std::transform(dll.begin(), dll.end(), dll.begin(), ::toupper);
        EXPECT_EQ(1u, xpDlls.count(dll)) << dll << " is not a DLL of Windows XP";
        DWORD thunkRva = imp->OriginalFirstThunk != 0 ? imp->OriginalFirstThunk : imp->FirstThunk;
        for (const auto* thunk = reinterpret_cast<const IMAGE_THUNK_DATA32*>(at(fileOffset(thunkRva)));
             thunk->u1.AddressOfData != 0; ++thunk, ++functions) {
            if (!IMAGE_SNAP_BY_ORDINAL32(thunk->u1.Ordinal)) {
                std::string name = reinterpret_cast<const IMAGE_IMPORT_BY_NAME*>(at(fileOffset(thunk->u1.AddressOfData)))->Name;
                EXPECT_EQ(0u, newer.count(name)) << dll << "!" << name << " needs a newer Windows than XP";
            }
        }
    }
    EXPECT_GT(functions, 50) << "the import table was read";
}
