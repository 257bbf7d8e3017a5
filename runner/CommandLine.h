// Turning a typed command into a process command line and a working
// directory.
//
// The program token (first word, or the text inside a leading pair of double
// quotes) is completed with ".exe", ".bat", ".com" and looked up along the
// system's search path. A program that is found runs directly: its full path
// in quotes, then the typed arguments, in the directory of the token. Anything
// else goes to the command interpreter ("cmd.exe /c " on the NT family,
// "command.com /c " on Windows 9x) with the typed text unchanged, which is
// what makes built-ins such as dir work.
#pragma once

#include "platform/CString.h"

// Every buffer of the resolution holds this many characters with the zero.
constexpr int kCommandBufferSize = 1024;

// command: in, the typed command; out, the command line. directory: out, the
// working directory, empty for "inherit". Returns false, leaving both
// unchanged, when the typed command or the command line would be longer
// than kCommandBufferSize - 1 characters: such a command is never run cut
// short.
bool ResolveCommandLine(CString& command, CString& directory);

// True on the NT family; asks the system on every call. Any thread.
bool IsWindowsNT();
