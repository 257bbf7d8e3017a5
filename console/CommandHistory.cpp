// The main dialog's command history and options, kept in the profile
// beside each other (see ConsoleDlg.h).
#include "console/ConsoleDlg.h"

#include "res/resource.h"
#include "runner/CommandLine.h"

namespace {

constexpr char kHistorySection[] = "RecentCmd";

CString HistoryEntryName(int nIndex)
{
    char name[32];
    wsprintfA(name, "%s%d", kHistorySection, nIndex);
    return CString(name);
}

} // namespace

namespace {

constexpr char kSettingsSection[] = "Settings";

} // namespace

void CConsoleDlg::LoadSettings()
{
    CWinApp* pApp = AfxGetApp();
    UINT codePage = pApp->GetProfileInt(kSettingsSection, "OutputCodePage", COutputDecoder::oem);
    ApplySettings(pApp->GetProfileInt(kSettingsSection, "KeyAtATime", 0) != 0,
                  codePage <= COutputDecoder::utf8 ? static_cast<COutputDecoder::CodePage>(codePage)
                                                  : COutputDecoder::oem);
}

void CConsoleDlg::ApplySettings(bool bKeyAtATime, COutputDecoder::CodePage codePage)
{
    m_output.SetKeyAtATime(bKeyAtATime);
    if (codePage != m_output.GetModel().GetCodePage())
        m_output.GetModel().SetCodePage(codePage);
    HMENU hMenu = ::GetMenu(m_hWnd);
    ::CheckMenuItem(hMenu, IDM_KEYATATIME, MF_BYCOMMAND | (bKeyAtATime ? MF_CHECKED : MF_UNCHECKED));
    ::CheckMenuRadioItem(hMenu, IDM_CP_OEM, IDM_CP_UTF8, IDM_CP_OEM + codePage, MF_BYCOMMAND);
}

void CConsoleDlg::OnKeyAtATime()
{
    bool bKeyAtATime = !m_output.IsKeyAtATime();
    ApplySettings(bKeyAtATime, m_output.GetModel().GetCodePage());
    AfxGetApp()->WriteProfileInt(kSettingsSection, "KeyAtATime", bKeyAtATime ? 1 : 0);
}

void CConsoleDlg::ChooseCodePage(COutputDecoder::CodePage codePage)
{
    ApplySettings(m_output.IsKeyAtATime(), codePage);
    AfxGetApp()->WriteProfileInt(kSettingsSection, "OutputCodePage", codePage);
}

void CConsoleDlg::LoadHistory()
{
    CComboBox box(GetDlgItem(IDC_COMMAND));
    for (int i = 0; i < kHistorySize; ++i) {
        CString entry = AfxGetApp()->GetProfileString(kHistorySection, HistoryEntryName(i), nullptr);
        if (entry.IsEmpty())
            break; // a missing, empty or unreadable value ends the list
        if (entry.GetLength() > kCommandBufferSize - 1)
            continue; // longer than any command line that can run: not offered
        box.AddString(entry);
    }
}

void CConsoleDlg::AddToHistory(const CString& command)
{
    // An empty entry would end the stored list and hide the ones after it.
    if (command.IsEmpty())
        return;
    CComboBox box(GetDlgItem(IDC_COMMAND));
    int n = box.GetCount();
    CString entry;
    for (int i = 0; i < n; ++i) {
        box.GetLBText(i, entry);
        if (_stricmp(entry, command) == 0)
            return;
    }
    if (n >= kHistorySize)
        box.DeleteString(kHistorySize - 1);
    box.InsertString(0, command);
}

void CConsoleDlg::SaveHistory()
{
    CComboBox box(GetDlgItem(IDC_COMMAND));
    int n = box.GetCount();
    CString entry;
    for (int i = 0; i < n; ++i) {
        box.GetLBText(i, entry);
        AfxGetApp()->WriteProfileString(kHistorySection, HistoryEntryName(i), entry);
    }
}
