#include "VorlikProcess.h"

#include <shlwapi.h>

namespace testsupport {

const std::string kEnd = "\r\n--End--\r\n";

namespace {

ChildProcess StartVorlik(bool bKeepOptions)
{
    if (!bKeepOptions)
        ::SHDeleteKeyA(HKEY_CURRENT_USER, "software\\Quorvel's Tools\\Vorlik\\Settings");
    return ChildProcess("\"" + BesideTests("Vorlik.exe") + "\"");
}

} // namespace

VorlikProcess::VorlikProcess(bool bKeepOptions) : m_process(StartVorlik(bKeepOptions))
{
    m_hDlg = WaitForTopWindow(m_process.Pid(), "Vorlik");
}

std::vector<std::string> VorlikProcess::History() const
{
    std::vector<std::string> entries;
    for (int i = 0, n = static_cast<int>(SendTo(Item(IDC_COMMAND), CB_GETCOUNT)); i < n; ++i) {
        wchar_t wide[1200] = L""; // across processes Wine hands list texts over as UTF-16
        ::SendMessageTimeoutW(Item(IDC_COMMAND), CB_GETLBTEXT, i, reinterpret_cast<LPARAM>(wide), SMTO_NORMAL, kAnswerMs,
                              nullptr);
        char text[1200] = "";
        ::WideCharToMultiByte(CP_ACP, 0, wide, -1, text, sizeof text, nullptr, nullptr);
        entries.push_back(text);
    }
    return entries;
}

void VorlikProcess::Run(const std::string& command) const
{
    Type("~");
    EXPECT_TRUE(WaitFor("the mark typed into the pane before a run", [&] { return EndsWith(PaneText(), "~"); },
                        [&] { return Tail(PaneText()); }));
    SendTo(Item(IDC_COMMAND), WM_SETTEXT, 0, reinterpret_cast<LPARAM>(command.c_str()));
    Click(IDC_RUN);
}

void VorlikProcess::Type(const std::string& text) const
{
    for (char ch : text)
        ::PostMessageA(Item(IDC_OUTPUT), WM_CHAR, static_cast<unsigned char>(ch), 1);
}

std::string VorlikProcess::Foreground() const
{
    HWND hFore = ::GetForegroundWindow();
    DWORD pid = 0;
    ::GetWindowThreadProcessId(hFore, &pid);
    char cls[64] = "";
    ::GetClassNameA(hFore, cls, sizeof cls);
    GUITHREADINFO info{ sizeof info };
    ::GetGUIThreadInfo(::GetWindowThreadProcessId(m_hDlg, nullptr), &info);
    return std::string("the foreground window is a ") + cls + " of " + (pid == Pid() ? "Vorlik" : "process " + std::to_string(pid)) +
        ", Vorlik's focus is on control " + std::to_string(::GetDlgCtrlID(info.hwndFocus));
}

::testing::AssertionResult VorlikProcess::Keys(int id, const std::string& text) const
{
    // The click goes to the middle of the control's own window, or of a
    // combo box's edit: a combo box's rectangle takes in its list, which
    // lies over the controls below it.
    HWND hTarget = Item(id);
    if (HWND hEdit = ::FindWindowExA(hTarget, nullptr, "Edit", nullptr))
        hTarget = hEdit;
    RECT rc;
    ::GetWindowRect(hTarget, &rc);
    INPUT click[3] = { { INPUT_MOUSE }, { INPUT_MOUSE }, { INPUT_MOUSE } };
    click[0].mi.dx = (rc.left + rc.right) / 2 * 65535 / ::GetSystemMetrics(SM_CXSCREEN);
    click[0].mi.dy = (rc.top + rc.bottom) / 2 * 65535 / ::GetSystemMetrics(SM_CYSCREEN);
    click[0].mi.dwFlags = MOUSEEVENTF_MOVE | MOUSEEVENTF_ABSOLUTE;
    click[1].mi.dwFlags = MOUSEEVENTF_LEFTDOWN;
    click[2].mi.dwFlags = MOUSEEVENTF_LEFTUP;
    // The keys go to the foreground window, which a window started moments
    // ago is not always yet under Wine: ask again and click again.
    GUITHREADINFO info{ sizeof info };
    auto focused = [&] {
        return ::GetForegroundWindow() == m_hDlg && ::GetGUIThreadInfo(::GetWindowThreadProcessId(m_hDlg, nullptr), &info) &&
            (info.hwndFocus == Item(id) || ::IsChild(Item(id), info.hwndFocus)); // a combo box's edit, say
    };
    // The focus goes elsewhere first, so that only the click can bring it
    // to the control: a window just started may still be moving, and a
    // click meant for one control can land on another.
    HWND hElsewhere = id == IDC_OUTPUT ? ::FindWindowExA(Item(IDC_COMMAND), nullptr, "Edit", nullptr) : Item(IDC_OUTPUT);
    bool bFocused = false;
    for (int attempt = 0; attempt < 4 && !bFocused; ++attempt) {
        SendTo(m_hDlg, WM_NEXTDLGCTL, reinterpret_cast<WPARAM>(hElsewhere), TRUE);
        ::SetForegroundWindow(m_hDlg);
        ::SendInput(3, click, sizeof(INPUT));
        bFocused = WaitFor("the focus", focused, nullptr, 5000);
    }
    if (!bFocused)
        return ::testing::AssertionFailure() << "control " << id << " did not get the focus, so no key was pressed: "
                                             << Foreground();
    for (char ch : text) {
        SHORT key = ch == '\r' ? VK_RETURN : ch == '\b' ? VK_BACK : ::VkKeyScanA(ch);
        Press(LOBYTE(key), (HIBYTE(key) & 2) != 0, (HIBYTE(key) & 1) != 0);
    }
    return ::testing::AssertionSuccess();
}

void VorlikProcess::Press(WORD vk, bool bCtrl, bool bShift) const
{
    DWORD pid = 0;
    ::GetWindowThreadProcessId(::GetForegroundWindow(), &pid);
    if (pid != Pid()) {
        ADD_FAILURE() << "key " << vk << " not pressed: " << Foreground();
        return;
    }
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

::testing::AssertionResult VorlikProcess::PaneHas(const std::string& text) const
{
    return WaitFor("the pane to show \"" + Tail(text, 80) + "\"",
                   [&] { return PaneText().find(text) != std::string::npos; }, [&] { return Tail(PaneText()); });
}

::testing::AssertionResult VorlikProcess::PaneEndsWith(const std::string& tail) const
{
    return WaitFor("the pane to end in \"" + Tail(tail, 80) + "\"", [&] { return EndsWith(PaneText(), tail); },
                   [&] { return Tail(PaneText()); });
}

::testing::AssertionResult VorlikProcess::WaitForEnd(std::vector<std::string>* pBoxes, size_t nBoxes,
                                                      DWORD timeoutMs) const
{
    std::vector<std::string> boxes;
    auto result = WaitFor(
        "the end line" + (nBoxes > 0 ? " and " + std::to_string(nBoxes) + " message box(es)" : std::string()),
        [&] {
            if (HWND hBox = FindMessageBox(Pid())) {
                boxes.push_back(MessageBoxText(hBox, true) + (::GetWindow(hBox, GW_OWNER) == m_hDlg ? "" : " (unowned)"));
                DismissMessageBox(hBox);
            }
            return boxes.size() >= nBoxes && EndsWith(PaneText(), kEnd);
        },
        [&] {
            std::string seen = "the pane: " + Tail(PaneText()) + "; boxes:";
            for (const std::string& box : boxes)
                seen += " [" + box + "]";
            return seen;
        },
        timeoutMs);
    if (pBoxes != nullptr)
        pBoxes->insert(pBoxes->end(), boxes.begin(), boxes.end());
    return result;
}

std::string VorlikProcess::WaitForBox() const
{
    HWND hBox = nullptr;
    if (!WaitFor("a message box of Vorlik's", [&] { return (hBox = FindMessageBox(Pid())) != nullptr; }))
        return "";
    std::string text = MessageBoxText(hBox, true) + (::GetWindow(hBox, GW_OWNER) == m_hDlg ? "" : " (unowned)");
    DismissMessageBox(hBox);
    return text;
}

std::string VorlikProcess::CopyOutput() const
{
    return CopyAndRead([this] { Command(IDM_COPY); });
}

std::wstring VorlikProcess::Status() const
{
    wchar_t text[512] = L"";
    ::SendMessageTimeoutW(Item(IDC_STATUS), WM_GETTEXT, 512, reinterpret_cast<LPARAM>(text), SMTO_NORMAL, kAnswerMs,
                          nullptr);
    return text;
}

std::string VorlikProcess::SaveOutput() const
{
    std::string path = TempPath("vorlik-saved") + ".txt";
    Command(IDM_SAVE);
    ::testing::AssertionResult chosen = ChooseSaveFile(Pid(), path);
    ::testing::AssertionResult saved = chosen ? WaitForFile(path) : chosen;
    EXPECT_TRUE(saved);
    std::string text = saved ? ReadFileText(path) : "<not saved>";
    ::DeleteFileA(path.c_str());
    return text;
}

bool VorlikProcess::Answers() const
{
    DWORD_PTR r = 0;
    return ::SendMessageTimeoutA(m_hDlg, WM_NULL, 0, 0, SMTO_NORMAL, kAnswerMs, &r) != 0;
}

bool VorlikProcess::Exit()
{
    Command(IDCANCEL);
    return WaitForExit();
}

} // namespace testsupport
