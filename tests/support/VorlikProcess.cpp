#include "VorlikProcess.h"

#include "Pump.h"
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

std::string VorlikProcess::PaneText() const
{
    return WindowText(Item(IDC_OUTPUT));
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
