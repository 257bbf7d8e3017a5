// Move-only owners of Win32 handles. Each kind of handle names how it is
// closed and which value means "none"; the owner closes it exactly once.
#pragma once

#include "platform/Win32.h"

#include <utility>

namespace afx {

template <class Traits>
class UniqueHandle {
public:
    using Handle = typename Traits::Handle;

    UniqueHandle() noexcept = default;
    explicit UniqueHandle(Handle h) noexcept : m_h(h) {}
    UniqueHandle(UniqueHandle&& other) noexcept : m_h(other.release()) {}
    UniqueHandle& operator=(UniqueHandle&& other) noexcept
    {
        if (this != &other)
            reset(other.release());
        return *this;
    }
    UniqueHandle(const UniqueHandle&) = delete;
    UniqueHandle& operator=(const UniqueHandle&) = delete;
    ~UniqueHandle() { reset(); }

    Handle get() const noexcept { return m_h; }
    explicit operator bool() const noexcept { return Traits::IsValid(m_h); }

    // Gives up ownership without closing.
    Handle release() noexcept { return std::exchange(m_h, Traits::None()); }

    // Closes the owned handle (if any) and takes h.
    void reset(Handle h = Traits::None()) noexcept
    {
        Handle old = std::exchange(m_h, h);
        if (Traits::IsValid(old))
            Traits::Close(old);
    }

    // For out-parameters of Win32 calls: closes what is held, then exposes
    // the slot.
    Handle* put() noexcept
    {
        reset();
        return &m_h;
    }

private:
    Handle m_h = Traits::None();
};

// Kernel objects whose "none" is null: events, threads, processes, pipes.
struct KernelHandleTraits {
    using Handle = HANDLE;
    static Handle None() noexcept { return nullptr; }
    static bool IsValid(Handle h) noexcept { return h != nullptr && h != INVALID_HANDLE_VALUE; }
    static void Close(Handle h) noexcept { ::CloseHandle(h); }
};

struct RegKeyTraits {
    using Handle = HKEY;
    static Handle None() noexcept { return nullptr; }
    static bool IsValid(Handle h) noexcept { return h != nullptr; }
    static void Close(Handle h) noexcept { ::RegCloseKey(h); }
};

// Windows the program made and destroys itself (on the thread that owns
// them, as DestroyWindow requires).
struct WindowTraits {
    using Handle = HWND;
    static Handle None() noexcept { return nullptr; }
    static bool IsValid(Handle h) noexcept { return h != nullptr; }
    static void Close(Handle h) noexcept { ::DestroyWindow(h); }
};

// Global memory blocks, as the clipboard takes them.
struct GlobalMemoryTraits {
    using Handle = HGLOBAL;
    static Handle None() noexcept { return nullptr; }
    static bool IsValid(Handle h) noexcept { return h != nullptr; }
    static void Close(Handle h) noexcept { ::GlobalFree(h); }
};

} // namespace afx

using CHandle = afx::UniqueHandle<afx::KernelHandleTraits>;
using CRegKeyHandle = afx::UniqueHandle<afx::RegKeyTraits>;
using CGlobalMemory = afx::UniqueHandle<afx::GlobalMemoryTraits>;
using CWindowHandle = afx::UniqueHandle<afx::WindowTraits>;
