#include "TestSupport.h"

#include <tlhelp32.h>

#include <cstring>
#include <fstream>
#include <tuple>

namespace testsupport {

bool WaitUntil(const std::function<bool()>& cond, DWORD timeoutMs)
{
    for (DWORD start = ::GetTickCount(); !cond(); ::Sleep(5))
        if (::GetTickCount() - start >= timeoutMs)
            return cond();
    return true;
}

namespace {

const UINT WM_TEST_CALL = ::RegisterWindowMessageA("Vorlik.Test.Call");

LRESULT CALLBACK CallHook(int nCode, WPARAM wParam, LPARAM lParam) noexcept
{
    const auto* msg = reinterpret_cast<const CWPSTRUCT*>(lParam);
    if (nCode == HC_ACTION && msg->message == WM_TEST_CALL && msg->wParam == 0x7E57) {
        try {
            (*reinterpret_cast<const std::function<void()>*>(msg->lParam))();
        } catch (...) {
            afx::ReportCurrentException();
        }
    }
    return ::CallNextHookEx(nullptr, nCode, wParam, lParam);
}

bool IsDialog(HWND hWnd)
{
    char cls[16] = "";
    ::GetClassNameA(hWnd, cls, sizeof cls);
    return lstrcmpA(cls, "#32770") == 0;
}

// A message box has the text static 0xFFFF and an icon (id 20 on Windows,
// 1088 under Wine), which tells it from dialogs with plain labels.
bool IsMessageBox(HWND hWnd)
{
    return IsDialog(hWnd) && ::GetDlgItem(hWnd, 0xFFFF) != nullptr &&
        (::GetDlgItem(hWnd, 20) != nullptr || ::GetDlgItem(hWnd, 1088) != nullptr);
}

BOOL CALLBACK TestTop(HWND hWnd, LPARAM lParam)
{
    auto* search = reinterpret_cast<std::tuple<DWORD, const std::function<bool(HWND)>*, HWND>*>(lParam);
    DWORD owner = 0;
    ::GetWindowThreadProcessId(hWnd, &owner);
    bool found = owner == std::get<0>(*search) && ::IsWindowVisible(hWnd) && (*std::get<1>(*search))(hWnd);
    std::get<2>(*search) = found ? hWnd : nullptr;
    return !found;
}

// The first visible top-level window of process pid that passes test.
HWND FindTop(DWORD pid, const std::function<bool(HWND)>& test)
{
    std::tuple<DWORD, const std::function<bool(HWND)>*, HWND> search{ pid, &test, nullptr };
    ::EnumWindows(&TestTop, reinterpret_cast<LPARAM>(&search));
    return std::get<2>(search);
}

std::string TextOf(HWND hWnd)
{
    char buf[4096] = "";
    ::SendMessageTimeoutA(hWnd, WM_GETTEXT, sizeof buf, reinterpret_cast<LPARAM>(buf), SMTO_BLOCK, 5000, nullptr);
    return buf;
}

void ForEachProcess(const char* exeName, const std::function<void(const PROCESSENTRY32&)>& visit)
{
    CHandle snapshot(::CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0));
    PROCESSENTRY32 entry{ sizeof entry };
    for (BOOL more = ::Process32First(snapshot.get(), &entry); more; more = ::Process32Next(snapshot.get(), &entry))
        if (lstrcmpiA(entry.szExeFile, exeName) == 0)
            visit(entry);
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

INT_PTR RunModalWith(CDialog& dlg, const std::function<void(HWND hDlg)>& script)
{
    DWORD uiThread = ::GetCurrentThreadId();
    std::atomic<bool> ended{ false };
    std::thread helper([&] {
        auto ours = [&](HWND h) { return ::GetWindowThreadProcessId(h, nullptr) == uiThread && IsDialog(h) && !IsMessageBox(h); };
        HWND hDlg = nullptr;
        WaitUntil([&] { return ended || (hDlg = FindTop(::GetCurrentProcessId(), ours)) != nullptr; });
        if (hDlg != nullptr)
            script(hDlg);
        if (!ended && hDlg != nullptr && ::IsWindow(hDlg))
            ::PostMessageA(hDlg, WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED), 0);
    });
    INT_PTR result = dlg.DoModal();
    ended = true;
    helper.join();
    return result;
}

HWND FindMessageBox(DWORD pid)
{
    return FindTop(pid, IsMessageBox);
}

std::string MessageBoxText(HWND hBox, bool bTitled)
{
    return (bTitled ? TextOf(hBox) + ": " : "") + TextOf(::GetDlgItem(hBox, 0xFFFF));
}

void DismissMessageBox(HWND hBox)
{
    ::PostMessageA(hBox, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), 0);
}

HWND WaitForTopWindow(DWORD pid, const char* caption, DWORD timeoutMs)
{
    auto test = [&](HWND h) { return IsDialog(h) && !IsMessageBox(h) && TextOf(h) == caption; };
    HWND hFound = nullptr;
    WaitUntil([&] { return (hFound = FindTop(pid, test)) != nullptr; }, timeoutMs);
    return hFound;
}

MessageBoxWatcher::MessageBoxWatcher()
    : m_thread([this] {
          for (HWND hLast = nullptr; !m_stop; ::Sleep(10)) {
              HWND hBox = FindMessageBox(::GetCurrentProcessId());
              if (hBox != nullptr && hBox != hLast) {
                  std::string text = MessageBoxText(hBox);
                  std::lock_guard<std::mutex> lock(m_mutex);
                  m_texts.push_back(text);
                  DismissMessageBox(hBox);
              }
              hLast = hBox;
          }
      })
{
}

MessageBoxWatcher::~MessageBoxWatcher()
{
    m_stop = true;
    m_thread.join();
}

std::vector<std::string> MessageBoxWatcher::Texts() const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_texts;
}

std::string WindowText(HWND hWnd)
{
    std::string text(static_cast<size_t>(::SendMessageA(hWnd, WM_GETTEXTLENGTH, 0, 0)) + 1, '\0');
    text.resize(static_cast<size_t>(::SendMessageA(hWnd, WM_GETTEXT, text.size(), reinterpret_cast<LPARAM>(&text[0]))));
    return text;
}

CRect ChildRect(HWND hDlg, int nID)
{
    CRect rc;
    ::GetWindowRect(::GetDlgItem(hDlg, nID), rc);
    ::MapWindowPoints(nullptr, hDlg, reinterpret_cast<POINT*>(&rc), 2);
    return rc;
}

std::string TempPath(const char* name)
{
    char temp[MAX_PATH] = "";
    ::GetTempPathA(sizeof temp, temp);
    return std::string(temp) + name + std::to_string(::GetCurrentProcessId());
}

std::string ReadFileText(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

std::string ReadAvailable(HANDLE hRead)
{
    std::string s;
    char buf[4096];
    DWORD avail = 0, got = 0;
    while (::PeekNamedPipe(hRead, nullptr, 0, nullptr, &avail, nullptr) && avail > 0 &&
           ::ReadFile(hRead, buf, sizeof buf, &got, nullptr))
        s.append(buf, got);
    return s;
}

namespace {

template <class Text>
Text ClipboardData(UINT format)
{
    Text text;
    if (!WaitUntil([] { return ::OpenClipboard(nullptr) != FALSE; }))
        return text;
    if (HANDLE h = ::GetClipboardData(format)) {
        text = static_cast<const typename Text::value_type*>(::GlobalLock(h));
        ::GlobalUnlock(h);
    }
    ::CloseClipboard();
    return text;
}

} // namespace

std::string ClipboardText()
{
    return ClipboardData<std::string>(CF_TEXT);
}

std::wstring ClipboardUnicode()
{
    return ClipboardData<std::wstring>(CF_UNICODETEXT);
}

void SetClipboardText(const std::string& text)
{
    WaitUntil([] { return ::OpenClipboard(nullptr) != FALSE; });
    ::EmptyClipboard();
    HGLOBAL h = ::GlobalAlloc(GMEM_MOVEABLE, text.size() + 1);
    std::memcpy(::GlobalLock(h), text.c_str(), text.size() + 1);
    ::GlobalUnlock(h);
    ::SetClipboardData(CF_TEXT, h);
    ::CloseClipboard();
}

std::string BesideTests(const char* fileName)
{
    char path[MAX_PATH] = "";
    ::GetModuleFileNameA(nullptr, path, sizeof path);
    std::string dir(path);
    return dir.erase(dir.find_last_of('\\') + 1) + fileName;
}

std::string ChildTool(const std::string& args)
{
    return "\"" + BesideTests("ChildTool.exe") + "\" " + args;
}

ChildProcess::ChildProcess(const std::string& commandLine)
{
    std::string cmd = commandLine;
    STARTUPINFOA si{ sizeof si };
    PROCESS_INFORMATION pi{};
    if (::CreateProcessA(nullptr, &cmd[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi)) {
        ::CloseHandle(pi.hThread);
        m_process.reset(pi.hProcess);
        m_pid = pi.dwProcessId;
    }
}

ChildProcess::~ChildProcess()
{
    if (m_process && ::TerminateProcess(m_process.get(), 1))
        ::WaitForSingleObject(m_process.get(), 5000);
}

bool ChildProcess::WaitForExit(DWORD timeoutMs, DWORD* pExitCode)
{
    if (!m_process || ::WaitForSingleObject(m_process.get(), timeoutMs) != WAIT_OBJECT_0)
        return false;
    return pExitCode == nullptr || ::GetExitCodeProcess(m_process.get(), pExitCode);
}

std::string StatusPattern(const std::wstring& text)
{
    std::string status;
    for (wchar_t c : text)
        status += c == L'\u00b7' ? '*' : c == L'\u2026' ? '~' : static_cast<char>(c);
    size_t colon = status.find("start: ");
    if (colon != std::string::npos)
        return status.substr(0, colon + 7) + (status.size() > colon + 7 ? "#" : "");
    for (const char* unit : { " s", " %" })
        for (size_t at = 0; (at = status.find(unit, at)) != std::string::npos; at += 2) {
            size_t from = status.find_last_not_of("0123456789.", at - 1) + 1;
            status.replace(from, at - from, "#");
            at = from + 1;
        }
    return status;
}

int CountThreads(DWORD pid)
{
    CHandle snapshot(::CreateToolhelp32Snapshot(TH32CS_SNAPTHREAD, 0));
    THREADENTRY32 entry{ sizeof entry };
    int n = 0;
    for (BOOL more = ::Thread32First(snapshot.get(), &entry); more; more = ::Thread32Next(snapshot.get(), &entry))
        n += entry.th32OwnerProcessID == pid ? 1 : 0;
    return n;
}

long CountHandles(DWORD pid)
{
    CHandle process(::OpenProcess(PROCESS_DUP_HANDLE, FALSE, pid));
    long count = 0;
    for (UINT_PTR value = 4; process && value < 0x10000; value += 4) {
        HANDLE copy = nullptr;
        if (::DuplicateHandle(process.get(), reinterpret_cast<HANDLE>(value), ::GetCurrentProcess(), &copy, 0, FALSE,
                              DUPLICATE_SAME_ACCESS)) {
            ::CloseHandle(copy);
            ++count;
        }
    }
    return count;
}

int CountProcesses(const char* exeName)
{
    int n = 0;
    ForEachProcess(exeName, [&](const PROCESSENTRY32&) { ++n; });
    return n;
}

void EndProcesses(const char* exeName)
{
    ForEachProcess(exeName, [](const PROCESSENTRY32& entry) {
        CHandle process(::OpenProcess(PROCESS_TERMINATE | SYNCHRONIZE, FALSE, entry.th32ProcessID));
        if (process && ::TerminateProcess(process.get(), 1))
            ::WaitForSingleObject(process.get(), 5000);
    });
}

bool WaitForChildProcess(DWORD parentPid, const char* exeName, DWORD timeoutMs)
{
    bool found = false;
    return WaitUntil(
        [&] {
            ForEachProcess(exeName, [&](const PROCESSENTRY32& entry) { found |= entry.th32ParentProcessID == parentPid; });
            return found;
        },
        timeoutMs);
}

} // namespace testsupport
