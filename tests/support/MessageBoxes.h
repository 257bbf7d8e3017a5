// Finding, reading and dismissing message boxes, in this process or another.
#pragma once

#include "platform/Win32.h"

#include <atomic>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace testsupport {

struct MessageBoxSeen {
    std::string title;
    std::string text;
};

// True for a system message box: a dialog-class window with the text static
// 0xFFFF and the icon static (id 20 on Windows, 1088 under Wine). The icon
// tells it from dialogs whose plain labels also carry the id 0xFFFF; every
// box the program shows has one.
bool IsMessageBox(HWND hWnd);
// The first visible message box of process pid, or null.
HWND FindMessageBox(DWORD pid);
// Waits up to timeoutMs for one; null when none came.
HWND WaitForMessageBox(DWORD pid, DWORD timeoutMs);
MessageBoxSeen ReadMessageBox(HWND hBox);
// Presses the box's OK (or only) button.
void DismissMessageBox(HWND hBox);

// While alive, a helper thread records and presses OK on every message box
// that this process shows, so a test on the user-interface thread can run
// code that reports through AfxMessageBox.
class MessageBoxWatcher {
public:
    MessageBoxWatcher();
    ~MessageBoxWatcher();
    MessageBoxWatcher(const MessageBoxWatcher&) = delete;
    MessageBoxWatcher& operator=(const MessageBoxWatcher&) = delete;

    std::vector<MessageBoxSeen> Seen() const;
    size_t Count() const;

private:
    void Watch();

    std::atomic<bool> m_stop{ false }; // set by the owner thread, read by the watcher
    mutable std::mutex m_mutex;
    std::vector<MessageBoxSeen> m_seen; // guarded by m_mutex
    std::thread m_thread;
};

} // namespace testsupport
