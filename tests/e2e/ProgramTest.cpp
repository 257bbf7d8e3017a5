// The real Vorlik.exe with runs past the pane's bound (every byte kept, the
// window answering, no temp folder), the process tree a run owns, and the
// oldest Windows the program can start on.
#include "VorlikProcess.h"
#include "helpers/Pattern.h"

#include <gtest/gtest.h>

#include <psapi.h>

#include <cstdio>
#include <fstream>
#include <set>

using namespace testsupport;

// 6 MB: past the pane's bound, and past what the kept output holds in
// memory before it goes to a temporary file.
TEST(KeptOutput, ARunPastThePaneKeepsEveryByteInBoundedMemoryAndTheWindowAnswersThroughout)
{
    VorlikProcess vorlik;
    ASSERT_TRUE(vorlik.Ready());
    vorlik.Run("ChildTool pattern 6000000 65536");
    int asked = 0, answered = 0;
    for (; vorlik.PaneText().find("--End--") == std::string::npos && asked < 5000; ::Sleep(20))
        answered += vorlik.Answers() ? 1 : 0, ++asked;
    EXPECT_EQ(asked, answered) << "the window answered all along";
    ASSERT_TRUE(vorlik.WaitForEnd());
    const std::string all = Pattern(6000000);
    std::string text;
    EXPECT_TRUE(WaitUntil([&] { return (text = vorlik.PaneText()).size() >= 512 * 1024; })) << "it settles";
    EXPECT_LE(text.size(), 1024u * 1024 + 70000);
    text.resize(text.size() - kEnd.size());
    ASSERT_LT(text.size(), all.size());
    EXPECT_TRUE(EndsWith(all, text)) << "the newest output";
    EXPECT_EQ('\n', all[all.size() - text.size() - 1]) << "from the start of a line";
    CHandle process(::OpenProcess(PROCESS_QUERY_INFORMATION | PROCESS_VM_READ, FALSE, vorlik.Pid()));
    PROCESS_MEMORY_COUNTERS pmc{ sizeof pmc };
    ASSERT_TRUE(::GetProcessMemoryInfo(process.get(), &pmc, sizeof pmc));
    std::printf("Vorlik's resident memory after 6 MB of output: %lu MB\n", static_cast<unsigned long>(pmc.WorkingSetSize >> 20));
    EXPECT_LT(pmc.WorkingSetSize, 250u << 20);
    EXPECT_TRUE(vorlik.CopyOutput() == all + kSavedEnd) << "Copy: every byte in order";
    EXPECT_TRUE(vorlik.SaveOutput() == all + kSavedEnd) << "Save: every byte in order";
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
    ASSERT_TRUE(vorlik.WaitForEnd());
    std::string saved = vorlik.SaveOutput();
    size_t eol = saved.find("\r\n");
    ASSERT_NE(std::string::npos, eol);
    std::string note = saved.substr(0, eol);
    unsigned long lost = std::strtoul(note.c_str() + 1, nullptr, 10);
    EXPECT_EQ("[" + std::to_string(lost) + " bytes at the beginning of the output could not be kept: the temporary "
              "folder could not be written.]", note);
    EXPECT_GT(lost, 0u);
    ASSERT_LT(lost, size);
    EXPECT_TRUE(saved.substr(eol + 2) == Pattern(size).substr(lost) + kSavedEnd) << "the newest output, whole";
    EXPECT_TRUE(vorlik.Answers());
}

// ChildTool tree leaves two ChildTools running until stopped.
TEST(RunTree, StopEndsTheChildAndEverythingItStartedAndExitFollows)
{
    for (const char* interpreter : { "cmd /c ", "cmd /k " }) {
        SCOPED_TRACE(interpreter);
        VorlikProcess vorlik;
        ASSERT_TRUE(vorlik.Ready());
        vorlik.Run(interpreter + ChildTool("tree"));
        ASSERT_TRUE(WaitUntil([&] { return CountProcesses("ChildTool.exe") == 2; })) << "child and grandchild run";
        vorlik.Click(IDC_STOP);
        EXPECT_TRUE(vorlik.WaitForEnd());
        EXPECT_TRUE(WaitUntil([&] { return CountProcesses("ChildTool.exe") == 0; })) << "nothing of the run is left";
        EndProcesses("ChildTool.exe");
        vorlik.Click(IDC_STOP);
        EXPECT_TRUE(vorlik.Exit()) << "Exit right after a Stop";
    }
    VorlikProcess vorlik;
    ASSERT_TRUE(vorlik.Ready());
    vorlik.Run("ChildTool grandchild");
    ASSERT_TRUE(vorlik.WaitForEnd());
    EXPECT_EQ(1, CountProcesses("ChildTool.exe")) << "a run that ends by itself leaves what it started";
    EndProcesses("ChildTool.exe");
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
    const auto* nt = reinterpret_cast<const IMAGE_NT_HEADERS32*>(at(reinterpret_cast<const IMAGE_DOS_HEADER*>(at(0))->e_lfanew));
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
    // Functions a toolchain or this code might reach for that XP lacks.
    const std::set<std::string> newer = {
        "GetTickCount64", "InitializeCriticalSectionEx", "InitOnceExecuteOnce", "InitializeSRWLock",
        "AcquireSRWLockExclusive", "SleepConditionVariableCS", "WakeConditionVariable", "FlsAlloc", "FlsSetValue",
        "GetSystemTimePreciseAsFileTime", "CreateEventExA", "GetFileInformationByHandleEx", "GetLocaleInfoEx",
        "SetThreadStackGuarantee", "GetErrorMode", "GetThreadId", "GetProcessId", "_fseeki64", "_localtime64_s",
    };
    const auto& dir = nt->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_IMPORT];
    int functions = 0;
    for (const auto* imp = reinterpret_cast<const IMAGE_IMPORT_DESCRIPTOR*>(at(fileOffset(dir.VirtualAddress)));
         imp->Name != 0; ++imp) {
        std::string dll = at(fileOffset(imp->Name));
        std::transform(dll.begin(), dll.end(), dll.begin(), ::toupper);
        EXPECT_EQ(1u, xpDlls.count(dll)) << dll << " is not a DLL of Windows XP";
        DWORD thunkRva = imp->OriginalFirstThunk != 0 ? imp->OriginalFirstThunk : imp->FirstThunk;
        for (const auto* thunk = reinterpret_cast<const IMAGE_THUNK_DATA32*>(at(fileOffset(thunkRva)));
             thunk->u1.AddressOfData != 0; ++thunk, ++functions) {
            if (!IMAGE_SNAP_BY_ORDINAL32(thunk->u1.Ordinal)) {
                std::string name = reinterpret_cast<const IMAGE_IMPORT_BY_NAME*>(at(fileOffset(thunk->u1.AddressOfData)))->Name;
                EXPECT_EQ(0u, newer.count(name)) << dll << "!" << name << " needs a newer Windows than XP";
            }
        }
    }
    EXPECT_GT(functions, 50) << "the import table was read";
}
