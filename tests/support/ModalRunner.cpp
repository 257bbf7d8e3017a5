#include "ModalRunner.h"

#include "MessageBoxes.h"
#include "Pump.h"

#include <atomic>
#include <thread>

namespace testsupport {

namespace {

struct FindData {
    HWND found;
};

BOOL CALLBACK FindDialog(HWND hWnd, LPARAM lParam)
{
    char cls[16] = "";
    ::GetClassNameA(hWnd, cls, sizeof cls);
    if (lstrcmpA(cls, "#32770") == 0 && ::IsWindowVisible(hWnd) && !IsMessageBox(hWnd)) {
        reinterpret_cast<FindData*>(lParam)->found = hWnd;
        return FALSE;
    }
    return TRUE;
}

} // namespace

HWND FindThreadDialog(DWORD tid)
{
    FindData data{ nullptr };
    ::EnumThreadWindows(tid, &FindDialog, reinterpret_cast<LPARAM>(&data));
    return data.found;
}

INT_PTR RunModalWith(CDialog& dlg, const std::function<void(HWND hDlg)>& script)
{
    DWORD uiThread = ::GetCurrentThreadId();
    std::atomic<bool> ended{ false };
    std::thread helper([&] {
        HWND hDlg = nullptr;
        WaitUntil([&] { return ended || (hDlg = FindThreadDialog(uiThread)) != nullptr; });
        if (hDlg == nullptr)
            return;
        script(hDlg);
        if (!ended && ::IsWindow(hDlg))
            ::PostMessageA(hDlg, WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED), 0);
    });
    INT_PTR result = dlg.DoModal();
    ended = true;
    helper.join();
    return result;
}

} // namespace testsupport
