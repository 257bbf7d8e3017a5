// Reading windows the way the tests do: a window's whole text and a child's
// rectangle, with messages only, from any thread or process.
#pragma once

#include "platform/CRect.h"

#include <string>

namespace testsupport {

// The whole window text (WM_GETTEXTLENGTH, then WM_GETTEXT).
std::string WindowText(HWND hWnd);
// Child nID's window rectangle in hDlg's client coordinates.
CRect ChildRect(HWND hDlg, int nID);

} // namespace testsupport
