#include "console/ConsoleDlg.h"

#include "res/resource.h"
#include "runner/CommandLine.h"
#include "runner/RunWorker.h"
#include "platform/CClipboard.h"
#include "screen/TextExport.h"
#include "widgets/AboutBox.h"

#include <string>

namespace {

constexpr COLORREF kBusyMask = RGB(0, 255, 0);

const UINT WM_COUNT_HANDLES = ::RegisterWindowMessageA("Vorlik.CountHandles");

} // namespace

BEGIN_MESSAGE_MAP(CConsoleDlg, CSizingDialog)
    ON_WM_PAINT()
    ON_WM_QUERYDRAGICON()
    ON_BN_CLICKED(IDC_RUN, OnRun)
    ON_COMMAND(IDM_SAVE, OnSave)
    ON_COMMAND(IDM_COPY, OnCopy)
    ON_COMMAND(IDM_ABOUT, OnAbout)
    ON_BN_CLICKED(IDC_STOP, OnStop)
    ON_WM_DESTROY()
    ON_MESSAGE(WM_RUN_FINISHED, OnRunFinished)
    ON_MESSAGE(WM_RUN_PROCESS, OnRunProcess)
    ON_MESSAGE(WM_RUN_STDIN, OnRunStdin)
    ON_MESSAGE(WM_RUN_OUTPUT, OnRunOutput)
    ON_MESSAGE(WM_CONSOLE_CHAR, OnConsoleChar)
    ON_MESSAGE(WM_CONSOLE_LINE, OnConsoleLine)
    ON_MESSAGE(WM_CONSOLE_EOF, OnConsoleEof)
    ON_MESSAGE(WM_CONSOLE_BREAK, OnConsoleBreak)
    ON_COMMAND(IDM_KEYATATIME, OnKeyAtATime)
    ON_COMMAND(IDM_CP_OEM, OnCodePageOem)
    ON_COMMAND(IDM_CP_ANSI, OnCodePageAnsi)
    ON_COMMAND(IDM_CP_UTF8, OnCodePageUtf8)
    ON_MESSAGE(WM_COUNT_HANDLES, OnCountHandles)
END_MESSAGE_MAP()

CConsoleDlg::CConsoleDlg(CWnd* pParent)
    : CSizingDialog(IDD_CONSOLE, pParent), m_strCommand(""), m_hIcon(AfxGetApp()->LoadIcon(IDR_MAINFRAME))
{
}

void CConsoleDlg::DoDataExchange(CDataExchange* pDX)
{
    CSizingDialog::DoDataExchange(pDX);
    DDX_CBString(pDX, IDC_COMMAND, m_strCommand);
}

BOOL CConsoleDlg::OnInitDialog()
{
    CSizingDialog::OnInitDialog();
    SendMessage(WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(m_hIcon));
    SendMessage(WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(m_hIcon));
    LoadHistory();
    m_output.SubclassDlgItem(IDC_OUTPUT, this);
    m_busy.SubclassDlgItem(IDC_BUSY, this);
    m_busy.Load(IDB_BUSY, 32, 100, kBusyMask);
    LoadSettings();
    m_hAccel = ::LoadAcceleratorsA(::GetModuleHandleA(nullptr), MAKEINTRESOURCEA(IDR_MENU));
    return TRUE;
}

void CConsoleDlg::OnRun()
{
    if (!StartRun())
        return;
    m_output.SetFocus();
    AddToHistory(m_strCommand);
}

bool CConsoleDlg::StartRun()
{
    if (m_run.IsActive()) {
        AfxMessageBox("You can't begin a new proccess will old one is running.");
        return false;
    }
    m_busy.Start();
    UpdateData(TRUE);
    m_output.Clear(); // the pane and the previous run's output
    if (!m_run.Start(m_hWnd, m_strCommand)) {
        m_busy.Stop(); // no run: no animation either
        return false;
    }
    return true;
}

void CConsoleDlg::OnStop()
{
    StopRun();
}

void CConsoleDlg::StopRun()
{
    if (!m_run.IsActive() || !m_run.HasProcess())
        return;
    if (IsWindowsNT()) {
        if (!m_run.Terminate())
            AfxMessageBox("Sorry, I can't kill this process.  Maybe you can do it by yourself.");
    } else {
        AfxMessageBox("Sorry, I can't kill this process in Windows 9x.  Maybe you can do it by yourself.");
    }
}

LRESULT CConsoleDlg::OnRunFinished(WPARAM, LPARAM)
{
    m_run.OnFinished();
    m_output.EndOutput();
    m_output.AppendText("\n--End--\n");
    m_busy.Stop();
    return 0;
}

LRESULT CConsoleDlg::OnRunProcess(WPARAM wParam, LPARAM lParam)
{
    m_run.OnProcess(reinterpret_cast<HANDLE>(wParam), reinterpret_cast<HANDLE>(lParam));
    return 0;
}

LRESULT CConsoleDlg::OnRunStdin(WPARAM, LPARAM)
{
    m_run.OnStdin();
    return 0;
}

LRESULT CConsoleDlg::OnRunOutput(WPARAM wParam, LPARAM lParam)
{
    m_output.Write(reinterpret_cast<const char*>(lParam), static_cast<size_t>(wParam));
    return 0;
}

LRESULT CConsoleDlg::OnConsoleLine(WPARAM wParam, LPARAM lParam)
{
    if (m_run.HasStdin())
        m_run.GetStdin().Write(reinterpret_cast<const char*>(lParam), static_cast<size_t>(wParam));
    return 0;
}

LRESULT CConsoleDlg::OnConsoleEof(WPARAM, LPARAM)
{
    if (m_run.HasStdin())
        m_run.GetStdin().EndInput();
    return 0;
}

LRESULT CConsoleDlg::OnConsoleBreak(WPARAM, LPARAM)
{
    StopRun();
    return 0;
}

LRESULT CConsoleDlg::OnConsoleChar(WPARAM wParam, LPARAM)
{
    char ch = static_cast<char>(wParam & 0xFF);
    if (!m_run.HasStdin())
        return 0;
    m_run.GetStdin().WriteKey(ch);
    return 0;
}

LRESULT CConsoleDlg::OnCountHandles(WPARAM, LPARAM)
{
    return afx::CountOpenHandles();
}

void CConsoleDlg::OnCancel()
{
    if (m_run.IsActive()) {
        AfxMessageBox("You can't exit will your process is running.");
        return;
    }
    CSizingDialog::OnCancel();
}

void CConsoleDlg::OnOK()
{
    // Enter in the command box presses Run, the default button; nothing
    // else may close the dialog.
}

void CConsoleDlg::OnSave()
{
    CFileDialog dlg(FALSE, "txt", "*.txt", OFN_OVERWRITEPROMPT | OFN_HIDEREADONLY,
                    "Text File (*.txt)|*.txt|All Files (*.*)|*.*||", this);
    if (dlg.DoModal() != IDOK)
        return;
    CString path = dlg.GetPathName();
    if (path.IsEmpty())
        return;
    SaveOutput(path);
}

void CConsoleDlg::SaveOutput(LPCTSTR lpszPath)
{
    CStdioFile file(lpszPath, CStdioFile::modeCreate | CStdioFile::modeWrite);
    CTextExport text(m_output.GetModel());
    bool bRead = text.Write([&](const std::string& piece) {
        file.Write(piece.data(), piece.size());
        return true;
    });
    if (!bRead)
        throw CFileException(CFileException::genericException, 0, lpszPath);
    file.Flush();
    file.Close();
}

void CConsoleDlg::OnCopy()
{
    CopyOutput();
}

void CConsoleDlg::CopyOutput()
{
    CTextExport text(m_output.GetModel());
    if (text.IsEmpty())
        return;
    std::string utf8;
    bool bFits = text.GetSizeHint() <= kMaxCopyChars;
    bool bRead = !bFits || text.ReadUtf8([&](const std::string& piece) {
        utf8 += piece;
        return true;
    });
    std::wstring wide;
    std::string ansi;
    if (bFits && bRead) {
        stored::AppendUtf16(wide, utf8.data(), utf8.size());
        stored::AppendAnsi(ansi, utf8.data(), utf8.size());
    }
    CGlobalMemory unicode = bFits && bRead ? CClipboard::Copy(wide.c_str(), (wide.size() + 1) * sizeof(wchar_t)) : CGlobalMemory();
    CGlobalMemory plain = unicode ? CClipboard::Copy(ansi.c_str(), ansi.size() + 1) : CGlobalMemory();
    if (!plain) {
        AfxMessageBox(bRead ? "The output is too large for the clipboard. Use File > Save to keep all of it."
                            : "Part of the output could not be read back, so nothing was copied.");
        return;
    }
    CClipboard clipboard(m_hWnd);
    if (!clipboard.IsOpen())
        return; // another program holds it: nothing is copied, as with any copy
    clipboard.Empty();
    clipboard.SetData(CF_UNICODETEXT, unicode);
    clipboard.SetData(CF_TEXT, plain);
}

void CConsoleDlg::OnAbout()
{
    CAboutBox box;
    box.DoModal();
}

void CConsoleDlg::OnSizeChanged(int dx, int dy)
{
    GrowChild(dx, 0, IDC_TOPLINE);
    GrowChild(dx, dy, &m_output);
}

void CConsoleDlg::OnPaint()
{
    if (!::IsIconic(m_hWnd)) {
        CSizingDialog::OnPaint();
        return;
    }
    CPaintDC dc(m_hWnd);
    SendMessage(WM_ICONERASEBKGND, reinterpret_cast<WPARAM>(dc.GetSafeHdc()), 0);
    int cxIcon = ::GetSystemMetrics(SM_CXICON);
    int cyIcon = ::GetSystemMetrics(SM_CYICON);
    CRect rect;
    GetClientRect(rect);
    int x = (rect.Width() - cxIcon + 1) / 2;
    int y = (rect.Height() - cyIcon + 1) / 2;
    ::DrawIcon(dc.GetSafeHdc(), x, y, m_hIcon);
}

HCURSOR CConsoleDlg::OnQueryDragIcon()
{
    return static_cast<HCURSOR>(m_hIcon);
}

void CConsoleDlg::OnDestroy()
{
    // Going by any route with a run on: its tree ends, and its worker is
    // waited for while everything it uses is still there.
    m_run.End();
    CSizingDialog::OnDestroy();
    SaveHistory();
}

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
