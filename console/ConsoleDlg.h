// CConsoleDlg: the program's main window. It holds the command box, Run and
// Stop, the output pane and the busy animation; it owns the run state and
// allows one run at a time.
//
// Run state: m_run, the run session, which owns the worker, the child's
// handles and its job, and the stdin writer. It is active from StartRun
// until WM_RUN_FINISHED; WM_RUN_STDIN makes its stdin known and
// WM_RUN_PROCESS its child. The worker sends those messages synchronously,
// so the state is read and written on the user-interface thread only and
// needs no lock. Typed characters reach the child through the session's
// writer, which never blocks and never writes to a closed pipe. When the
// window goes while a run is on, the session ends the run's process tree
// and waits for the worker first.
//
// Commands that must not run during a run (Run, Exit) are refused with a
// message box; no control is ever disabled.
#pragma once

#include "console/OutputPane.h"
#include "console/SizingDialog.h"
#include "runner/RunSession.h"
#include "widgets/BusyAnimation.h"

class CConsoleDlg : public CSizingDialog {
public:
    explicit CConsoleDlg(CWnd* pParent = nullptr);

    // True when a run was started.
    bool StartRun();
    void StopRun();
    // Writes the run's output to a file as a console shows it, each line
    // ending in CR LF (CTextExport). Throws CFileException, also when part of
    // the output cannot be read back.
    void SaveOutput(LPCTSTR lpszPath);
    // Puts the run's output on the clipboard as Unicode and ANSI text; says
    // so when it is larger than kMaxCopyChars.
    void CopyOutput();
    static constexpr uint64_t kMaxCopyChars = 32 * 1024 * 1024;

    // The command history: the command box's list, newest first, at most
    // kHistorySize distinct entries, kept in the profile section "RecentCmd"
    // as the values RecentCmd0, RecentCmd1, ...
    static constexpr int kHistorySize = 20;
    // The input mode and the output code page, kept in the profile section
    // "Settings" as KeyAtATime (0 or 1) and OutputCodePage (0 OEM, 1 ANSI,
    // 2 UTF-8).
    void LoadSettings();
    void ApplySettings(bool bKeyAtATime, COutputDecoder::CodePage codePage);
    void LoadHistory();
    void AddToHistory(const CString& command);
    void SaveHistory();

protected:
    void DoDataExchange(CDataExchange* pDX) override;
    BOOL OnInitDialog() override;
    void OnOK() override;
    void OnCancel() override;
    void OnSizeChanged(int dx, int dy) override;

    // Called when Run is pressed (or Enter in the command box).
    void OnRun();
    // Called when Stop is pressed.
    void OnStop();
    // Called for File > Save.
    void OnSave();
    // Called for File > Copy.
    void OnCopy();
    // Called for Help > About.
    void OnAbout();
    void OnPaint();
    HCURSOR OnQueryDragIcon();
    void OnDestroy();
    LRESULT OnRunFinished(WPARAM wParam, LPARAM lParam);
    LRESULT OnRunProcess(WPARAM wParam, LPARAM lParam);
    LRESULT OnRunStdin(WPARAM wParam, LPARAM lParam);
    // Called for each piece of the child's output: it goes into the pane's
    // model.
    LRESULT OnRunOutput(WPARAM wParam, LPARAM lParam);
    // Called when the user ends a line in the pane: it goes to the child.
    LRESULT OnConsoleLine(WPARAM wParam, LPARAM lParam);
    // Called for Ctrl+Z, Enter: the end of the child's input.
    LRESULT OnConsoleEof(WPARAM wParam, LPARAM lParam);
    // Called for Ctrl+C with nothing selected: as Stop.
    LRESULT OnConsoleBreak(WPARAM wParam, LPARAM lParam);
    // Called for Options > Send each key at once.
    void OnKeyAtATime();
    // Called for the Options menu's output code pages.
    void OnCodePageOem() { ChooseCodePage(COutputDecoder::oem); }
    void OnCodePageAnsi() { ChooseCodePage(COutputDecoder::ansi); }
    void OnCodePageUtf8() { ChooseCodePage(COutputDecoder::utf8); }
    void ChooseCodePage(COutputDecoder::CodePage codePage);
    LRESULT OnConsoleChar(WPARAM wParam, LPARAM lParam);
    // Called for the registered message "Vorlik.CountHandles": answers the
    // number of open handles, so that tests can check for leaks from outside.
    LRESULT OnCountHandles(WPARAM wParam, LPARAM lParam);

    DECLARE_MESSAGE_MAP()

protected:
    COutputPane m_output;
    CString m_strCommand; // user-interface thread only (the session has its own copy)
    HICON m_hIcon;
    CBusyAnimation m_busy;
    CRunSession m_run; // after the pane: it goes first, ending a run that uses it
};
