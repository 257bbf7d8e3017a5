// Times the run worker and the output pane in-process under Wine: a flood
// from a child writing 64 KB at a time, `cmd /c type` of a 10 MB file, one
// append past the cap with its trim, and clearing a pane filled to the cap.
// Prints one line per figure: the median of the runs and the spread.
#include "ChildProcess.h"
#include "ModalRunner.h"
#include "Pump.h"
#include "RunTestDialog.h"

#include <psapi.h>

#include <algorithm>
#include <cstdio>
#include <fstream>
#include <string>
#include <vector>

using namespace testsupport;

namespace {

double Seconds(LARGE_INTEGER a, LARGE_INTEGER b)
{
    LARGE_INTEGER f;
    ::QueryPerformanceFrequency(&f);
    return double(b.QuadPart - a.QuadPart) / double(f.QuadPart);
}

LARGE_INTEGER Now()
{
    LARGE_INTEGER t;
    ::QueryPerformanceCounter(&t);
    return t;
}

double ResidentMB()
{
    PROCESS_MEMORY_COUNTERS pmc{};
    pmc.cb = sizeof pmc;
    ::GetProcessMemoryInfo(::GetCurrentProcess(), &pmc, sizeof pmc);
    return double(pmc.WorkingSetSize) / (1024.0 * 1024.0);
}

void Report(const char* name, std::vector<double> v, const char* unit)
{
    if (v.empty()) {
        std::printf("%-44s no result\n", name);
        return;
    }
    std::sort(v.begin(), v.end());
    std::printf("%-44s median %8.3f %s  (min %.3f, max %.3f, n=%zu)\n", name, v[v.size() / 2], unit, v.front(),
                v.back(), v.size());
    std::fflush(stdout);
}

double TimeRun(HWND hDlg, CRunTestDlg& dlg, const std::string& command)
{
    int before = dlg.m_nFinished;
    LARGE_INTEGER t0 = Now();
    ::SendMessageA(hDlg, WM_TEST_RUN, 0, reinterpret_cast<LPARAM>(command.c_str()));
    WaitUntil([&] { return dlg.m_nFinished > before; }, 600000);
    return Seconds(t0, Now());
}

} // namespace

int main(int argc, char** argv)
{
    int runs = argc > 1 ? std::atoi(argv[1]) : 3;
    CWinApp app;
    app.InitApplication(::GetModuleHandleA(nullptr));
    AfxInitRichEdit();

    char temp[MAX_PATH] = "";
    ::GetTempPathA(sizeof temp, temp);
    std::string file = std::string(temp) + "vorlik-bench-10mb.txt";
    {
        std::ofstream out(file, std::ios::binary);
        char line[96];
        size_t written = 0;
        for (int i = 0; written < 10u * 1024 * 1024; ++i) {
            int n = std::snprintf(line, sizeof line, "%07d the quick brown fox jumps over the lazy dog 0123456789\r\n", i);
            out.write(line, n);
            written += static_cast<size_t>(n);
        }
    }
    std::string tool = "\"" + BesideTests("ChildTool.exe") + "\"";

    std::vector<double> flood, type, rss, clear, trim;
    double rssStart = ResidentMB();
    for (int r = 0; r < runs; ++r) {
        CRunTestDlg dlg;
        RunModalWith(dlg, [&](HWND hDlg) {
            flood.push_back(TimeRun(hDlg, dlg, tool + " pattern 10485760 65536"));
            rss.push_back(ResidentMB());
            type.push_back(TimeRun(hDlg, dlg, "cmd /c type \"" + file + "\""));
            rss.push_back(ResidentMB());

            // One append past the cap (the trim), then clearing the full pane.
            std::string chunk(64 * 1024 - 2, 'y');
            chunk += "\r\n";
            while (::SendMessageA(PaneOf(hDlg), WM_GETTEXTLENGTH, 0, 0) + 70000 < COutputPane::kMaxChars)
                dlg.m_output.AppendText(chunk.c_str());
            // The trim follows the append in a message of its own: the time
            // is taken until the pane is back under the cap.
            LARGE_INTEGER t0 = Now();
            dlg.m_output.AppendText((chunk + chunk).c_str());
            WaitUntil([&] { return ::SendMessageA(PaneOf(hDlg), WM_GETTEXTLENGTH, 0, 0) <= COutputPane::kMaxChars; },
                      60000);
            trim.push_back(Seconds(t0, Now()));
            while (::SendMessageA(PaneOf(hDlg), WM_GETTEXTLENGTH, 0, 0) + 70000 < COutputPane::kMaxChars)
                dlg.m_output.AppendText(chunk.c_str());
            t0 = Now();
            dlg.m_output.Clear();
            clear.push_back(Seconds(t0, Now()));
        });
    }
    ::DeleteFileA(file.c_str());

    std::printf("pane cap: %ld characters\n", COutputPane::kMaxChars);
    Report("10 MB, child writing 64 KB at a time", flood, "s");
    Report("10 MB, cmd /c type of a text file", type, "s");
    Report("one append past the cap, until trimmed", trim, "s");
    Report("clearing a pane filled to the cap", clear, "s");
    Report("resident memory after a 10 MB run", rss, "MB");
    std::printf("resident memory at start: %.1f MB\n", rssStart);
    return 0;
}
