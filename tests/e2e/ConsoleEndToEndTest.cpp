// The real Vorlik.exe driven from outside with window messages only: runs,
// refusals, Stop, typed input, Copy, Save through the common dialog, and
// Exit.
#include "Pump.h"
#include "TestFiles.h"
#include "VorlikProcess.h"
#include "res/resource.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <vector>

using namespace testsupport;

namespace {

const std::string kEnd = "\n--End--\n";

} // namespace

TEST(EndToEnd, RunsABuiltInAndAProgramFoundBesideIt)
{
    VorlikProcess vorlik;
    ASSERT_TRUE(vorlik.Ready());
    vorlik.Run("echo hello vorlik");
    ASSERT_TRUE(vorlik.WaitForEnds(1));
    EXPECT_EQ("hello vorlik\r\n" + kEnd, vorlik.PaneText());

    vorlik.Run("ChildTool print found");
    ASSERT_TRUE(vorlik.WaitForEnds(1) && WaitUntil([&] { return vorlik.PaneText() == "found\r\n" + kEnd; }));
    EXPECT_EQ("found\r\n" + kEnd, vorlik.PaneText()) << "each run clears the pane first";
}

TEST(EndToEnd, ACommandThatCannotBeCreatedIsReportedAndEnds)
{
    std::string doc = TempPath("vorlik-e2e-doc") + ".txt";
    std::ofstream(doc) << "a document";
    VorlikProcess vorlik;
    ASSERT_TRUE(vorlik.Ready());
    vorlik.Run(doc);
    MessageBoxSeen box = vorlik.ExpectMessageBox();
    EXPECT_EQ("Couldn't Create Process\r\n", box.text);
    EXPECT_EQ("Vorlik", box.title);
    EXPECT_TRUE(vorlik.WaitForEnds(1));
    EXPECT_EQ(kEnd, vorlik.PaneText());
    ::DeleteFileA(doc.c_str());
}

TEST(EndToEnd, ASecondRunAndExitAreRefusedWhileRunningAndStopEndsTheRun)
{
    VorlikProcess vorlik;
    ASSERT_TRUE(vorlik.Ready());
    vorlik.Run("ChildTool wait");
    vorlik.Click(IDC_RUN);
    EXPECT_EQ("You can't begin a new proccess will old one is running.", vorlik.ExpectMessageBox().text);
    vorlik.Command(IDCANCEL);
    EXPECT_EQ("You can't exit will your process is running.", vorlik.ExpectMessageBox().text);
    // Stop does nothing until the child is known; press it until the run ends.
    bool ended = WaitUntil([&] {
        vorlik.Click(IDC_STOP);
        ::Sleep(50);
        return vorlik.PaneText().find("--End--") != std::string::npos;
    });
    EXPECT_TRUE(ended);
    EXPECT_EQ(nullptr, FindMessageBox(vorlik.Pid())) << "a successful Stop shows nothing";
}

TEST(EndToEnd, TypedInputReachesAnInteractiveChild)
{
    VorlikProcess vorlik;
    ASSERT_TRUE(vorlik.Ready());
    vorlik.Run("ChildTool echo");
    // Keys typed before the child exists are shown but not sent.
    ASSERT_TRUE(WaitForChildProcess(vorlik.Pid(), "ChildTool.exe", kTimeoutMs));
    vorlik.Type("xyz\r");
    // The pane shows the typed line and the child's echo of it.
    EXPECT_TRUE(WaitUntil([&] {
        std::string t = vorlik.PaneText();
        return std::count(t.begin(), t.end(), 'x') == 2 && std::count(t.begin(), t.end(), 'z') == 2;
    }));
    vorlik.Type("q\r");
    EXPECT_TRUE(vorlik.WaitForEnds(1));
}

TEST(EndToEnd, CopyAndSaveTakeTheOutputWithCrLfLineEnds)
{
    VorlikProcess vorlik;
    ASSERT_TRUE(vorlik.Ready());
    vorlik.Run("ChildTool print copied");
    ASSERT_TRUE(vorlik.WaitForEnds(1));
    EXPECT_EQ("copied\r\n\r\n--End--\r\n", vorlik.CopyOutput());
    EXPECT_EQ("copied\r\n\r\n--End--\r\n", vorlik.SaveOutput(TempPath("vorlik-e2e-save") + ".txt"));
}

TEST(EndToEnd, ResizingGrowsThePane)
{
    VorlikProcess vorlik;
    ASSERT_TRUE(vorlik.Ready());
    RECT dlg, paneBefore, paneAfter, runBefore, runAfter;
    ::GetWindowRect(vorlik.Dialog(), &dlg);
    ::GetWindowRect(vorlik.Item(IDC_OUTPUT), &paneBefore);
    ::GetWindowRect(vorlik.Item(IDC_RUN), &runBefore);
    ::SetWindowPos(vorlik.Dialog(), nullptr, 0, 0, dlg.right - dlg.left + 60, dlg.bottom - dlg.top + 50,
                   SWP_NOMOVE | SWP_NOZORDER);
    WaitUntil([&] {
        ::GetWindowRect(vorlik.Item(IDC_OUTPUT), &paneAfter);
        return paneAfter.right - paneAfter.left == paneBefore.right - paneBefore.left + 60;
    });
    ::GetWindowRect(vorlik.Item(IDC_RUN), &runAfter);
    EXPECT_EQ(paneBefore.right - paneBefore.left + 60, paneAfter.right - paneAfter.left);
    EXPECT_EQ(paneBefore.bottom - paneBefore.top + 50, paneAfter.bottom - paneAfter.top);
    EXPECT_TRUE(::EqualRect(&runBefore, &runAfter));
}

TEST(EndToEnd, ExitWhileIdleEndsTheProgram)
{
    VorlikProcess vorlik;
    ASSERT_TRUE(vorlik.Ready());
    vorlik.Command(IDCANCEL);
    DWORD exitCode = 1;
    EXPECT_TRUE(vorlik.WaitForExit(&exitCode));
    EXPECT_EQ(0u, exitCode);
}

TEST(EndToEnd, TheHistorySurvivesARestartNewestFirst)
{
    const char* key = "software\\Quorvel's Tools\\Vorlik";
    ::SHDeleteKeyA(HKEY_CURRENT_USER, key);
    {
        VorlikProcess vorlik;
        ASSERT_TRUE(vorlik.Ready());
        // Each run's whole pane is known, so its end cannot be mistaken for
        // the previous one's.
        const char* runs[][2] = { { "echo one", "one\r\n" },
                                  { "ChildTool print two", "two\r\n" },
                                  { "echo three", "three\r\n" },
                                  { "ECHO ONE", "ONE\r\n" } }; // already there in another case
        for (const auto& run : runs) {
            vorlik.Run(run[0]);
            ASSERT_TRUE(WaitUntil([&] { return vorlik.PaneText() == run[1] + kEnd; })) << run[0];
        }
        vorlik.Command(IDCANCEL);
        ASSERT_TRUE(vorlik.WaitForExit());
    }
    VorlikProcess again;
    ASSERT_TRUE(again.Ready());
    HWND hBox = again.Item(IDC_COMMAND);
    std::vector<std::string> entries;
    int n = static_cast<int>(::SendMessageA(hBox, CB_GETCOUNT, 0, 0));
    for (int i = 0; i < n; ++i) {
        // Across processes Wine passes list texts on as UTF-16, whatever the
        // sender asked for: ask for them so and convert.
        wchar_t wide[256] = L"";
        ::SendMessageW(hBox, CB_GETLBTEXT, i, reinterpret_cast<LPARAM>(wide));
        char buf[256] = "";
        ::WideCharToMultiByte(CP_ACP, 0, wide, -1, buf, sizeof buf, nullptr, nullptr);
        entries.push_back(buf);
    }
    char text[64] = "x";
    ::SendMessageA(hBox, WM_GETTEXT, sizeof text, reinterpret_cast<LPARAM>(text));
    again.Command(IDCANCEL);
    again.WaitForExit();
    ::SHDeleteKeyA(HKEY_CURRENT_USER, key);
    EXPECT_EQ((std::vector<std::string>{ "echo three", "ChildTool print two", "echo one" }), entries);
    EXPECT_STREQ("", text) << "the command box starts empty";
}

TEST(EndToEnd, HelpAboutShowsTheBoxWithItsLinks)
{
    VorlikProcess vorlik;
    ASSERT_TRUE(vorlik.Ready());
    vorlik.Command(IDM_ABOUT);
    HWND hAbout = WaitForTopWindow(vorlik.Pid(), "#32770", "About", kTimeoutMs);
    ASSERT_NE(nullptr, hAbout);
    auto text = [&](int id) {
        char buf[256] = "";
        ::SendMessageA(::GetDlgItem(hAbout, id), WM_GETTEXT, sizeof buf, reinterpret_cast<LPARAM>(buf));
        return std::string(buf);
    };
    EXPECT_EQ("quorvel@example.org", text(IDC_MAILTO));
    EXPECT_EQ("My website", text(IDC_HOMEPAGE));
    EXPECT_EQ("Quorvel", text(IDC_AUTHOR));

    // The homepage control was fitted to its text: narrower than its 88
    // dialog units (measured against the product line's 184).
    RECT home, product;
    ::GetWindowRect(::GetDlgItem(hAbout, IDC_HOMEPAGE), &home);
    HWND hProduct = ::FindWindowExA(hAbout, nullptr, "Static", "Vorlik Version 0.6");
    ASSERT_NE(nullptr, hProduct);
    ::GetWindowRect(hProduct, &product);
    EXPECT_LT(home.right - home.left, (product.right - product.left) * 88 / 184);

    // OK closes the box; the program goes on.
    ::PostMessageA(hAbout, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), 0);
    EXPECT_TRUE(WaitUntil([&] { return !::IsWindow(hAbout); }));
    vorlik.Run("echo still here");
    EXPECT_TRUE(WaitUntil([&] { return vorlik.PaneText() == "still here\r\n" + kEnd; }));
}
