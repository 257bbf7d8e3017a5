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
// User-interface thread only.
#pragma once

#include "platform/CRichEditCtrl.h"

#include <string>

class CInputLine {
public:
    explicit CInputLine(CRichEditCtrl& ctrl) : m_ctrl(ctrl) {}

    const std::string& GetText() const { return m_strText; }
    bool IsEndOfInput() const { return m_bEof; }
    // Where the line begins in the control.
    long GetStart() const;

    void Type(char ch);
    void Backspace();
    void Delete();
    // VK_LEFT, VK_RIGHT, VK_HOME or VK_END.
    void Move(UINT vk);
    // Escape: the line is emptied.
    void Clear();
    // Ctrl+Z on an empty line.
    void MarkEndOfInput();
    // Enter: the line, which leaves the control; *pbEof says whether it was
    // the end of the input.
    std::string Take(bool* pbEof);

    // A new run: the line is dropped (the control is emptied anyway).
    void Forget();
    // Puts the line back at the end of a control just emptied or replaced.
    void Reinsert();
    void PlaceCaret();

private:
    void Insert(const std::string& text);
    void Erase(size_t nFrom, size_t nCount);

    CRichEditCtrl& m_ctrl;
    std::string m_strText;
    size_t m_nCaret = 0; // the caret's place in the line
    bool m_bEof = false; // the line is "^Z"
};
