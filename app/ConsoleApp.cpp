#include "app/ConsoleApp.h"

#include "console/ConsoleDlg.h"

CConsoleApp theApp;

BOOL CConsoleApp::InitInstance()
{
    SetRegistryKey("Quorvel's Tools");
    if (!AfxInitRichEdit()) {
        AfxMessageBox("Vorlik cannot start: the rich edit control (RICHED32.DLL) could not be loaded from the "
                      "system folder.", MB_ICONSTOP);
        return FALSE;
    }
    CConsoleDlg dlg(nullptr);
    m_pMainWnd = &dlg;
    dlg.DoModal();
    m_pMainWnd = nullptr;
    return FALSE;
}
