#include "platform/CWinApp.h"

#include "platform/CWnd.h"
#include "platform/UniqueHandle.h"

#include <cassert>
#include <vector>

namespace {

CWinApp* g_pApp = nullptr; // the single application object

} // namespace

CWinApp::CWinApp(LPCTSTR lpszAppName)
{
    g_pApp = this;
    if (lpszAppName != nullptr)
        SetAppName(lpszAppName);
}

CWinApp::~CWinApp()
{
    if (g_pApp == this)
        g_pApp = nullptr;
}

CWinApp* AfxGetApp() noexcept
{
    return g_pApp;
}

CWnd* AfxGetMainWnd() noexcept
{
    CWinApp* pApp = AfxGetApp();
    if (pApp == nullptr || pApp->m_nThreadID != ::GetCurrentThreadId())
        return nullptr;
    return pApp->m_pMainWnd;
}

LPCTSTR AfxGetAppName() noexcept
{
    CWinApp* pApp = AfxGetApp();
    return pApp != nullptr && pApp->m_pszAppName != nullptr ? pApp->m_pszAppName : "";
}

void CWinApp::SetAppName(LPCTSTR lpszAppName)
{
    m_strAppName = lpszAppName;
    m_pszAppName = m_strAppName;
}

void CWinApp::InitApplication(HINSTANCE hInstance)
{
    m_hInstance = hInstance;
    m_nThreadID = ::GetCurrentThreadId();
    if (m_pszAppName != nullptr)
        return;

    char title[256] = "";
    if (::LoadStringA(hInstance, AFX_IDS_APP_TITLE, title, sizeof title) > 0) {
        SetAppName(title);
        return;
    }
    char path[MAX_PATH] = "";
    DWORD len = ::GetModuleFileNameA(hInstance, path, sizeof path);
    if (len == 0 || len >= sizeof path) {
        SetAppName("");
        return;
    }
    char* name = ::PathFindFileNameA(path);
    ::PathRemoveExtensionA(name);
    SetAppName(name);
}

BOOL CWinApp::InitInstance()
{
    return TRUE;
}

int CWinApp::Run()
{
    MSG msg;
    while (::GetMessageA(&msg, nullptr, 0, 0) > 0) {
        if (!CWnd::WalkPreTranslateTree(nullptr, &msg)) {
            ::TranslateMessage(&msg);
            ::DispatchMessageA(&msg);
        }
    }
    return ExitInstance();
}

int CWinApp::ExitInstance()
{
    return 0;
}

HICON CWinApp::LoadIcon(UINT nIDResource) const
{
    return ::LoadIconA(m_hInstance, MAKEINTRESOURCEA(nIDResource));
}

HCURSOR CWinApp::LoadCursor(UINT nIDResource) const
{
    return ::LoadCursorA(m_hInstance, MAKEINTRESOURCEA(nIDResource));
}

void CWinApp::SetRegistryKey(LPCTSTR lpszRegistryKey)
{
    m_strRegistryKey = lpszRegistryKey;
    m_pszRegistryKey = m_strRegistryKey;
}

CRegKeyHandle CWinApp::OpenSectionKey(LPCTSTR lpszSection, REGSAM access)
{
    CRegKeyHandle key;
    if (m_pszRegistryKey == nullptr || m_pszAppName == nullptr || lpszSection == nullptr)
        return key;
    CString path = CString("software\\") + m_pszRegistryKey + "\\" + m_pszAppName + "\\" + lpszSection;
    if (::RegCreateKeyExA(HKEY_CURRENT_USER, path, 0, nullptr, REG_OPTION_NON_VOLATILE, access, nullptr, key.put(),
                          nullptr) != ERROR_SUCCESS)
        key.release();
    return key;
}

CString CWinApp::GetProfileString(LPCTSTR lpszSection, LPCTSTR lpszEntry, LPCTSTR lpszDefault)
{
    // Read access only, so that a profile the user may not change still reads.
    CRegKeyHandle key = OpenSectionKey(lpszSection, KEY_READ);
    if (!key)
        return CString(lpszDefault);
    DWORD type = 0;
    DWORD size = 0;
    if (::RegQueryValueExA(key.get(), lpszEntry, nullptr, &type, nullptr, &size) != ERROR_SUCCESS ||
        type != REG_SZ)
        return CString(lpszDefault);
    // One more byte than reported, so that a value stored without its zero
    // still ends in one.
    std::vector<BYTE> buf(size + 1u, 0);
    DWORD got = size;
    if (::RegQueryValueExA(key.get(), lpszEntry, nullptr, &type, buf.data(), &got) != ERROR_SUCCESS ||
        type != REG_SZ)
        return CString(lpszDefault);
    return CString(reinterpret_cast<LPCTSTR>(buf.data()), static_cast<int>(got));
}

BOOL CWinApp::WriteProfileString(LPCTSTR lpszSection, LPCTSTR lpszEntry, LPCTSTR lpszValue)
{
    CRegKeyHandle key = OpenSectionKey(lpszSection, KEY_READ | KEY_WRITE);
    if (!key || lpszEntry == nullptr)
        return FALSE;
    if (lpszValue == nullptr)
        return ::RegDeleteValueA(key.get(), lpszEntry) == ERROR_SUCCESS;
    DWORD size = static_cast<DWORD>(lstrlenA(lpszValue)) + 1;
    return ::RegSetValueExA(key.get(), lpszEntry, 0, REG_SZ, reinterpret_cast<const BYTE*>(lpszValue), size) ==
        ERROR_SUCCESS;
}

UINT CWinApp::GetProfileInt(LPCTSTR lpszSection, LPCTSTR lpszEntry, int nDefault)
{
    CRegKeyHandle key = OpenSectionKey(lpszSection, KEY_READ);
    DWORD type = 0, value = 0, size = sizeof value;
    if (!key || ::RegQueryValueExA(key.get(), lpszEntry, nullptr, &type, reinterpret_cast<BYTE*>(&value), &size) !=
            ERROR_SUCCESS ||
        type != REG_DWORD || size != sizeof value)
        return static_cast<UINT>(nDefault);
    return value;
}

BOOL CWinApp::WriteProfileInt(LPCTSTR lpszSection, LPCTSTR lpszEntry, int nValue)
{
    CRegKeyHandle key = OpenSectionKey(lpszSection, KEY_READ | KEY_WRITE);
    DWORD value = static_cast<DWORD>(nValue);
    return key && ::RegSetValueExA(key.get(), lpszEntry, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&value),
                                   sizeof value) == ERROR_SUCCESS;
}

int AfxMessageBox(LPCTSTR lpszText, UINT nType, UINT)
{
    if ((nType & MB_ICONMASK) == 0)
        nType |= MB_ICONEXCLAMATION;
    HWND hOwner = nullptr;
    CWinApp* pApp = AfxGetApp();
    assert(pApp == nullptr || pApp->m_nThreadID == ::GetCurrentThreadId());
    if (pApp != nullptr && pApp->m_nThreadID == ::GetCurrentThreadId()) {
        hOwner = ::GetActiveWindow();
        if (hOwner == nullptr && pApp->m_pMainWnd != nullptr)
            hOwner = pApp->m_pMainWnd->m_hWnd;
    }
    // The box takes the focus; it goes back to where it was when the box
    // closes, which the system leaves to the activation that follows.
    HWND hFocus = ::GetFocus();
    int result = ::MessageBoxA(hOwner, lpszText, AfxGetAppName(), nType);
    if (hFocus != nullptr && ::IsWindow(hFocus) && ::GetFocus() != hFocus)
        ::SetFocus(hFocus);
    return result;
}
