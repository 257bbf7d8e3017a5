// Running a step of a test on the user-interface thread of a window under
// test, from the script's helper thread: OnUiThread sends the window a
// message that a hook on the test's main thread (installed by main) turns
// into a call of the step, so no test dialog needs probe messages of its own.
#pragma once

#include "platform/Win32.h"

#include <functional>

namespace testsupport {

// Installs the hook on this thread; main does it once.
void InstallUiCallHook();
// Calls step on the thread that owns hWnd and waits until it has returned.
void OnUiThread(HWND hWnd, const std::function<void()>& step);

} // namespace testsupport
