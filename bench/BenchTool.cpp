// The benchmarks' own child program (the tests' ChildTool does the rest):
//
//   lines <count>                count short lines, a write each
//   repeat <count>               the first 64 KB of the pattern count times
//   timed <bytes> <chunk> <log>  the pattern, chunk bytes a write, and the
//                                tick count at its start and at each MB in file log
//   colour <bytes>               the pattern with an SGR pair every 40 bytes, 64 KB a write
//   progress <count>             one line rewritten count times, a millisecond apart
//   block <count>                five lines redrawn with cursor up count times, 5 ms apart
#include "helpers/Pattern.h"

#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>

namespace {

void Write(const char* p, size_t n)
{
    DWORD written = 0;
    ::WriteFile(::GetStdHandle(STD_OUTPUT_HANDLE), p, static_cast<DWORD>(n), &written, nullptr);
}

} // namespace

int main(int argc, char** argv)
{
    std::string mode = argc > 2 ? argv[1] : "";
    unsigned long count = argc > 2 ? std::strtoul(argv[2], nullptr, 10) : 0;
    if (mode == "lines") {
        for (unsigned long i = 0; i < count; ++i) {
            std::string line = "line " + std::to_string(i) + "\r\n";
            Write(line.data(), line.size());
        }
    } else if (mode == "repeat") {
        std::string block = Pattern(65536);
        for (unsigned long i = 0; i < count; ++i)
            Write(block.data(), block.size());
    } else if (mode == "timed" && argc > 4) {
        std::string s = Pattern(count), log = std::to_string(::GetTickCount()) + "\n";
        size_t chunk = std::strtoul(argv[3], nullptr, 10), nextMb = 1u << 20;
        for (size_t i = 0; i < s.size(); i += chunk) {
            Write(s.data() + i, std::min(chunk, s.size() - i));
            if (i + chunk >= nextMb) {
                log += std::to_string(::GetTickCount()) + "\n";
                nextMb += 1u << 20;
            }
        }
        if (FILE* f = std::fopen(argv[4], "wb")) {
            std::fputs(log.c_str(), f);
            std::fclose(f);
        }
    } else if (mode == "colour") {
        std::string plain = Pattern(count), s;
        for (size_t i = 0; i < plain.size(); i += 40)
            s += "\x1b[31m" + plain.substr(i, 20) + "\x1b[0m" + plain.substr(i + 20, 20);
        for (size_t i = 0; i < s.size(); i += 65536)
            Write(s.data() + i, std::min<size_t>(65536, s.size() - i));
    } else if (mode == "block") {
        for (unsigned long i = 0; i < count; ++i, ::Sleep(5)) {
            std::string frame = i > 0 ? "\x1b[5A" : "";
            for (int k = 0; k < 5; ++k)
                frame += "task " + std::to_string(k) + ": " + std::to_string(i + 1) + " of " + std::to_string(count) + "\r\n";
            Write(frame.data(), frame.size());
        }
    } else if (mode == "progress") {
        for (unsigned long i = 0; i < count; ++i, ::Sleep(1)) {
            std::string line = "\rprogress " + std::to_string(i) + " of " + std::to_string(count);
            Write(line.data(), line.size());
        }
        Write("\r\n", 2);
    } else {
        std::fprintf(stderr, "BenchTool: unknown mode\n");
        return 2;
    }
    return 0;
}
