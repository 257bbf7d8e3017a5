#include "console/ConsoleDlg.h"

#include "console/Messages.h"
#include "console/PaneFont.h"
#include "console/StatusText.h"
#include "res/resource.h"
#include "runner/CommandLine.h"
#include "widgets/AboutBox.h"

#include <algorithm>
#include <string>

namespace {

constexpr COLORREF kBusyMask = RGB(0, 255, 0);
constexpr DWORD kShowProgressMs = 500;

// The program of a resolved command line: the quoted path, or the
// interpreter.
CString ProgramOf(const CString& commandLine)
{
    if (commandLine.GetLength() > 0 && commandLine[0] == '"') {
        int end = commandLine.Find('"', 1);
        return end > 0 ? commandLine.Mid(1, end - 1) : commandLine.Mid(1);
    }
    int blank = commandLine.Find(' ');
    return blank > 0 ? commandLine.Left(blank) : commandLine;
}

} // namespace

BEGIN_MESSAGE_MAP(CConsoleDlg, CSizingDialog)
    ON_WM_PAINT()
    ON_WM_QUERYDRAGICON()
    ON_BN_CLICKED(IDC_RUN, OnRun)
    ON_COMMAND(IDM_SAVE, OnSave)
    ON_COMMAND(IDM_COPY, OnCopy)
    ON_COMMAND(IDM_ABOUT, OnAbout)
    ON_BN_CLICKED(IDC_STOP, OnStop)
    ON_BN_CLICKED(IDC_SAVECANCEL, OnCancelSave)
    ON_WM_DESTROY()
    ON_WM_TIMER()
    ON_MESSAGE(WM_RUN_FINISHED, OnRunFinished)
    ON_MESSAGE(WM_RUN_REPORT, OnRunReport)
    ON_MESSAGE(WM_RUN_OUTPUT, OnRunOutput)
    ON_MESSAGE(WM_EXPORT_DONE, OnExportDone)
    ON_MESSAGE(WM_CONSOLE_CHAR, OnConsoleChar)
    ON_MESSAGE(WM_CONSOLE_LINE, OnConsoleLine)
    ON_MESSAGE(WM_CONSOLE_EOF, OnConsoleEof)
    ON_MESSAGE(WM_CONSOLE_BREAK, OnConsoleBreak)
    ON_COMMAND(IDM_KEYATATIME, OnKeyAtATime)
    ON_COMMAND(IDM_CP_OEM, OnCodePageOem)
    ON_COMMAND(IDM_CP_ANSI, OnCodePageAnsi)
    ON_COMMAND(IDM_CP_UTF8, OnCodePageUtf8)
    ON_COMMAND(IDM_FIND, OnFind)
    ON_COMMAND(IDM_FINDNEXT, OnFindNext)
    ON_COMMAND(IDM_FINDPREV, OnFindPrevious)
    ON_REGISTERED_MESSAGE(WM_FINDREPLACE, OnFindReplace)
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
    if (CreatePaneFont(m_paneFont, kPanePoints)) {
        m_output.SendMessage(WM_SETFONT, reinterpret_cast<WPARAM>(static_cast<HFONT>(m_paneFont)), FALSE);
        FitColumns(kFirstColumns);
    }
    m_busy.SubclassDlgItem(IDC_BUSY, this);
    m_busy.Load(IDB_BUSY, 32, 100, kBusyMask);
    LoadSettings();
    m_hAccel = ::LoadAcceleratorsA(::GetModuleHandleA(nullptr), MAKEINTRESOURCEA(IDR_MENU));
    return TRUE;
}

// Widens the window so that the pane shows nColumns of its font, as far as
// the screen's work area allows; the smallest size stays the template's.
void CConsoleDlg::FitColumns(int nColumns)
{
    HDC hdc = ::GetDC(m_output.m_hWnd);
    HGDIOBJ old = ::SelectObject(hdc, m_paneFont);
    TEXTMETRICA tm{};
    ::GetTextMetricsA(hdc, &tm);
    ::SelectObject(hdc, old);
    ::ReleaseDC(m_output.m_hWnd, hdc);
    CRect pane, window, work;
    m_output.GetClientRect(pane);
    GetWindowRect(window);
    ::SystemParametersInfoA(SPI_GETWORKAREA, 0, &work, 0);
    const int kMargins = 8; // the control's own, either side of the text
    int dx = std::min<int>(nColumns * tm.tmAveCharWidth + kMargins - pane.Width(), work.right - window.right);
    if (dx > 0)
        SetWindowPos(nullptr, 0, 0, window.Width() + dx, window.Height(), SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
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
    UpdateData(TRUE);
    // A command line that cannot run is refused before anything of a run
    // exists; the last run's output stays.
    CString commandLine = m_strCommand, directory;
    if (!ResolveCommandLine(commandLine, directory)) {
        AfxMessageBox("The command line is too long. A command line can have at most 1023 characters.");
        return false;
    }
    CRunSession::StartResult started = m_run.Start(m_hWnd, commandLine, directory);
    if (started != CRunSession::started) {
        // No run exists: the last one's output stays, and the status line
        // says why.
        CRunResult result;
        result.kind = CRunResult::notStarted;
        result.error = m_run.GetStartError();
        SetStatus(m_strStatus = status::RunEnded(result, ProgramOf(commandLine)));
        if (started == CRunSession::pipeFailed)
            AfxMessageBox("Couldn't create Pipe\n");
        return false;
    }
    // The worker's first output is handled only once this returns.
    m_output.Clear(); // the pane and the previous run's output
    m_busy.Start();
    m_strProgram = ProgramOf(commandLine);
    m_dwRunStart = ::GetTickCount();
    SetStatus(status::Running(0));
    ::SetTimer(m_hWnd, kRunTimer, 1000, nullptr);
    return true;
}

void CConsoleDlg::OnStop()
{
    StopRun();
}

void CConsoleDlg::StopRun()
{
    if (!m_run.IsActive())
        return;
    if (!IsWindowsNT())
        AfxMessageBox("Sorry, I can't kill this process in Windows 9x.  Maybe you can do it by yourself.");
    else if (!m_run.Stop())
        AfxMessageBox("Sorry, I can't kill this process.  Maybe you can do it by yourself.");
}

LRESULT CConsoleDlg::OnRunFinished(WPARAM, LPARAM lParam)
{
    m_lastResult = *reinterpret_cast<const CRunResult*>(lParam);
    m_run.OnFinished();
    ::KillTimer(m_hWnd, kRunTimer);
    m_output.EndOutput();
    m_output.AppendText("\n--End--\n");
    m_busy.Stop();
    m_strStatus = status::RunEnded(m_lastResult, m_strProgram);
    if (!m_export.IsRunning() || m_export.GetKind() != CExportJob::save)
        SetStatus(m_strStatus);
    // The worker waits for this handler: anything the user must answer
    // comes once it has let go.
    PostMessage(WM_RUN_REPORT);
    return 0;
}

LRESULT CConsoleDlg::OnRunReport(WPARAM, LPARAM)
{
    if (m_lastResult.kind == CRunResult::notStarted)
        AfxMessageBox("Couldn't Create Process\r\n");
    else if (m_lastResult.kind == CRunResult::failed)
        AfxMessageBox(m_lastResult.failure);
    m_lastResult = CRunResult();
    m_lastResult.kind = CRunResult::exited;
    return 0;
}

LRESULT CConsoleDlg::OnRunOutput(WPARAM wParam, LPARAM lParam)
{
    m_output.Write(reinterpret_cast<const char*>(lParam), static_cast<size_t>(wParam));
    return 0;
}

void CConsoleDlg::OnTimer(UINT_PTR nIDEvent)
{
    if (nIDEvent == kRunTimer) {
        if (!m_export.IsRunning() || m_export.GetKind() != CExportJob::save)
            SetStatus(status::Running(::GetTickCount() - m_dwRunStart));
    } else if (nIDEvent == kExportTimer) {
        if (m_export.IsRunning() && m_export.GetKind() == CExportJob::save &&
            m_export.GetElapsedMs() >= kShowProgressMs) {
            SetStatus(status::Saving(m_export.GetPercent()));
            ::ShowWindow(GetDlgItem(IDC_SAVECANCEL), SW_SHOWNA);
        }
    }
}

void CConsoleDlg::SetStatus(const std::wstring& text)
{
    ::SetWindowTextW(GetDlgItem(IDC_STATUS), text.c_str());
}

void CConsoleDlg::OnCancel()
{
    // A stray Escape must not cost a run's output or what was typed: it
    // closes only a window that has shown nothing and holds nothing typed.
    if (m_bEscapeKey && (!m_output.IsEmpty() || ::GetWindowTextLengthA(GetDlgItem(IDC_COMMAND)) > 0))
        return;
    if (m_run.IsActive()) {
        AfxMessageBox("You can't exit will your process is running.");
        return;
    }
    if (m_export.IsRunning()) {
        AfxMessageBox("A save is in progress. Wait for it to end, or cancel it.");
        return;
    }
    CSizingDialog::OnCancel();
}

BOOL CConsoleDlg::PreTranslateMessage(MSG* pMsg)
{
    HWND hFind = m_findDlg.GetSafeHwnd();
    if (hFind != nullptr && (pMsg->hwnd == hFind || ::IsChild(hFind, pMsg->hwnd))) {
        bool bKey = pMsg->message >= WM_KEYFIRST && pMsg->message <= WM_KEYLAST;
        if (bKey && m_hAccel != nullptr && ::TranslateAcceleratorA(m_hWnd, m_hAccel, pMsg))
            return TRUE; // F3 finds again from the Find dialog too
        return ::IsDialogMessageA(hFind, pMsg); // its Tab, Enter and Escape
    }
    bool bEscape = pMsg->message == WM_KEYDOWN && pMsg->wParam == VK_ESCAPE;
    m_bEscapeKey = bEscape;
    BOOL bHandled = CSizingDialog::PreTranslateMessage(pMsg);
    m_bEscapeKey = false;
    return bHandled;
}

void CConsoleDlg::OnOK()
{
    // Enter in the command box presses Run, the default button; nothing
    // else may close the dialog.
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
    MoveChild(0, dy, IDC_STATUS);
    GrowChild(dx, 0, IDC_STATUS);
    MoveChild(dx, dy, IDC_SAVECANCEL);
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
    // waited for while everything it uses is still there; so is a Save's,
    // which removes its partial file.
    m_run.End();
    m_export.End();
    CSizingDialog::OnDestroy();
    SaveHistory();
}
