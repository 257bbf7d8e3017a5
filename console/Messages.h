// The console's private window messages (the run worker's are its own, in
// runner/RunWorker.h). Each is handled on the user-interface thread; how it
// travels is said beside it.
#pragma once

#include "platform/Win32.h"

// Output pane -> main window, sent. What the user typed goes as Unicode:
// the main window sends it on in the code page the output is read in.
// Sending each key at once: every typed character, wParam its Unicode code
// point, lParam the key flags (the high word of WM_CHAR's lParam).
constexpr UINT WM_CONSOLE_CHAR = WM_USER + 13;
// Line input: a line the user ended with Enter, CR LF included; wParam its
// length in UTF-16 units, lParam its text (wchar_t).
constexpr UINT WM_CONSOLE_LINE = WM_USER + 15;
// Line input: Ctrl+Z on an empty line, then Enter: the end of the input.
constexpr UINT WM_CONSOLE_EOF = WM_USER + 16;
// Ctrl+C with nothing selected: what Stop does.
constexpr UINT WM_CONSOLE_BREAK = WM_USER + 17;

// Export thread -> main window: a Save or Copy has ended, however it ended
// (posted by the framework as the thread ends).
constexpr UINT WM_EXPORT_DONE = WM_USER + 18;
// Main window -> itself: a run's end to report, once the worker has let go
// (posted, so that no message box ever keeps the worker waiting).
constexpr UINT WM_RUN_REPORT = WM_USER + 19;

// The pane -> itself: the small controls it replaced can be destroyed
// (posted; WM_APP, clear of the rich edit's own messages).
constexpr UINT WM_PANE_DISPOSE = WM_APP + 0x103;
