#include "Pump.h"

namespace testsupport {

bool PumpUntil(const std::function<bool()>& cond, DWORD timeoutMs)
{
    DWORD start = ::GetTickCount();
    for (;;) {
        PumpPending();
        if (cond())
            return true;
        DWORD elapsed = ::GetTickCount() - start;
        if (elapsed >= timeoutMs)
            return cond();
        // Wake for any message, or re-check the condition now and then.
        ::MsgWaitForMultipleObjects(0, nullptr, FALSE, 10, QS_ALLINPUT);
    }
}

void PumpPending()
{
    MSG msg;
    while (::PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
        ::TranslateMessage(&msg);
        ::DispatchMessageA(&msg);
    }
}

bool WaitUntil(const std::function<bool()>& cond, DWORD timeoutMs)
{
    DWORD start = ::GetTickCount();
    while (!cond()) {
        if (::GetTickCount() - start >= timeoutMs)
            return cond();
        ::Sleep(5);
    }
    return true;
}

} // namespace testsupport
