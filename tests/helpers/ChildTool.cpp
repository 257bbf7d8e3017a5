// A console program the tests (and the benchmarks) run as a child, one
// behaviour per first argument. It writes with WriteFile on the standard
// handles, so every byte (zero bytes included) goes out exactly as written.
//
//   print <text>               text and CR LF
//   write <piece>...           each piece in turn to stdout, stderr, stdout...,
//                              100 ms apart; \r \n \0 \xHH stand for bytes
//   bytes                      every byte value 0..255 once
//   pattern <bytes> <chunk>    numbered lines (Pattern.h), chunk bytes a write
//   line <bytes>               one line of 'x' without a line end
//   stamps <count> <ms> [<p>]  a line with the tick count (after p) every ms
//   cat [<gate> <out>]         (once file gate exists) copies stdin to stdout
//                              (or to file out) to its end, then "eof"
//   hex <out>                  each byte of stdin, as it comes, as two hex
//                              digits and a blank, to file out
//   wait                       waits for ever
//   cwd                        the current directory
//   grandchild                 starts "ChildTool wait" on its own output, ends
//   tree                       starts "ChildTool stamps" likewise, ticks too
//   closeout <ms>              closes its output, waits ms, ends
//   exit <code>                ends at once with that exit code
#include "Pattern.h"

#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>

namespace {

// Writes s, chunk bytes a write, to the standard handle std.
void Write(const std::string& s, size_t chunk = 1u << 30, DWORD std = STD_OUTPUT_HANDLE)
{
    DWORD written = 0;
    for (size_t i = 0; i < s.size(); i += chunk)
        ::WriteFile(::GetStdHandle(std), s.data() + i, static_cast<DWORD>(std::min(chunk, s.size() - i)), &written, nullptr);
}

std::string Unescape(const char* p)
{
    std::string s;
    for (; *p != '\0'; ++p) {
        if (*p != '\\' || p[1] == '\0')
            s += *p;
        else if (*++p == 'x')
            s += static_cast<char>(std::strtoul(std::string(p + 1, 2).c_str(), nullptr, 16)), p += 2;
        else
            s += *p == 'r' ? '\r' : *p == 'n' ? '\n' : *p == '0' ? '\0' : *p;
    }
    return s;
}

void WriteFileText(const std::string& path, const std::string& text)
{
    if (FILE* f = std::fopen(path.c_str(), "wb")) {
        std::fwrite(text.data(), 1, text.size(), f);
        std::fclose(f);
    }
}

} // namespace

int main(int argc, char** argv)
{
    std::string mode = argc > 1 ? argv[1] : "";
    auto number = [&](int i) { return argc > i ? std::strtoul(argv[i], nullptr, 10) : 0ul; };
    if (mode == "print") {
        Write(std::string(argc > 2 ? argv[2] : "") + "\r\n");
    } else if (mode == "write") {
        for (int i = 2; i < argc; ++i, ::Sleep(100))
            Write(Unescape(argv[i]), 1u << 30, i % 2 == 0 ? STD_OUTPUT_HANDLE : STD_ERROR_HANDLE);
    } else if (mode == "bytes") {
        for (int i = 0; i < 256; ++i)
            Write(std::string(1, static_cast<char>(i)));
    } else if (mode == "pattern") {
        Write(Pattern(number(2)), number(3));
    } else if (mode == "line") {
        Write(std::string(number(2), 'x'), 65536);
    } else if (mode == "stamps") {
        for (unsigned long i = 0; i < number(2); ++i, ::Sleep(number(3)))
            Write(Unescape(argc > 4 ? argv[4] : "") + std::to_string(::GetTickCount()) + "\r\n");
    } else if (mode == "cat") {
        while (argc > 3 && ::GetFileAttributesA(argv[2]) == INVALID_FILE_ATTRIBUTES)
            ::Sleep(10);
        std::string got;
        char buf[512];
        DWORD n = 0;
        while (::ReadFile(::GetStdHandle(STD_INPUT_HANDLE), buf, sizeof buf, &n, nullptr) && n > 0) {
            if (argc > 3)
                got.append(buf, n);
            else
                Write(std::string(buf, n));
        }
        if (argc > 3)
            WriteFileText(argv[3], got);
        Write("eof\r\n");
    } else if (mode == "hex" && argc > 2) {
        char buf[512];
        DWORD n = 0;
        std::string hex;
        while (::ReadFile(::GetStdHandle(STD_INPUT_HANDLE), buf, sizeof buf, &n, nullptr) && n > 0) {
            for (DWORD i = 0; i < n; ++i) {
                char digits[4];
                std::snprintf(digits, sizeof digits, "%02X ", static_cast<unsigned char>(buf[i]));
                hex += digits;
            }
            WriteFileText(argv[2], hex);
        }
    } else if (mode == "wait") {
        for (;;)
            ::Sleep(1000);
    } else if (mode == "cwd") {
        char dir[MAX_PATH] = "";
        ::GetCurrentDirectoryA(sizeof dir, dir);
        Write(std::string(dir) + "\r\n");
    } else if (mode == "grandchild" || mode == "tree") {
        char self[MAX_PATH] = "";
        ::GetModuleFileNameA(nullptr, self, sizeof self);
        std::string cmd = std::string("\"") + self + (mode == "tree" ? "\" stamps 1000000 100" : "\" wait");
        STARTUPINFOA si{};
        si.cb = sizeof si;
        si.dwFlags = STARTF_USESTDHANDLES;
        si.hStdInput = ::GetStdHandle(STD_INPUT_HANDLE);
        si.hStdOutput = si.hStdError = ::GetStdHandle(STD_OUTPUT_HANDLE);
        PROCESS_INFORMATION pi{};
        if (::CreateProcessA(nullptr, &cmd[0], nullptr, nullptr, TRUE, 0, nullptr, nullptr, &si, &pi)) {
            Write(std::to_string(pi.dwProcessId)); // the grandchild's id, for the test to end it
            ::CloseHandle(pi.hThread);
            ::CloseHandle(pi.hProcess);
        }
        for (; mode == "tree"; ::Sleep(100))
            Write("tock\r\n");
    } else if (mode == "closeout") {
        Write("closing\r\n");
        ::CloseHandle(::GetStdHandle(STD_OUTPUT_HANDLE));
        ::CloseHandle(::GetStdHandle(STD_ERROR_HANDLE));
        ::Sleep(number(2));
    } else if (mode == "exit") {
        return static_cast<int>(number(2));
    } else {
        std::fprintf(stderr, "ChildTool: unknown mode\n");
        return 2;
    }
    return 0;
}
