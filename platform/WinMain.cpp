// The program's entry point: hands control to the application object.
#include "platform/CException.h"
#include "platform/CWinApp.h"

int WINAPI WinMain(HINSTANCE hInstance, HINSTANCE, LPSTR, int)
{
    CWinApp* pApp = AfxGetApp();
    if (pApp == nullptr)
        return -1;
    try {
        pApp->InitApplication(hInstance);
        if (!pApp->InitInstance())
            return pApp->ExitInstance();
        return pApp->Run();
    } catch (...) {
        afx::ReportCurrentException();
        return -1;
    }
}
