// CStdinWriter: the way typed characters reach a run's standard input.
//
// The dialog's typing must never block the user-interface thread (the stdin
// pipe holds 1 KB and a child need not read it), must never touch a handle
// the worker has closed, and must deliver every byte in order. So:
//  - the worker opens the writer on the pipe's write end, switched to
//    non-blocking writes, before it tells the dialog about the pipe;
//  - Write (user-interface thread) queues the bytes and writes what the pipe
//    takes at once; Flush (worker, on each pass of its pump) retries the rest;
//  - Close (worker, before it closes the pipe) ends all use of the handle;
//    bytes typed after that, or still queued, are dropped with the pipe;
//  - EndInput (user-interface thread) asks for the end of the input: once
//    what is queued has gone, TakeEnd (worker) says so once, the writer
//    writes nothing more, and the worker closes the pipe's write end, so the
//    child reads to the end of its input.
#pragma once

#include "platform/CEvent.h"

#include <string>

class CStdinWriter {
public:
    CStdinWriter() = default;
    CStdinWriter(const CStdinWriter&) = delete;
    CStdinWriter& operator=(const CStdinWriter&) = delete;

    void Open(HANDLE hWrite);             // worker
    void Write(const char* pData, size_t nCount); // user-interface thread
    // One typed key: carriage return goes as CR LF in one write, any other
    // byte unchanged. User-interface thread.
    void WriteKey(char ch);
    void Flush();                          // worker
    void Close();                          // worker
    void EndInput();                       // user-interface thread
    bool TakeEnd();                        // worker
    size_t GetPendingCount();              // any thread

private:
    void FlushLocked();

    CCriticalSection m_lock;
    HANDLE m_hWrite = nullptr; // guarded by m_lock; borrowed from the worker
    std::string m_pending;     // guarded by m_lock
    bool m_bEndAsked = false;  // guarded by m_lock
};
