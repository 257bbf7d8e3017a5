// main() of every test executable: the framework's application object is
// made ready as the program's entry point would, then GoogleTest runs.
//
// The test process and everything it starts (Vorlik.exe, ChildTool.exe and
// what they start) share a job that ends them all when the test process
// ends by any route, so that a test stopped by a timeout leaves nothing
// behind for the next one.
#include "TestSupport.h"

#include <gtest/gtest.h>

#include <cstdio>

namespace {

// Named after the test executable, so each one has a profile key of its own.
CWinApp theTestApp;

// Closed by the system when the test process ends, however it ends.
HANDLE EndWithThisProcess()
{
    HANDLE hJob = ::CreateJobObjectA(nullptr, nullptr);
    JOBOBJECT_EXTENDED_LIMIT_INFORMATION limits{};
    limits.BasicLimitInformation.LimitFlags = JOB_OBJECT_LIMIT_KILL_ON_JOB_CLOSE;
    if (hJob == nullptr || !::SetInformationJobObject(hJob, JobObjectExtendedLimitInformation, &limits, sizeof limits) ||
        !::AssignProcessToJobObject(hJob, ::GetCurrentProcess()))
        std::fprintf(stderr, "note: the processes this test starts are not in a job of its own\n");
    return hJob;
}

} // namespace

int main(int argc, char** argv)
{
    // Unbuffered: a test stopped by CTest's timeout still shows what it did.
    std::setvbuf(stdout, nullptr, _IONBF, 0);
    EndWithThisProcess();
    theTestApp.InitApplication(::GetModuleHandleA(nullptr));
    ::InitCommonControls();
    AfxInitRichEdit();
    testsupport::InstallUiCallHook();
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
