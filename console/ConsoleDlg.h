// CConsoleDlg: the program's main window. It holds the command box, Run and
// Stop, the output pane, the status line and the busy animation; it owns the
// run and allows one at a time.
//
// Run resolves the typed command line here, on the user-interface thread (a
// refusal is a message box before anything of a run exists), then the run
// session (CRunSession) makes the job, the pipes and the worker. The worker
// hands the child's output over with WM_RUN_OUTPUT and ends with one
// CRunResult in WM_RUN_FINISHED; the dialog reports it: the end line in the
// pane, the status line ("Exit code 3 · 0.42 s", "Stopped after 12.1 s",
// "Could not start: ..."), and a message box for a start that failed, owned
// by this window. Typed characters reach the child through the session's
// writer, which never blocks the window.
//
// Save and Copy run as an export job (CExportJob) on a thread of their own:
// a Save that takes longer than half a second shows its progress in the
// status line, with Cancel; Save and Copy are refused while one runs.
//
// Commands that must not run during a run (Run, Exit) are refused with a
// message box. What the user types in the pane reaches the child in the
// code page its output is read in. Every field belongs to the
// user-interface thread; nothing but the dialog itself reaches them.
#pragma once

#include "console/ExportJob.h"
#include "console/OutputPane.h"
#include "console/SizingDialog.h"
#include "console/TextFinder.h"
#include "platform/CFindReplaceDialog.h"
#include "runner/RunSession.h"
#include "widgets/BusyAnimation.h"

class CConsoleDlg : public CSizingDialog {
public:
    explicit CConsoleDlg(CWnd* pParent = nullptr);

    // The command history: the command box's list, newest first, at most
    // kHistorySize distinct entries, kept in the profile section "RecentCmd"
    // as the values RecentCmd0, RecentCmd1, ...
    static constexpr int kHistorySize = 20;
    // The pane's font (PaneFont.h), and how many of its columns the first
    // window shows.
    static constexpr int kPanePoints = 10;
    static constexpr int kFirstColumns = 100;

private:
    static constexpr UINT_PTR kRunTimer = 1;    // the status line's time, once a second
    static constexpr UINT_PTR kExportTimer = 2; // a Save's progress

    // True when a run was started; a run that could not be started says
    // why in the status line, and the last run's output stays.
    [[nodiscard]] bool StartRun();
    void StopRun();
    // Starts writing the run's output to a file, or to the clipboard, as a
    // console shows it (CTextExport); false when an export is running
    // already, or there is nothing to copy.
    [[nodiscard]] bool StartExport(CExportJob::Kind kind, LPCTSTR lpszPath);

    // The input mode and the output code page, kept in the profile section
    // "Settings" as KeyAtATime (0 or 1) and OutputCodePage (0 OEM, 1 ANSI,
    // 2 UTF-8).
    void LoadSettings();
    void ApplySettings(bool bKeyAtATime, COutputDecoder::CodePage codePage);
    void LoadHistory();
    void AddToHistory(const CString& command);
    void SaveHistory();

    void DoDataExchange(CDataExchange* pDX) override;
    BOOL OnInitDialog() override;
    void OnOK() override;
    // Exit, the close box and Escape; Escape only while nothing would be
    // lost: nothing in the pane, nothing in the command box.
    void OnCancel() override;
    // The Find dialog's keys go to it; Escape is marked as the key it is.
    BOOL PreTranslateMessage(MSG* pMsg) override;
    void OnSizeChanged(int dx, int dy) override;

    // Called when Run is pressed (or Enter in the command box).
    void OnRun();
    // Called when Stop is pressed.
    void OnStop();
    // Called for File > Save.
    void OnSave();
    // Called for File > Copy.
    void OnCopy();
    // Called when a Save's Cancel is pressed.
    void OnCancelSave();
    // Called for Help > About.
    void OnAbout();
    // Called for Edit > Find (Ctrl+F): the Find dialog.
    void OnFind();
    // Called for Find Next (F3) and Find Previous (Shift+F3).
    void OnFindNext() { FindAgain(true); }
    void OnFindPrevious() { FindAgain(false); }
    // Called when the Find dialog asks for the next match, or closes.
    LRESULT OnFindReplace(WPARAM wParam, LPARAM lParam);
    void OnPaint();
    HCURSOR OnQueryDragIcon();
    void OnDestroy();
    // Called each second of a run, and while an export runs.
    void OnTimer(UINT_PTR nIDEvent);
    // Called when the run has ended: lParam is its CRunResult.
    LRESULT OnRunFinished(WPARAM wParam, LPARAM lParam);
    // Called after that, once the worker has let go: the box, if any.
    LRESULT OnRunReport(WPARAM wParam, LPARAM lParam);
    // Called for each piece of the child's output: it goes into the pane's
    // model.
    LRESULT OnRunOutput(WPARAM wParam, LPARAM lParam);
    // Called when a Save or Copy has ended.
    LRESULT OnExportDone(WPARAM wParam, LPARAM lParam);
    // Called when the user ends a line in the pane: it goes to the child.
    LRESULT OnConsoleLine(WPARAM wParam, LPARAM lParam);
    // Called for Ctrl+Z, Enter: the end of the child's input.
    LRESULT OnConsoleEof(WPARAM wParam, LPARAM lParam);
    // Called for Ctrl+C with nothing selected: as Stop.
    LRESULT OnConsoleBreak(WPARAM wParam, LPARAM lParam);
    // Called for each key when every key is sent at once.
    LRESULT OnConsoleChar(WPARAM wParam, LPARAM lParam);
    // Called for Options > Send each key at once.
    void OnKeyAtATime();
    // Called for the Options menu's output code pages.
    void OnCodePageOem() { ChooseCodePage(COutputDecoder::oem); }
    void OnCodePageAnsi() { ChooseCodePage(COutputDecoder::ansi); }
    void OnCodePageUtf8() { ChooseCodePage(COutputDecoder::utf8); }
    void ChooseCodePage(COutputDecoder::CodePage codePage);

    DECLARE_MESSAGE_MAP()

    void FitColumns(int nColumns);
    void SetStatus(const std::wstring& text);
    void ShowExporting(bool bExporting);
    void FindAgain(bool bDown);
    void FindInPane(const CTextFinder& finder);
    // What the user typed, to the child in the code page of its output.
    void SendInput(const std::wstring& text);

    CFont m_paneFont; // before the pane, which uses it to its end
    COutputPane m_output;
    CString m_strCommand;
    HICON m_hIcon;
    CBusyAnimation m_busy;
    CRunSession m_run; // after the pane: it goes first, ending a run that uses it
    CExportJob m_export;
    CString m_strProgram;     // the running program, for the status line
    DWORD m_dwRunStart = 0;
    std::wstring m_strStatus; // what the status line says of the last run
    CRunResult m_lastResult;  // the last run's, until it is reported
    CFindReplaceDialog m_findDlg;
    CTextFinder m_finder;        // what Find last looked for
    bool m_bEscapeKey = false;   // the dialog manager is handling the Escape key
};
