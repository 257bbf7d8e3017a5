// CConsoleDlg's Save and Copy: each takes a snapshot of the run's text and
// works from it on a thread of its own (CExportJob), while the window, the
// run and its child go on; WM_EXPORT_DONE ends each.
#include "console/ConsoleDlg.h"

#include "console/Messages.h"
#include "console/StatusText.h"
#include "platform/CClipboard.h"
#include "res/resource.h"

void CConsoleDlg::OnSave()
{
    if (m_export.IsRunning()) {
        ::MessageBeep(MB_OK); // one Save at a time
        return;
    }
    CFileDialog dlg(FALSE, "txt", "*.txt", OFN_OVERWRITEPROMPT | OFN_HIDEREADONLY,
                    "Text File (*.txt)|*.txt|All Files (*.*)|*.*||", this);
    if (dlg.DoModal() != IDOK)
        return;
    CString path = dlg.GetPathName();
    if (!path.IsEmpty() && !StartExport(CExportJob::save, path))
        ::MessageBeep(MB_OK); // no thread could be made for it
}

void CConsoleDlg::OnCopy()
{
    if (m_export.IsRunning()) {
        ::MessageBeep(MB_OK);
        return;
    }
    if (!StartExport(CExportJob::copy, ""))
        return; // nothing to copy: the clipboard stays as it was
}

bool CConsoleDlg::StartExport(CExportJob::Kind kind, LPCTSTR lpszPath)
{
    std::unique_ptr<CTextExport> text = m_output.Snapshot();
    if (kind == CExportJob::copy && text->IsEmpty())
        return false;
    if (!m_export.Start(m_hWnd, std::move(text), kind, lpszPath))
        return false;
    ShowExporting(true);
    return true;
}

// Save and Copy are refused while one runs; a Save shows its progress.
void CConsoleDlg::ShowExporting(bool bExporting)
{
    HMENU hMenu = ::GetMenu(m_hWnd);
    UINT state = MF_BYCOMMAND | (bExporting ? MF_GRAYED : MF_ENABLED);
    ::EnableMenuItem(hMenu, IDM_SAVE, state);
    ::EnableMenuItem(hMenu, IDM_COPY, state);
    if (bExporting) {
        ::SetTimer(m_hWnd, kExportTimer, 250, nullptr);
        return;
    }
    ::KillTimer(m_hWnd, kExportTimer);
    ::ShowWindow(GetDlgItem(IDC_SAVECANCEL), SW_HIDE);
    SetStatus(m_run.IsActive() ? status::Running(::GetTickCount() - m_dwRunStart) : m_strStatus);
}

void CConsoleDlg::OnCancelSave()
{
    m_export.Cancel();
}

LRESULT CConsoleDlg::OnExportDone(WPARAM, LPARAM)
{
    if (!m_export.IsRunning())
        return 0;
    CExportJob::CResult result = m_export.Finish();
    ShowExporting(false);
    if (result.bCancelled)
        return 0;
    if (result.kind == CExportJob::save) {
        if (!result.bDone)
            AfxMessageBox(result.error);
        return 0;
    }
    if (result.bTooLarge) {
        AfxMessageBox("The output is too large for the clipboard. Use File > Save to keep all of it.");
    } else if (!result.bDone) {
        AfxMessageBox(result.error);
    } else {
        CClipboard clipboard(m_hWnd);
        if (!clipboard.IsOpen())
            return 0; // another program holds it: nothing is copied, as with any copy
        clipboard.Empty();
        clipboard.SetData(CF_UNICODETEXT, result.unicode);
        clipboard.SetData(CF_TEXT, result.ansi);
    }
    return 0;
}
