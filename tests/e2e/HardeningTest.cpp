// Bad input and faults against the real Vorlik.exe, driven from outside, as
// tables of cases. Every case counts; the run ends with the total.
#include "VorlikProcess.h"

#include <gtest/gtest.h>

#include <sddl.h>

#include <cstdio>
#include <fstream>

using namespace testsupport;

namespace {

int g_tried = 0; // bad inputs and faults tried, over all cases

class Summary : public ::testing::Environment {
    void TearDown() override { std::printf("Hardening: %d bad inputs and faults tried against Vorlik.exe\n", g_tried); }
};
const auto* const g_summary = ::testing::AddGlobalTestEnvironment(new Summary);

const char kVorlikKey[] = "software\\Quorvel's Tools\\Vorlik";

// Leaves the history key readable by everyone and writable by no one.
void MakeReadOnly(const std::string& path)
{
    HKEY hKey = nullptr;
    PSECURITY_DESCRIPTOR sd = nullptr;
    ::RegOpenKeyExA(HKEY_CURRENT_USER, path.c_str(), 0, WRITE_DAC, &hKey);
    ::ConvertStringSecurityDescriptorToSecurityDescriptorA("D:(A;;KRSDWD;;;WD)", SDDL_REVISION_1, &sd, nullptr);
    ::RegSetKeySecurity(hKey, DACL_SECURITY_INFORMATION, sd);
    ::LocalFree(sd);
    ::RegCloseKey(hKey);
}

} // namespace

TEST(Hardening, CommandLinesAndOutput)
{
    VorlikProcess vorlik;
    ASSERT_TRUE(vorlik.Ready());
    std::string doc = TempPath("vorlik-hard-doc") + ".txt";
    std::ofstream(doc) << "text";
    const std::string tooLong = "The command line is too long. A command line can have at most 1023 characters.";
    struct Case {
        std::string command, box, copied, paneHas; // the box expected, Copy's text, a part of the pane ("": none)
    };
    const Case cases[] = {
        { "", "", "", "" }, // the rest of command-line resolution: CommandLine.*
        { "\"echo unbalanced", "", "", "" },
        { "echo\ta\tb", "", "", "" },
        { "echo " + std::string(1023 - 11 - 5, 'x'), "", "", "xxxxx" }, // resolves to exactly 1023
        { std::string(1023, 'y'), tooLong, "", "" }, // fits as typed, not with cmd.exe /c: refused, nothing runs
        { std::string(5000, 'y'), tooLong, "", "" },
        { "C:\\windows", "Couldn't Create Process\r\n", "", "" },
        { "a.py", "", "", "" },
        { "echo \xe9\xe8\xfc\xdf", "", "", "" },
        { doc, "Couldn't Create Process\r\n", "", "" },
        { "ChildTool bytes", "", "", "123456789:;<=>?@ABCDEFGHIJKLMNOPQRSTUVWXYZ[\\]^_`abcdefghijklmnopqrstuvwxyz{|}~" }, // ESC ... 0: a sequence
        { "ChildTool line 1000000", "", std::string(1000000, 'x') + kEnd, "" }, // no line end at all
        { "ChildTool grandchild", "", "", "" },      // the grandchild holds the output pipe open
        { "ChildTool closeout 1500", "", "", "closing" }, // closes its output and goes on
    };
    for (const Case& c : cases) {
        SCOPED_TRACE("[" + c.command.substr(0, 40) + "]");
        ++g_tried;
        std::vector<std::string> boxes;
        vorlik.Run(c.command);
        if (c.box == tooLong) {
            boxes.push_back(vorlik.WaitForBox());
            EXPECT_TRUE(EndsWith(vorlik.PaneText(), "~")) << "refused before anything ran";
        } else {
            EXPECT_TRUE(vorlik.WaitForEnd(&boxes, c.box.empty() ? 0 : 1));
        }
        EXPECT_EQ(c.box.empty() ? std::vector<std::string>{} : std::vector<std::string>{ "Vorlik: " + c.box }, boxes);
        EXPECT_TRUE(vorlik.Answers());
        EXPECT_TRUE(c.copied.empty() || vorlik.CopyOutput() == c.copied) << "whole";
        EXPECT_NE(std::string::npos, vorlik.PaneText().find(c.paneHas));
    }
    EndProcesses("ChildTool.exe"); // the grandchild
    ::DeleteFileA(doc.c_str());
}

TEST(Hardening, InputLifecycleAndTheClipboard)
{
    VorlikProcess vorlik;
    ASSERT_TRUE(vorlik.Ready());
    // 10 KB typed into a child that does not read: the window keeps
    // answering, and once the child reads it gets every byte in order.
    ++g_tried;
    std::string gate = TempPath("vorlik-hard-gate"), out = TempPath("vorlik-hard-sink");
    ::DeleteFileA(gate.c_str());
    vorlik.Run(ChildTool("cat \"" + gate + "\" \"" + out + "\""));
    ASSERT_TRUE(WaitForChildProcess(vorlik.Pid(), "ChildTool.exe"));
    std::string typed, expected;
    for (int i = 0; i < 160; ++i)
        typed += std::string(63, 'a' + i % 26) + "\r", expected += std::string(63, 'a' + i % 26) + "\r\n";
    vorlik.Type(typed);
    EXPECT_TRUE(vorlik.Answers());
    EXPECT_TRUE(WaitFor("every typed character shown", [&] { return vorlik.PaneText().size() >= typed.size(); },
                        [&] { return std::to_string(vorlik.PaneText().size()) + " characters"; }, 120000));
    EXPECT_TRUE(vorlik.Answers());
    std::ofstream(gate) << "go";
    vorlik.Type("\x1a\r");
    EXPECT_TRUE(vorlik.WaitForEnd());
    EXPECT_TRUE(ReadFileText(out) == expected) << "got " << ReadFileText(out).size() << " of " << expected.size();
    ::DeleteFileA(gate.c_str());
    ::DeleteFileA(out.c_str());

    // Keys typed just as a run ends.
    for (int i = 0; i < 5; ++i, ++g_tried) {
        vorlik.Run("ChildTool print quick");
        vorlik.Type("abc\rdef\r");
        EXPECT_TRUE(WaitFor("this run's end line", [&] {
            std::string t = vorlik.PaneText();
            return t.find('~') == std::string::npos && t.find(kEnd) != std::string::npos;
        }, [&] { return vorlik.PaneText(); }));
    }

    // Many runs and Run/Stop cycles: every run ends, no child is left, no
    // handle is lost.
    vorlik.Run("ChildTool print warm-up");
    ASSERT_TRUE(vorlik.WaitForEnd());
    const long handlesBefore = CountHandles(vorlik.Pid());
    for (int i = 0; i < 20; ++i, g_tried += 2) {
        vorlik.Run("ChildTool print r" + std::to_string(i));
        ASSERT_TRUE(vorlik.WaitForEnd());
        ASSERT_EQ("r" + std::to_string(i) + "\r\n" + kEnd, vorlik.PaneText());
        vorlik.Run("ChildTool wait");
        ASSERT_TRUE(WaitFor("cycle " + std::to_string(i) + " stopped", [&] {
            vorlik.Click(IDC_STOP); // until the run has begun, Stop has nothing to stop
            std::string t = vorlik.PaneText();
            return EndsWith(t, kEnd) && t.find('~') == std::string::npos;
        }, [&] { return vorlik.PaneText(); }));
    }
    EXPECT_FALSE(WaitForChildProcess(vorlik.Pid(), "ChildTool.exe", 200)) << "no child left running";
    long handlesAfter = 0;
    // The last run's handles go as its worker returns, just after its end.
    EXPECT_TRUE(WaitFor("Vorlik's handles back to where they were", [&] {
        return (handlesAfter = CountHandles(vorlik.Pid())) <= handlesBefore + 2;
    }, [&] { return std::to_string(handlesAfter) + " handles"; }));
    std::printf("Vorlik's open handles: %ld before, %ld after 20 runs and 20 Run/Stop cycles\n", handlesBefore,
                handlesAfter);
    EXPECT_GT(handlesBefore, 0);
    EXPECT_LE(handlesAfter, handlesBefore + 2) << "no handle leaks";

    // Stop while the start failure's box is open.
    ++g_tried;
    std::string doc = TempPath("vorlik-hard-doc2") + ".txt";
    std::ofstream(doc) << "text";
    vorlik.Run(doc); // a document, no program
    HWND hBox = nullptr;
    ASSERT_TRUE(WaitFor("the start failure's box", [&] { return (hBox = FindMessageBox(vorlik.Pid())) != nullptr; }));
    vorlik.Click(IDC_STOP);
    EXPECT_TRUE(vorlik.Answers());
    DismissMessageBox(hBox);
    EXPECT_TRUE(vorlik.WaitForEnd());
    ::DeleteFileA(doc.c_str());

    // Copy while another process holds the clipboard: no hang, no box.
    ++g_tried;
    ASSERT_TRUE(::OpenClipboard(nullptr));
    vorlik.Command(IDM_COPY);
    EXPECT_TRUE(vorlik.Answers());
    EXPECT_EQ(nullptr, FindMessageBox(vorlik.Pid())) << "nothing reported";
    ::CloseClipboard();
}

// The history against stored values of every shape: each row stores
// values, starts Vorlik, checks the list it offers, runs commands, exits
// and checks what was written (RecentCmd0 on, up to the first missing).
TEST(Hardening, StoredHistoryOfEveryShapeLoadsAndIsWrittenBack)
{
    using List = std::vector<std::string>;
    auto numbered = [](int count, List list = {}, int skip = -1) {
        for (int i = 0; i < count; ++i)
            if (i != skip)
                list.push_back("stored " + std::to_string(i));
        return list;
    };
    List many = numbered(25), manyWritten = numbered(20, {}, 3); // 20 read, one too long to be a command line
    many[3] = std::string(5000, 'z');
    for (int i = 19; i < 25; ++i)
        manyWritten.push_back("stored " + std::to_string(i)); // what was not written over
    const std::string added = "echo new command";
    struct Case {
        List stored; // "<dword>" a number, "<none>" nothing
        bool readOnly;
        List runs, offered, written;
    };
    const Case cases[] = {
        { {}, false, { added, "", "ECHO NEW COMMAND" }, {}, { added } }, // empty and case-different: not added
        { numbered(20), false, { added }, numbered(20), numbered(19, { added }) }, // 20 at most, the oldest goes
        { many, false, {}, numbered(20, {}, 3), manyWritten },
        { { "a", "b", "<dword>", "d" }, false, { added }, { "a", "b" }, { added, "a", "b", "d" } },
        { { "a", "", "c" }, false, {}, { "a" }, { "a", "", "c" } },
        { { "a", "b", "c", "<none>", "e" }, false, { added }, { "a", "b", "c" }, { added, "a", "b", "c", "e" } },
        { { "kept 0", "kept 1" }, true, { added }, { "kept 0", "kept 1" }, { "kept 0", "kept 1" } },
    };
    std::string path = std::string(kVorlikKey) + "\\RecentCmd";
    DWORD number = 7;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.stored.empty() ? "nothing stored" : c.stored[0]);
        ++g_tried;
        ::SHDeleteKeyA(HKEY_CURRENT_USER, kVorlikKey);
        HKEY hKey = nullptr;
        ::RegCreateKeyExA(HKEY_CURRENT_USER, path.c_str(), 0, nullptr, 0, KEY_WRITE, nullptr, &hKey, nullptr);
        for (size_t i = 0; i < c.stored.size(); ++i) {
            const std::string& v = c.stored[i];
            std::string name = "RecentCmd" + std::to_string(i);
            if (v != "<none>")
                ::RegSetValueExA(hKey, name.c_str(), 0, v == "<dword>" ? REG_DWORD : REG_SZ,
                                 v == "<dword>" ? reinterpret_cast<const BYTE*>(&number) : reinterpret_cast<const BYTE*>(v.c_str()),
                                 v == "<dword>" ? sizeof number : static_cast<DWORD>(v.size() + 1));
        }
        ::RegCloseKey(hKey);
        if (c.readOnly)
            MakeReadOnly(path);
        {
            VorlikProcess vorlik;
            ASSERT_TRUE(vorlik.Ready());
            EXPECT_EQ(c.offered, vorlik.History());
            for (const std::string& command : c.runs) {
                vorlik.Run(command);
                EXPECT_TRUE(vorlik.WaitForEnd());
            }
            vorlik.Command(IDCANCEL);
            DWORD exitCode = 1;
            EXPECT_TRUE(vorlik.WaitForExit(&exitCode));
            EXPECT_EQ(0u, exitCode) << "a failed save is silent";
        }
        List written;
        for (char value[64] = ""; written.size() < 30; written.push_back(value)) {
            DWORD size = sizeof value, type = 0;
            std::string name = "RecentCmd" + std::to_string(written.size());
            if (::SHGetValueA(HKEY_CURRENT_USER, path.c_str(), name.c_str(), &type, value, &size) != ERROR_SUCCESS)
                break;
        }
        EXPECT_EQ(c.written, written);
    }
    ::SHDeleteKeyA(HKEY_CURRENT_USER, kVorlikKey);
}
