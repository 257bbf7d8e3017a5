// Measures how fast the real Vorlik.exe shows a child's output, driving it
// from this process with window messages, next to two baselines measured in
// the same run:
//   reader        - this process reading the same child through a pipe with
//                   blocking reads: the limit of the pipe and the child;
//   control floor - the same bytes put into a bare RICHED32 control of this
//                   process in 64 KB pieces, redraw off, no scrolling: the
//                   limit of any pane built on the control.
// Every figure is repeated; the table shows the median and the spread.
#include "console/OutputPane.h"

#include "ChildProcess.h"
#include "Pump.h"
#include "TestFiles.h"
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
    return "\"" + BesideTests("ChildTool.exe") + "\" " + args;
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

// The control floor: the same bytes into a bare control, 64 KB at a time.
double FillBareControl(const std::string& text)
{
    HWND h = ::CreateWindowExA(0, "RICHEDIT", "",
                               WS_POPUP | WS_VISIBLE | ES_MULTILINE | ES_AUTOVSCROLL | ES_AUTOHSCROLL |
                                   ES_WANTRETURN | WS_BORDER | WS_VSCROLL | WS_HSCROLL,
                               0, 0, 500, 300, nullptr, nullptr, nullptr, nullptr);
    ::SendMessageA(h, EM_EXLIMITTEXT, 0, 64 << 20);
    double t0 = Now();
    std::string piece;
    for (size_t pos = 0; pos < text.size(); pos += 65536) {
        piece.assign(text, pos, 65536);
        ::SendMessageA(h, WM_SETREDRAW, FALSE, 0);
        LRESULT n = ::SendMessageA(h, WM_GETTEXTLENGTH, 0, 0);
        CHARRANGE cr{ static_cast<LONG>(n), static_cast<LONG>(n) };
        ::SendMessageA(h, EM_EXSETSEL, 0, reinterpret_cast<LPARAM>(&cr));
        ::SendMessageA(h, EM_REPLACESEL, FALSE, reinterpret_cast<LPARAM>(piece.c_str()));
        ::SendMessageA(h, WM_SETREDRAW, TRUE, 0);
    }
    double t = Now() - t0;
    ::DestroyWindow(h);
    return t;
}

class Bench {
public:
    explicit Bench(VorlikProcess& vorlik) : m_vorlik(vorlik), m_proc(FindLinuxProcess()) {}

    // Runs command in Vorlik and returns the seconds from the Run click to
    // the end line; the worst WM_NULL round trip meanwhile goes to *pWorstMs.
    double TimeRun(const std::string& command, double* pWorstMs = nullptr)
    {
        std::atomic<bool> done{ false };
        std::atomic<double> worst{ 0 };
        std::thread prober([&] {
            while (!done) {
                double a = Now();
                DWORD_PTR r = 0;
                ::SendMessageTimeoutA(m_vorlik.Dialog(), WM_NULL, 0, 0, SMTO_NORMAL, 60000, &r);
                double ms = (Now() - a) * 1000;
                if (ms > worst)
                    worst = ms;
                ::Sleep(10);
            }
        });
        ::SendMessageA(m_vorlik.Item(IDC_COMMAND), WM_SETTEXT, 0, reinterpret_cast<LPARAM>(command.c_str()));
        double t0 = Now();
        m_vorlik.Click(IDC_RUN);
        // Watch the child from outside, so that the measurement itself keeps
        // Vorlik's window free: the pane is read only once the child is gone.
        WaitUntil([&] { return ChildRunning(); }, 60000);
        WaitUntil([&] { return !ChildRunning(); }, 600000);
        double end = 0;
        WaitUntil(
            [&] {
                if (!EndsWithEndLine(m_vorlik.Item(IDC_OUTPUT)))
                    return false;
                end = Now();
                return true;
            },
            600000);
        done = true;
        prober.join();
        if (pWorstMs != nullptr)
            *pWorstMs = worst;
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
        if (n < 9)
            return false;
        // Only the tail is wanted, but WM_GETTEXT gives the whole text: ask
        // for it only when the length looks like a finished run's.
        std::string text(static_cast<size_t>(n) + 1, '\0');
        text.resize(static_cast<size_t>(
            ::SendMessageA(hPane, WM_GETTEXT, text.size(), reinterpret_cast<LPARAM>(&text[0]))));
        return text.size() >= 9 && text.compare(text.size() - 9, 9, "\n--End--\n") == 0;
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

int main(int argc, char** argv)
{
    int runs = argc > 1 ? std::max(1, std::atoi(argv[1])) : 3;
    AfxInitRichEdit();

    std::string file = TempPath("vorlik-bench-type") + ".txt";
    {
        std::ofstream out(file, std::ios::binary);
        std::string text = Pattern(kFloodBytes);
        out.write(text.data(), static_cast<std::streamsize>(text.size()));
    }
    const std::string flood = Tool("pattern " + std::to_string(kFloodBytes) + " 65536");
    const std::string type = "cmd /c type \"" + file + "\"";
    const std::string lines = Tool("lines 100000");
    std::string linesText;
    for (int i = 0; i < 100000; ++i)
        linesText += "line " + std::to_string(i) + "\r\n";

    std::vector<double> floodT, typeT, linesT, readerFlood, readerType, readerLines, floor, floorLines, flat, worst, memStart,
        memAfter, latMedian, latWorst, idle, idleNoRun, start;
    for (int r = 0; r < runs; ++r) {
        readerFlood.push_back(ReadThroughPipe(flood));
        readerType.push_back(ReadThroughPipe(type));
        readerLines.push_back(ReadThroughPipe(lines));
        floor.push_back(FillBareControl(Pattern(kFloodBytes)));
        floorLines.push_back(FillBareControl(linesText));

        double t0 = Now();
        VorlikProcess vorlik;
        if (!vorlik.Ready()) {
            std::printf("Vorlik did not start\n");
            return 1;
        }
        start.push_back((Now() - t0) * 1000);
        Bench bench(vorlik);
        memStart.push_back(bench.ResidentMB());

        double w = 0;
        floodT.push_back(bench.TimeRun(flood, &w));
        worst.push_back(w);
        typeT.push_back(bench.TimeRun(type, &w));
        worst.back() = std::max(worst.back(), w);
        memAfter.push_back(bench.ResidentMB());
        linesT.push_back(bench.TimeRun(lines));

        // Flatness, seen from the child: the time each MB took to go out.
        std::string log = TempPath("vorlik-bench-timed");
        bench.TimeRun(Tool("timed " + std::to_string(kFloodBytes) + " 65536 \"" + log + "\""));
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
        WaitUntil([&] { return vorlik.PaneText().find("--End--") == std::string::npos; });
        size_t seen = 0;
        WaitUntil(
            [&] {
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
            },
            60000);
        Stat lat = Summarise(delays);
        latMedian.push_back(lat.median);
        latWorst.push_back(lat.max);

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
        WaitUntil([&] {
            vorlik.Click(IDC_STOP);
            ::Sleep(50);
            return vorlik.PaneText().find("--End--") != std::string::npos;
        });
        vorlik.Command(IDCANCEL);
        vorlik.WaitForExit();
    }
    ::DeleteFileA(file.c_str());

    double rf = Summarise(readerFlood).median, rt = Summarise(readerType).median, fl = Summarise(floor).median,
           fll = Summarise(floorLines).median;
    double f = Summarise(floodT).median, t = Summarise(typeT).median, l = Summarise(linesT).median;
    std::printf("Vorlik benchmark, %d run(s) of each figure; pane cap %ld characters\n\n", runs,
                COutputPane::kMaxChars);
    std::printf("| %-34s | %-11s | %-15s | %-34s | %-14s |\n", "figure", "median", "spread", "ratios", "target");
    std::printf("|------------------------------------|-------------|-----------------|------------------------------------|----------------|\n");
    Row("baseline: reader, 64 KB writes", readerFlood, "s", "", "");
    Row("baseline: reader, cmd /c type", readerType, "s", "", "");
    Row("baseline: reader, 100k lines", readerLines, "s", "", "");
    Row("baseline: control floor, 10 MB", floor, "s", "", "");
    Row("baseline: control floor, 100k lines", floorLines, "s", "", "");
    Row("P1 flood, 64 KB writes", floodT, "s",
        Ratio("floor", f / fl) + ", " + Ratio("reader", f / rf), "<= 1.5x larger");
    Row("P1 flood, cmd /c type", typeT, "s", Ratio("floor", t / fl) + ", " + Ratio("reader", t / rt),
        "<= 1.5x larger");
    Row("P1b 100,000 short lines", linesT, "s", Ratio("floor", l / fll) + ", " + Ratio("reader", l / Summarise(readerLines).median),
        "<= 1.5x floor");
    Row("P2 flatness, last MB / first MB", flat, "x", "", "<= 1.3");
    Row("P3 worst WM_NULL round trip", worst, "ms", "", "<= 100 ms");
    Row("P4 resident memory at start", memStart, "MB", "", "");
    Row("P4 resident memory after 10 MB", memAfter, "MB", "", "<= 400 MB");
    Row("P5 latency, median", latMedian, "ms", "", "");
    Row("P5 latency, worst", latWorst, "ms", "", "<= 150 ms");
    Row("P6 CPU with nothing running", idleNoRun, "%", "", "");
    Row("P6 CPU while a child is silent", idle, "%", "", "<= 1 %");
    Row("P7 start to window visible", start, "ms", "", "report");
    return 0;
}
