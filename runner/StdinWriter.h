// CStdinWriter: the way typed characters reach a run's standard input.
//
// The dialog's typing must never block the user-interface thread (the stdin
// pipe holds 1 KB and a child need not read it), must never touch a closed
// handle, and must deliver every byte in order. So:
//  - Open (user-interface thread) takes the pipe's write end and switches
//    it to non-blocking writes; Write queues the bytes and writes what the
//    pipe takes at once, and Flush (worker, on each pass of its pump)
//    retries the rest;
//  - where the system refuses non-blocking writes, a writer thread of its
//    own does the writing, blocking as long as the child does not read, and
//    Write only queues;
//  - EndInput (user-interface thread) asks for the end of the input: once
//    what is queued has gone, the write end is closed, so the child reads
//    to the end of its input, and nothing more is written;
//  - Close (user-interface thread, when the run is over) ends all writing;
//    bytes still queued are dropped with the pipe.
#pragma once

#include "platform/CEvent.h"

#include <memory>
#include <string>

class CStdinWriter {
public:
    CStdinWriter() = default;
    CStdinWriter(const CStdinWriter&) = delete;
    CStdinWriter& operator=(const CStdinWriter&) = delete;
    ~CStdinWriter() { Close(); }

    // Takes the pipe's write end. User-interface thread, before the worker.
    void Open(CHandle hWrite);
    void Write(const char* pData, size_t nCount);  // user-interface thread
    // One typed key: carriage return goes as CR LF in one write, any other
    // byte unchanged. User-interface thread.
    void WriteKey(char ch);
    void EndInput();                               // user-interface thread
    // User-interface thread, once the worker has ended.
    void Close();
    void Flush();                                  // worker

    // What the writer and its thread share; see the file's note.
    struct CState;

private:
    // Set and reset by the user-interface thread only while no worker runs
    // (Open before it starts, Close once it has ended); the state itself is
    // guarded by its lock.
    std::shared_ptr<CState> m_state;
};
