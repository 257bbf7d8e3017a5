// CClipboard: the clipboard, open for as long as the object lives, and the
// global memory it takes.
#pragma once

#include "platform/UniqueHandle.h"

class CClipboard {
public:
    // Opens the clipboard for hOwner; IsOpen says whether that worked (another
    // program may hold it).
    explicit CClipboard(HWND hOwner) noexcept : m_bOpen(::OpenClipboard(hOwner) != FALSE) {}
    ~CClipboard()
    {
        if (m_bOpen)
            ::CloseClipboard();
    }
    CClipboard(const CClipboard&) = delete;
    CClipboard& operator=(const CClipboard&) = delete;

    bool IsOpen() const noexcept { return m_bOpen; }
    bool Empty() noexcept { return ::EmptyClipboard() != FALSE; }
    // Hands memory over as nFormat: from then on it is the clipboard's.
    // False (memory still owned here) when the clipboard refused it.
    bool SetData(UINT nFormat, CGlobalMemory& memory) noexcept
    {
        if (::SetClipboardData(nFormat, memory.get()) == nullptr)
            return false;
        memory.release();
        return true;
    }

    // A movable global block holding a copy of n bytes; empty when the memory
    // could not be had.
    static CGlobalMemory Copy(const void* p, size_t n) noexcept;

private:
    bool m_bOpen;
};
