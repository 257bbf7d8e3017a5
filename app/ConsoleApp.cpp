#include "app/ConsoleApp.h"

#include "res/resource.h"

CConsoleApp theApp;

BOOL CConsoleApp::InitInstance()
{
    SetRegistryKey("Quorvel's Tools");
    CDialog dlg(IDD_CONSOLE);
    m_pMainWnd = &dlg;
    dlg.DoModal();
    m_pMainWnd = nullptr;
    return FALSE;
}
