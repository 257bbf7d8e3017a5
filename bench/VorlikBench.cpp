// Measures how fast the real Vorlik.exe shows a child's output, driving it
// from this process with window messages, next to baselines measured in the
// same run:
//   reader      - this process reading the same child through a pipe with
//                 blocking reads: the limit of the pipe and the child;
//   wineconsole - Wine's own console window showing the same `type`, the
//                 peer a user would otherwise use.
// Every figure is repeated (but the 1 GB run); the table shows the median
// and the spread.
#include "console/OutputView.h"

#include "VorlikProcess.h"
#include "helpers/Pattern.h"
#include "res/resource.h"

#include <tlhelp32.h>
#include <richedit.h>

#include <algorithm>
#include <atomic>
#include <cctype>
#include <cstdlib>
#include <cstdio>
#include <fstream>
#include <functional>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

using namespace testsupport;

namespace {

constexpr size_t kFloodBytes = 10u << 20;

double Now()
{
    LARGE_INTEGER f, t;
    ::QueryPerformanceFrequency(&f);
    ::QueryPerformanceCounter(&t);
    return double(t.QuadPart) / double(f.QuadPart);
}

struct Stat {
    double median, min, max;
};

Stat Summarise(std::vector<double> v)
{
    if (v.empty())
        return { 0, 0, 0 };
    std::sort(v.begin(), v.end());
    return { v[v.size() / 2], v.front(), v.back() };
}

std::string Tool(const std::string& args)
{
    return ChildTool(args);
}

std::string BenchTool(const std::string& args)
{
    return "\"" + BesideTests("BenchTool.exe") + "\" " + args;
}

// The reader baseline: the child's output drained by blocking reads.
double ReadThroughPipe(const std::string& command)
{
    SECURITY_ATTRIBUTES sa{ sizeof sa, nullptr, TRUE };
    HANDLE hRead = nullptr, hWrite = nullptr;
    ::CreatePipe(&hRead, &hWrite, &sa, 10240);
    ::SetHandleInformation(hRead, HANDLE_FLAG_INHERIT, 0);
    STARTUPINFOA si{};
    si.cb = sizeof si;
    si.dwFlags = STARTF_USESTDHANDLES;
    si.hStdOutput = hWrite;
    si.hStdError = hWrite;
    PROCESS_INFORMATION pi{};
    std::vector<char> cmd(command.begin(), command.end());
    cmd.push_back('\0');
    double t0 = Now();
    if (!::CreateProcessA(nullptr, cmd.data(), nullptr, nullptr, TRUE, CREATE_NO_WINDOW, nullptr, nullptr, &si, &pi))
        return -1;
    ::CloseHandle(hWrite);
    std::vector<char> buf(65536);
    DWORD got = 0;
    while (::ReadFile(hRead, buf.data(), static_cast<DWORD>(buf.size()), &got, nullptr) && got > 0) {
    }
    double t = Now() - t0;
    ::WaitForSingleObject(pi.hProcess, INFINITE);
    ::CloseHandle(pi.hProcess);
    ::CloseHandle(pi.hThread);
    ::CloseHandle(hRead);
    return t;
}

// Wine's console window running command until it ends.
double RunInWineConsole(const std::string& command)
{
    char dir[MAX_PATH] = "";
    ::GetSystemDirectoryA(dir, sizeof dir);
    std::string line = "\"" + std::string(dir) + "\\wineconsole.exe\" " + command;
    double t0 = Now();
    ChildProcess console(line);
    if (console.Pid() == 0 || !console.WaitForExit(600000))
        return -1;
    return Now() - t0;
}

class Bench {
public:
    explicit Bench(VorlikProcess& vorlik) : m_vorlik(vorlik), m_proc(FindLinuxProcess()) {}

    // Runs command in Vorlik and returns the seconds from the Run click to
    // the end line. The worst WM_NULL round trip until then goes to
    // *pWorstMs; the worst while the pane settles afterwards (until its
    // length has not changed for a second) to *pSettleMs; the most resident
    // memory seen to *pPeakMB; the seconds from the end line until the pane
    // holds nShown characters to *pShownS.
    double TimeRun(const std::string& command, double* pWorstMs = nullptr, double* pSettleMs = nullptr,
                   double* pPeakMB = nullptr, LRESULT nShown = 0, double* pShownS = nullptr)
    {
        std::atomic<bool> done{ false };
        std::atomic<bool> settling{ false };
        std::atomic<double> worst{ 0 }, worstSettle{ 0 }, peak{ 0 };
        std::thread prober([&] {
            while (!done) {
                double a = Now();
                DWORD_PTR r = 0;
                bool bSettling = settling;
                ::SendMessageTimeoutA(m_vorlik.Dialog(), WM_NULL, 0, 0, SMTO_NORMAL, 60000, &r);
                double ms = (Now() - a) * 1000;
                std::atomic<double>& w = bSettling ? worstSettle : worst;
                if (ms > w)
                    w = ms;
                if (pPeakMB != nullptr)
                    peak = std::max<double>(peak, ResidentMB());
                ::Sleep(10);
            }
        });
        ::SendMessageA(m_vorlik.Item(IDC_COMMAND), WM_SETTEXT, 0, reinterpret_cast<LPARAM>(command.c_str()));
        double t0 = Now();
        m_vorlik.Click(IDC_RUN);
        // Watch the child from outside, so that the measurement itself keeps
        // Vorlik's window free: the pane is read only once the child is gone.
        (void)WaitFor("the child", [&] { return ChildRunning(); }, nullptr, 60000);
        (void)WaitFor("the child to end", [&] { return !ChildRunning(); }, nullptr, 600000);
        double end = 0;
        (void)WaitFor("the end line", [&] {
            if (!EndsWithEndLine(m_vorlik.Item(IDC_OUTPUT)))
                return false;
            end = Now();
            return true;
        }, nullptr, 600000);
        settling = true;
        if (pShownS != nullptr) {
            (void)WaitFor("the shown length", [&] { return SendTo(m_vorlik.Item(IDC_OUTPUT), WM_GETTEXTLENGTH) >= nShown; });
            *pShownS = Now() - end;
        }
        LRESULT length = -1;
        double stable = Now();
        while (Now() - stable < 1.0 && Now() - end < 30) {
            LRESULT n = ::SendMessageA(m_vorlik.Item(IDC_OUTPUT), WM_GETTEXTLENGTH, 0, 0);
            if (n != length)
                stable = Now();
            length = n;
            ::Sleep(50);
        }
        done = true;
        prober.join();
        if (pWorstMs != nullptr)
            *pWorstMs = worst;
        if (pSettleMs != nullptr)
            *pSettleMs = worstSettle;
        if (pPeakMB != nullptr)
            *pPeakMB = peak;
        return end - t0;
    }

    // Whether Vorlik has a child process (the command or its interpreter).
    bool ChildRunning() const
    {
        CHandle snapshot(::CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0));
        PROCESSENTRY32 entry{};
        entry.dwSize = sizeof entry;
        for (BOOL more = ::Process32First(snapshot.get(), &entry); more;
             more = ::Process32Next(snapshot.get(), &entry)) {
            if (entry.th32ParentProcessID == m_vorlik.Pid())
                return true;
        }
        return false;
    }

    static bool EndsWithEndLine(HWND hPane)
    {
        LRESULT n = ::SendMessageA(hPane, WM_GETTEXTLENGTH, 0, 0);
        if (n < 11)
            return false;
        // Only the tail is wanted, but WM_GETTEXT gives the whole text.
        std::string text(static_cast<size_t>(n) + 1, '\0');
        text.resize(static_cast<size_t>(
            ::SendMessageA(hPane, WM_GETTEXT, text.size(), reinterpret_cast<LPARAM>(&text[0]))));
        return EndsWith(text, "\r\n--End--\r\n");
    }

    // Resident memory and CPU time come from the Linux side, /proc of
    // Vorlik's Wine process read through Wine's Z: drive: Wine reports no
    // CPU times for another process.
    double ResidentMB() const
    {
        std::istringstream status(ReadFileText(m_proc + "\\status"));
        for (std::string line; std::getline(status, line);)
            if (line.compare(0, 6, "VmRSS:") == 0)
                return std::atof(line.c_str() + 6) / 1024.0;
        return 0;
    }

    double CpuSeconds() const
    {
        // utime and stime, the 14th and 15th fields, in 1/100 s; the
        // second field, the name in parentheses, may hold blanks.
        std::string stat = ReadFileText(m_proc + "\\stat");
        std::istringstream fields(stat.substr(stat.rfind(')') + 1));
        std::string field;
        double ticks = 0;
        for (int i = 3; i <= 15 && fields >> field; ++i)
            if (i >= 14)
                ticks += std::atof(field.c_str());
        return ticks / 100.0;
    }

private:
    // The /proc folder of the newest Linux process whose command line names
    // Vorlik.exe.
    static std::string FindLinuxProcess()
    {
        int newest = -1;
        WIN32_FIND_DATAA found;
        HANDLE hFind = ::FindFirstFileA("Z:\\proc\\*", &found);
        if (hFind == INVALID_HANDLE_VALUE)
            return "";
        do {
            int pid = std::atoi(found.cFileName);
            if (pid <= newest)
                continue;
            std::string cmd = ReadFileText("Z:\\proc\\" + std::to_string(pid) + "\\cmdline");
            std::string name = cmd.substr(0, cmd.find('\0'));
            std::transform(name.begin(), name.end(), name.begin(), [](unsigned char c) { return std::tolower(c); });
            size_t at = name.size() >= 11 ? name.size() - 11 : std::string::npos;
            if (at != std::string::npos && (name.compare(at, 11, "\\vorlik.exe") == 0 || name.compare(at, 11, "/vorlik.exe") == 0))
                newest = pid;
        } while (::FindNextFileA(hFind, &found));
        ::FindClose(hFind);
        return newest < 0 ? "" : "Z:\\proc\\" + std::to_string(newest);
    }

    VorlikProcess& m_vorlik;
    std::string m_proc;
};

void Row(const char* figure, const std::vector<double>& v, const char* unit, const std::string& extra,
         const char* target)
{
    Stat s = Summarise(v);
    std::printf("| %-34s | %8.2f %-2s | %7.2f-%-7.2f | %-34s | %-14s |\n", figure, s.median, unit, s.min, s.max,
                extra.c_str(), target);
    std::fflush(stdout);
}

std::string Ratio(const char* name, double value)
{
    char buf[64];
    std::snprintf(buf, sizeof buf, "%.2fx %s", value, name);
    return buf;
}

} // namespace

// Whether the file holds count copies of block, then the end line.
bool FileRepeats(const std::string& path, const std::string& block, unsigned long count)
{
    CHandle file(::CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr));
    if (!file)
        return false;
    std::string got(block.size(), '\0');
    for (unsigned long i = 0; i <= count; ++i) {
        const std::string& want = i < count ? block : std::string("\r\n--End--\r\n");
        DWORD n = 0;
        if (!::ReadFile(file.get(), &got[0], static_cast<DWORD>(want.size()), &n, nullptr) || n != want.size() ||
            got.compare(0, n, want) != 0)
            return false;
    }
    DWORD n = 0;
    char extra = 0;
    return ::ReadFile(file.get(), &extra, 1, &n, nullptr) && n == 0;
}

int main(int argc, char** argv)
{
    int runs = argc > 1 ? std::max(1, std::atoi(argv[1])) : 3;

    std::string file = TempPath("vorlik-bench-type") + ".txt";
    {
        std::ofstream out(file, std::ios::binary);
        std::string text = Pattern(kFloodBytes);
        out.write(text.data(), static_cast<std::streamsize>(text.size()));
    }
    const std::string flood = Tool("pattern " + std::to_string(kFloodBytes) + " 65536");
    const std::string type = "cmd /c type \"" + file + "\"";
    const std::string lines = BenchTool("lines 100000");
    const std::string coloured = BenchTool("colour " + std::to_string(kFloodBytes));

    std::vector<double> floodT, typeT, linesT, readerFlood, readerType, readerLines, console, flat, worstFlood,
        worstLines, worstSettle, worstLine, memStart, memAfter, latMedian, latWorst, idle, idleNoRun, start,
        colourT, readerColour, worstColour, shown, worstShown, worstProgress, cpuProgress, worstBlock, cpuBlock,
        blockExact;
    std::vector<double> gbT, gbPeak, gbSave, gbSaveWorst, gbSame, stopAtOnce, stopLeft;
    for (int r = 0; r < runs; ++r) {
        readerFlood.push_back(ReadThroughPipe(flood));
        readerType.push_back(ReadThroughPipe(type));
        readerLines.push_back(ReadThroughPipe(lines));
        readerColour.push_back(ReadThroughPipe(coloured));
        console.push_back(RunInWineConsole(type));

        double t0 = Now();
        VorlikProcess vorlik;
        if (!vorlik.Ready()) {
            std::printf("Vorlik did not start\n");
            return 1;
        }
        start.push_back((Now() - t0) * 1000);
        Bench bench(vorlik);
        memStart.push_back(bench.ResidentMB());

        double w = 0, settle = 0;
        floodT.push_back(bench.TimeRun(flood, &w, &settle));
        worstFlood.push_back(w);
        worstSettle.push_back(settle);
        typeT.push_back(bench.TimeRun(type, &w, &settle));
        worstFlood.back() = std::max(worstFlood.back(), w);
        worstSettle.back() = std::max(worstSettle.back(), settle);
        memAfter.push_back(bench.ResidentMB());
        linesT.push_back(bench.TimeRun(lines, &w, &settle));
        worstLines.push_back(w);
        worstSettle.back() = std::max(worstSettle.back(), settle);
        bench.TimeRun(Tool("line 1000000"), &w, &settle);
        worstLine.push_back(std::max(w, settle));
        colourT.push_back(bench.TimeRun(coloured, &w, &settle));
        worstColour.push_back(std::max(w, settle));

        // P9: after a 4 MiB flood, how soon the pane holds its newest 512 KiB.
        double s9 = 0;
        bench.TimeRun(Tool("pattern 4194304 65536"), nullptr, &settle, nullptr, COutputView::kKeepChars, &s9);
        shown.push_back(s9);
        worstShown.push_back(settle);
        // P10: one line rewritten 1,000 times a second for 5 s.
        double cpuBefore = bench.CpuSeconds(), wallBefore = Now();
        bench.TimeRun(BenchTool("progress 5000"), &w, &settle);
        cpuProgress.push_back(100.0 * (bench.CpuSeconds() - cpuBefore) / (Now() - wallBefore));
        worstProgress.push_back(std::max(w, settle));
        // P11: a block of five lines redrawn with cursor up 200 times a
        // second for 5 s: the pane ends with exactly its last frame.
        cpuBefore = bench.CpuSeconds(), wallBefore = Now();
        bench.TimeRun(BenchTool("block 1000"), &w, &settle);
        cpuBlock.push_back(100.0 * (bench.CpuSeconds() - cpuBefore) / (Now() - wallBefore));
        worstBlock.push_back(std::max(w, settle));
        std::string lastFrame;
        for (int k = 0; k < 5; ++k)
            lastFrame += "task " + std::to_string(k) + ": 1000 of 1000\r\n";
        blockExact.push_back(vorlik.PaneText() == lastFrame + kEnd ? 1 : 0);

        // Flatness, seen from the child: the time each MB took to go out.
        std::string log = TempPath("vorlik-bench-timed");
        bench.TimeRun(BenchTool("timed " + std::to_string(kFloodBytes) + " 65536 \"" + log + "\""));
        std::istringstream ticks(ReadFileText(log));
        std::vector<double> at;
        for (double tick; ticks >> tick;)
            at.push_back(tick);
        if (at.size() >= 3)
            flat.push_back((at[at.size() - 1] - at[at.size() - 2]) / std::max(1.0, at[1] - at[0]));
        ::DeleteFileA(log.c_str());

        // Latency: a line every 50 ms, each stamped with the tick it left at.
        std::vector<double> delays;
        ::SendMessageA(vorlik.Item(IDC_COMMAND), WM_SETTEXT, 0,
                       reinterpret_cast<LPARAM>(Tool("stamps 60 50").c_str()));
        vorlik.Click(IDC_RUN);
        // The run starts by clearing the pane; what was there before is no
        // stamp.
        (void)WaitFor("the pane cleared", [&] { return vorlik.PaneText().find("--End--") == std::string::npos; });
        size_t seen = 0;
        // Polled every 5 ms: the poll's pace is part of what is measured.
        for (double t0 = Now(); Now() - t0 < 60; ::Sleep(5)) {
            if ([&] {
                std::string text = vorlik.PaneText();
                DWORD now = ::GetTickCount();
                std::istringstream in(text);
                std::vector<std::string> got;
                for (std::string line; std::getline(in, line);)
                    if (!line.empty() && line[0] >= '0' && line[0] <= '9' && line.back() == '\r')
                        got.push_back(line);
                for (; seen < got.size(); ++seen)
                    delays.push_back(double(now - std::stoul(got[seen])));
                return text.find("--End--") != std::string::npos;
            }())
                break;
        }
        Stat lat = Summarise(delays);
        latMedian.push_back(lat.median);
        latWorst.push_back(lat.max);

        // Stop in the same instant as Run, ten times: the end line, and no
        // child left.
        {
            ::SendMessageA(vorlik.Item(IDC_COMMAND), WM_SETTEXT, 0, reinterpret_cast<LPARAM>(Tool("wait").c_str()));
            double worst = 0, left = 0;
            for (int i = 0; i < 10; ++i) {
                vorlik.Type("~"); // the pane ends in the end line again only once this run has ended
                (void)WaitFor("the mark", [&] { return EndsWith(vorlik.PaneText(), "~"); });
                double a = Now();
                vorlik.Click(IDC_RUN);
                vorlik.Click(IDC_STOP);
                (void)WaitFor("the end line", [&] { return Bench::EndsWithEndLine(vorlik.Item(IDC_OUTPUT)); }, nullptr, 60000);
                worst = std::max(worst, Now() - a);
                left += WaitFor("the child to end", [&] { return !bench.ChildRunning(); }, nullptr, 5000) ? 0 : 1;
            }
            stopAtOnce.push_back(worst);
            stopLeft.push_back(left);
        }

        // Idle: 10 s with nothing running, then 10 s with a silent child.
        {
            double cpu0 = bench.CpuSeconds();
            double wall0 = Now();
            ::Sleep(10000);
            idleNoRun.push_back(100.0 * (bench.CpuSeconds() - cpu0) / (Now() - wall0));
        }
        vorlik.Run(Tool("wait"));
        WaitForChildProcess(vorlik.Pid(), "ChildTool.exe", kTimeoutMs);
        double cpu0 = bench.CpuSeconds();
        double wall0 = Now();
        ::Sleep(10000);
        idle.push_back(100.0 * (bench.CpuSeconds() - cpu0) / (Now() - wall0));
        (void)WaitFor("the end line", [&] {
            vorlik.Click(IDC_STOP);
            ::Sleep(50);
            return vorlik.PaneText().find("--End--") != std::string::npos;
        });

        // P8, once: 1 GB in 64 KB pieces, then Save of all of it.
        if (r == 0) {
            const unsigned long blocks = 16384;
            double peak = 0;
            gbT.push_back(bench.TimeRun(BenchTool("repeat " + std::to_string(blocks)), nullptr, nullptr, &peak));
            gbPeak.push_back(peak);
            std::string saved = TempPath("vorlik-bench-1gb") + ".txt";
            double s0 = Now();
            vorlik.Command(IDM_SAVE);
            bool ok = ChooseSaveFile(vorlik.Pid(), saved);
            std::atomic<bool> saving{ true };
            double worst = 0;
            std::thread prober([&] { // the window's round trips while the file is written
                for (; saving; ::Sleep(10)) {
                    double a = Now();
                    DWORD_PTR r = 0;
                    ::SendMessageTimeoutA(vorlik.Dialog(), WM_NULL, 0, 0, SMTO_NORMAL, 60000, &r);
                    worst = std::max(worst, (Now() - a) * 1000);
                }
            });
            ok = ok && WaitForFile(saved, 600000);
            gbSave.push_back(Now() - s0);
            saving = false;
            prober.join();
            gbSaveWorst.push_back(worst);
            gbSame.push_back(ok && FileRepeats(saved, Pattern(65536), blocks) ? 1 : 0);
            ::DeleteFileA(saved.c_str());
        }
        vorlik.Command(IDCANCEL);
        vorlik.WaitForExit();
    }
    ::DeleteFileA(file.c_str());

    double rf = Summarise(readerFlood).median, rt = Summarise(readerType).median, rl = Summarise(readerLines).median;
    double f = Summarise(floodT).median, t = Summarise(typeT).median, l = Summarise(linesT).median;
    double rc = Summarise(readerColour).median, c = Summarise(colourT).median;
    std::printf("Vorlik benchmark, %d run(s) of each figure (P8 once); pane bound %ld, kept %ld characters\n\n",
                runs, COutputView::kMaxChars, COutputView::kKeepChars);
    std::printf("| %-34s | %-11s | %-15s | %-34s | %-14s |\n", "figure", "median", "spread", "ratios", "target");
    std::printf("|------------------------------------|-------------|-----------------|------------------------------------|----------------|\n");
    Row("baseline: reader, 64 KB writes", readerFlood, "s", "", "");
    Row("baseline: reader, cmd /c type", readerType, "s", "", "");
    Row("baseline: reader, 100k lines", readerLines, "s", "", "");
    Row("baseline: reader, 10 MB coloured", readerColour, "s", "", "");
    Row("peer: wineconsole, cmd /c type", console, "s", Ratio("reader", Summarise(console).median / rt), "");
    Row("P1 flood, 64 KB writes", floodT, "s", Ratio("reader", f / rf), "<= 1 s or 3x");
    Row("P1 flood, cmd /c type", typeT, "s", Ratio("reader", t / rt), "<= 1.0x reader");
    Row("P1 100,000 short lines", linesT, "s", Ratio("reader", l / rl), "<= 1.0x reader");
    Row("P1 10 MB coloured, 64 KB writes", colourT, "s", Ratio("reader", c / rc), "<= 1 s or 3x");
    Row("P2 flatness, last MB / first MB", flat, "x", "", "");
    Row("P3 worst WM_NULL, 45-col flood", worstFlood, "ms", "", "<= 50 ms");
    Row("P3 worst WM_NULL, 12-col lines", worstLines, "ms", "", "<= 50 ms");
    Row("P3 worst WM_NULL, settling", worstSettle, "ms", "", "<= 50 ms");
    Row("P3 worst WM_NULL, one 1 MB line", worstLine, "ms", "", "report");
    Row("P3 worst WM_NULL, 10 MB coloured", worstColour, "ms", "", "<= 50 ms");
    Row("P4 resident memory at start", memStart, "MB", "", "");
    Row("P4 resident memory after 10 MB", memAfter, "MB", "", "");
    Row("P5 latency, median", latMedian, "ms", "", "");
    Row("P5 latency, worst", latWorst, "ms", "", "<= 100 ms");
    Row("P6 CPU with nothing running", idleNoRun, "%", "", "<= 1 %");
    Row("P6 CPU while a child is silent", idle, "%", "", "<= 1 %");
    Row("P7 start to window visible", start, "ms", "", "report");
    Row("P8 1 GB, Run to end line", gbT, "s", "", "report");
    Row("P8 1 GB, peak resident memory", gbPeak, "MB", "", "<= 250 MB");
    Row("P8 1 GB, Save", gbSave, "s", "", "report");
    Row("P8 worst WM_NULL while Save writes", gbSaveWorst, "ms", "", "<= 50 ms");
    Row("P8 1 GB, saved file = output", gbSame, "", "1 = yes", "1");
    Row("P9 4 MiB flood: 512 KiB shown", shown, "s", "", "<= 1.5 s");
    Row("P9 worst WM_NULL meanwhile", worstShown, "ms", "", "<= 50 ms");
    Row("P10 progress line 1,000/s: WM_NULL", worstProgress, "ms", "", "<= 50 ms");
    Row("P10 progress line 1,000/s: CPU", cpuProgress, "%", "", "report");
    Row("P11 5-line block 200/s: WM_NULL", worstBlock, "ms", "", "<= 50 ms");
    Row("P11 5-line block 200/s: CPU", cpuBlock, "%", "", "report");
    Row("P11 pane = the last 5 lines", blockExact, "", "1 = yes", "1");
    Row("Stop with Run: end line, worst of 10", stopAtOnce, "s", "", "<= 0.5 s");
    Row("Stop with Run: children left", stopLeft, "", "", "0");
    return 0;
}
