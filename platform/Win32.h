// The one place the Windows headers come in. ANSI APIs only: UNICODE is never
// defined, so every A/W pair resolves to its "A" form.
#pragma once

#ifdef UNICODE
#error "Vorlik is built with the ANSI APIs"
#endif

#include <windows.h>
#include <commctrl.h>
#include <commdlg.h>
#include <shellapi.h>
#include <shlwapi.h>

// Framework names for the Win32 spellings that several classes share.
using LPCTSTR = LPCSTR;
using LPTSTR = LPSTR;
