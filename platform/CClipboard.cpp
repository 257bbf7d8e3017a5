#include "platform/CClipboard.h"

#include <cstring>

CGlobalMemory CClipboard::Copy(const void* p, size_t n) noexcept
{
    CGlobalMemory memory(::GlobalAlloc(GMEM_MOVEABLE, n));
    if (!memory)
        return memory;
    void* dest = ::GlobalLock(memory.get());
    if (dest == nullptr)
        return CGlobalMemory();
    std::memcpy(dest, p, n);
    ::GlobalUnlock(memory.get());
    return memory;
}
