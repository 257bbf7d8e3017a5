// Running a modal dialog under test: the dialog's own modal loop runs on the
// test's thread while a script drives it from a helper thread, the way a user
// (or another program) would: with posted and sent window messages.
#pragma once

#include "platform/CDialog.h"

#include <functional>

namespace testsupport {

// Runs dlg.DoModal() here; once the dialog is visible, script(hDlg) runs on a
// helper thread. If the dialog is still open when the script returns, it is
// ended with a posted IDCANCEL. Returns DoModal's result. The script must not
// use fatal assertions to leave early unless the dialog accepts IDCANCEL.
INT_PTR RunModalWith(CDialog& dlg, const std::function<void(HWND hDlg)>& script);

// The first visible dialog-class window of thread tid that is no message box.
HWND FindThreadDialog(DWORD tid);

} // namespace testsupport
