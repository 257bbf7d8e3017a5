#include "app/ConsoleApp.h"

#include "console/ConsoleDlg.h"

CConsoleApp theApp;

bool LoadSystemRichEdit()
{
    char path[520];
    UINT n = ::GetSystemDirectoryA(path, sizeof path);
    if (n == 0 || n >= sizeof path)
        return false;
    ::PathAddBackslashA(path);
    if (lstrlenA(path) + lstrlenA("RICHED32.DLL") >= static_cast<int>(sizeof path))
        return false;
    lstrcatA(path, "RICHED32.DLL");
    AFX_RICHEDIT_STATE* pState = AfxGetRichEditState();
    if (pState->m_hInstRichEdit == nullptr)
        pState->m_hInstRichEdit = ::LoadLibraryA(path);
    return pState->m_hInstRichEdit != nullptr;
}

BOOL CConsoleApp::InitInstance()
{
    Enable3dControlsStatic();
    SetRegistryKey("Quorvel's Tools");
    if (!LoadSystemRichEdit())
        AfxInitRichEdit();
    CConsoleDlg dlg(nullptr);
    m_pMainWnd = &dlg;
    dlg.DoModal();
    m_pMainWnd = nullptr;
    return FALSE;
}
