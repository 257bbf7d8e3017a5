// Typing into the real program with real key presses: the pane's input
// line drives interactive programs as a console does, earlier output never
// changes, Ctrl+Z Enter ends the input, a paste types its lines, the
// key-at-a-time mode still works, and the output's code page is read right.
#include "ChildProcess.h"
#include "Pump.h"
#include "TestFiles.h"
#include "VorlikProcess.h"
#include "res/resource.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>

using namespace testsupport;

namespace {

bool PaneHas(const VorlikProcess& vorlik, const std::string& part)
{
    return WaitUntil([&] { return vorlik.PaneText().find(part) != std::string::npos; });
}

} // namespace

TEST(ConsoleInput, AnInteractiveCmdTakesWholeLines)
{
    VorlikProcess vorlik;
    ASSERT_TRUE(vorlik.Ready());
    vorlik.Keys(IDC_COMMAND, "cmd\r"); // Enter in the command box presses Run
    ASSERT_TRUE(WaitForChildProcess(vorlik.Pid(), "cmd.exe", kTimeoutMs));
    vorlik.Keys(IDC_OUTPUT, "echo hello vorlik\r");
    // The typed line, then cmd's answer; its banner and prompt may come
    // before or after the typed line, so the answer may follow a prompt.
    EXPECT_TRUE(WaitUntil([&] {
        std::string t = vorlik.PaneText();
        size_t typed = t.find("echo hello vorlik\r\n");
        return typed != std::string::npos && t.find("hello vorlik\r\n", typed + 5) != std::string::npos;
    })) << vorlik.PaneText();
    vorlik.Keys(IDC_OUTPUT, "exit\r");
    EXPECT_TRUE(vorlik.WaitForEnds(1)) << "exit reached the interpreter whole";
}

TEST(ConsoleInput, SetPGetsTheAnswerAsCorrectedWithBackspace)
{
    std::string bat = TempPath("vorlik-ask") + ".bat";
    std::ofstream(bat) << "@set /p name=Name? \r\n@echo got [%name%]\r\n";
    VorlikProcess vorlik;
    ASSERT_TRUE(vorlik.Ready());
    vorlik.Run("\"" + bat + "\"");
    ASSERT_TRUE(PaneHas(vorlik, "Name?"));
    vorlik.Keys(IDC_OUTPUT, "Bpb\b\bob\r");
    EXPECT_TRUE(PaneHas(vorlik, "got [Bob]")) << vorlik.PaneText();
    EXPECT_TRUE(vorlik.WaitForEnds(1));
    ::DeleteFileA(bat.c_str());
}

TEST(ConsoleInput, CtrlZEnterEndsTheInputAndAPasteTypesItsLines)
{
    VorlikProcess vorlik;
    ASSERT_TRUE(vorlik.Ready());
    vorlik.Run("ChildTool cat");
    ASSERT_TRUE(WaitForChildProcess(vorlik.Pid(), "ChildTool.exe", kTimeoutMs));
    SetClipboardText("one\r\ntwo\r\n");
    vorlik.Keys(IDC_OUTPUT, "");
    VorlikProcess::Press('V', true);
    EXPECT_TRUE(PaneHas(vorlik, "one\r\ntwo\r\none\r\ntwo\r\n")) << "typed, then echoed by the child: " << vorlik.PaneText();
    VorlikProcess::Press('Z', true);
    VorlikProcess::Press(VK_RETURN);
    EXPECT_TRUE(vorlik.WaitForEnds(1)) << "the child read to the end of its input";
    std::string text = vorlik.PaneText();
    EXPECT_NE(std::string::npos, text.find("^Z\r\neof\r\n")) << text;
}

TEST(ConsoleInput, EarlierOutputNeverChangesAndOutputGoesAboveTheLineBeingTyped)
{
    VorlikProcess vorlik;
    ASSERT_TRUE(vorlik.Ready());
    vorlik.Run("ChildTool print hello");
    ASSERT_TRUE(vorlik.WaitForEnds(1));
    std::string before = vorlik.PaneText();
    // Tab into the pane from the command box, then keys that would replace
    // or delete a selection.
    vorlik.Keys(IDC_COMMAND, "");
    VorlikProcess::Press(VK_TAB);
    VorlikProcess::Press(VK_TAB);
    VorlikProcess::Press('A', true);
    VorlikProcess::Press(VK_DELETE);
    vorlik.Keys(IDC_OUTPUT, "x\b\by");
    EXPECT_TRUE(WaitUntil([&] { return vorlik.PaneText() == before + "y"; })) << vorlik.PaneText();

    vorlik.Run("ChildTool ticker");
    ASSERT_TRUE(PaneHas(vorlik, "tick"));
    vorlik.Keys(IDC_OUTPUT, "abc");
    size_t ticks = 0;
    EXPECT_TRUE(WaitUntil([&] {
        std::string text = vorlik.PaneText();
        ticks = static_cast<size_t>(std::count(text.begin(), text.end(), 'k'));
        return ticks >= 5 && text.size() > 3 && text.compare(text.size() - 5, 5, "\r\nabc") == 0;
    })) << vorlik.PaneText();
    VorlikProcess::Press('C', true); // nothing selected: as Stop
    EXPECT_TRUE(vorlik.WaitForEnds(1));
}

TEST(ConsoleInput, KeyAtATimeAndCodePagesFromTheOptionsMenu)
{
    VorlikProcess vorlik;
    ASSERT_TRUE(vorlik.Ready());
    vorlik.Command(IDM_KEYATATIME);
    vorlik.Run("ChildTool echo");
    ASSERT_TRUE(WaitForChildProcess(vorlik.Pid(), "ChildTool.exe", kTimeoutMs));
    vorlik.Keys(IDC_OUTPUT, "hi");
    EXPECT_TRUE(WaitUntil([&] {
        std::string t = vorlik.PaneText();
        return std::count(t.begin(), t.end(), 'h') == 2 && std::count(t.begin(), t.end(), 'i') == 2;
    })) << "each key sent at once, without Enter, and echoed back: " << vorlik.PaneText();
    vorlik.Keys(IDC_OUTPUT, "q");
    EXPECT_TRUE(vorlik.WaitForEnds(1));
    vorlik.Command(IDM_KEYATATIME); // back to line input, as the profile had it

    // An accelerator from the pane: Ctrl+S is File > Save.
    vorlik.Keys(IDC_OUTPUT, "");
    VorlikProcess::Press('S', true);
    HWND hSave = WaitForTopWindow(vorlik.Pid(), "#32770", "Save As", kTimeoutMs);
    EXPECT_NE(nullptr, hSave) << "Ctrl+S opens the Save As dialog";
    if (hSave != nullptr)
        ::PostMessageA(hSave, WM_COMMAND, IDCANCEL, 0);

    if (::GetOEMCP() != 437 || ::GetACP() != 1252)
        GTEST_SKIP() << "the expected texts are for code pages 437 and 1252";
    struct Case {
        UINT menu;
        const char* command;
        const char* shown;
    };
    const Case cases[] = {
        { IDM_CP_ANSI, "ChildTool accents", "caf\x82 \x9a" "bung" },
        { IDM_CP_UTF8, "ChildTool accents", "caf? ?bung" },
        { IDM_CP_UTF8, "ChildTool utf8split", "caf\xe9" },
        { IDM_CP_OEM, "ChildTool accents", "caf\xe9 \xdc" "bung" },
    };
    for (const Case& c : cases) {
        vorlik.Command(c.menu);
        vorlik.Run(c.command);
        EXPECT_TRUE(vorlik.WaitForEnds(1));
        EXPECT_EQ(std::string(c.shown) + "\r\n\n--End--\n", vorlik.PaneText()) << c.command << " " << c.menu;
    }
}
