// CInputLine: the line being typed into the pane, a console's line input.
//
// It is always the last thing in the pane's control: the view keeps the
// output above it. Keys edit it wherever the caret was before (Backspace,
// Delete, Left, Right, Home, End; Escape clears it); Enter hands it over,
// and it leaves the control (the run's record then shows it, in order with
// the output). Ctrl+Z on an empty line shows "^Z"; Enter then means the end
// of the input. Typed text takes the pane's own colour, whatever the output
// before it.
//
// The line is kept as the user typed it, in Unicode: the control (an ANSI
// one) shows each character as the ANSI code page can, best fit or '?',
// one control character per UTF-16 unit; what goes to the program, Save and
// Copy has every character. The caret never stands inside a surrogate pair.
//
// Up and Down recall the lines sent in this run, newest first, as a
// console's line input does (kRecallLines of them, a line sent twice in a
// row kept once): the recalled line replaces the line, to be edited and
// sent with Enter; Down past the newest brings back what was being typed.
//
// User-interface thread only.
#pragma once

#include "platform/CRichEditCtrl.h"

#include <deque>
#include <string>

class CInputLine {
public:
    static constexpr size_t kRecallLines = 50;

    explicit CInputLine(CRichEditCtrl& ctrl) : m_ctrl(ctrl) {}

    // The line as typed ("^Z" after Ctrl+Z).
    const std::wstring& GetText() const { return m_strText; }
    // Where the line begins in the control.
    long GetStart() const;

    void Type(const std::wstring& text);
    void Backspace();
    void Delete();
    // VK_LEFT, VK_RIGHT, VK_HOME or VK_END.
    void Move(UINT vk);
    // Escape: the line is emptied.
    void Clear();
    // Up (bOlder) and Down: an older or newer line sent before.
    void Recall(bool bOlder);
    // Ctrl+Z on an empty line.
    void MarkEndOfInput();
    // Enter: the line, which leaves the control; *pbEof says whether it was
    // the end of the input.
    std::wstring Take(bool* pbEof);

    // A new run: the line and the lines to recall are dropped (the control
    // is emptied anyway).
    void Forget();
    // Puts the line back at the end of a control just emptied or replaced.
    void Reinsert();
    void PlaceCaret();

private:
    void Insert(const std::wstring& text);
    void Erase(size_t nFrom, size_t nCount);
    void Replace(const std::wstring& text);
    size_t Before(size_t at) const; // the caret place one character back
    size_t After(size_t at) const;  // and on

    CRichEditCtrl& m_ctrl;
    std::wstring m_strText;
    size_t m_nCaret = 0; // the caret's place in the line
    bool m_bEof = false; // the line is "^Z"
    std::deque<std::wstring> m_recall; // the lines sent this run, newest first
    int m_nRecalled = -1;              // the one the line shows; -1: none
    std::wstring m_strTyped;           // the line as it was before the first Up
};
