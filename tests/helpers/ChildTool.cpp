// A console program for the tests to run as a child, with one behaviour per
// first argument. It writes with WriteFile on the standard handles so that
// every byte (zero bytes included) goes out exactly as written.
//
//   print <text>                  writes text and CR LF
//   pattern <bytes> <chunk>       writes numbered lines, chunk bytes per write
//   zeros                         writes "abc", zero, "def", zero, zero, "ghi"
//   lastgasp <bytes>              writes that much in one go and exits at once
//   both                          writes to stdout and stderr alternately
//   echo                          echoes stdin byte by byte until 'q'
//   sink <gate> <out>             waits for file gate, then copies stdin to
//                                 file out until 'q'
//   wait                          waits for ever
//   cwd                           writes the current directory
//   stamps <count> <ms>           writes count lines "<tick>" every ms
//   lines <count>                 writes count short lines, one write each
//   timed <bytes> <chunk> <log>   as pattern, and logs the tick at each MB
//   line <bytes>                  writes one line of that many 'x', no line end
//   repeat <count>                writes the first 64 KB of the pattern count times
//   bytes                         writes every byte value 0..255 once
//   ends                          writes lines ended by CR only, then by LF only
//   grandchild                    starts "ChildTool wait" sharing its output, ends
//   tree                          starts "ChildTool ticker" sharing its output, then ticks too
//   ticker                        writes "tick" every 100 ms for ever
//   cat                           copies stdin to stdout until its end, then writes "eof"
//   accents                       writes "cafe Ubung" with accents in code page 437
//   utf8split                     writes "cafe" with the UTF-8 e-acute split over two writes
//   closeout <ms>                 closes its output, waits ms, ends
//   argfile <text>                writes text to %TEMP%\vorlik-argfile.txt
#include "Pattern.h"

#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <algorithm>
#include <cstring>
#include <string>

namespace {

HANDLE Out()
{
    return ::GetStdHandle(STD_OUTPUT_HANDLE);
}

void Write(HANDLE h, const char* p, size_t n)
{
    while (n > 0) {
        DWORD written = 0;
        if (!::WriteFile(h, p, static_cast<DWORD>(n), &written, nullptr))
            return;
        p += written;
        n -= written;
    }
}

void Write(const std::string& s)
{
    Write(Out(), s.data(), s.size());
}

bool ReadByte(char& ch)
{
    DWORD got = 0;
    return ::ReadFile(::GetStdHandle(STD_INPUT_HANDLE), &ch, 1, &got, nullptr) && got == 1;
}

} // namespace

int main(int argc, char** argv)
{
    std::string mode = argc > 1 ? argv[1] : "";
    if (mode == "print") {
        Write(std::string(argc > 2 ? argv[2] : "") + "\r\n");
    } else if (mode == "pattern" && argc > 3) {
        std::string s = Pattern(std::strtoul(argv[2], nullptr, 10));
        size_t chunk = std::strtoul(argv[3], nullptr, 10);
        for (size_t i = 0; i < s.size(); i += chunk)
            Write(Out(), s.data() + i, std::min(chunk, s.size() - i));
    } else if (mode == "zeros") {
        Write(Out(), "abc\0def\0\0ghi", 12);
    } else if (mode == "lastgasp" && argc > 2) {
        Write(Pattern(std::strtoul(argv[2], nullptr, 10)));
    } else if (mode == "both") {
        for (int i = 0; i < 3; ++i) {
            Write(Out(), "out ", 4);
            Write(::GetStdHandle(STD_ERROR_HANDLE), "err ", 4);
        }
    } else if (mode == "echo") {
        char ch;
        while (ReadByte(ch) && ch != 'q')
            Write(Out(), &ch, 1);
    } else if (mode == "sink" && argc > 3) {
        while (::GetFileAttributesA(argv[2]) == INVALID_FILE_ATTRIBUTES)
            ::Sleep(10);
        std::string got;
        char ch;
        while (ReadByte(ch) && ch != 'q')
            got += ch;
        FILE* f = std::fopen(argv[3], "wb");
        if (f != nullptr) {
            std::fwrite(got.data(), 1, got.size(), f);
            std::fclose(f);
        }
    } else if (mode == "wait") {
        for (;;)
            ::Sleep(1000);
    } else if (mode == "cwd") {
        char dir[MAX_PATH] = "";
        ::GetCurrentDirectoryA(sizeof dir, dir);
        Write(std::string(dir) + "\r\n");
    } else if (mode == "stamps" && argc > 3) {
        int count = std::atoi(argv[2]);
        DWORD ms = std::strtoul(argv[3], nullptr, 10);
        for (int i = 0; i < count; ++i) {
            Write(std::to_string(::GetTickCount()) + "\r\n");
            ::Sleep(ms);
        }
    } else if (mode == "lines" && argc > 2) {
        int count = std::atoi(argv[2]);
        for (int i = 0; i < count; ++i)
            Write("line " + std::to_string(i) + "\r\n");
    } else if (mode == "timed" && argc > 4) {
        std::string s = Pattern(std::strtoul(argv[2], nullptr, 10));
        size_t chunk = std::strtoul(argv[3], nullptr, 10);
        std::string log = std::to_string(::GetTickCount()) + "\n";
        size_t nextMb = 1u << 20;
        for (size_t i = 0; i < s.size(); i += chunk) {
            Write(Out(), s.data() + i, std::min(chunk, s.size() - i));
            if (i + chunk >= nextMb) {
                log += std::to_string(::GetTickCount()) + "\n";
                nextMb += 1u << 20;
            }
        }
        FILE* f = std::fopen(argv[4], "wb");
        if (f != nullptr) {
            std::fputs(log.c_str(), f);
            std::fclose(f);
        }
    } else if (mode == "repeat" && argc > 2) {
        std::string block = Pattern(65536);
        for (unsigned long n = std::strtoul(argv[2], nullptr, 10); n > 0; --n)
            Write(Out(), block.data(), block.size());
    } else if (mode == "line" && argc > 2) {
        std::string s(std::strtoul(argv[2], nullptr, 10), 'x');
        for (size_t i = 0; i < s.size(); i += 65536)
            Write(Out(), s.data() + i, std::min<size_t>(65536, s.size() - i));
    } else if (mode == "bytes") {
        char all[256];
        for (int i = 0; i < 256; ++i)
            all[i] = static_cast<char>(i);
        Write(Out(), all, sizeof all);
    } else if (mode == "ends") {
        Write("cr1\rcr2\rlf1\nlf2\n");
    } else if (mode == "cat") {
        char buf[512];
        DWORD got = 0;
        while (::ReadFile(::GetStdHandle(STD_INPUT_HANDLE), buf, sizeof buf, &got, nullptr) && got > 0)
            Write(Out(), buf, got);
        Write("eof\r\n");
    } else if (mode == "accents") {
        Write("caf\x82 \x9a" "bung\r\n");
    } else if (mode == "utf8split") {
        Write("caf\xc3");
        ::Sleep(300);
        Write("\xa9\r\n");
    } else if (mode == "ticker") {
        for (;;) {
            Write("tick\r\n");
            ::Sleep(100);
        }
    } else if (mode == "grandchild" || mode == "tree") {
        char self[MAX_PATH] = "";
        ::GetModuleFileNameA(nullptr, self, sizeof self);
        std::string cmd = std::string("\"") + self + (mode == "tree" ? "\" ticker" : "\" wait");
        STARTUPINFOA si{};
        si.cb = sizeof si;
        si.dwFlags = STARTF_USESTDHANDLES;
        si.hStdInput = ::GetStdHandle(STD_INPUT_HANDLE);
        si.hStdOutput = Out();
        si.hStdError = Out();
        PROCESS_INFORMATION pi{};
        if (::CreateProcessA(nullptr, &cmd[0], nullptr, nullptr, TRUE, 0, nullptr, nullptr, &si, &pi)) {
            std::printf("%lu", pi.dwProcessId); // the grandchild's id, for the test to end it
            std::fflush(stdout);
            ::CloseHandle(pi.hThread);
            ::CloseHandle(pi.hProcess);
        }
        for (; mode == "tree"; ::Sleep(100))
            Write("tock\r\n");
    } else if (mode == "closeout" && argc > 2) {
        Write("closing\r\n");
        ::CloseHandle(Out());
        ::CloseHandle(::GetStdHandle(STD_ERROR_HANDLE));
        ::Sleep(std::strtoul(argv[2], nullptr, 10));
    } else if (mode == "argfile" && argc > 2) {
        char temp[MAX_PATH] = "";
        ::GetTempPathA(sizeof temp, temp);
        FILE* f = std::fopen((std::string(temp) + "vorlik-argfile.txt").c_str(), "wb");
        if (f != nullptr) {
            std::fputs(argv[2], f);
            std::fclose(f);
        }
    } else {
        std::fprintf(stderr, "ChildTool: unknown mode\n");
        return 2;
    }
    return 0;
}
