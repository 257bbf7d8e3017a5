#include "VorlikProcess.h"

namespace testsupport {

const std::string kEnd = "\n--End--\n"; // the control keeps a lone line feed
const std::string kSavedEnd = "\r\n--End--\r\n";

VorlikProcess::VorlikProcess() : m_process("\"" + BesideTests("Vorlik.exe") + "\"")
{
    if (m_process.Started())
        m_hDlg = WaitForTopWindow(m_process.Pid(), "Vorlik");
}

void VorlikProcess::Run(const std::string& command) const
{
    Type("~");
    WaitUntil([&] {
        std::string text = PaneText();
        return !text.empty() && text.back() == '~';
    });
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
        SHORT key = ch == '\r' ? VK_RETURN : ch == '\b' ? VK_BACK : ::VkKeyScanA(ch);
        Press(LOBYTE(key), (HIBYTE(key) & 2) != 0, (HIBYTE(key) & 1) != 0);
    }
}

bool VorlikProcess::PaneHas(const std::string& text) const
{
    return WaitUntil([&] { return PaneText().find(text) != std::string::npos; });
}

bool VorlikProcess::WaitForEnd(std::vector<std::string>* pBoxes, DWORD timeoutMs) const
{
    return WaitUntil(
        [&] {
            if (HWND hBox = FindMessageBox(Pid())) {
                if (pBoxes != nullptr)
                    pBoxes->push_back(ReadMessageBox(hBox).text);
                DismissMessageBox(hBox);
                WaitUntil([&] { return !::IsWindow(hBox); });
            }
            std::string text = PaneText();
            return text.size() >= kEnd.size() && text.compare(text.size() - kEnd.size(), kEnd.size(), kEnd) == 0;
        },
        timeoutMs);
}

std::string VorlikProcess::CopyOutput() const
{
    // Looking at the clipboard while Vorlik copies would make its copy fail
    // (quietly, by design): wait for the clipboard to change first.
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
    HWND hSave = WaitForTopWindow(Pid(), "Save As");
    if (hSave == nullptr)
        return false;
    // The file name box: a combo box (cmb13) with an edit, or an edit (edt1).
    HWND hName = ::GetDlgItem(hSave, 0x47C);
    if (HWND hEdit = ::FindWindowExA(hName, nullptr, "Edit", nullptr))
        hName = hEdit;
    if (hName == nullptr)
        hName = ::GetDlgItem(hSave, 0x480);
    ::SendMessageA(hName, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(path.c_str()));
    ::PostMessageA(hSave, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), reinterpret_cast<LPARAM>(::GetDlgItem(hSave, IDOK)));
    DWORD_PTR r = 0;
    return WaitUntil([&] { return !::IsWindow(hSave); }) &&
        ::SendMessageTimeoutA(m_hDlg, WM_NULL, 0, 0, SMTO_NORMAL, 600000, &r) != 0;
}

std::string VorlikProcess::SaveOutput() const
{
    std::string path = TempPath("vorlik-saved") + ".txt";
    if (!SaveAs(path))
        return "<not saved>";
    std::string text = ReadFileText(path);
    ::DeleteFileA(path.c_str());
    return text;
}

MessageBoxSeen VorlikProcess::ExpectMessageBox() const
{
    HWND hBox = nullptr;
    if (!WaitUntil([&] { return (hBox = FindMessageBox(Pid())) != nullptr; }))
        return MessageBoxSeen{ "", "<no message box>" };
    MessageBoxSeen seen = ReadMessageBox(hBox);
    DismissMessageBox(hBox);
    WaitUntil([&] { return !::IsWindow(hBox); });
    return seen;
}

bool VorlikProcess::Answers() const
{
    DWORD_PTR r = 0;
    return ::SendMessageTimeoutA(m_hDlg, WM_NULL, 0, 0, SMTO_ABORTIFHUNG, 5000, &r) != 0;
}

bool VorlikProcess::WaitForExit(DWORD* pExitCode)
{
    return m_process.WaitForExit(kTimeoutMs, pExitCode);
}

bool VorlikProcess::Exit()
{
    Command(IDCANCEL);
    return WaitForExit();
}

} // namespace testsupport
