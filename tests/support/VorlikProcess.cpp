#include "VorlikProcess.h"

#include "Pump.h"
#include "TestFiles.h"
#include "WindowText.h"
#include "res/resource.h"

namespace testsupport {

VorlikProcess::VorlikProcess() : m_process("\"" + BesideTests("Vorlik.exe") + "\"")
{
    if (m_process.Started())
        m_hDlg = WaitForTopWindow(m_process.Pid(), "#32770", "Vorlik", kTimeoutMs);
}

void VorlikProcess::Run(const std::string& command)
{
    ::SendMessageA(Item(IDC_COMMAND), WM_SETTEXT, 0, reinterpret_cast<LPARAM>(command.c_str()));
    Click(IDC_RUN);
}

void VorlikProcess::Click(int id) const
{
    ::PostMessageA(Item(id), BM_CLICK, 0, 0);
}

void VorlikProcess::Command(UINT id) const
{
    ::PostMessageA(m_hDlg, WM_COMMAND, MAKEWPARAM(id, 0), 0);
}

void VorlikProcess::Type(const std::string& text) const
{
    for (char ch : text)
        ::PostMessageA(Item(IDC_OUTPUT), WM_CHAR, static_cast<unsigned char>(ch), 1);
}

namespace {

void SendKey(WORD vk, bool bUp)
{
    INPUT input{};
    input.type = INPUT_KEYBOARD;
    input.ki.wVk = vk;
    input.ki.wScan = static_cast<WORD>(::MapVirtualKeyA(vk, 0));
    input.ki.dwFlags = bUp ? KEYEVENTF_KEYUP : 0;
    ::SendInput(1, &input, sizeof input);
}

} // namespace

void VorlikProcess::Press(WORD vk, bool bCtrl, bool bShift)
{
    if (bCtrl)
        SendKey(VK_CONTROL, false);
    if (bShift)
        SendKey(VK_SHIFT, false);
    SendKey(vk, false);
    SendKey(vk, true);
    if (bShift)
        SendKey(VK_SHIFT, true);
    if (bCtrl)
        SendKey(VK_CONTROL, true);
    ::Sleep(5);
}

void VorlikProcess::Keys(int id, const std::string& text) const
{
    HWND hCtl = Item(id);
    RECT rc;
    ::GetWindowRect(hCtl, &rc);
    INPUT click[3] = {};
    for (INPUT& in : click)
        in.type = INPUT_MOUSE;
    click[0].mi.dx = (rc.left + rc.right) / 2 * 65535 / ::GetSystemMetrics(SM_CXSCREEN);
    click[0].mi.dy = (rc.top + rc.bottom) / 2 * 65535 / ::GetSystemMetrics(SM_CYSCREEN);
    click[0].mi.dwFlags = MOUSEEVENTF_MOVE | MOUSEEVENTF_ABSOLUTE;
    click[1].mi.dwFlags = MOUSEEVENTF_LEFTDOWN;
    click[2].mi.dwFlags = MOUSEEVENTF_LEFTUP;
    ::SendInput(3, click, sizeof(INPUT));
    GUITHREADINFO info{};
    info.cbSize = sizeof info;
    WaitUntil([&] {
        return ::GetGUIThreadInfo(::GetWindowThreadProcessId(m_hDlg, nullptr), &info) &&
            (info.hwndFocus == hCtl || ::IsChild(hCtl, info.hwndFocus)); // a combo box's edit, say
    });
    for (char ch : text) {
        if (ch == '\r') {
            Press(VK_RETURN);
        } else if (ch == '\b') {
            Press(VK_BACK);
        } else {
            SHORT key = ::VkKeyScanA(ch);
            Press(LOBYTE(key), (HIBYTE(key) & 2) != 0, (HIBYTE(key) & 1) != 0);
        }
    }
}

std::string VorlikProcess::PaneText() const
{
    return WindowText(Item(IDC_OUTPUT));
}

std::string VorlikProcess::CopyOutput() const
{
    // Opening the clipboard to look while Vorlik copies would make its copy
    // fail (quietly, as designed): wait for the clipboard to change first.
    DWORD sequence = ::GetClipboardSequenceNumber();
    Command(IDM_COPY);
    if (!WaitUntil([&] { return ::GetClipboardSequenceNumber() != sequence; }))
        return "";
    return ClipboardText();
}

bool VorlikProcess::SaveAs(const std::string& path) const
{
    ::DeleteFileA(path.c_str());
    Command(IDM_SAVE);
    HWND hSave = WaitForTopWindow(Pid(), "#32770", "Save As", kTimeoutMs);
    if (hSave == nullptr)
        return false;
    // The file name box: a combo box (cmb13) in newer dialogs, an edit (edt1).
    HWND hName = ::GetDlgItem(hSave, 0x47C);
    if (hName != nullptr && ::FindWindowExA(hName, nullptr, "Edit", nullptr) != nullptr)
        hName = ::FindWindowExA(hName, nullptr, "Edit", nullptr);
    if (hName == nullptr)
        hName = ::GetDlgItem(hSave, 0x480);
    ::SendMessageA(hName, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(path.c_str()));
    ::PostMessageA(hSave, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), reinterpret_cast<LPARAM>(::GetDlgItem(hSave, IDOK)));
    // Saved once the dialog is gone and Vorlik answers again.
    DWORD_PTR r = 0;
    return WaitUntil([&] { return !::IsWindow(hSave); }) &&
        ::SendMessageTimeoutA(m_hDlg, WM_NULL, 0, 0, SMTO_NORMAL, 600000, &r) != 0;
}

std::string VorlikProcess::SaveOutput(const std::string& path) const
{
    if (!SaveAs(path))
        return "<not saved>";
    std::string text = ReadFileText(path);
    ::DeleteFileA(path.c_str());
    return text;
}

bool VorlikProcess::WaitForEnds(int count) const
{
    return WaitUntil([&] {
        std::string text = PaneText();
        int found = 0;
        for (size_t pos = text.find("--End--"); pos != std::string::npos; pos = text.find("--End--", pos + 1))
            ++found;
        return found >= count;
    });
}

MessageBoxSeen VorlikProcess::ExpectMessageBox() const
{
    HWND hBox = WaitForMessageBox(m_process.Pid(), kTimeoutMs);
    if (hBox == nullptr)
        return MessageBoxSeen{ "", "<no message box>" };
    MessageBoxSeen seen = ReadMessageBox(hBox);
    DismissMessageBox(hBox);
    WaitUntil([&] { return !::IsWindow(hBox); });
    return seen;
}

bool VorlikProcess::WaitForExit(DWORD* pExitCode)
{
    return m_process.WaitForExit(kTimeoutMs, pExitCode);
}

} // namespace testsupport
