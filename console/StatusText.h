// The texts of the status line under the pane: how the last run ended, how
// long the current one has run, how far a Save has come. Unicode, so that
// "·" and "…" show whatever the ANSI code page.
#pragma once

#include "runner/RunWorker.h"

#include <string>

namespace status {

// 0.42 s, 12.1 s, 2 min 05 s, 1 h 02 min.
std::wstring Duration(DWORD ms);
// "Exit code 3 · 0.42 s", "Stopped after 12.1 s", "Could not start: ...",
// "Failed: ...". program names the program for a system text that has a
// place for it.
std::wstring RunEnded(const CRunResult& result, const CString& program);
// "Running… 12 s", in whole seconds.
std::wstring Running(DWORD ms);
// "Saving… 45 %".
std::wstring Saving(int percent);

// The system's text for an error, in one line.
std::wstring SystemText(DWORD error, const CString& program);

} // namespace status
