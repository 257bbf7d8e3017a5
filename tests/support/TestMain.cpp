// main() of every test executable: the framework's application object is
// made ready as the program's entry point would, then GoogleTest runs.
#include "TestSupport.h"

#include <gtest/gtest.h>

namespace {

// Named after the test executable, so each one has a profile key of its own.
CWinApp theTestApp;

} // namespace

int main(int argc, char** argv)
{
    theTestApp.InitApplication(::GetModuleHandleA(nullptr));
    ::InitCommonControls();
    AfxInitRichEdit();
    testsupport::InstallUiCallHook();
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
