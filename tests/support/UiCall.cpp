#include "UiCall.h"

namespace testsupport {

namespace {

const UINT WM_TEST_CALL = ::RegisterWindowMessageA("Vorlik.Test.Call");

LRESULT CALLBACK CallHook(int nCode, WPARAM wParam, LPARAM lParam) noexcept
{
    const CWPSTRUCT* msg = reinterpret_cast<const CWPSTRUCT*>(lParam);
    if (nCode == HC_ACTION && msg->message == WM_TEST_CALL && msg->wParam == 0x7E57)
        (*reinterpret_cast<const std::function<void()>*>(msg->lParam))();
    return ::CallNextHookEx(nullptr, nCode, wParam, lParam);
}

} // namespace

void InstallUiCallHook()
{
    ::SetWindowsHookExA(WH_CALLWNDPROC, &CallHook, nullptr, ::GetCurrentThreadId());
}

void OnUiThread(HWND hWnd, const std::function<void()>& step)
{
    ::SendMessageA(hWnd, WM_TEST_CALL, 0x7E57, reinterpret_cast<LPARAM>(&step));
}

} // namespace testsupport
