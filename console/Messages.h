// The program's private window messages, all in one place. Each is sent to
// the main window (or, for WM_PANE_DISPOSE, posted to the pane) and handled
// on the user-interface thread.
#pragma once

#include "platform/Win32.h"

// Run worker -> main window.
// The run has ended: lParam points at the CRunResult (the worker's, valid
// during the call). Sent exactly once per run, in every outcome.
constexpr UINT WM_RUN_FINISHED = WM_USER + 10;
// The child's output: wParam a byte count, lParam that many bytes (the
// worker's, valid during the call).
constexpr UINT WM_RUN_OUTPUT = WM_USER + 14;

// Output pane -> main window.
// Sending each key at once: every typed character, wParam the character
// code, lParam the key flags (the high word of WM_CHAR's lParam).
constexpr UINT WM_CONSOLE_CHAR = WM_USER + 13;
// Line input: a line the user ended with Enter, CR LF included; wParam its
// length, lParam its bytes.
constexpr UINT WM_CONSOLE_LINE = WM_USER + 15;
// Line input: Ctrl+Z on an empty line, then Enter: the end of the input.
constexpr UINT WM_CONSOLE_EOF = WM_USER + 16;
// Ctrl+C with nothing selected: what Stop does.
constexpr UINT WM_CONSOLE_BREAK = WM_USER + 17;

// Export worker -> main window: a Save or Copy has ended (posted).
constexpr UINT WM_EXPORT_DONE = WM_USER + 18;
// Main window -> itself: a run's end to report, once the worker has let go
// (posted, so that no message box ever keeps the worker waiting).
constexpr UINT WM_RUN_REPORT = WM_USER + 19;

// The pane -> itself: the small controls it replaced can be destroyed
// (posted; WM_APP, clear of the rich edit's own messages).
constexpr UINT WM_PANE_DISPOSE = WM_APP + 0x103;
