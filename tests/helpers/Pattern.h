// The deterministic text ChildTool's "pattern" and "lastgasp" write, for the
// tests to compare against: numbered lines, cut to the given size.
#pragma once

#include <cstdio>
#include <string>

inline std::string Pattern(size_t bytes)
{
    std::string s;
    s.reserve(bytes + 64);
    char line[64];
    for (int i = 0; s.size() < bytes; ++i) {
        std::snprintf(line, sizeof line, "%07d abcdefghijklmnopqrstuvwxyz0123456789\r\n", i);
        s += line;
    }
    s.resize(bytes);
    return s;
}
