// CRichEditCtrl: a rich edit control (version 1, window class "RICHEDIT")
// bound to an object, with the operations the program uses as thin calls.
//
// The library that registers the class is loaded once per process and freed
// at exit: AfxInitRichEdit loads "RICHED32.DLL" by plain name unless a
// library is already held in the process-wide state.
#pragma once

#include "platform/CWnd.h"

#include <richedit.h>

#include <string>

struct AFX_RICHEDIT_STATE {
    HINSTANCE m_hInstRichEdit = nullptr; // user-interface thread only
};

// The process-wide rich edit state; frees the library when the process ends.
AFX_RICHEDIT_STATE* AfxGetRichEditState() noexcept;
BOOL AfxInitRichEdit();

class CRichEditCtrl : public CWnd {
public:
    long GetTextLength() const;
    void GetSel(long& nStartChar, long& nEndChar) const;
    void SetSel(long nStartChar, long nEndChar);
    void ReplaceSel(LPCTSTR lpszNewText, BOOL bCanUndo = FALSE);
    int GetLineCount() const;
    // The character index where line nLine starts (-1: the caret's line).
    int LineIndex(int nLine = -1) const;
    long LineFromChar(long nIndex) const;
    int GetFirstVisibleLine() const;
    // The client-area position of the top-left corner of character lChar.
    POINT GetCharPos(long lChar) const;
    void LineScroll(int nLines, int nChars = 0);
    void LimitText(long nChars);
    long GetLimitText() const;
    // No undo is kept at all: what the program puts in is not the user's to
    // undo, and keeping it makes every insertion cost more the more text the
    // control holds.
    void SetUndoLimit(long nLimit);

    // Replaces the selection of the rich edit control hWnd with an RTF
    // document; returns the characters taken in.
    static long StreamInRtf(HWND hWnd, const std::string& rtf);
};
