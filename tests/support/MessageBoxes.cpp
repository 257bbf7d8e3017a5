#include "MessageBoxes.h"

#include "Pump.h"

namespace testsupport {

namespace {

constexpr int kMessageBoxTextId = 0xFFFF;

struct FindData {
    DWORD pid;
    HWND found;
};

BOOL CALLBACK FindBox(HWND hWnd, LPARAM lParam)
{
    auto* data = reinterpret_cast<FindData*>(lParam);
    DWORD pid = 0;
    ::GetWindowThreadProcessId(hWnd, &pid);
    if (pid == data->pid && ::IsWindowVisible(hWnd) && IsMessageBox(hWnd)) {
        data->found = hWnd;
        return FALSE;
    }
    return TRUE;
}

std::string TextOf(HWND hWnd)
{
    char buf[4096] = "";
    ::SendMessageTimeoutA(hWnd, WM_GETTEXT, sizeof buf, reinterpret_cast<LPARAM>(buf), SMTO_BLOCK, 5000,
                          nullptr);
    return buf;
}

} // namespace

bool IsMessageBox(HWND hWnd)
{
    char cls[16] = "";
    ::GetClassNameA(hWnd, cls, sizeof cls);
    return lstrcmpA(cls, "#32770") == 0 && ::GetDlgItem(hWnd, kMessageBoxTextId) != nullptr &&
        (::GetDlgItem(hWnd, 20) != nullptr || ::GetDlgItem(hWnd, 1088) != nullptr);
}

HWND FindMessageBox(DWORD pid)
{
    FindData data{ pid, nullptr };
    ::EnumWindows(&FindBox, reinterpret_cast<LPARAM>(&data));
    return data.found;
}

HWND WaitForMessageBox(DWORD pid, DWORD timeoutMs)
{
    HWND hBox = nullptr;
    WaitUntil([&] { return (hBox = FindMessageBox(pid)) != nullptr; }, timeoutMs);
    return hBox;
}

MessageBoxSeen ReadMessageBox(HWND hBox)
{
    return MessageBoxSeen{ TextOf(hBox), TextOf(::GetDlgItem(hBox, kMessageBoxTextId)) };
}

void DismissMessageBox(HWND hBox)
{
    ::PostMessageA(hBox, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), 0);
}

MessageBoxWatcher::MessageBoxWatcher() : m_thread([this] { Watch(); }) {}

MessageBoxWatcher::~MessageBoxWatcher()
{
    m_stop = true;
    m_thread.join();
}

void MessageBoxWatcher::Watch()
{
    HWND hLast = nullptr;
    while (!m_stop) {
        HWND hBox = FindMessageBox(::GetCurrentProcessId());
        if (hBox != nullptr && hBox != hLast) {
            MessageBoxSeen seen = ReadMessageBox(hBox);
            {
                std::lock_guard<std::mutex> lock(m_mutex);
                m_seen.push_back(seen);
            }
            DismissMessageBox(hBox);
            hLast = hBox;
        } else if (hBox == nullptr) {
            hLast = nullptr;
        }
        ::Sleep(10);
    }
}

std::vector<MessageBoxSeen> MessageBoxWatcher::Seen() const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_seen;
}

size_t MessageBoxWatcher::Count() const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_seen.size();
}

} // namespace testsupport
