// The run worker: one thread per run that starts the typed command as a
// hidden child with redirected standard handles and hands its output to the
// host window until the child has ended.
//
// It talks to its host window only through synchronous messages, so every
// handler runs on the user-interface thread while the worker waits:
//   WM_RUN_STDIN    wParam: stdin read end, lParam: stdin write end
//                   (once both pipes exist, before the child is created)
//   WM_RUN_PROCESS  wParam: the child's process handle (once it exists)
//   WM_RUN_OUTPUT   wParam: a byte count, lParam: that many bytes of output
//                   (never zero bytes); the handler copies them and returns
//                   at once
//   WM_RUN_FINISHED exactly once per run, in every outcome, after the worker
//                   has closed its pipe ends; only the process handle is
//                   closed after it.
//   WM_RUN_PROCESS  lParam: the child's job, or null without one
// The host (its CRunSession) takes its own copies of the process and job
// handles; the worker creates and closes every handle of its own, on every
// way out.
//
// The pump polls: it asks the pipe how much is waiting and reads exactly
// that, so no read ever blocks and the child's end is always noticed. While
// output flows it does not sleep, and hands over what it gathered at least
// every kHandOverMs; after empty polls it backs off from 1 ms to the idle
// period of 100 ms, doubling each time.
#pragma once

#include "platform/Win32.h"

#include <vector>

class CStdinWriter;
class CString;

constexpr UINT WM_RUN_FINISHED = WM_USER + 10;
constexpr UINT WM_RUN_PROCESS = WM_USER + 11;
constexpr UINT WM_RUN_STDIN = WM_USER + 12;
constexpr UINT WM_RUN_OUTPUT = WM_USER + 14;

constexpr DWORD kOutputPipeSize = 10240;
constexpr DWORD kStdinPipeSize = 1024;
constexpr DWORD kIdlePollMs = 100;
// Output waiting in the pipe is gathered up to this many bytes per hand-off,
// and for no longer than kHandOverMs; the host only takes it in, so the cost
// per message is small either way.
constexpr size_t kOutputBatchBytes = 256 * 1024;
constexpr DWORD kHandOverMs = 20;

class CRunSession;

// The worker's entry: pParam is the CRunSession. Runs the command through
// RunGuarded.
UINT RunCommandThread(LPVOID pParam);

// Runs body for the session (pParam) on the worker thread, then sends
// WM_RUN_FINISHED to its host exactly once, also when body throws: the
// exception is reported first, while the run still counts as active, as the
// worker's own failures are.
UINT RunGuarded(LPVOID pParam, void (*body)(CRunSession& session));

// Runs one command from start to end; failures are reported in message boxes
// from here. When hEnd is set, the child's tree is terminated and the run
// ends as after a Stop.
void RunCommand(HWND hWndHost, const CString& command, CStdinWriter& stdinWriter, HANDLE hEnd);

// Hands everything waiting in the pipe to the host, zero bytes left out.
// Returns 1 when the pipe is empty, 0 when peeking or reading failed;
// *pnDrained receives the number of bytes taken from the pipe.
int DrainPipe(HANDLE hRead, std::vector<char>& buffer, HWND hWndHost, DWORD* pnDrained = nullptr);
