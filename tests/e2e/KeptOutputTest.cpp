// The whole run kept: past the pane's bound Copy and Save still give every
// byte in order, the pane shows the newest output from a line start, the
// window answers during a flood, a missing temp folder costs only the
// oldest output, and a view scrolled up stays put.
#include "Pump.h"
#include "TestFiles.h"
#include "VorlikProcess.h"
#include "helpers/Pattern.h"
#include "res/resource.h"

#include <gtest/gtest.h>

using namespace testsupport;

namespace {

const std::string kEnd = "\n--End--\n";
const std::string kSavedEnd = "\r\n--End--\r\n";

LRESULT Ask(HWND hWnd, UINT message)
{
    DWORD_PTR result = 0;
    ::SendMessageTimeoutA(hWnd, message, 0, 0, SMTO_NORMAL, kTimeoutMs, &result);
    return static_cast<LRESULT>(result);
}

} // namespace

TEST(KeptOutput, ARunPastThePaneKeepsEveryByteAndTheWindowAnswersThroughout)
{
    VorlikProcess vorlik;
    ASSERT_TRUE(vorlik.Ready());
    const std::string all = Pattern(3000000) + kEnd;
    vorlik.Run("ChildTool pattern 3000000 65536");
    ASSERT_TRUE(vorlik.WaitForEnds(1));
    // The pane settles to the newest 512 KiB or more, from a line start.
    std::string text;
    EXPECT_TRUE(WaitUntil([&] { return (text = vorlik.PaneText()).size() >= 512 * 1024; })) << text.size();
    EXPECT_LE(text.size(), 1024u * 1024 + 70000);
    ASSERT_LT(text.size(), all.size());
    EXPECT_TRUE(all.compare(all.size() - text.size(), text.size(), text) == 0) << "the newest output, end line last";
    EXPECT_EQ('\n', all[all.size() - text.size() - 1]) << "from the start of a line";

    const std::string saved = Pattern(3000000) + kSavedEnd;
    EXPECT_TRUE(vorlik.CopyOutput() == saved) << "Copy: every byte in order";
    EXPECT_TRUE(vorlik.SaveOutput(TempPath("vorlik-kept") + ".txt") == saved) << "Save: every byte in order";

    // A flood leaves the window answering all along.
    vorlik.Run("ChildTool pattern 10000000 65536");
    int answered = 0, asked = 0;
    while (vorlik.PaneText().find("--End--") == std::string::npos && asked < 2000) {
        DWORD_PTR result = 0;
        ++asked;
        answered += ::SendMessageTimeoutA(vorlik.Dialog(), WM_NULL, 0, 0, SMTO_NORMAL, 5000, &result) != 0;
        ::Sleep(20);
    }
    EXPECT_EQ(asked, answered);
    EXPECT_TRUE(vorlik.WaitForEnds(1));
}

TEST(KeptOutput, WithoutATempFolderSaveGivesANoteThenTheNewestOutput)
{
    std::string missing = TempPath("vorlik-no-such-folder") + "\\inner";
    char oldTmp[MAX_PATH] = "", oldTemp[MAX_PATH] = "";
    ::GetEnvironmentVariableA("TMP", oldTmp, sizeof oldTmp);
    ::GetEnvironmentVariableA("TEMP", oldTemp, sizeof oldTemp);
    ::SetEnvironmentVariableA("TMP", missing.c_str());
    ::SetEnvironmentVariableA("TEMP", missing.c_str());
    VorlikProcess vorlik; // inherits the missing folder
    ::SetEnvironmentVariableA("TMP", oldTmp);
    ::SetEnvironmentVariableA("TEMP", oldTemp);
    ASSERT_TRUE(vorlik.Ready());

    const size_t size = 24000000;
    vorlik.Run("ChildTool pattern 24000000 65536");
    ASSERT_TRUE(vorlik.WaitForEnds(1));
    std::string saved = vorlik.SaveOutput(TempPath("vorlik-kept-fault") + ".txt");
    size_t eol = saved.find("\r\n");
    ASSERT_NE(std::string::npos, eol);
    std::string note = saved.substr(0, eol);
    unsigned long lost = std::strtoul(note.c_str() + 1, nullptr, 10);
    EXPECT_EQ('[', note[0]) << note;
    EXPECT_NE(std::string::npos, note.find("bytes at the beginning of the output could not be kept")) << note;
    EXPECT_GT(lost, 0u);
    ASSERT_LT(lost, size);
    EXPECT_TRUE(saved.substr(eol + 2) == Pattern(size).substr(lost) + kSavedEnd)
        << "the newest output, whole, after the note";
    DWORD_PTR result = 0;
    EXPECT_NE(0, ::SendMessageTimeoutA(vorlik.Dialog(), WM_NULL, 0, 0, SMTO_NORMAL, 5000, &result));
}

TEST(KeptOutput, AViewScrolledUpStaysWhileOutputArrivesAndFollowsFromTheBottom)
{
    VorlikProcess vorlik;
    ASSERT_TRUE(vorlik.Ready());
    HWND hPane = vorlik.Item(IDC_OUTPUT);
    auto lines = [&] { return Ask(hPane, EM_GETLINECOUNT); };
    vorlik.Run("ChildTool stamps 2000 10");
    ASSERT_TRUE(WaitUntil([&] { return lines() > 80; }));

    ::SendMessageA(hPane, WM_VSCROLL, SB_TOP, 0);
    LRESULT seen = lines();
    ASSERT_TRUE(WaitUntil([&] { return lines() > seen + 40; }));
    EXPECT_EQ(0, Ask(hPane, EM_GETFIRSTVISIBLELINE)) << "the view stays where the user put it";

    ::SendMessageA(hPane, WM_VSCROLL, SB_BOTTOM, 0);
    LRESULT first = Ask(hPane, EM_GETFIRSTVISIBLELINE);
    seen = lines();
    ASSERT_TRUE(WaitUntil([&] { return lines() > seen + 40; }));
    EXPECT_GE(Ask(hPane, EM_GETFIRSTVISIBLELINE), first + 30) << "back at the bottom, it follows the output";
    vorlik.Click(IDC_STOP);
    EXPECT_TRUE(vorlik.WaitForEnds(1));
}
