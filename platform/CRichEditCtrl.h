// CRichEditCtrl: a rich edit control (version 1, window class "RICHEDIT")
// bound to an object, with the operations the program uses as thin calls.
//
// The library that registers the class is loaded once per process, from the
// system folder only, and freed at exit. A plain name would be looked for in
// the program's folder and the current folder first, where anyone could
// have put a DLL of that name.
#pragma once

#include "platform/CWnd.h"

#include <richedit.h>

#include <string>

struct AFX_RICHEDIT_STATE {
    HINSTANCE m_hInstRichEdit = nullptr; // user-interface thread only
};

// The process-wide rich edit state; frees the library when the process ends.
AFX_RICHEDIT_STATE* AfxGetRichEditState() noexcept;
// Loads "RICHED32.DLL" from the system folder unless the process holds it
// already; FALSE when it could not be loaded from there.
BOOL AfxInitRichEdit();
// A library of the system folder by its file name, never found elsewhere
// (its own imports are looked for from there too); null when it is not
// there or cannot be loaded.
HINSTANCE AfxLoadSystemLibrary(LPCTSTR lpszFileName);

class CRichEditCtrl : public CWnd {
public:
    long GetTextLength() const;
    void GetSel(long& nStartChar, long& nEndChar) const;
    void SetSel(long nStartChar, long nEndChar);
    void ReplaceSel(LPCTSTR lpszNewText, BOOL bCanUndo = FALSE);
    // The client-area position of the top-left corner of character lChar.
    POINT GetCharPos(long lChar) const;
    void LimitText(long nChars);
    // No undo is kept at all: what the program puts in is not the user's to
    // undo, and keeping it makes every insertion cost more the more text the
    // control holds.
    void SetUndoLimit(long nLimit);

    // Replaces the selection of the rich edit control hWnd with an RTF
    // document; returns the characters taken in.
    static long StreamInRtf(HWND hWnd, const std::string& rtf);
};
