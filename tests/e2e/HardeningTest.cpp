// Bad input and faults against the real Vorlik.exe, driven from outside, as
// tables of cases. Every case counts; the run ends with the total.
#include "VorlikProcess.h"
#include "helpers/Pattern.h"

#include <gtest/gtest.h>

#include <psapi.h>

#include <cstdio>
#include <fstream>

using namespace testsupport;

namespace {

int g_tried = 0; // bad inputs and faults tried, over all cases

class Summary : public ::testing::Environment {
    void TearDown() override { std::printf("Hardening: %d bad inputs and faults tried against Vorlik.exe\n", g_tried); }
};
const auto* const g_summary = ::testing::AddGlobalTestEnvironment(new Summary);

bool EndsWithEnd(const std::string& text)
{
    return text.size() >= kEnd.size() && text.compare(text.size() - kEnd.size(), kEnd.size(), kEnd) == 0;
}

const char kVorlikKey[] = "software\\Quorvel's Tools\\Vorlik";

void StoreHistory(const std::string& name, DWORD type, const void* data, DWORD size)
{
    HKEY hKey = nullptr;
    ::RegCreateKeyExA(HKEY_CURRENT_USER, (std::string(kVorlikKey) + "\\RecentCmd").c_str(), 0, nullptr, 0, KEY_WRITE,
                      nullptr, &hKey, nullptr);
    ::RegSetValueExA(hKey, name.c_str(), 0, type, static_cast<const BYTE*>(data), size);
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
        std::string command;
        std::string box;     // the one message box expected, if any
        std::string copied;  // what Copy must give, if not ""
        std::string paneHas; // what the pane must show, if not ""
    };
    const Case cases[] = {
        { "", "", "", "" },
        { "    ", "", "", "" },
        { "\"", "", "", "" },
        { "\"echo unbalanced", "", "", "" },
        { "echo \"one \"two", "", "", "" },
        { "echo\ta\tb", "", "", "" },
        { "echo " + std::string(1023 - 11 - 5, 'x'), "", "", "xxxxx" }, // resolves to exactly 1023
        { std::string(1023, 'y'), tooLong, "", "" },                    // fits as typed, not with cmd.exe /c
        { std::string(5000, 'y'), tooLong, "", "" },
        { "C:\\windows", "Couldn't Create Process\r\n", "", "" },
        { "a.py", "", "", "" },
        { "echo \xe9\xe8\xfc\xdf", "", "", "" },
        { doc, "Couldn't Create Process\r\n", "", "" },
        { "ChildTool bytes", "", "", "" },
        { "ChildTool line 1000000", "", std::string(1000000, 'x') + kSavedEnd, "" }, // no line end at all
        { "ChildTool grandchild", "", "", "" },      // the grandchild holds the output pipe open
        { "ChildTool closeout 1500", "", "", "closing" }, // closes its output and goes on
    };
    for (const Case& c : cases) {
        SCOPED_TRACE("[" + c.command.substr(0, 40) + "]");
        ++g_tried;
        std::vector<std::string> boxes;
        vorlik.Run(c.command);
        EXPECT_TRUE(vorlik.WaitForEnd(&boxes));
        EXPECT_EQ(c.box.empty() ? std::vector<std::string>{} : std::vector<std::string>{ c.box }, boxes);
        EXPECT_TRUE(vorlik.Answers());
        if (!c.copied.empty())
            EXPECT_TRUE(vorlik.CopyOutput() == c.copied) << "whole";
        if (!c.paneHas.empty())
            EXPECT_NE(std::string::npos, vorlik.PaneText().find(c.paneHas));
    }
    EndProcesses("ChildTool.exe"); // the grandchild
    ::DeleteFileA(doc.c_str());

    // 6 MB in a flood: bounded memory, the newest output whole.
    ++g_tried;
    vorlik.Run("ChildTool pattern 6000000 65536");
    ASSERT_TRUE(vorlik.WaitForEnd(nullptr, 180000));
    std::string flood = vorlik.PaneText();
    CHandle process(::OpenProcess(PROCESS_QUERY_INFORMATION | PROCESS_VM_READ, FALSE, vorlik.Pid()));
    PROCESS_MEMORY_COUNTERS pmc{ sizeof pmc };
    ASSERT_TRUE(::GetProcessMemoryInfo(process.get(), &pmc, sizeof pmc));
    std::printf("Vorlik's resident memory after 6 MB of output: %lu MB\n", static_cast<unsigned long>(pmc.WorkingSetSize >> 20));
    EXPECT_LT(pmc.WorkingSetSize, 400u << 20);
    EXPECT_LE(flood.size(), 1024u * 1024 + 70000) << "the pane stays bounded";
    std::string all = Pattern(6000000), kept = flood.substr(0, flood.size() - kEnd.size());
    EXPECT_TRUE(kept.size() < all.size() && all.compare(all.size() - kept.size(), kept.size(), kept) == 0);
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
    for (int i = 0; i < 10240; ++i) {
        char ch = i % 64 == 63 ? '\r' : "abcdefghijklmnopqrstuvwxyz"[i % 26];
        typed += ch;
        expected += ch == '\r' ? std::string("\r\n") : std::string(1, ch);
    }
    vorlik.Type(typed);
    EXPECT_TRUE(vorlik.Answers());
    EXPECT_TRUE(WaitUntil([&] { return vorlik.PaneText().size() >= typed.size(); }, 120000));
    EXPECT_TRUE(vorlik.Answers());
    std::ofstream(gate) << "go";
    vorlik.Type("\x1a\r");
    EXPECT_TRUE(vorlik.WaitForEnd());
    EXPECT_TRUE(ReadFileText(out) == expected) << "the child got " << ReadFileText(out).size() << " of "
                                                << expected.size() << " bytes, or not in order";
    ::DeleteFileA(gate.c_str());
    ::DeleteFileA(out.c_str());

    // Keys typed just as a run ends.
    for (int i = 0; i < 5; ++i, ++g_tried) {
        vorlik.Run("ChildTool print quick");
        vorlik.Type("abc\rdef\r");
        EXPECT_TRUE(vorlik.PaneHas("--End--"));
    }

    // Many runs and Run/Stop cycles: every run ends, no child is left, no
    // handle is lost (Vorlik counts its own when asked).
    const UINT countHandles = ::RegisterWindowMessageA("Vorlik.CountHandles");
    vorlik.Run("ChildTool print warm-up");
    vorlik.WaitForEnd();
    LRESULT handlesBefore = ::SendMessageA(vorlik.Dialog(), countHandles, 0, 0);
    for (int i = 0; i < 50; ++i, g_tried += 2) {
        vorlik.Run("ChildTool print r" + std::to_string(i));
        ASSERT_TRUE(vorlik.WaitForEnd());
        ASSERT_EQ("r" + std::to_string(i) + "\r\n" + kEnd, vorlik.PaneText());
        vorlik.Run("ChildTool wait");
        ASSERT_TRUE(WaitUntil([&] {
            vorlik.Click(IDC_STOP);
            ::Sleep(5);
            std::string t = vorlik.PaneText();
            return EndsWithEnd(t) && t.find('~') == std::string::npos;
        })) << "cycle " << i;
    }
    EXPECT_FALSE(WaitForChildProcess(vorlik.Pid(), "ChildTool.exe", 200)) << "no child left running";
    LRESULT handlesAfter = 0;
    WaitUntil([&] { return (handlesAfter = ::SendMessageA(vorlik.Dialog(), countHandles, 0, 0)) <= handlesBefore; }, 5000);
    std::printf("Vorlik's open handles: %ld before, %ld after 50 runs and 50 Run/Stop cycles\n",
                static_cast<long>(handlesBefore), static_cast<long>(handlesAfter));
    EXPECT_GT(handlesBefore, 0);
    EXPECT_LE(handlesAfter, handlesBefore + 2) << "no handle leaks";

    // Stop while the worker's failure box is open.
    ++g_tried;
    std::string doc = TempPath("vorlik-hard-doc2") + ".txt";
    std::ofstream(doc) << "text";
    vorlik.Run(doc);
    HWND hBox = nullptr;
    ASSERT_TRUE(WaitUntil([&] { return (hBox = FindMessageBox(vorlik.Pid())) != nullptr; }));
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

namespace {

// Leaves the history key readable by everyone and writable by no one.
void MakeReadOnly(const std::string& path)
{
    HKEY hKey = nullptr;
    ::RegOpenKeyExA(HKEY_CURRENT_USER, path.c_str(), 0, WRITE_DAC, &hKey);
    SECURITY_DESCRIPTOR sd;
    ::InitializeSecurityDescriptor(&sd, SECURITY_DESCRIPTOR_REVISION);
    alignas(4) char aclBuffer[256];
    ACL* acl = reinterpret_cast<ACL*>(aclBuffer);
    ::InitializeAcl(acl, sizeof aclBuffer, ACL_REVISION);
    SID_IDENTIFIER_AUTHORITY world = SECURITY_WORLD_SID_AUTHORITY;
    PSID everyone = nullptr;
    ::AllocateAndInitializeSid(&world, 1, SECURITY_WORLD_RID, 0, 0, 0, 0, 0, 0, 0, &everyone);
    ::AddAccessAllowedAce(acl, ACL_REVISION, KEY_READ | WRITE_DAC | DELETE, everyone);
    ::SetSecurityDescriptorDacl(&sd, TRUE, acl, FALSE);
    ::RegSetKeySecurity(hKey, DACL_SECURITY_INFORMATION, &sd);
    ::FreeSid(everyone);
    ::RegCloseKey(hKey);
}

} // namespace

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
        for (size_t i = 0; i < c.stored.size(); ++i) {
            std::string name = "RecentCmd" + std::to_string(i);
            if (c.stored[i] == "<dword>")
                StoreHistory(name, REG_DWORD, &number, sizeof number);
            else if (c.stored[i] != "<none>")
                StoreHistory(name, REG_SZ, c.stored[i].c_str(), static_cast<DWORD>(c.stored[i].size() + 1));
        }
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
