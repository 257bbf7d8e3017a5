#include "runner/StdinWriter.h"

#include "platform/CWinThread.h"

#include <algorithm>

// Shared by the writer and, where there is one, its thread: the thread
// holds it as long as it runs, so it outlives the writer if need be.
struct CStdinWriter::CState {
    CCriticalSection lock;
    CHandle pipe;                  // guarded by lock; empty once closed
    std::string pending;           // guarded by lock
    bool bEndAsked = false;        // guarded by lock
    bool bClosed = false;          // guarded by lock
    bool bBlocking = false;        // set by Open before the thread starts, then read-only
    CEvent evWork{ FALSE, FALSE }; // set by the user-interface thread, waited for by the writer thread
};

namespace {

using CState = CStdinWriter::CState;

// Non-blocking writes of what is queued. A non-blocking write may take all
// of a piece or nothing of it (Wine) or part of it (Windows); halving the
// piece on a refusal makes progress either way until not even one byte fits.
void FlushLocked(CState& state)
{
    size_t piece = 1024; // the pipe's size: a typed line of up to 1 KB goes in one write
    while (state.pipe && !state.pending.empty() && piece > 0) {
        DWORD toWrite = static_cast<DWORD>(std::min(piece, state.pending.size()));
        DWORD written = 0;
        if (!::WriteFile(state.pipe.get(), state.pending.data(), toWrite, &written, nullptr))
            return; // broken pipe: the child is gone, the run ends soon
        if (written == 0)
            piece /= 2;
        else
            state.pending.erase(0, written);
    }
    if (state.bEndAsked && state.pending.empty())
        state.pipe.reset(); // the end of the child's input
}

// Where writes cannot be made non-blocking: what is queued is written here,
// a blocking write at a time outside the lock, until the writer is closed,
// the input ends or the pipe breaks.
void WriteQueued(CState& state)
{
    std::string chunk;
    for (;;) {
        HANDLE hPipe = nullptr;
        {
            CSingleLock lock(state.lock);
            if (state.bClosed || (state.bEndAsked && state.pending.empty()))
                return;
            chunk.swap(state.pending);
            state.pending.clear();
            hPipe = state.pipe.get();
        }
        if (chunk.empty()) {
            state.evWork.Lock(INFINITE); // until something is typed, or the end
            continue;
        }
        for (size_t done = 0; done < chunk.size();) {
            DWORD written = 0;
            if (!::WriteFile(hPipe, chunk.data() + done, static_cast<DWORD>(chunk.size() - done), &written, nullptr))
                return; // broken pipe: the child is gone
            done += written;
        }
    }
}

// The writer's own thread. It owns the pipe's handle from its start and
// closes it as it ends, however it ends.
UINT WriterThread(LPVOID pParam)
{
    std::unique_ptr<std::shared_ptr<CState>> holder(static_cast<std::shared_ptr<CState>*>(pParam));
    CState& state = **holder;
    try {
        WriteQueued(state);
    } catch (...) {
        // Memory ran out for what was typed: the input ends here, as with
        // a broken pipe.
    }
    CSingleLock lock(state.lock);
    state.pipe.reset();
    return 0;
}

} // namespace

void CStdinWriter::Open(CHandle hWrite)
{
    Close();
    auto state = std::make_shared<CState>();
    DWORD mode = PIPE_NOWAIT;
    state->bBlocking = !::SetNamedPipeHandleState(hWrite.get(), &mode, nullptr, nullptr);
    state->pipe = std::move(hWrite);
    if (state->bBlocking) {
        auto* holder = new std::shared_ptr<CState>(state);
        if (AfxBeginThread(&WriterThread, holder) == nullptr) {
            delete holder;
            state->pipe.reset(); // no way to write without holding the window: the input is lost
        }
    }
    m_state = state;
}

void CStdinWriter::Write(const char* pData, size_t nCount)
{
    if (!m_state)
        return;
    CState& state = *m_state;
    {
        CSingleLock lock(state.lock);
        if (!state.pipe || state.bEndAsked || state.bClosed)
            return;
        // Bytes already waiting mean the pipe was full a moment ago: queue
        // behind them and leave the retry to the worker's next pass.
        bool bWasEmpty = state.pending.empty();
        state.pending.append(pData, nCount);
        if (!state.bBlocking) {
            if (bWasEmpty)
                FlushLocked(state);
            return;
        }
    }
    state.evWork.SetEvent();
}

void CStdinWriter::WriteKey(char ch)
{
    if (ch == '\r')
        Write("\r\n", 2);
    else
        Write(&ch, 1);
}

void CStdinWriter::EndInput()
{
    if (!m_state)
        return;
    CState& state = *m_state;
    {
        CSingleLock lock(state.lock);
        state.bEndAsked = true;
        if (!state.bBlocking)
            FlushLocked(state);
    }
    state.evWork.SetEvent();
}

void CStdinWriter::Flush()
{
    if (!m_state || m_state->bBlocking)
        return;
    CSingleLock lock(m_state->lock);
    FlushLocked(*m_state);
}

void CStdinWriter::Close()
{
    if (!m_state)
        return;
    CState& state = *m_state;
    {
        CSingleLock lock(state.lock);
        state.bClosed = true;
        state.pending.clear();
        if (!state.bBlocking)
            state.pipe.reset();
    }
    state.evWork.SetEvent();
    m_state.reset();
}
