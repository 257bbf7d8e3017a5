// Command-line resolution on real files: a temporary folder that is put on
// the PATH or made the current directory, and files at the drive root.
#include "runner/CommandLine.h"

#include "ChildProcess.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

using namespace testsupport;

namespace {

class Resolve : public ::testing::Test {
protected:
    void SetUp() override
    {
        char temp[MAX_PATH] = "";
        ::GetTempPathA(sizeof temp, temp);
        m_dir = std::string(temp) + "vorlik-resolve-" + std::to_string(::GetCurrentProcessId());
        ::CreateDirectoryA(m_dir.c_str(), nullptr);
        char path[32767] = "";
        ::GetEnvironmentVariableA("PATH", path, sizeof path);
        m_oldPath = path;
        ::SetEnvironmentVariableA("PATH", (m_dir + ";" + m_oldPath).c_str());
        char cwd[MAX_PATH] = "";
        ::GetCurrentDirectoryA(sizeof cwd, cwd);
        m_oldCwd = cwd;
    }
    void TearDown() override
    {
        ::SetCurrentDirectoryA(m_oldCwd.c_str());
        ::SetEnvironmentVariableA("PATH", m_oldPath.c_str());
        for (const std::string& f : m_files)
            ::DeleteFileA(f.c_str());
        ::RemoveDirectoryA(m_dir.c_str());
    }

    // Creates an (empty) file; the search only needs it to exist.
    std::string Touch(const std::string& path)
    {
        std::string full = path.find(':') == std::string::npos ? m_dir + "\\" + path : path;
        HANDLE h = ::CreateFileA(full.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
        EXPECT_NE(INVALID_HANDLE_VALUE, h) << full;
        ::CloseHandle(h);
        m_files.push_back(full);
        return full;
    }

    struct Result {
        bool ok;
        std::string line;
        std::string dir;
    };
    static Result Run(const std::string& typed)
    {
        CString command(typed.c_str());
        CString directory("untouched");
        bool ok = ResolveCommandLine(command, directory);
        return Result{ ok, static_cast<LPCTSTR>(command), static_cast<LPCTSTR>(directory) };
    }

    std::string m_dir;
    std::string m_oldPath;
    std::string m_oldCwd;
    std::vector<std::string> m_files;
};

} // namespace

TEST_F(Resolve, BuiltInsAndUnknownNamesGoToTheInterpreterUnchanged)
{
    Result r = Run("dir /w");
    EXPECT_TRUE(r.ok);
    EXPECT_EQ("cmd.exe /c dir /w", r.line);
    EXPECT_EQ("", r.dir);

    EXPECT_EQ("cmd.exe /c ", Run("").line) << "an empty command is the prefix alone";
    EXPECT_EQ("cmd.exe /c  dir", Run(" dir").line) << "a leading blank gives an empty token";
    EXPECT_EQ("cmd.exe /c tool.exe a", Run("tool.exe a").line);
    EXPECT_EQ("cmd.exe /c \"no such\" \"x y\"", Run("\"no such\" \"x y\"").line);
}

TEST_F(Resolve, AProgramOnThePathRunsByItsQuotedFullPathInItsFolder)
{
    std::string exe = Touch("vtool.exe");
    Result r = Run("vtool -n 3  host");
    EXPECT_TRUE(r.ok);
    EXPECT_EQ("\"" + exe + "\" -n 3  host", r.line) << "blanks in the arguments survive";
    EXPECT_EQ(m_dir, r.dir);

    r = Run("vtool");
    EXPECT_EQ("\"" + exe + "\" ", r.line) << "no arguments: the line ends in the blank";

    r = Run("vtool.exe -x");
    EXPECT_EQ("\"" + exe + "\" -x", r.line);
    EXPECT_EQ(m_dir, r.dir) << "typed with its extension, it still runs in its own folder";
}

TEST_F(Resolve, SuffixesAreTriedExeThenBatThenCom)
{
    Touch("vtwo.bat");
    Touch("vtwo.com");
    std::string exe = Touch("vthree.exe");
    Touch("vthree.bat");
    std::string bat = m_dir + "\\vtwo.bat";
    EXPECT_EQ("\"" + bat + "\" ", Run("vtwo").line);
    EXPECT_EQ("\"" + exe + "\" ", Run("vthree").line);
}

TEST_F(Resolve, OnlyTokensWithoutAThreeLetterExtensionAreCompleted)
{
    std::string completed = Touch("a.py.exe");
    EXPECT_EQ("\"" + completed + "\" x", Run("a.py x").line) << "four characters: completed";

    Touch("nada.exe.exe");
    EXPECT_EQ("cmd.exe /c nada.exe", Run("nada.exe").line) << "five or more with a dot: never completed";
}

TEST_F(Resolve, QuotedTokensKeepTheirBlanksAndTheTextAfterTheQuote)
{
    std::string exe = Touch("my tool.exe");
    Result r = Run("\"" + exe + "\" -a");
    EXPECT_EQ("\"" + exe + "\"  -a", r.line) << "the blank after the quote belongs to the arguments";
    EXPECT_EQ(m_dir, r.dir);
    EXPECT_EQ("\"" + exe + "\" c d", Run("\"" + exe + "\"c d").line);
    EXPECT_EQ("cmd.exe /c \"" + m_dir + "\\my tool.exe -a", Run("\"" + m_dir + "\\my tool.exe -a").line)
        << "an unclosed quote runs to the end";
}

TEST_F(Resolve, DriveRootsAndLeadingBackslashes)
{
    std::string name = "vorlik-root-" + std::to_string(::GetCurrentProcessId()) + ".exe";
    std::string full = Touch("C:\\" + name);
    ::SetCurrentDirectoryA("C:\\windows");

    Result r = Run("C:\\" + name);
    EXPECT_EQ("\"" + full + "\" ", r.line);
    EXPECT_EQ("C:\\", r.dir) << "a drive root stays a root";

    r = Run("\\" + name);
    EXPECT_EQ("\"" + full + "\" ", r.line);
    EXPECT_EQ("", r.dir) << "a leading backslash gives no directory";
}

TEST_F(Resolve, TheCurrentDirectoryIsSearched)
{
    std::string exe = Touch("vhere.bat");
    ::SetEnvironmentVariableA("PATH", m_oldPath.c_str());
    ::SetCurrentDirectoryA(m_dir.c_str());
    EXPECT_EQ("\"" + exe + "\" ", Run("vhere").line);
}

TEST_F(Resolve, CommandsThatDoNotFitAreRefusedNotCut)
{
    std::string fits(1023 - 11, 'x'); // with "cmd.exe /c " exactly 1023
    Result r = Run(fits);
    EXPECT_TRUE(r.ok);
    EXPECT_EQ(1023u, r.line.size());

    r = Run(fits + "x");
    EXPECT_FALSE(r.ok) << "the interpreter line would be 1024 long";
    EXPECT_EQ(fits + "x", r.line) << "refused: the command is left as typed";
    EXPECT_EQ("untouched", r.dir);

    EXPECT_FALSE(Run(std::string(1024, 'y')).ok);
    EXPECT_FALSE(Run(std::string(5000, 'y')).ok);

    std::string exe = Touch("vlong.exe");
    std::string args(1023 - (exe.size() + 3), 'a');
    EXPECT_TRUE(Run("vlong " + args).ok);
    EXPECT_FALSE(Run("vlong " + args + "a").ok);
}

TEST(ResolveOnWindows9x, UsesCommandCom)
{
    // Wine reports Windows 98 to one exe when its AppDefaults say so.
    HKEY hKey = nullptr;
    ASSERT_EQ(ERROR_SUCCESS, ::RegCreateKeyExA(HKEY_CURRENT_USER, "Software\\Wine\\AppDefaults\\ResolveProbe.exe",
                                               0, nullptr, 0, KEY_WRITE, nullptr, &hKey, nullptr));
    ::RegSetValueExA(hKey, "Version", 0, REG_SZ, reinterpret_cast<const BYTE*>("win98"), 6);
    ::RegCloseKey(hKey);

    std::string out;
    {
        SECURITY_ATTRIBUTES sa{ sizeof sa, nullptr, TRUE };
        HANDLE hRead = nullptr;
        HANDLE hWrite = nullptr;
        ASSERT_TRUE(::CreatePipe(&hRead, &hWrite, &sa, 0));
        ::SetHandleInformation(hRead, HANDLE_FLAG_INHERIT, 0);
        STARTUPINFOA si{};
        si.cb = sizeof si;
        si.dwFlags = STARTF_USESTDHANDLES;
        si.hStdOutput = hWrite;
        si.hStdError = hWrite;
        PROCESS_INFORMATION pi{};
        std::string cmd = "\"" + BesideTests("ResolveProbe.exe") + "\" \"dir /w\"";
        std::vector<char> buf(cmd.begin(), cmd.end());
        buf.push_back('\0');
        ASSERT_TRUE(::CreateProcessA(nullptr, buf.data(), nullptr, nullptr, TRUE, 0, nullptr, nullptr, &si, &pi));
        ::CloseHandle(hWrite);
        char chunk[256];
        DWORD got = 0;
        while (::ReadFile(hRead, chunk, sizeof chunk, &got, nullptr) && got > 0)
            out.append(chunk, got);
        ::WaitForSingleObject(pi.hProcess, 10000);
        ::CloseHandle(pi.hProcess);
        ::CloseHandle(pi.hThread);
        ::CloseHandle(hRead);
    }
    ::RegDeleteKeyA(HKEY_CURRENT_USER, "Software\\Wine\\AppDefaults\\ResolveProbe.exe");
    while (!out.empty() && (out.back() == '\n' || out.back() == '\r'))
        out.pop_back();
    EXPECT_EQ("1|command.com /c dir /w|", out);
    EXPECT_TRUE(IsWindowsNT()) << "this test process itself is NT";
}
