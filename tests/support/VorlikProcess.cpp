#include "VorlikProcess.h"

namespace testsupport {

const std::string kEnd = "\r\n--End--\r\n";

VorlikProcess::VorlikProcess() : m_process("\"" + BesideTests("Vorlik.exe") + "\"")
{
    m_hDlg = WaitForTopWindow(m_process.Pid(), "Vorlik");
}

std::vector<std::string> VorlikProcess::History() const
{
    std::vector<std::string> entries;
    for (int i = 0, n = static_cast<int>(::SendMessageA(Item(IDC_COMMAND), CB_GETCOUNT, 0, 0)); i < n; ++i) {
        wchar_t wide[1200] = L""; // across processes Wine hands list texts over as UTF-16
        ::SendMessageW(Item(IDC_COMMAND), CB_GETLBTEXT, i, reinterpret_cast<LPARAM>(wide));
        char text[1200] = "";
        ::WideCharToMultiByte(CP_ACP, 0, wide, -1, text, sizeof text, nullptr, nullptr);
        entries.push_back(text);
    }
    return entries;
}

void VorlikProcess::Run(const std::string& command) const
{
    Type("~");
    WaitUntil([&] { return PaneHas("~") && PaneText().back() == '~'; });
    ::SendMessageA(Item(IDC_COMMAND), WM_SETTEXT, 0, reinterpret_cast<LPARAM>(command.c_str()));
    Click(IDC_RUN);
}

void VorlikProcess::Type(const std::string& text) const
{
    for (char ch : text)
        ::PostMessageA(Item(IDC_OUTPUT), WM_CHAR, static_cast<unsigned char>(ch), 1);
}

void VorlikProcess::Keys(int id, const std::string& text) const
{
    RECT rc;
    ::GetWindowRect(Item(id), &rc);
    INPUT click[3] = { { INPUT_MOUSE }, { INPUT_MOUSE }, { INPUT_MOUSE } };
    click[0].mi.dx = (rc.left + rc.right) / 2 * 65535 / ::GetSystemMetrics(SM_CXSCREEN);
    click[0].mi.dy = (rc.top + rc.bottom) / 2 * 65535 / ::GetSystemMetrics(SM_CYSCREEN);
    click[0].mi.dwFlags = MOUSEEVENTF_MOVE | MOUSEEVENTF_ABSOLUTE;
    click[1].mi.dwFlags = MOUSEEVENTF_LEFTDOWN;
    click[2].mi.dwFlags = MOUSEEVENTF_LEFTUP;
    // The keys go to the foreground window, which a window started moments
    // ago is not always yet under Wine: ask again and click again.
    GUITHREADINFO info{ sizeof info };
    for (int attempt = 0; attempt < 4; ++attempt) {
        ::SetForegroundWindow(m_hDlg);
        ::SendInput(3, click, sizeof(INPUT));
        if (WaitUntil([&] {
                return ::GetForegroundWindow() == m_hDlg &&
                    ::GetGUIThreadInfo(::GetWindowThreadProcessId(m_hDlg, nullptr), &info) &&
                    (info.hwndFocus == Item(id) || ::IsChild(Item(id), info.hwndFocus)); // a combo box's edit, say
            }, 2500))
            break;
    }
    for (char ch : text) {
        SHORT key = ch == '\r' ? VK_RETURN : ch == '\b' ? VK_BACK : ::VkKeyScanA(ch);
        Press(LOBYTE(key), (HIBYTE(key) & 2) != 0, (HIBYTE(key) & 1) != 0);
    }
}

void VorlikProcess::Press(WORD vk, bool bCtrl, bool bShift)
{
    std::vector<WORD> keys;
    if (bCtrl)
        keys.push_back(VK_CONTROL);
    if (bShift)
        keys.push_back(VK_SHIFT);
    keys.push_back(vk);
    std::vector<INPUT> input(keys.size() * 2, INPUT{ INPUT_KEYBOARD });
    for (size_t i = 0; i < keys.size(); ++i) {
        input[i].ki.wVk = input[input.size() - 1 - i].ki.wVk = keys[i]; // down in order, up in reverse
        input[i].ki.wScan = input[input.size() - 1 - i].ki.wScan = static_cast<WORD>(::MapVirtualKeyA(keys[i], 0));
        input[input.size() - 1 - i].ki.dwFlags = KEYEVENTF_KEYUP;
    }
    ::SendInput(static_cast<UINT>(input.size()), input.data(), sizeof(INPUT));
    ::Sleep(5); // a pace the input queue keeps up with
}

bool VorlikProcess::PaneHas(const std::string& text) const
{
    return WaitUntil([&] { return PaneText().find(text) != std::string::npos; });
}

bool VorlikProcess::WaitForEnd(std::vector<std::string>* pBoxes, DWORD timeoutMs) const
{
    auto dismiss = [&](HWND hBox) {
        if (pBoxes != nullptr)
            pBoxes->push_back(MessageBoxText(hBox, true) + (::GetWindow(hBox, GW_OWNER) == m_hDlg ? "" : " (unowned)"));
        DismissMessageBox(hBox);
        WaitUntil([&] { return !::IsWindow(hBox); });
    };
    bool bEnded = WaitUntil(
        [&] {
            if (HWND hBox = FindMessageBox(Pid()))
                dismiss(hBox);
            return EndsWith(PaneText(), kEnd);
        },
        timeoutMs);
    // A run that could not start or failed says so in a box right after its
    // end line; the status line tells one is coming.
    std::wstring status = Status();
    if (bEnded && (status.rfind(L"Could not start", 0) == 0 || status.rfind(L"Failed", 0) == 0)) {
        HWND hBox = nullptr;
        if (WaitUntil([&] { return (hBox = FindMessageBox(Pid())) != nullptr; }))
            dismiss(hBox);
    }
    return bEnded;
}

std::string VorlikProcess::WaitForBox() const
{
    HWND hBox = nullptr;
    if (!WaitUntil([&] { return (hBox = FindMessageBox(Pid())) != nullptr; }))
        return "";
    std::string text = MessageBoxText(hBox, true) + (::GetWindow(hBox, GW_OWNER) == m_hDlg ? "" : " (unowned)");
    DismissMessageBox(hBox);
    WaitUntil([&] { return !::IsWindow(hBox); });
    return text;
}

std::string VorlikProcess::CopyOutput() const
{
    // Looking at the clipboard while Vorlik copies would make its copy fail
    // (quietly, by design): wait for the clipboard to change first.
    DWORD sequence = ::GetClipboardSequenceNumber();
    Command(IDM_COPY);
    return WaitUntil([&] { return ::GetClipboardSequenceNumber() != sequence; }) ? ClipboardText() : "";
}

std::wstring VorlikProcess::Status() const
{
    wchar_t text[512] = L"";
    ::SendMessageW(Item(IDC_STATUS), WM_GETTEXT, 512, reinterpret_cast<LPARAM>(text));
    return text;
}

bool VorlikProcess::ChooseSaveFile(const std::string& path) const
{
    ::DeleteFileA(path.c_str());
    Command(IDM_SAVE);
    HWND hSave = WaitForTopWindow(Pid(), "Save As");
    // The file name box: a combo box (cmb13), or an edit (edt1).
    HWND hName = ::GetDlgItem(hSave, 0x47C);
    ::SendMessageA(hName != nullptr ? hName : ::GetDlgItem(hSave, 0x480), WM_SETTEXT, 0,
                   reinterpret_cast<LPARAM>(path.c_str()));
    ::PostMessageA(hSave, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), reinterpret_cast<LPARAM>(::GetDlgItem(hSave, IDOK)));
    return hSave != nullptr && WaitUntil([&] { return !::IsWindow(hSave); });
}

bool VorlikProcess::WaitForFile(const std::string& path, DWORD timeoutMs)
{
    return WaitUntil([&] {
        CHandle file(::CreateFileA(path.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr));
        return static_cast<bool>(file);
    }, timeoutMs);
}

bool VorlikProcess::SaveAs(const std::string& path, DWORD timeoutMs) const
{
    return ChooseSaveFile(path) && WaitForFile(path, timeoutMs);
}

std::string VorlikProcess::SaveOutput() const
{
    std::string path = TempPath("vorlik-saved") + ".txt";
    std::string text = SaveAs(path) ? ReadFileText(path) : "<not saved>";
    ::DeleteFileA(path.c_str());
    return text;
}

bool VorlikProcess::Answers() const
{
    DWORD_PTR r = 0;
    return ::SendMessageTimeoutA(m_hDlg, WM_NULL, 0, 0, SMTO_ABORTIFHUNG, 5000, &r) != 0;
}

bool VorlikProcess::Exit()
{
    Command(IDCANCEL);
    return WaitForExit();
}

} // namespace testsupport
