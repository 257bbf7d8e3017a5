// The real Vorlik.exe, started and driven from outside with window messages.
#include "ChildProcess.h"

#include <gtest/gtest.h>

using namespace testsupport;

TEST(Startup, ShowsItsWindowAndEndsWhenItIsClosed)
{
    ChildProcess vorlik("\"" + BesideTests("Vorlik.exe") + "\"");
    ASSERT_TRUE(vorlik.Started());
    HWND hDlg = WaitForTopWindow(vorlik.Pid(), "#32770", "Vorlik", 20000);
    ASSERT_NE(nullptr, hDlg);

    ::PostMessageA(hDlg, WM_SYSCOMMAND, SC_CLOSE, 0);
    DWORD exitCode = 1;
    EXPECT_TRUE(vorlik.WaitForExit(20000, &exitCode));
    EXPECT_EQ(0u, exitCode);
}
