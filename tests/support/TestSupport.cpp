#include "TestSupport.h"

#include <commdlg.h>
#include <tlhelp32.h>

#include <algorithm>
#include <cstring>
#include <fstream>
#include <iomanip>
#include <sstream>
#include <tuple>

namespace testsupport {

::testing::AssertionResult WaitFor(const std::string& what, const std::function<bool()>& cond,
                                   const std::function<std::string()>& seen, DWORD timeoutMs)
{
    // Polling backs off from 5 to 50 ms: a poll is itself work for the
    // program under test.
    DWORD start = ::GetTickCount(), pause = 5;
    for (; !cond(); pause = std::min<DWORD>(pause * 2, 50)) {
        if (::GetTickCount() - start >= timeoutMs) {
            if (cond())
                break;
            ::testing::AssertionResult failure = ::testing::AssertionFailure();
            failure << "waited " << timeoutMs / 1000 << " s for " << what;
            if (seen)
                failure << "; saw: " << seen();
            return failure;
        }
        ::Sleep(pause);
    }
    return ::testing::AssertionSuccess();
}

namespace {

bool TrySend(HWND hWnd, UINT message, WPARAM wParam, LPARAM lParam, LRESULT* pResult)
{
    DWORD_PTR result = 0;
    ::SetLastError(0);
    if (::SendMessageTimeoutA(hWnd, message, wParam, lParam, SMTO_NORMAL, kAnswerMs, &result) == 0)
        return false;
    *pResult = static_cast<LRESULT>(result);
    return true;
}

} // namespace

LRESULT SendTo(HWND hWnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    LRESULT result = 0;
    if (TrySend(hWnd, message, wParam, lParam, &result))
        return result;
    DWORD error = ::GetLastError();
    std::ostringstream what;
    what << "message 0x" << std::hex << message << " to window 0x" << reinterpret_cast<UINT_PTR>(hWnd) << std::dec;
    if (!::IsWindow(hWnd))
        what << ": the window has gone";
    else
        what << " was not answered within " << kAnswerMs / 1000 << " s (error " << error << ")";
    ADD_FAILURE() << what.str();
    return 0;
}

LRESULT SendToItem(HWND hDlg, int id, UINT message, WPARAM wParam, LPARAM lParam)
{
    LRESULT result = 0;
    for (int attempt = 0; attempt < 3; ++attempt) {
        HWND hItem = ::GetDlgItem(hDlg, id);
        if (TrySend(hItem, message, wParam, lParam, &result))
            return result;
        if (::IsWindow(hItem))
            break; // it is there and does not answer
    }
    return SendTo(::GetDlgItem(hDlg, id), message, wParam, lParam);
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

// A short window text, read with a bound but quietly: the window may be
// going as it is read.
std::string TextOf(HWND hWnd)
{
    char buf[4096] = "";
    ::SendMessageTimeoutA(hWnd, WM_GETTEXT, sizeof buf, reinterpret_cast<LPARAM>(buf), SMTO_NORMAL, kAnswerMs, nullptr);
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
    SendTo(hWnd, WM_TEST_CALL, 0x7E57, reinterpret_cast<LPARAM>(&step));
}

INT_PTR RunModalWith(CDialog& dlg, const std::function<void(HWND hDlg)>& script)
{
    DWORD uiThread = ::GetCurrentThreadId();
    std::atomic<bool> ended{ false };
    std::thread helper([&] {
        auto ours = [&](HWND h) { return ::GetWindowThreadProcessId(h, nullptr) == uiThread && IsDialog(h) && !IsMessageBox(h); };
        HWND hDlg = nullptr;
        EXPECT_TRUE(WaitFor("the dialog under test", [&] {
            return ended || (hDlg = FindTop(::GetCurrentProcessId(), ours)) != nullptr;
        }));
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
    EXPECT_TRUE(WaitFor("a message box to go", [&] { return !::IsWindowVisible(hBox); }));
}

HWND WaitForTopWindow(DWORD pid, const char* caption, DWORD timeoutMs)
{
    auto test = [&](HWND h) { return IsDialog(h) && !IsMessageBox(h) && TextOf(h) == caption; };
    HWND hFound = nullptr;
    EXPECT_TRUE(WaitFor(std::string("the window \"") + caption + "\"",
                        [&] { return (hFound = FindTop(pid, test)) != nullptr; }, nullptr, timeoutMs));
    return hFound;
}

MessageBoxWatcher::MessageBoxWatcher()
    : m_thread([this] {
          for (HWND hLast = nullptr; !m_stop; ::Sleep(10)) {
              HWND hBox = FindMessageBox(::GetCurrentProcessId());
              if (hBox != nullptr && hBox != hLast) {
                  std::string text = MessageBoxText(hBox);
                  {
                      std::lock_guard<std::mutex> lock(m_mutex);
                      m_texts.push_back(text);
                  }
                  ::PostMessageA(hBox, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), 0);
              }
              if (hLast != nullptr && hBox != hLast)
                  ++m_closed;
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

::testing::AssertionResult MessageBoxWatcher::WaitForMore(size_t nBefore) const
{
    return WaitFor("message box number " + std::to_string(nBefore + 1) + " to come and go",
                   [&] { return m_closed > nBefore; }, [&] { return std::to_string(Texts().size()) + " seen"; });
}

::testing::AssertionResult ChooseSaveFile(DWORD pid, const std::string& path)
{
    ::DeleteFileA(path.c_str());
    HWND hSave = WaitForTopWindow(pid, "Save As");
    if (hSave == nullptr)
        return ::testing::AssertionFailure() << "no Save As dialog";
    // The file name box: a combo box (cmb13), or an edit (edt1).
    HWND hName = ::GetDlgItem(hSave, 0x47C);
    SendTo(hName != nullptr ? hName : ::GetDlgItem(hSave, 0x480), WM_SETTEXT, 0, reinterpret_cast<LPARAM>(path.c_str()));
    ::PostMessageA(hSave, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), reinterpret_cast<LPARAM>(::GetDlgItem(hSave, IDOK)));
    return WaitFor("the Save As dialog to close", [&] { return !::IsWindow(hSave); });
}

namespace {

// The slot of this exe's import table for a function of dll that now
// holds current.
void** ImportSlot(const char* dll, void* current)
{
    auto* base = reinterpret_cast<BYTE*>(::GetModuleHandleA(nullptr));
    const auto* nt = reinterpret_cast<const IMAGE_NT_HEADERS*>(base + reinterpret_cast<IMAGE_DOS_HEADER*>(base)->e_lfanew);
    const auto& dir = nt->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_IMPORT];
    for (auto* imp = reinterpret_cast<IMAGE_IMPORT_DESCRIPTOR*>(base + dir.VirtualAddress); imp->Name != 0; ++imp) {
        if (lstrcmpiA(reinterpret_cast<const char*>(base + imp->Name), dll) != 0)
            continue;
        for (auto** slot = reinterpret_cast<void**>(base + imp->FirstThunk); *slot != nullptr; ++slot)
            if (*slot == current)
                return slot;
    }
    return nullptr;
}

void SwapImport(const char* dll, void* from, void* to)
{
    void** slot = ImportSlot(dll, from);
    if (slot == nullptr) {
        ADD_FAILURE() << "this exe imports no such function of " << dll;
        return;
    }
    DWORD old = 0;
    ::VirtualProtect(slot, sizeof *slot, PAGE_READWRITE, &old);
    *slot = to;
    ::VirtualProtect(slot, sizeof *slot, old, &old);
}

std::string g_saveAsPath; // the answer of the Save As dialog that stands in

BOOL WINAPI AnswerSaveAs(LPOPENFILENAMEA ofn)
{
    lstrcpynA(ofn->lpstrFile, g_saveAsPath.c_str(), static_cast<int>(ofn->nMaxFile));
    return TRUE;
}

} // namespace

ImportStandIn::ImportStandIn(const char* dll, const char* function, void* standIn)
    : m_dll(dll), m_system(reinterpret_cast<void*>(::GetProcAddress(::LoadLibraryA(dll), function))), m_standIn(standIn)
{
    SwapImport(dll, m_system, m_standIn);
}

ImportStandIn::~ImportStandIn()
{
    SwapImport(m_dll.c_str(), m_standIn, m_system);
}

SaveAsAnswer::SaveAsAnswer(const std::string& path)
    : ImportStandIn("comdlg32.dll", "GetSaveFileNameA", (g_saveAsPath = path, reinterpret_cast<void*>(&AnswerSaveAs)))
{
}

::testing::AssertionResult WaitForFile(const std::string& path, DWORD timeoutMs)
{
    return WaitFor(path + " written and closed", [&] {
        return static_cast<bool>(CHandle(::CreateFileA(path.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr)));
    }, nullptr, timeoutMs);
}

std::string Tail(const std::string& s, size_t n)
{
    return s.size() <= n ? s : "..." + s.substr(s.size() - n);
}

std::string WindowText(HWND hWnd)
{
    std::string text(static_cast<size_t>(SendTo(hWnd, WM_GETTEXTLENGTH)) + 1, '\0');
    text.resize(static_cast<size_t>(SendTo(hWnd, WM_GETTEXT, text.size(), reinterpret_cast<LPARAM>(&text[0]))));
    return text;
}

std::string ItemText(HWND hDlg, int id)
{
    // Asked again only when the control was replaced meanwhile, not when it hangs.
    for (int attempt = 0; attempt < 3; ++attempt) {
        HWND hItem = ::GetDlgItem(hDlg, id);
        LRESULT length = 0, got = 0;
        if (TrySend(hItem, WM_GETTEXTLENGTH, 0, 0, &length)) {
            std::string text(static_cast<size_t>(length) + 1, '\0');
            if (TrySend(hItem, WM_GETTEXT, text.size(), reinterpret_cast<LPARAM>(&text[0]), &got))
                return text.substr(0, static_cast<size_t>(got));
        }
        if (::IsWindow(hItem))
            break;
    }
    ADD_FAILURE() << "control " << id << " did not give its text within " << kAnswerMs / 1000 << " s";
    return "";
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

namespace {

// Opens the clipboard for this thread, waiting while another program holds it.
bool OpenClipboardHere()
{
    return WaitFor("the clipboard", [] { return ::OpenClipboard(nullptr) != FALSE; });
}

template <class Text>
Text ClipboardData(UINT format)
{
    Text text;
    if (!OpenClipboardHere())
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

void SetClipboardText(const std::wstring& text)
{
    if (!OpenClipboardHere())
        return;
    ::EmptyClipboard();
    HGLOBAL h = ::GlobalAlloc(GMEM_MOVEABLE, (text.size() + 1) * sizeof(wchar_t));
    std::memcpy(::GlobalLock(h), text.c_str(), (text.size() + 1) * sizeof(wchar_t));
    ::GlobalUnlock(h);
    ::SetClipboardData(CF_UNICODETEXT, h);
    ::CloseClipboard();
}

std::string CopyAndRead(const std::function<void()>& copy)
{
    // Looking at the clipboard while the program copies would make its copy
    // fail (quietly, by design): wait for the clipboard to change first. A
    // copy may be refused for a while (Vorlik's, until it has taken a Save's
    // end): it is made again every 5 s.
    DWORD sequence = ::GetClipboardSequenceNumber(), made = ::GetTickCount() - 5000;
    bool changed = WaitFor("the clipboard to change", [&] {
        if (::GetTickCount() - made >= 5000)
            copy(), made = ::GetTickCount();
        return ::GetClipboardSequenceNumber() != sequence;
    });
    EXPECT_TRUE(changed) << "nothing was copied";
    return changed ? ClipboardText() : "";
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
        ::WaitForSingleObject(m_process.get(), kAnswerMs);
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
            ::WaitForSingleObject(process.get(), kAnswerMs);
    });
}

::testing::AssertionResult WaitForChildProcess(DWORD parentPid, const char* exeName, DWORD timeoutMs)
{
    bool found = false;
    return WaitFor(std::string(exeName) + " started by process " + std::to_string(parentPid), [&] {
        ForEachProcess(exeName, [&](const PROCESSENTRY32& entry) { found |= entry.th32ParentProcessID == parentPid; });
        return found;
    }, nullptr, timeoutMs);
}

std::vector<std::string> FilesLike(const std::string& pattern)
{
    std::vector<std::string> names;
    WIN32_FIND_DATAA data;
    HANDLE hFind = ::FindFirstFileA(pattern.c_str(), &data);
    for (BOOL more = hFind != INVALID_HANDLE_VALUE; more; more = ::FindNextFileA(hFind, &data))
        names.push_back(data.cFileName);
    if (hFind != INVALID_HANDLE_VALUE)
        ::FindClose(hFind);
    return names;
}

} // namespace testsupport
