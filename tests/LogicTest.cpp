// Command-line resolution on real files: a folder put on the search path
// or made the current directory, and a file at the drive's root; the stdin
// writer on a real pipe and on a handle that cannot be made non-blocking;
// an export job on a thread of its own, reporting to a window of the
// test's.
#include "console/ExportJob.h"
#include "console/Messages.h"
#include "runner/CommandLine.h"
#include "runner/StdinWriter.h"
#include "helpers/Pattern.h"

#include "TestSupport.h"

#include <gtest/gtest.h>

using namespace testsupport;

namespace {

// Replaces each "$D" with the test folder, each "$R" with the root file.
std::string Expand(std::string s, const std::string& dir, const std::string& root)
{
    for (size_t at; (at = s.find('$')) != std::string::npos;)
        s.replace(at, 2, s[at + 1] == 'D' ? dir : root);
    return s;
}

} // namespace

TEST(CommandLine, ResolvesAgainstTheSearchPathOrGoesToTheInterpreter)
{
    std::string dir = TempPath("vorlik-resolve-");
    std::string root = "vorlik-root-" + std::to_string(::GetCurrentProcessId()) + ".exe";
    ::CreateDirectoryA(dir.c_str(), nullptr);
    std::vector<std::string> files = { "C:\\" + root };
    for (const char* name : { "vtool.exe", "vtwo.bat", "vtwo.com", "vthree.exe", "vthree.bat", "my tool.exe",
                              "a.py.exe", "nada.exe.exe", "vlong.exe" })
        files.push_back(dir + "\\" + name);
    for (const std::string& f : files)
        ::CloseHandle(::CreateFileA(f.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr));
    static char oldPath[32767] = "", oldCwd[MAX_PATH] = "";
    ::GetEnvironmentVariableA("PATH", oldPath, sizeof oldPath);
    ::GetCurrentDirectoryA(sizeof oldCwd, oldCwd);
    ::SetEnvironmentVariableA("PATH", (dir + ";" + oldPath).c_str());
    ::SetCurrentDirectoryA("C:\\windows");

    const std::string fits(1023 - 11, 'x'); // "cmd.exe /c " and this: exactly 1023
    const std::string longArgs(1023 - (dir.size() + 13), 'a'); // "$D\vlong.exe" and these: 1023
    struct Case {
        std::string typed, line, dir; // line "" = refused, left as typed
    };
    const Case cases[] = {
        { "dir /w", "cmd.exe /c dir /w", "" },
        { "", "cmd.exe /c ", "" },
        { " dir", "cmd.exe /c  dir", "" },
        { "\"no such\" \"x y\"", "cmd.exe /c \"no such\" \"x y\"", "" },
        { "vtool -n 3  host", "\"$D\\vtool.exe\" -n 3  host", "$D" },
        { "vtool", "\"$D\\vtool.exe\" ", "$D" },
        { "vtool.exe -x", "\"$D\\vtool.exe\" -x", "$D" },
        { "vtwo", "\"$D\\vtwo.bat\" ", "$D" },   // .bat before .com
        { "vthree", "\"$D\\vthree.exe\" ", "$D" }, // .exe before .bat
        { "a.py x", "\"$D\\a.py.exe\" x", "$D" },  // no three-letter extension: completed
        { "nada.exe", "cmd.exe /c nada.exe", "" },
        { "\"$D\\my tool.exe\" -a", "\"$D\\my tool.exe\"  -a", "$D" },
        { "\"$D\\my tool.exe\"c d", "\"$D\\my tool.exe\" c d", "$D" },
        { "\"$D\\my tool.exe -a", "cmd.exe /c \"$D\\my tool.exe -a", "" },
        { "C:\\$R", "\"C:\\$R\" ", "C:\\" },
        { "\\$R", "\"C:\\$R\" ", "" },
        { fits, "cmd.exe /c " + fits, "" },
        { fits + "x", "", "" },
        { std::string(5000, 'y'), "", "" },
        { "vlong " + longArgs, "\"$D\\vlong.exe\" " + longArgs, "$D" },
        { "vlong " + longArgs + "a", "", "" },
    };
    for (const Case& c : cases) {
        std::string typed = Expand(c.typed, dir, root);
        CString command(typed.c_str()), directory("untouched");
        SCOPED_TRACE(typed.substr(0, 60));
        EXPECT_EQ(!c.line.empty(), ResolveCommandLine(command, directory));
        EXPECT_EQ(c.line.empty() ? typed : Expand(c.line, dir, root), std::string(command));
        EXPECT_EQ(c.line.empty() ? "untouched" : Expand(c.dir, dir, root), std::string(directory));
    }
    // The current directory is searched too.
    ::SetEnvironmentVariableA("PATH", oldPath);
    ::SetCurrentDirectoryA(dir.c_str());
    CString command("vtwo"), directory;
    ResolveCommandLine(command, directory);
    EXPECT_EQ("\"" + dir + "\\vtwo.bat\" ", std::string(command));

    ::SetCurrentDirectoryA(oldCwd);
    for (const std::string& f : files)
        ::DeleteFileA(f.c_str());
    ::RemoveDirectoryA(dir.c_str());
}

// Typed input reaches the child whole and in order, and its end closes the
// handle: through non-blocking writes the worker's passes retry (a pipe no
// one reads yet, so the typing never waits), and through the writer's own
// thread where the handle refuses non-blocking mode (a file here).
TEST(StdinWriter, EveryByteArrivesInOrderThenTheEndWithOrWithoutNonBlockingWrites)
{
    const std::string big(100000, 'b'), expected = "abc\r\n" + big + "x";
    for (bool bPipe : { true, false }) {
        SCOPED_TRACE(bPipe ? "pipe" : "file");
        std::string path = TempPath("vorlik-stdin") + ".txt";
        HANDLE hRead = nullptr, hWrite = nullptr;
        if (bPipe)
            ::CreatePipe(&hRead, &hWrite, nullptr, 1024);
        else
            hWrite = ::CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
        CHandle read(hRead);
        const int threads = CountThreads(::GetCurrentProcessId());
        CStdinWriter writer;
        writer.Open(CHandle(hWrite));
        EXPECT_EQ(threads + (bPipe ? 0 : 1), CountThreads(::GetCurrentProcessId())) << "a writer thread only for the file";
        writer.Write("abc", 3); // nothing reads yet: queued, never waited for
        writer.WriteKey('\r');
        writer.Write(big.data(), big.size());
        writer.WriteKey('x');
        writer.EndInput();
        std::string got;
        ::testing::AssertionResult ended = ::testing::AssertionSuccess();
        if (bPipe) {
            // The worker's passes: each writes what the pipe takes, which
            // this test then reads; until the end of input closes the pipe.
            bool closed = false;
            for (DWORD start = ::GetTickCount(); !closed && ::GetTickCount() - start < kTimeoutMs;) {
                writer.Flush();
                char buffer[65536];
                DWORD available = 0, n = 0;
                closed = !::PeekNamedPipe(read.get(), nullptr, 0, nullptr, &available, nullptr);
                if (!closed && available > 0 && ::ReadFile(read.get(), buffer, sizeof buffer, &n, nullptr))
                    got.append(buffer, n);
            }
            if (!closed)
                ended = ::testing::AssertionFailure() << "the end of input did not close the pipe; " << got.size() << " bytes came";
        } else { // closed by the writer's thread once all is written
            ended = WaitFor("the writer's thread to write all and close the file", [&] {
                return static_cast<bool>(CHandle(::CreateFileA(path.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr)));
            });
            got = ReadFileText(path);
        }
        writer.Close();
        EXPECT_TRUE(ended);
        EXPECT_TRUE(WaitFor("the writer's thread to end", [&] { return CountThreads(::GetCurrentProcessId()) == threads; }));
        EXPECT_TRUE(got == expected) << got.size() << " of " << expected.size() << " bytes";
        ::DeleteFileA(path.c_str());
    }
}

namespace {

// A window of the test's for a worker to report to; its messages are
// handled as any window's would be (nothing but the default).
CWindowHandle HostWindow()
{
    return CWindowHandle(::CreateWindowA("STATIC", "", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, nullptr, nullptr));
}

} // namespace

// A Save away from the window: one at a time, its progress counted as it
// writes, and a Cancel that removes the partial file. Its end is posted to
// the owner.
TEST(ExportJob, OneAtATimeItsProgressAndCancelRemovesThePartialFile)
{
    CWindowHandle owner = HostWindow();
    auto done = [&] {
        MSG msg;
        return WaitFor("WM_EXPORT_DONE", [&] { return ::PeekMessageA(&msg, owner.get(), WM_EXPORT_DONE, WM_EXPORT_DONE, PM_REMOVE) != FALSE; });
    };
    CScreenModel model;
    const std::string text = Pattern(32 << 20);
    model.Write(text.data(), text.size());
    const std::string pipeName = "\\\\.\\pipe\\vorlik-export", path = TempPath("vorlik-export") + ".txt";
    CHandle pipe(::CreateNamedPipeA(pipeName.c_str(), PIPE_ACCESS_INBOUND, PIPE_TYPE_BYTE | PIPE_WAIT, 1, 0, 4096, 0, nullptr));
    CExportJob job;
    ASSERT_TRUE(job.Start(owner.get(), std::make_unique<CTextExport>(model, L""), CExportJob::save, pipeName.c_str()));
    ::ConnectNamedPipe(pipe.get(), nullptr);
    EXPECT_FALSE(job.Start(owner.get(), std::make_unique<CTextExport>(model, L""), CExportJob::save, path.c_str()))
        << "a second one is refused while one runs";
    std::vector<int> percents{ job.GetPercent() };
    char buffer[65536];
    DWORD n = 0;
    for (size_t got = 0; ::ReadFile(pipe.get(), buffer, sizeof buffer, &n, nullptr); got += n)
        if (got > text.size() / 2 && percents.size() == 1)
            percents.push_back(job.GetPercent());
    EXPECT_TRUE(done());
    EXPECT_TRUE(job.Finish().bDone);
    EXPECT_EQ(0, percents[0]);
    EXPECT_GE(percents.at(1), 40) << "half written";

    // Cancelled at once, a Save of 32 MB has written little and removes it.
    ASSERT_TRUE(job.Start(owner.get(), std::make_unique<CTextExport>(model, L""), CExportJob::save, path.c_str()));
    job.Cancel();
    EXPECT_TRUE(done());
    CExportJob::CResult result = job.Finish();
    EXPECT_TRUE(result.bCancelled);
    EXPECT_FALSE(result.bDone);
    EXPECT_EQ(INVALID_FILE_ATTRIBUTES, ::GetFileAttributesA(path.c_str())) << "no partial file";
}
