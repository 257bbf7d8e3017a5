// Bad input and faults against the real Vorlik.exe, driven from outside.
// Every case counts what it tried; the run ends with the total.
#include "ChildProcess.h"
#include "Pump.h"
#include "TestFiles.h"
#include "VorlikProcess.h"
#include "helpers/Pattern.h"
#include "res/resource.h"

#include <gtest/gtest.h>

#include <psapi.h>
#include <tlhelp32.h>

#include <algorithm>
#include <cstdio>
#include <fstream>
#include <string>
#include <vector>

using namespace testsupport;

namespace {

int g_tried = 0; // bad inputs and faults tried, over all cases

class Summary : public ::testing::Environment {
public:
    void TearDown() override
    {
        std::printf("Hardening: %d bad inputs and faults tried against Vorlik.exe\n", g_tried);
    }
};

const auto* const g_summary = ::testing::AddGlobalTestEnvironment(new Summary);

const std::string kEnd = "\n--End--\n";

bool EndsWithEnd(const std::string& text)
{
    return text.size() >= kEnd.size() && text.compare(text.size() - kEnd.size(), kEnd.size(), kEnd) == 0;
}

class Hardening : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(m_vorlik.Ready()); }
    void TearDown() override
    {
        m_vorlik.Click(IDC_STOP);
        WaitUntil([&] { return FindMessageBox(m_vorlik.Pid()) == nullptr || Dismiss(); }, 2000);
    }
    bool Dismiss()
    {
        if (HWND h = FindMessageBox(m_vorlik.Pid()))
            DismissMessageBox(h);
        return false;
    }

    // Starts a run and waits for its end line. The pane is marked first (a
    // key typed while idle shows only there) so the old end line cannot be
    // taken for the new one. Message boxes of the run are collected and
    // dismissed.
    std::string Run(const std::string& command, std::vector<std::string>* pBoxes = nullptr, DWORD timeoutMs = 60000)
    {
        ++g_tried;
        m_vorlik.Type("~");
        WaitUntil([&] { std::string t = m_vorlik.PaneText(); return !t.empty() && t.back() == '~'; });
        m_vorlik.Run(command);
        std::string text;
        WaitUntil(
            [&] {
                if (HWND hBox = FindMessageBox(m_vorlik.Pid())) {
                    if (pBoxes != nullptr)
                        pBoxes->push_back(ReadMessageBox(hBox).text);
                    DismissMessageBox(hBox);
                    WaitUntil([&] { return !::IsWindow(hBox); });
                }
                // The mark ended the old text, so an end line at the end is
                // the new run's (whose output may hold a '~' of its own).
                text = m_vorlik.PaneText();
                return EndsWithEnd(text);
            },
            timeoutMs);
        return text;
    }
    bool Answers()
    {
        DWORD_PTR r = 0;
        return ::SendMessageTimeoutA(m_vorlik.Dialog(), WM_NULL, 0, 0, SMTO_ABORTIFHUNG, 5000, &r) != 0;
    }

    VorlikProcess m_vorlik;
};

std::string Tool(const std::string& args)
{
    return "ChildTool " + args;
}

} // namespace

TEST_F(Hardening, CommandLines)
{
    std::string doc = TempPath("vorlik-hard-doc") + ".txt";
    std::ofstream(doc) << "text";
    const std::string tooLong = "The command line is too long. A command line can have at most 1023 characters.";
    struct Case {
        std::string command;
        bool refused;
    };
    const Case cases[] = {
        { "", false },
        { "    ", false },
        { "\"", false },
        { "\"echo unbalanced", false },
        { "echo \"one \"two", false },
        { "echo\ta\tb", false },
        { "echo " + std::string(1023 - 11 - 5, 'x'), false }, // resolves to exactly 1023
        { std::string(1023, 'y'), true },                     // fits as typed, not with cmd.exe /c
        { std::string(1024, 'y'), true },
        { std::string(5000, 'y'), true },
        { "C:\\windows", false },
        { "a.py", false },
        { "ab.py", false },
        { "echo \xe9\xe8\xfc\xdf", false },
    };
    for (const Case& c : cases) {
        std::vector<std::string> boxes;
        std::string text = Run(c.command, &boxes);
        EXPECT_TRUE(EndsWithEnd(text)) << "[" << c.command.substr(0, 40) << "]";
        if (c.refused) {
            EXPECT_EQ(std::vector<std::string>{ tooLong }, boxes) << c.command.size();
        }
        EXPECT_TRUE(Answers());
    }
    std::vector<std::string> boxes;
    EXPECT_TRUE(EndsWithEnd(Run(doc, &boxes)));
    EXPECT_EQ(std::vector<std::string>{ "Couldn't Create Process\r\n" }, boxes);
    ::DeleteFileA(doc.c_str());
}

TEST_F(Hardening, Output)
{
    std::string bytes = Run(Tool("bytes"));
    EXPECT_GE(bytes.size(), 250u + kEnd.size()) << "every byte but zero is shown (in the console's code page)";

    EXPECT_EQ("abcdefghi" + kEnd, Run(Tool("zeros")));

    std::string line = Run(Tool("line 1000000"), nullptr, 120000);
    EXPECT_TRUE(EndsWithEnd(line)) << "a 1 MB line without a line break";
    EXPECT_TRUE(m_vorlik.CopyOutput() == std::string(1000000, 'x') + "\r\n--End--\r\n") << "the line, whole";

    std::string ends = Run(Tool("ends"));
    for (const char* part : { "cr1", "cr2", "lf1", "lf2" })
        EXPECT_NE(std::string::npos, ends.find(part)) << part;

    std::string flood = Run(Tool("pattern 6000000 65536"), nullptr, 180000);
    EXPECT_LE(flood.size(), 1024u * 1024 + 70000) << "bounded far past the cap";
    {
        CHandle process(::OpenProcess(PROCESS_QUERY_INFORMATION | PROCESS_VM_READ, FALSE, m_vorlik.Pid()));
        PROCESS_MEMORY_COUNTERS pmc{};
        pmc.cb = sizeof pmc;
        ASSERT_TRUE(::GetProcessMemoryInfo(process.get(), &pmc, sizeof pmc));
        std::printf("Vorlik's resident memory after 6 MB of output: %lu MB\n",
                    static_cast<unsigned long>(pmc.WorkingSetSize >> 20));
        EXPECT_LT(pmc.WorkingSetSize, 400u << 20) << "memory stays bounded";
    }
    std::string all = Pattern(6000000);
    std::string kept = flood.substr(0, flood.size() - kEnd.size());
    EXPECT_TRUE(kept.size() < all.size() && all.compare(all.size() - kept.size(), kept.size(), kept) == 0)
        << "the newest output stays, whole";

    EXPECT_TRUE(EndsWithEnd(Run(Tool("lastgasp 500000"))));
    EXPECT_TRUE(Answers());
}

TEST_F(Hardening, ChildrenThatMisbehave)
{
    // A grandchild keeps the output pipe open after the child ended: the run
    // still ends with the child.
    std::string text = Run(Tool("grandchild"));
    EXPECT_TRUE(EndsWithEnd(text));
    DWORD grandchild = std::strtoul(text.c_str(), nullptr, 10);
    if (HANDLE h = ::OpenProcess(PROCESS_TERMINATE, FALSE, grandchild)) {
        ::TerminateProcess(h, 0);
        ::CloseHandle(h);
    }

    // A child that closes its output and goes on: the run lasts until it ends.
    ++g_tried;
    m_vorlik.Run(Tool("closeout 1500"));
    EXPECT_TRUE(WaitUntil([&] { return m_vorlik.PaneText().find("closing") != std::string::npos; }));
    EXPECT_TRUE(WaitForChildProcess(m_vorlik.Pid(), "ChildTool.exe", 1000));
    EXPECT_EQ(std::string::npos, m_vorlik.PaneText().find("--End--")) << "still running";
    EXPECT_TRUE(WaitUntil([&] { return EndsWithEnd(m_vorlik.PaneText()); }));
}

TEST_F(Hardening, Input)
{
    // 10 KB typed into a child that does not read: the window keeps
    // answering, and once the child reads it gets every byte in order.
    ++g_tried;
    std::string gate = TempPath("vorlik-hard-gate");
    std::string out = TempPath("vorlik-hard-sink");
    ::DeleteFileA(gate.c_str());
    ::DeleteFileA(out.c_str());
    m_vorlik.Run(Tool("sink \"" + gate + "\" \"" + out + "\""));
    ASSERT_TRUE(WaitForChildProcess(m_vorlik.Pid(), "ChildTool.exe", kTimeoutMs));
    std::string typed, expected;
    for (int i = 0; i < 10240; ++i) {
        char ch = i % 64 == 63 ? '\r' : "abcdefghijklmnoprstuvwxyz"[i % 25]; // no 'q': it ends the sink
        typed += ch;
        expected += ch == '\r' ? std::string("\r\n") : std::string(1, ch);
    }
    m_vorlik.Type(typed);
    EXPECT_TRUE(Answers());
    EXPECT_TRUE(WaitUntil([&] { return m_vorlik.PaneText().size() >= typed.size(); }, 120000));
    EXPECT_TRUE(Answers());
    std::ofstream(gate) << "go";
    m_vorlik.Type("q\r");
    EXPECT_TRUE(WaitUntil([&] { return EndsWithEnd(m_vorlik.PaneText()); }, 60000));
    EXPECT_TRUE(ReadFileText(out) == expected) << "the child got " << ReadFileText(out).size() << " of "
                                                << expected.size() << " bytes, or not in order";
    ::DeleteFileA(gate.c_str());
    ::DeleteFileA(out.c_str());

    // Keys typed just as a run ends, and keys typed while idle.
    for (int i = 0; i < 5; ++i) {
        ++g_tried;
        m_vorlik.Run(Tool("print quick"));
        m_vorlik.Type("abc\rdef\r");
        EXPECT_TRUE(WaitUntil([&] { return m_vorlik.PaneText().find("--End--") != std::string::npos; }));
    }
    ++g_tried;
    m_vorlik.Type("idle");
    EXPECT_TRUE(WaitUntil([&] { std::string t = m_vorlik.PaneText(); return t.size() >= 4 && t.substr(t.size() - 4) == "idle"; }));
    EXPECT_TRUE(Answers());
}

TEST_F(Hardening, Lifecycle)
{
    // Many runs and many Run/Stop cycles: every run ends, no child is left,
    // no handle is lost (Vorlik counts its own when asked).
    const UINT countHandles = ::RegisterWindowMessageA("Vorlik.CountHandles");
    Run(Tool("print warm-up"));
    LRESULT handlesBefore = ::SendMessageA(m_vorlik.Dialog(), countHandles, 0, 0);
    for (int i = 0; i < 200; ++i) {
        std::string marker = "r" + std::to_string(i);
        std::string text = Run(Tool("print " + marker));
        ASSERT_EQ(marker + "\r\n" + kEnd, text);
    }
    for (int i = 0; i < 200; ++i) {
        ++g_tried;
        m_vorlik.Type("~");
        WaitUntil([&] { std::string t = m_vorlik.PaneText(); return !t.empty() && t.back() == '~'; });
        m_vorlik.Run(Tool("wait"));
        ASSERT_TRUE(WaitUntil([&] {
            m_vorlik.Click(IDC_STOP);
            ::Sleep(5);
            std::string t = m_vorlik.PaneText();
            return EndsWithEnd(t) && t.find('~') == std::string::npos;
        })) << "cycle " << i;
    }
    EXPECT_FALSE(WaitForChildProcess(m_vorlik.Pid(), "ChildTool.exe", 200)) << "no child left running";
    LRESULT handlesAfter = 0;
    WaitUntil([&] { return (handlesAfter = ::SendMessageA(m_vorlik.Dialog(), countHandles, 0, 0)) <= handlesBefore; },
              5000);
    std::printf("Vorlik's open handles: %ld before, %ld after 200 runs and 200 Run/Stop cycles\n",
                static_cast<long>(handlesBefore), static_cast<long>(handlesAfter));
    EXPECT_GT(handlesBefore, 0);
    EXPECT_LE(handlesAfter, handlesBefore + 2) << "no handle leaks";

    // Stop while the worker's failure box is open, then Exit refused during a
    // run and allowed right after it.
    std::string doc = TempPath("vorlik-hard-doc2") + ".txt";
    std::ofstream(doc) << "text";
    ++g_tried;
    m_vorlik.Type("~");
    m_vorlik.Run(doc);
    HWND hBox = WaitForMessageBox(m_vorlik.Pid(), kTimeoutMs);
    ASSERT_NE(nullptr, hBox);
    m_vorlik.Click(IDC_STOP);
    EXPECT_TRUE(Answers());
    DismissMessageBox(hBox);
    EXPECT_TRUE(WaitUntil([&] { return EndsWithEnd(m_vorlik.PaneText()); }));
    ::DeleteFileA(doc.c_str());

    ++g_tried;
    m_vorlik.Run(Tool("wait"));
    ASSERT_TRUE(WaitForChildProcess(m_vorlik.Pid(), "ChildTool.exe", kTimeoutMs));
    m_vorlik.Command(IDCANCEL);
    EXPECT_EQ("You can't exit will your process is running.", m_vorlik.ExpectMessageBox().text);
    EXPECT_TRUE(WaitUntil([&] {
        m_vorlik.Click(IDC_STOP);
        ::Sleep(20);
        return EndsWithEnd(m_vorlik.PaneText());
    }));
    m_vorlik.Command(IDCANCEL);
    EXPECT_TRUE(m_vorlik.WaitForExit());
}

TEST_F(Hardening, CopyWhileAnotherProcessHoldsTheClipboard)
{
    std::string text = Run(Tool("print copy"));
    ++g_tried;
    ASSERT_TRUE(::OpenClipboard(nullptr));
    m_vorlik.Command(IDM_COPY);
    EXPECT_TRUE(Answers()) << "no hang";
    ::Sleep(200);
    EXPECT_EQ(nullptr, FindMessageBox(m_vorlik.Pid())) << "nothing reported";
    ::CloseClipboard();
}

namespace {

const char kVorlikKey[] = "software\\Quorvel's Tools\\Vorlik";

void StoreHistory(const std::string& name, DWORD type, const void* data, DWORD size)
{
    HKEY hKey = nullptr;
    ::RegCreateKeyExA(HKEY_CURRENT_USER, (std::string(kVorlikKey) + "\\RecentCmd").c_str(), 0, nullptr, 0,
                      KEY_WRITE, nullptr, &hKey, nullptr);
    ::RegSetValueExA(hKey, name.c_str(), 0, type, static_cast<const BYTE*>(data), size);
    ::RegCloseKey(hKey);
}

void StoreHistory(int index, const std::string& value)
{
    StoreHistory("RecentCmd" + std::to_string(index), REG_SZ, value.c_str(), static_cast<DWORD>(value.size() + 1));
}

std::vector<std::string> HistoryList(VorlikProcess& vorlik)
{
    HWND hBox = vorlik.Item(IDC_COMMAND);
    std::vector<std::string> entries;
    int n = static_cast<int>(::SendMessageA(hBox, CB_GETCOUNT, 0, 0));
    for (int i = 0; i < n; ++i) {
        wchar_t wide[1200] = L""; // across processes Wine hands list texts over as UTF-16
        ::SendMessageW(hBox, CB_GETLBTEXT, i, reinterpret_cast<LPARAM>(wide));
        char buf[1200] = "";
        ::WideCharToMultiByte(CP_ACP, 0, wide, -1, buf, sizeof buf, nullptr, nullptr);
        entries.push_back(buf);
    }
    return entries;
}

} // namespace

TEST(HardeningProfile, StoredHistoryOfEveryShapeLoadsWithoutHarm)
{
    ::SHDeleteKeyA(HKEY_CURRENT_USER, kVorlikKey);
    for (int i = 0; i < 25; ++i)
        StoreHistory(i, "stored " + std::to_string(i));
    StoreHistory(3, std::string(5000, 'z'));
    ++g_tried;
    {
        VorlikProcess vorlik;
        ASSERT_TRUE(vorlik.Ready());
        std::vector<std::string> list = HistoryList(vorlik);
        EXPECT_EQ(19u, list.size()) << "20 read, the 5000-character one skipped, 20 and up never read";
        EXPECT_EQ("stored 0", list.front());
        vorlik.Command(IDCANCEL);
        vorlik.WaitForExit();
    }

    DWORD number = 7;
    StoreHistory("RecentCmd2", REG_DWORD, &number, sizeof number);
    StoreHistory(6, "");
    ++g_tried;
    {
        VorlikProcess vorlik;
        ASSERT_TRUE(vorlik.Ready());
        EXPECT_EQ((std::vector<std::string>{ "stored 0", "stored 1" }), HistoryList(vorlik))
            << "a value that is no string ends the list";
        vorlik.Command(IDCANCEL);
        vorlik.WaitForExit();
    }
    ::SHDeleteKeyA(HKEY_CURRENT_USER, kVorlikKey);
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

TEST(HardeningProfile, AnUnwritableHistoryStillLoadsAndExitIsClean)
{
    ::SHDeleteKeyA(HKEY_CURRENT_USER, kVorlikKey);
    StoreHistory(0, "kept 0");
    StoreHistory(1, "kept 1");
    std::string path = std::string(kVorlikKey) + "\\RecentCmd";
    MakeReadOnly(path);
    HKEY hTry = nullptr;
    ASSERT_NE(ERROR_SUCCESS, ::RegOpenKeyExA(HKEY_CURRENT_USER, path.c_str(), 0, KEY_SET_VALUE, &hTry))
        << "the key must refuse writing for this test to mean anything";
    ++g_tried;
    {
        VorlikProcess vorlik;
        ASSERT_TRUE(vorlik.Ready());
        EXPECT_EQ((std::vector<std::string>{ "kept 0", "kept 1" }), HistoryList(vorlik));
        vorlik.Run("echo new command");
        EXPECT_TRUE(WaitUntil([&] { return vorlik.PaneText() == "new command\r\n" + kEnd; }));
        vorlik.Command(IDCANCEL);
        DWORD exitCode = 1;
        EXPECT_TRUE(vorlik.WaitForExit(&exitCode));
        EXPECT_EQ(0u, exitCode) << "the failed save is silent";
    }
    char value[64] = "";
    DWORD size = sizeof value;
    HKEY hKey = nullptr;
    ::RegOpenKeyExA(HKEY_CURRENT_USER, path.c_str(), 0, KEY_READ, &hKey);
    ::RegQueryValueExA(hKey, "RecentCmd0", nullptr, nullptr, reinterpret_cast<BYTE*>(value), &size);
    ::RegCloseKey(hKey);
    EXPECT_STREQ("kept 0", value) << "nothing was written";
    ::SHDeleteKeyA(HKEY_CURRENT_USER, kVorlikKey);
}
