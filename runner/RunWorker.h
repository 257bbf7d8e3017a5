// The run worker: the back end of one run. It starts the resolved command
// line as a hidden child whose standard handles are the pipes its session
// made, puts it into the session's job, hands the child's output to the host
// window (WM_RUN_OUTPUT) until the child has ended, and ends by sending one
// CRunResult with WM_RUN_FINISHED, in every outcome. It shows nothing: the
// host reports what the result says.
//
// The pump polls: it asks the pipe how much is waiting and reads exactly
// that, so no read ever blocks and the child's end is always noticed. While
// output flows it does not sleep, and hands over what it gathered at least
// every kHandOverMs; after empty polls it backs off from 1 ms to the idle
// period of 100 ms, doubling each time.
//
// Threads: the worker's own; it talks to the host only through sent
// messages, and to its session through CRunWork.
#pragma once

#include "platform/CString.h"
#include "platform/UniqueHandle.h"

#include <vector>

class CRunChild;
class CStdinWriter;

constexpr DWORD kOutputPipeSize = 10240;
constexpr DWORD kStdinPipeSize = 1024;
constexpr DWORD kIdlePollMs = 100;
// Output waiting in the pipe is gathered up to this many bytes per hand-off,
// and for no longer than kHandOverMs; the host decodes it and adds it to its
// record of the run (it draws later), so a message costs little either way.
constexpr size_t kOutputBatchBytes = 256 * 1024;
constexpr DWORD kHandOverMs = 20;

// The worker's messages to its host, sent (the worker waits for each to be
// handled, so the host may read what they point at during the call).
// The child's output: wParam a byte count, lParam that many bytes.
constexpr UINT WM_RUN_OUTPUT = WM_USER + 14;
// The run has ended: lParam points at the CRunResult. Exactly once per run,
// in every outcome, and the last thing the worker does.
constexpr UINT WM_RUN_FINISHED = WM_USER + 10;

// How a run ended.
struct CRunResult {
    enum Kind {
        exited,     // the child ended by itself: exitCode
        stopped,    // Stop (or the host going) ended it, or kept it from starting
        notStarted, // the system could not start it: error
        failed      // the worker itself failed: failure
    };
    Kind kind = failed;
    DWORD exitCode = 0;
    DWORD error = 0;
    CString failure;
    DWORD elapsedMs = 0; // from the child's start to its end
};

// What a worker is given by its session, written on the user-interface
// thread before the worker starts and the worker's from then on; the
// borrowed objects outlive the worker.
struct CRunWork {
    HWND hWndHost = nullptr;
    CString commandLine;
    CString directory;    // empty: the program's own
    CHandle childStdin;   // the child's ends of the pipes
    CHandle childOutput;
    CHandle outputRead;   // where the worker reads the child's output
    CStdinWriter* pStdin = nullptr; // borrowed: flushed on each pass of the pump
    CRunChild* pChild = nullptr;    // borrowed: where the child is adopted
};

// The worker's entry: pParam is the CRunWork.
UINT RunWorkerThread(LPVOID pParam);
