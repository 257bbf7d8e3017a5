// The real Vorlik.exe driven from outside: a table of command lines and the
// panes, message boxes, Copy and Save they give, and the contract of the
// built program's resources.
#include "VorlikProcess.h"
#include "helpers/Pattern.h"

#include <gtest/gtest.h>

#include <fstream>

using namespace testsupport;

TEST(EndToEnd, CommandLinesAndWhatTheyGive)
{
    std::string doc = TempPath("vorlik-e2e-doc") + ".txt";
    std::ofstream(doc) << "a document";
    char cwd[MAX_PATH] = "";
    ::GetCurrentDirectoryA(sizeof cwd, cwd);
    std::string beside = BesideTests("");
    beside.pop_back();
    struct Case {
        std::string command, pane, box, saved; // pane "*": not looked at; saved: what Copy and Save give, if not ""
    };
    const Case cases[] = {
        { "cd", std::string(cwd) + "\r\n", "", "" }, // a built-in runs in Vorlik's folder (until Save changes it)
        { "echo hello vorlik", "hello vorlik\r\n", "", "" },
        { "ChildTool print found", "found\r\n", "", "found\r\n" + kSavedEnd }, // a program beside Vorlik
        { "ChildTool write out1 err1 out2", "out1err1out2", "", "" },        // stdout and stderr share the pane
        { "ChildTool write abc\\0def\\0\\0ghi", "abcdefghi", "", "" },         // zero bytes hide nothing
        { "ChildTool write lf1\\nlf2\\n", "lf1\nlf2\n", "", "lf1\r\nlf2\r\n" + kSavedEnd },
        { "ChildTool cwd", beside + "\r\n", "", "" }, // a program runs in its own folder
        { "ChildTool pattern 300000 300000", "*", "", Pattern(300000) + kSavedEnd }, // all of it, as the child ends
        { doc, "", "Couldn't Create Process\r\n", "" },
        { "ChildTool print " + std::string(1100, 'x'), "",
          "The command line is too long. A command line can have at most 1023 characters.", kSavedEnd },
    };
    VorlikProcess vorlik;
    ASSERT_TRUE(vorlik.Ready());
    for (const Case& c : cases) {
        SCOPED_TRACE(c.command.substr(0, 40));
        std::vector<std::string> boxes;
        vorlik.Run(c.command);
        EXPECT_TRUE(vorlik.WaitForEnd(&boxes));
        EXPECT_EQ(c.box.empty() ? std::vector<std::string>{} : std::vector<std::string>{ "Vorlik: " + c.box }, boxes);
        EXPECT_TRUE(c.pane == "*" || c.pane + kEnd == vorlik.PaneText()) << vorlik.PaneText().substr(0, 200);
        EXPECT_TRUE(c.saved.empty() || c.saved == vorlik.CopyOutput()) << "Copy";
        EXPECT_TRUE(c.saved.empty() || c.saved == vorlik.SaveOutput()) << "Save";
    }
    ::DeleteFileA(doc.c_str());
}

// What users and their keyboards rely on, read from the running program and
// from the built Vorlik.exe's own resources.
TEST(EndToEnd, TheProgramsControlsMenuAndKeysAreAsPromised)
{
    VorlikProcess vorlik;
    ASSERT_TRUE(vorlik.Ready());
    std::vector<std::string> tabOrder;
    HWND hFirst = ::GetNextDlgTabItem(vorlik.Dialog(), nullptr, FALSE);
    for (HWND h = hFirst; h != nullptr && (tabOrder.empty() || h != hFirst);
         h = ::GetNextDlgTabItem(vorlik.Dialog(), h, FALSE)) {
        char cls[32] = "";
        ::GetClassNameA(h, cls, sizeof cls);
        LONG style = ::GetWindowLongA(h, GWL_STYLE);
        tabOrder.push_back(std::to_string(::GetDlgCtrlID(h)) + " " + cls + " \"" + WindowText(h).substr(0, 20) + "\"" +
                           ((style & 0xF) == BS_DEFPUSHBUTTON && lstrcmpiA(cls, "Button") == 0 ? " default" : ""));
        if (tabOrder.size() > 10)
            break;
    }
    LONG paneStyle = ::GetWindowLongA(vorlik.Item(IDC_OUTPUT), GWL_STYLE);
    LONG dlgStyle = ::GetWindowLongA(vorlik.Dialog(), GWL_STYLE);
    vorlik.Exit();
    EXPECT_EQ((std::vector<std::string>{ "1009 ComboBox \"\"", "1001 Button \"Run\" default", "1007 RICHEDIT \"\"",
                                         "1008 Button \"Stop\"" }),
              tabOrder);
    const LONG paneNeeds = ES_MULTILINE | ES_AUTOVSCROLL | ES_AUTOHSCROLL | ES_WANTRETURN;
    EXPECT_EQ(paneNeeds, paneStyle & paneNeeds) << "the pane scrolls both ways and takes Enter";
    EXPECT_EQ(WS_THICKFRAME | WS_MAXIMIZEBOX | WS_MINIMIZEBOX, dlgStyle & (WS_THICKFRAME | WS_MAXIMIZEBOX | WS_MINIMIZEBOX));

    HMODULE hExe = ::LoadLibraryExA(BesideTests("Vorlik.exe").c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
    ASSERT_NE(nullptr, hExe);
    HMENU hMenu = ::LoadMenuA(hExe, MAKEINTRESOURCEA(IDR_MENU));
    std::vector<std::string> menu;
    for (int i = 0; i < ::GetMenuItemCount(hMenu); ++i) {
        char text[128] = "";
        ::GetMenuStringA(hMenu, i, text, sizeof text, MF_BYPOSITION);
        HMENU hSub = ::GetSubMenu(hMenu, i);
        for (int j = 0; j < ::GetMenuItemCount(hSub); ++j) {
            char item[128] = "";
            ::GetMenuStringA(hSub, j, item, sizeof item, MF_BYPOSITION);
            menu.push_back(std::string(text) + " > " + item + " = " + std::to_string(::GetMenuItemID(hSub, j)));
        }
    }
    ::DestroyMenu(hMenu);
    ACCEL accels[8] = {};
    HACCEL hAccel = ::LoadAcceleratorsA(hExe, MAKEINTRESOURCEA(IDR_MENU));
    std::vector<std::string> keys;
    for (int i = 0, n = ::CopyAcceleratorTableA(hAccel, accels, 8); i < n; ++i)
        keys.push_back(std::to_string(accels[i].fVirt & ~FNOINVERT) + " " + std::to_string(accels[i].key) + " = " +
                       std::to_string(accels[i].cmd));
    ::FreeLibrary(hExe);
    EXPECT_EQ((std::vector<std::string>{
                  "&File > &Copy = 1004", "&File > &Save\tCtrl+S = 1003", "&File >  = 0", "&File > E&xit = 2",
                  "&Options > Send each &key at once = 1011", "&Options >  = 0",
                  "&Options > Output in the &console code page (OEM) = 1012",
                  "&Options > Output in the &ANSI code page (as written) = 1013",
                  "&Options > Output in &UTF-8 = 1014", "&Help > &About\tF1 = 1005" }),
              menu);
    EXPECT_EQ((std::vector<std::string>{ std::to_string(FVIRTKEY | FCONTROL) + " 83 = 1003",
                                         std::to_string(FVIRTKEY) + " 112 = 1005" }),
              keys)
        << "Ctrl+S saves, F1 shows About";
}
