// CPaneTyping: what the user types into the pane, taken as a console takes
// it.
//
// In line input (the default) keys edit the line being typed (CInputLine)
// and Enter hands it over: into the model, in order with the output, and
// to the parent (WM_CONSOLE_LINE, or WM_CONSOLE_EOF after Ctrl+Z). With
// each key at once, every key goes to the parent as it is typed
// (WM_CONSOLE_CHAR) and is echoed in the model. Either way what is typed is
// Unicode: a double-byte character of the ANSI code page, which comes as
// two messages, is put together first. A paste types its text, each line
// break an Enter.
//
// User-interface thread only.
#pragma once

#include "platform/CWnd.h"

#include <string>

class CInputLine;
class COutputView;
class CScreenModel;

class CPaneTyping {
public:
    CPaneTyping(CWnd& pane, CScreenModel& model, CInputLine& input, COutputView& view)
        : m_pane(pane), m_model(model), m_input(input), m_view(view) {}

    // Every key to the parent at once (true) or line input (false, the
    // default); a line being typed is dropped when this changes.
    void SetKeyAtATime(bool bKeyAtATime);
    bool IsKeyAtATime() const { return m_bKeyAtATime; }

    // A character of the ANSI code page, as WM_CHAR gives it (no control
    // character).
    void Char(UINT nChar, UINT nFlags);
    // A control character (Enter, Backspace, Ctrl+Z, Escape, or any with
    // each key at once); false for one it does not take.
    bool Control(UINT nChar, UINT nFlags);
    void Text(const std::wstring& text, UINT nFlags);
    void Paste(const std::wstring& text);

private:
    void SubmitLine();

    CWnd& m_pane;
    CScreenModel& m_model;
    CInputLine& m_input;
    COutputView& m_view;
    bool m_bKeyAtATime = false;
    char m_chLead = 0; // the first byte of a double-byte character typed
};
