// Waiting in GUI tests: pump this thread's messages until a condition holds.
// Tests never sleep a fixed time to let something happen.
#pragma once

#include "platform/Win32.h"

#include <functional>

namespace testsupport {

constexpr DWORD kTimeoutMs = 15000; // generous: Wine under load can be slow

// Dispatches this thread's messages until cond() is true or timeoutMs has
// passed; returns cond().
bool PumpUntil(const std::function<bool()>& cond, DWORD timeoutMs = kTimeoutMs);

// Dispatches whatever is already queued for this thread, sent messages
// included, and returns when the queue is empty.
void PumpPending();

// Waits (without pumping) until cond() is true or timeoutMs has passed; for
// threads that own no windows.
bool WaitUntil(const std::function<bool()>& cond, DWORD timeoutMs = kTimeoutMs);

} // namespace testsupport
