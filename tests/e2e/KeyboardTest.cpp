// Real key presses into the real program, through the system's input queue
// and Vorlik's own message loop: Enter in the command box runs it, the
// pane's input line drives interactive programs as a console does, earlier
// output never changes, and the options and accelerators work.
#include "VorlikProcess.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>

using namespace testsupport;

TEST(Keyboard, EnterRunsTheCommandAndALineGoesToTheChildAsEdited)
{
    VorlikProcess vorlik;
    ASSERT_TRUE(vorlik.Ready());
    vorlik.Keys(IDC_COMMAND, "cmd\r");
    ASSERT_TRUE(WaitForChildProcess(vorlik.Pid(), "cmd.exe"));
    vorlik.Keys(IDC_OUTPUT, "echo hello vorlik\r");
    // The typed line, then cmd's answer; the banner and prompt may come
    // before or after the typed line.
    EXPECT_TRUE(WaitUntil([&] {
        std::string t = vorlik.PaneText();
        size_t typed = t.find("echo hello vorlik\r\n");
        return typed != std::string::npos && t.find("hello vorlik\r\n", typed + 5) != std::string::npos;
    })) << vorlik.PaneText();
    vorlik.Keys(IDC_OUTPUT, "exit\r");
    EXPECT_TRUE(vorlik.WaitForEnd()) << "exit reached the interpreter whole";

    vorlik.Run("ChildTool cat");
    ASSERT_TRUE(WaitForChildProcess(vorlik.Pid(), "ChildTool.exe"));
    SetClipboardText("one\r\ntwo\r\n");
    vorlik.Keys(IDC_OUTPUT, "");
    VorlikProcess::Press('V', true);
    EXPECT_TRUE(vorlik.PaneHas("one\r\ntwo\r\none\r\ntwo\r\n")) << "typed, then echoed: " << vorlik.PaneText();
    VorlikProcess::Press('Z', true);
    VorlikProcess::Press(VK_RETURN);
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
    vorlik.Keys(IDC_COMMAND, "");
    VorlikProcess::Press(VK_TAB);
    VorlikProcess::Press(VK_TAB);
    VorlikProcess::Press('A', true);
    VorlikProcess::Press(VK_DELETE);
    VorlikProcess::Press('X', true);
    vorlik.Keys(IDC_OUTPUT, "x\b\by");
    EXPECT_TRUE(WaitUntil([&] { return vorlik.PaneText() == before + "y"; })) << vorlik.PaneText();

    vorlik.Run("ChildTool stamps 100000 100");
    ASSERT_TRUE(vorlik.PaneHas("\r\n"));
    vorlik.Keys(IDC_OUTPUT, "abc");
    EXPECT_TRUE(WaitUntil([&] {
        std::string text = vorlik.PaneText();
        return std::count(text.begin(), text.end(), '\n') >= 5 && text.size() > 5 &&
            text.compare(text.size() - 5, 5, "\r\nabc") == 0;
    })) << vorlik.PaneText();
    VorlikProcess::Press('C', true); // nothing selected: as Stop
    EXPECT_TRUE(vorlik.PaneHas(kEnd + "abc")) << "the line being typed stays last";
}

TEST(Keyboard, OptionsAndAcceleratorsAndTheOptionsKept)
{
    const char* settings = "software\\Quorvel's Tools\\Vorlik\\Settings";
    ::SHDeleteKeyA(HKEY_CURRENT_USER, settings);
    VorlikProcess vorlik;
    ASSERT_TRUE(vorlik.Ready());
    vorlik.Command(IDM_KEYATATIME);
    vorlik.Run("ChildTool cat");
    ASSERT_TRUE(WaitForChildProcess(vorlik.Pid(), "ChildTool.exe"));
    vorlik.Keys(IDC_OUTPUT, "hi");
    EXPECT_TRUE(WaitUntil([&] {
        std::string t = vorlik.PaneText();
        return std::count(t.begin(), t.end(), 'h') == 2 && std::count(t.begin(), t.end(), 'i') == 2;
    })) << "each key sent at once, without Enter, and echoed: " << vorlik.PaneText();
    vorlik.Click(IDC_STOP);
    EXPECT_TRUE(vorlik.WaitForEnd());
    DWORD keyAtATime = 0, size = sizeof keyAtATime;
    ::SHGetValueA(HKEY_CURRENT_USER, settings, "KeyAtATime", nullptr, &keyAtATime, &size);
    EXPECT_EQ(1u, keyAtATime) << "kept in the profile";
    vorlik.Command(IDM_KEYATATIME); // back to line input

    vorlik.Keys(IDC_OUTPUT, "");
    VorlikProcess::Press('S', true);
    HWND hSave = WaitForTopWindow(vorlik.Pid(), "Save As");
    EXPECT_NE(nullptr, hSave) << "Ctrl+S is File > Save";
    ::PostMessageA(hSave, WM_COMMAND, IDCANCEL, 0);
    EXPECT_TRUE(WaitUntil([&] { return !::IsWindow(hSave); }));
    VorlikProcess::Press(VK_F1);
    HWND hAbout = WaitForTopWindow(vorlik.Pid(), "About");
    EXPECT_EQ("Quorvel", WindowText(::GetDlgItem(hAbout, IDC_AUTHOR))) << "F1 is Help > About";
    EXPECT_FALSE(::IsWindowEnabled(vorlik.Dialog())) << "modal over the main window";
    ::PostMessageA(hAbout, WM_COMMAND, IDOK, 0);
    EXPECT_TRUE(WaitUntil([&] { return ::IsWindowEnabled(vorlik.Dialog()) != FALSE; }));

    if (::GetOEMCP() != 437 || ::GetACP() != 1252)
        GTEST_SKIP() << "the expected texts are for code pages 437 and 1252";
    const std::pair<UINT, const char*> cases[] = {
        { IDM_CP_ANSI, "caf\x82 \x9a" "bung\r\n" },
        { IDM_CP_UTF8, "caf? ?bung\r\n" },
        { IDM_CP_OEM, "caf\xe9 \xdc" "bung\r\n" },
    };
    for (const auto& c : cases) {
        vorlik.Command(c.first);
        vorlik.Run("ChildTool write \"caf\\x82 \\x9abung\\r\\n\"");
        EXPECT_TRUE(vorlik.WaitForEnd());
        EXPECT_EQ(c.second + kEnd, vorlik.PaneText()) << c.first;
    }
    vorlik.Command(IDM_CP_UTF8);
    ASSERT_TRUE(vorlik.Exit());
    VorlikProcess again; // the options as they were left
    ASSERT_TRUE(again.Ready());
    again.Run("ChildTool write caf\\xc3 \\xa9"); // a character split between two writes
    EXPECT_TRUE(again.WaitForEnd());
    EXPECT_EQ("caf\xe9" + kEnd, again.PaneText()) << "UTF-8 still";
}
