// What a run owns: Stop ends the child and everything it started, a run that
// ends by itself leaves what it started alone, Exit follows Stop, and the
// built program loads on the oldest Windows it claims.
#include "ChildProcess.h"
#include "Pump.h"
#include "VorlikProcess.h"
#include "res/resource.h"

#include <gtest/gtest.h>

#include <fstream>
#include <set>
#include <string>
#include <vector>

using namespace testsupport;

namespace {

const char kTool[] = "ChildTool.exe";

struct TreeCase {
    const char* interpreter; // runs ChildTool tree, which leaves two ChildTools running until stopped
    const char* what;
};

} // namespace

TEST(RunTree, StopEndsTheChildAndEverythingItStarted)
{
    const TreeCase cases[] = {
        { "cmd /c ", "through the interpreter" },
        { "cmd /k ", "inside an interactive cmd" },
    };
    for (const TreeCase& c : cases) {
        SCOPED_TRACE(c.what);
        VorlikProcess vorlik;
        ASSERT_TRUE(vorlik.Ready());
        vorlik.Run(c.interpreter + ("\"" + BesideTests(kTool) + "\" tree"));
        ASSERT_TRUE(WaitUntil([&] { return CountProcesses(kTool) == 2; })) << "child and grandchild run";
        vorlik.Click(IDC_STOP);
        EXPECT_TRUE(vorlik.WaitForEnds(1));
        EXPECT_TRUE(WaitUntil([&] { return CountProcesses(kTool) == 0; })) << "nothing of the run is left";
        EndProcesses(kTool);
        // Exit right after a Stop: at most refused until the run has ended.
        vorlik.Click(IDC_STOP);
        vorlik.Command(IDCANCEL);
        EXPECT_TRUE(vorlik.WaitForExit());
    }
}

TEST(RunTree, ARunThatEndsByItselfLeavesWhatItStartedRunning)
{
    VorlikProcess vorlik;
    ASSERT_TRUE(vorlik.Ready());
    vorlik.Run("ChildTool grandchild");
    ASSERT_TRUE(vorlik.WaitForEnds(1));
    EXPECT_EQ(1, CountProcesses(kTool)) << "the grandchild the user started goes on";
    EndProcesses(kTool);
}

// The import table decides where Vorlik.exe can start at all: Windows XP
// (the runtime's AddVectoredExceptionHandler needs it). Every DLL it imports
// must ship with XP, and no function it imports may be one that came later.
TEST(RunTree, TheProgramImportsNothingNewerThanWindowsXp)
{
    std::ifstream file(BesideTests("Vorlik.exe"), std::ios::binary);
    std::vector<char> image((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
    ASSERT_GT(image.size(), 1024u);
    auto at = [&](size_t offset) { return image.data() + offset; };
    const auto* dos = reinterpret_cast<const IMAGE_DOS_HEADER*>(at(0));
    const auto* nt = reinterpret_cast<const IMAGE_NT_HEADERS32*>(at(dos->e_lfanew));
    const auto* sections = IMAGE_FIRST_SECTION(nt);
    auto fileOffset = [&](DWORD rva) -> size_t {
        for (int i = 0; i < nt->FileHeader.NumberOfSections; ++i)
            if (rva >= sections[i].VirtualAddress && rva < sections[i].VirtualAddress + sections[i].Misc.VirtualSize)
                return rva - sections[i].VirtualAddress + sections[i].PointerToRawData;
        return 0;
    };
    EXPECT_LE(nt->OptionalHeader.MajorSubsystemVersion, 5) << "the loader would refuse the exe on XP";

    const std::set<std::string> xpDlls = { "KERNEL32.DLL", "USER32.DLL", "GDI32.DLL", "ADVAPI32.DLL", "SHELL32.DLL",
                                           "COMCTL32.DLL", "COMDLG32.DLL", "SHLWAPI.DLL", "MSVCRT.DLL", "OLE32.DLL" };
    // Functions of those DLLs that a toolchain or this code might reach
    // for, which XP does not have.
    const std::set<std::string> newer = {
        "GetTickCount64", "InitializeCriticalSectionEx", "InitOnceExecuteOnce", "InitializeSRWLock",
        "AcquireSRWLockExclusive", "ReleaseSRWLockExclusive", "SleepConditionVariableCS", "WakeConditionVariable",
        "InitializeConditionVariable", "FlsAlloc", "FlsGetValue", "FlsSetValue", "FlsFree", "GetCurrentProcessorNumber",
        "GetSystemTimePreciseAsFileTime", "CreateEventExA", "CreateEventExW", "CreateMutexExA", "CreateSemaphoreExA",
        "GetFileInformationByHandleEx", "SetFileInformationByHandle", "CreateSymbolicLinkA", "GetFinalPathNameByHandleA",
        "QueryFullProcessImageNameA", "GetLocaleInfoEx", "LCMapStringEx", "CompareStringEx", "GetUserDefaultLocaleName",
        "WaitOnAddress", "WakeByAddressSingle", "SetThreadStackGuarantee", "GetErrorMode", "RaiseFailFastException",
        "GetThreadId", "GetProcessId", "GetLogicalProcessorInformation", "ChangeWindowMessageFilter",
        "SetProcessDPIAware", "TaskDialog", "TaskDialogIndirect", "IsThreadAFiber", "_fseeki64", "_ftelli64",
        "_gmtime64_s", "_localtime64_s", "_time64", "_mktime64", "_ctime64", "_wctime64", "_difftime64",
    };
    const auto& dir = nt->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_IMPORT];
    int functions = 0;
    for (const auto* imp = reinterpret_cast<const IMAGE_IMPORT_DESCRIPTOR*>(at(fileOffset(dir.VirtualAddress)));
         imp->Name != 0; ++imp) {
        std::string dll = at(fileOffset(imp->Name));
        for (char& ch : dll)
            ch = static_cast<char>(::toupper(static_cast<unsigned char>(ch)));
        EXPECT_EQ(1u, xpDlls.count(dll)) << dll << " is not a DLL of Windows XP";
        DWORD thunkRva = imp->OriginalFirstThunk != 0 ? imp->OriginalFirstThunk : imp->FirstThunk;
        for (const auto* thunk = reinterpret_cast<const IMAGE_THUNK_DATA32*>(at(fileOffset(thunkRva)));
             thunk->u1.AddressOfData != 0; ++thunk) {
            if (IMAGE_SNAP_BY_ORDINAL32(thunk->u1.Ordinal))
                continue;
            std::string name = reinterpret_cast<const IMAGE_IMPORT_BY_NAME*>(at(fileOffset(thunk->u1.AddressOfData)))->Name;
            EXPECT_EQ(0u, newer.count(name)) << dll << "!" << name << " needs a newer Windows than XP";
            ++functions;
        }
    }
    EXPECT_GT(functions, 50) << "the import table was read";
}
