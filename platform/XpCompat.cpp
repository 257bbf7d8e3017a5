// The runtime's thread library (winpthreads, linked in statically) imports
// GetTickCount64, which Windows XP does not have, and an import the loader
// cannot resolve keeps the program from starting at all. So the program
// supplies that import's slot itself: a call that uses the system's
// GetTickCount64 where there is one and widens GetTickCount elsewhere. The
// slot lives in the entry point's object library, which is always linked, so
// the linker never takes the import from KERNEL32.
#include "platform/Win32.h"

namespace {

ULONGLONG WINAPI TickCount64() noexcept
{
    using Fn = ULONGLONG(WINAPI*)();
    static const Fn pfnSystem = reinterpret_cast<Fn>(
        reinterpret_cast<void*>(::GetProcAddress(::GetModuleHandleA("kernel32.dll"), "GetTickCount64")));
    if (pfnSystem != nullptr)
        return pfnSystem();
    // GetTickCount wraps every 49.7 days; count the wraps seen.
    static volatile LONG s_nLast = 0; // any thread, through Interlocked calls only
    static volatile LONG s_nWraps = 0; // any thread, through Interlocked calls only
    DWORD now = ::GetTickCount();
    DWORD last = static_cast<DWORD>(::InterlockedExchange(&s_nLast, static_cast<LONG>(now)));
    if (now < last)
        ::InterlockedIncrement(&s_nWraps);
    return (static_cast<ULONGLONG>(static_cast<DWORD>(s_nWraps)) << 32) | now;
}

} // namespace

// The import slot, under the name the linker looks for.
extern "C" {
ULONGLONG(WINAPI* g_pfnTickCount64)() __asm__("__imp__GetTickCount64@0") = &TickCount64;
}
