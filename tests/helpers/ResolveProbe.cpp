// Prints how a command line resolves in this process: "<ok>|<command line>|
// <directory>". The tests run it with a per-exe Windows version to see the
// Windows 9x branch.
#include "runner/CommandLine.h"

#include <cstdio>

int main(int argc, char** argv)
{
    CString command(argc > 1 ? argv[1] : "");
    CString directory;
    bool ok = ResolveCommandLine(command, directory);
    std::printf("%d|%s|%s\n", ok ? 1 : 0, static_cast<LPCTSTR>(command), static_cast<LPCTSTR>(directory));
    return 0;
}
