// CWinApp: the one application object, its name and its registry profile.
//
// The program defines exactly one global object of a CWinApp subclass. The
// entry point (WinMain.cpp) sets the instance and the application name, then
// calls InitInstance once on the user-interface thread; a false result ends
// the program without a message loop.
//
// Threads: the fields are written on the user-interface thread before
// InitInstance and only read afterwards, except m_pMainWnd, which belongs to
// the user-interface thread alone. The profile functions may be called from
// any thread.
#pragma once

#include "platform/CCmdTarget.h"
#include "platform/CString.h"
#include "platform/UniqueHandle.h"

class CWnd;

class CWinApp : public CCmdTarget {
public:
    explicit CWinApp(LPCTSTR lpszAppName = nullptr);
    ~CWinApp() override;

    // Called once by the entry point on the user-interface thread.
    virtual BOOL InitInstance();
    // The message loop, entered only when InitInstance returned true.
    virtual int Run();
    virtual int ExitInstance();

    // Sets the instance, the user-interface thread and, unless the
    // constructor named it, the application name: the application title
    // string (AFX_IDS_APP_TITLE) if the program has one, else the exe's base
    // name. Called by the entry point (and by test mains).
    void InitApplication(HINSTANCE hInstance);
    void SetAppName(LPCTSTR lpszAppName);

    HICON LoadIcon(UINT nIDResource) const;
    HCURSOR LoadCursor(UINT nIDResource) const;

    // From now on the profile lives under
    // HKEY_CURRENT_USER\software\<lpszRegistryKey>\<application name>.
    void SetRegistryKey(LPCTSTR lpszRegistryKey);
    // A string value of section\entry; lpszDefault (or "") when the value is
    // missing or not a string. The keys are created if missing.
    CString GetProfileString(LPCTSTR lpszSection, LPCTSTR lpszEntry, LPCTSTR lpszDefault = nullptr);
    BOOL WriteProfileString(LPCTSTR lpszSection, LPCTSTR lpszEntry, LPCTSTR lpszValue);
    // A number kept as a REG_DWORD value; nDefault when missing or not one.
    UINT GetProfileInt(LPCTSTR lpszSection, LPCTSTR lpszEntry, int nDefault);
    BOOL WriteProfileInt(LPCTSTR lpszSection, LPCTSTR lpszEntry, int nValue);

    LPCTSTR m_pszAppName = nullptr;      // set before InitInstance, then read-only
    LPCTSTR m_pszRegistryKey = nullptr;  // set by SetRegistryKey, then read-only
    HINSTANCE m_hInstance = nullptr;     // set before InitInstance, then read-only
    DWORD m_nThreadID = 0;               // the user-interface thread; read-only after start
    CWnd* m_pMainWnd = nullptr;          // user-interface thread only

private:
    CRegKeyHandle OpenSectionKey(LPCTSTR lpszSection, REGSAM access); // empty on failure

    CString m_strAppName;
    CString m_strRegistryKey;
};

CWinApp* AfxGetApp() noexcept;
// The application's main window when called on the user-interface thread;
// null on any other thread.
CWnd* AfxGetMainWnd() noexcept;
LPCTSTR AfxGetAppName() noexcept;

// A modal message box titled with the application name, owned by the active
// window (else the main window), that gives the focus back where it found
// it. Without an icon in nType it shows the exclamation icon. User-interface
// thread only: a worker reports to its owner by message and never shows UI,
// so a call from another thread is a programming error (an assertion in a
// debug build; an unowned box else).
int AfxMessageBox(LPCTSTR lpszText, UINT nType = MB_OK, UINT nIDHelp = 0);

// The string id of the application title, as in the framework's resources.
constexpr UINT AFX_IDS_APP_TITLE = 0xE000;
