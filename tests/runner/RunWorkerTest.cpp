// The run worker against a dialog that handles the run messages as the main
// dialog does: message order, output shown whole, typed input, Stop.
#include "runner/RunWorker.h"

#include "ChildProcess.h"
#include "MessageBoxes.h"
#include "ModalRunner.h"
#include "Pump.h"
#include "RunTestDialog.h"
#include "TestFiles.h"
#include "helpers/Pattern.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <fstream>
#include <sstream>

using namespace testsupport;

namespace {

const std::string kEnd = "\n--End--\n"; // the control keeps a lone line feed
constexpr DWORD kRunTimeoutMs = 60000;

std::string Child(const std::string& args)
{
    return "\"" + BesideTests("ChildTool.exe") + "\" " + args;
}

// Starts a run; false when the dialog refused it.
bool Start(HWND hDlg, const std::string& command)
{
    return ::SendMessageA(hDlg, WM_TEST_RUN, 0, reinterpret_cast<LPARAM>(command.c_str())) != 0;
}

bool RunToEnd(HWND hDlg, CRunTestDlg& dlg, const std::string& command)
{
    int before = dlg.m_nFinished;
    return Start(hDlg, command) && WaitUntil([&] { return dlg.m_nFinished > before; }, kRunTimeoutMs) &&
        WaitForPane(hDlg, dlg.m_output);
}

const std::vector<UINT> kAllThree = { WM_RUN_STDIN, WM_RUN_PROCESS, WM_RUN_FINISHED };

} // namespace

TEST(RunWorker, ReportsPipeProcessAndEndInOrderAndShowsTheOutput)
{
    CRunTestDlg dlg;
    bool ended = false;
    std::string text;
    RunModalWith(dlg, [&](HWND hDlg) {
        ended = RunToEnd(hDlg, dlg, Child("print hello"));
        text = PaneText(hDlg);
    });
    EXPECT_TRUE(ended);
    EXPECT_EQ(kAllThree, dlg.RunMessages());
    EXPECT_EQ("hello\r\n" + kEnd, text);
}

TEST(RunWorker, AFileThatIsNoProgramFailsAfterTheStdinMessageWithThePaneCleared)
{
    std::string doc = TempPath("vorlik-doc") + ".txt";
    std::ofstream(doc) << "not a program";
    CRunTestDlg dlg;
    MessageBoxSeen box;
    std::string textAtBox = "?";
    bool ended = false;
    std::vector<UINT> firstRun;
    RunModalWith(dlg, [&](HWND hDlg) {
        RunToEnd(hDlg, dlg, Child("print before"));
        firstRun = dlg.RunMessages();
        int before = dlg.m_nFinished;
        Start(hDlg, doc);
        HWND hBox = WaitForMessageBox(::GetCurrentProcessId(), kRunTimeoutMs);
        if (hBox == nullptr)
            return;
        box = ReadMessageBox(hBox);
        textAtBox = PaneText(hDlg);
        bool endedEarly = dlg.m_nFinished > before;
        DismissMessageBox(hBox);
        ended = !endedEarly && WaitUntil([&] { return dlg.m_nFinished > before; });
    });
    ::DeleteFileA(doc.c_str());
    EXPECT_EQ(kAllThree, firstRun);
    EXPECT_EQ("Couldn't Create Process\r\n", box.text);
    EXPECT_EQ("", textAtBox) << "the previous output is gone before the box shows";
    EXPECT_TRUE(ended) << "the end comes once the box is dismissed";
    EXPECT_EQ((std::vector<UINT>{ WM_RUN_STDIN, WM_RUN_FINISHED }), dlg.RunMessages());
}

TEST(RunWorker, ACommandTooLongIsRefusedAndStartsNothing)
{
    CRunTestDlg dlg;
    MessageBoxWatcher boxes;
    std::string text;
    bool ended = false;
    RunModalWith(dlg, [&](HWND hDlg) {
        ended = RunToEnd(hDlg, dlg, Child("print " + std::string(1100, 'x')));
        text = PaneText(hDlg);
    });
    EXPECT_TRUE(ended);
    ASSERT_EQ(1u, boxes.Count());
    EXPECT_EQ("The command line is too long. A command line can have at most 1023 characters.",
              boxes.Seen()[0].text);
    EXPECT_EQ((std::vector<UINT>{ WM_RUN_STDIN, WM_RUN_FINISHED }), dlg.RunMessages());
    EXPECT_EQ(kEnd, text);
}

TEST(RunWorker, OutputArrivesWholeAndInOrderUpToTheLastByte)
{
    CRunTestDlg dlg;
    std::string big, lastGasp, both, zeros;
    RunModalWith(dlg, [&](HWND hDlg) {
        if (RunToEnd(hDlg, dlg, Child("pattern 1000000 4096")))
            big = WholeOutput(hDlg, dlg.m_output);
        if (RunToEnd(hDlg, dlg, Child("lastgasp 300000")))
            lastGasp = WholeOutput(hDlg, dlg.m_output);
        if (RunToEnd(hDlg, dlg, Child("both")))
            both = PaneText(hDlg);
        if (RunToEnd(hDlg, dlg, Child("zeros")))
            zeros = PaneText(hDlg);
    });
    const std::string kEndCrLf = "\r\n--End--\r\n";
    EXPECT_TRUE(big == Pattern(1000000) + kEndCrLf) << "1 MB, byte for byte (size " << big.size() << ")";
    EXPECT_TRUE(lastGasp == Pattern(300000) + kEndCrLf) << "written just before the child ended";
    EXPECT_EQ("out err out err out err " + kEnd, both) << "stdout and stderr share the pane";
    EXPECT_EQ("abcdefghi" + kEnd, zeros) << "a zero byte hides nothing after it";
}

TEST(RunWorker, TypedInputReachesAnEchoingChildAndTheRunLastsUntilItEnds)
{
    CRunTestDlg dlg;
    bool echoed = false;
    bool ended = false;
    bool activeWhileWaiting = false;
    RunModalWith(dlg, [&](HWND hDlg) {
        int before = dlg.m_nFinished;
        Start(hDlg, Child("echo"));
        WaitUntil([&] { return dlg.RunMessages().size() == 2; });
        TypeInto(PaneOf(hDlg), "ping\r");
        // The pane echoes each key and the child sends each byte back; the
        // two may interleave, so count letters.
        echoed = WaitUntil([&] {
            std::string t = PaneText(hDlg);
            return std::count(t.begin(), t.end(), 'p') == 2 && std::count(t.begin(), t.end(), 'g') == 2;
        });
        activeWhileWaiting = dlg.m_bRunning;
        TypeInto(PaneOf(hDlg), "q");
        ended = WaitUntil([&] { return dlg.m_nFinished > before; });
    });
    EXPECT_TRUE(echoed);
    EXPECT_TRUE(activeWhileWaiting);
    EXPECT_TRUE(ended);
    EXPECT_EQ(kAllThree, dlg.RunMessages());
}

TEST(RunWorker, TypingIntoAChildThatDoesNotReadNeverBlocksAndLosesNothing)
{
    std::string gate = TempPath("vorlik-gate");
    std::string out = TempPath("vorlik-sink");
    ::DeleteFileA(gate.c_str());
    ::DeleteFileA(out.c_str());
    // 10 KB in lines (the control lays out a whole line again for each key,
    // so one long line would only measure that); no 'q', which ends the sink.
    std::string typed;
    std::string expected;
    for (int i = 0; i < 10000; ++i) {
        char ch = i % 64 == 63 ? '\r' : "abcdefghijklmnoprstuvwxyz0123456789"[i % 35];
        typed += ch;
        expected += ch == '\r' ? std::string("\r\n") : std::string(1, ch);
    }

    CRunTestDlg dlg;
    bool allShown = false;
    bool responsive = false;
    bool ended = false;
    RunModalWith(dlg, [&](HWND hDlg) {
        int before = dlg.m_nFinished;
        Start(hDlg, Child("sink \"" + gate + "\" \"" + out + "\""));
        WaitUntil([&] { return dlg.RunMessages().size() == 2; });
        TypeInto(PaneOf(hDlg), typed);
        // Every character was handled (and echoed) although the pipe holds 1 KB.
        allShown = WaitUntil([&] { return dlg.PaneLengthsAtChar().size() == typed.size(); }, kRunTimeoutMs);
        DWORD_PTR ignored = 0;
        responsive = ::SendMessageTimeoutA(hDlg, WM_NULL, 0, 0, SMTO_ABORTIFHUNG, 5000, &ignored) != 0;
        std::ofstream(gate) << "go";
        TypeInto(PaneOf(hDlg), "q");
        ended = WaitUntil([&] { return dlg.m_nFinished > before; }, kRunTimeoutMs);
    });
    std::ifstream in(out, std::ios::binary);
    std::stringstream got;
    got << in.rdbuf();
    in.close();
    ::DeleteFileA(gate.c_str());
    ::DeleteFileA(out.c_str());
    EXPECT_TRUE(allShown);
    EXPECT_TRUE(responsive);
    EXPECT_TRUE(ended);
    EXPECT_TRUE(got.str() == expected) << "the child got " << got.str().size() << " of " << expected.size()
                                     << " bytes, or not in order";
}

TEST(RunWorker, StopTerminatesTheChildThroughTheBorrowedHandle)
{
    CRunTestDlg dlg;
    LRESULT stopped = 0;
    bool ended = false;
    RunModalWith(dlg, [&](HWND hDlg) {
        int before = dlg.m_nFinished;
        Start(hDlg, Child("wait"));
        WaitUntil([&] { return dlg.RunMessages().size() == 2; });
        stopped = ::SendMessageA(hDlg, WM_TEST_STOP, 0, 0);
        ended = WaitUntil([&] { return dlg.m_nFinished > before; });
    });
    EXPECT_TRUE(stopped);
    EXPECT_TRUE(ended);
    EXPECT_EQ(kAllThree, dlg.RunMessages());
}

TEST(RunWorker, AProgramRunsInItsOwnFolderAndBuiltInsInOurs)
{
    CRunTestDlg dlg;
    std::string own, builtin;
    char cwd[MAX_PATH] = "";
    ::GetCurrentDirectoryA(sizeof cwd, cwd);
    RunModalWith(dlg, [&](HWND hDlg) {
        if (RunToEnd(hDlg, dlg, Child("cwd")))
            own = PaneText(hDlg);
        if (RunToEnd(hDlg, dlg, "cd"))
            builtin = PaneText(hDlg);
    });
    std::string folder = BesideTests("");
    folder.pop_back(); // no trailing backslash
    EXPECT_EQ(folder + "\r\n" + kEnd, own);
    EXPECT_EQ(std::string(cwd) + "\r\n" + kEnd, builtin);
}
