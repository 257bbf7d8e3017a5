// The run worker: the back end of one run. It starts the resolved command
// line as a hidden child whose standard handles are the pipes its session
// made, puts it into the session's job, hands the child's output to the host
// window until the child has ended, and ends by sending one CRunResult with
// WM_RUN_FINISHED (console/Messages.h), in every outcome. It shows nothing:
// the host reports what the result says.
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
// and for no longer than kHandOverMs; the host only takes it in, so the cost
// per message is small either way.
constexpr size_t kOutputBatchBytes = 256 * 1024;
constexpr DWORD kHandOverMs = 20;

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

// Hands everything waiting in the pipe to the host. Returns 1 when the pipe
// is empty, 0 when peeking or reading failed; *pnDrained receives the number
// of bytes taken from the pipe.
int DrainPipe(HANDLE hRead, std::vector<char>& buffer, HWND hWndHost, DWORD* pnDrained = nullptr);
