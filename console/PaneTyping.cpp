#include "console/PaneTyping.h"

#include "console/InputLine.h"
#include "console/Messages.h"
#include "console/OutputView.h"
#include "screen/StoredText.h"

void CPaneTyping::SetKeyAtATime(bool bKeyAtATime)
{
    if (bKeyAtATime == m_bKeyAtATime)
        return;
    m_input.Clear();
    m_bKeyAtATime = bKeyAtATime;
}

void CPaneTyping::Char(UINT nChar, UINT nFlags)
{
    char bytes[2] = { m_chLead, static_cast<char>(nChar) };
    bool bLead = m_chLead == 0 && ::IsDBCSLeadByte(static_cast<BYTE>(nChar));
    m_chLead = bLead ? static_cast<char>(nChar) : 0;
    if (bLead)
        return;
    const char* from = bytes[0] != 0 ? bytes : bytes + 1;
    int n = bytes[0] != 0 ? 2 : 1;
    wchar_t wide[2];
    int count = ::MultiByteToWideChar(CP_ACP, 0, from, n, wide, 2);
    if (count > 0)
        Text(std::wstring(wide, static_cast<size_t>(count)), nFlags);
}

void CPaneTyping::Text(const std::wstring& text, UINT nFlags)
{
    if (!m_bKeyAtATime) {
        m_input.Type(text);
        m_view.OnInputEdited();
        return;
    }
    for (size_t i = 0; i < text.size();) {
        char32_t c = stored::NextChar(text.data(), text.size(), &i);
        ::SendMessageA(::GetParent(m_pane.m_hWnd), WM_CONSOLE_CHAR, c, nFlags);
        m_model.EchoKey(c);
    }
    m_view.OnEcho();
}

bool CPaneTyping::Control(UINT nChar, UINT nFlags)
{
    if (m_bKeyAtATime) {
        ::SendMessageA(::GetParent(m_pane.m_hWnd), WM_CONSOLE_CHAR, nChar, nFlags);
        m_model.EchoKey(nChar);
        m_view.OnEcho();
        return true;
    }
    switch (nChar) {
    case '\r':
        SubmitLine();
        return true;
    case '\b':
        m_input.Backspace();
        break;
    case 0x1A: // Ctrl+Z on an empty line: Enter then ends the input
        m_input.MarkEndOfInput();
        break;
    case 0x1B:
        m_input.Clear();
        break;
    default:
        return false;
    }
    m_view.OnInputEdited();
    return true;
}

// Enter: the line leaves the input and goes into the model, in order with
// the output, and to the parent.
void CPaneTyping::SubmitLine()
{
    bool bEof = false;
    std::wstring line = m_input.Take(&bEof) + L"\r\n"; // "^Z" when it ends the input
    m_model.Echo(line);
    m_view.Follow();
    m_view.OnEcho();
    HWND hParent = ::GetParent(m_pane.m_hWnd);
    if (bEof)
        ::SendMessageA(hParent, WM_CONSOLE_EOF, 0, 0);
    else
        ::SendMessageA(hParent, WM_CONSOLE_LINE, line.size(), reinterpret_cast<LPARAM>(line.c_str()));
}

// Each line break is an Enter, other control characters go; what is between
// them goes in one piece.
void CPaneTyping::Paste(const std::wstring& text)
{
    std::wstring run;
    for (size_t i = 0; i <= text.size(); ++i) {
        wchar_t c = i < text.size() ? text[i] : L'\0';
        if (c >= 0x20 || c == L'\t') {
            run += c;
            continue;
        }
        if (!run.empty())
            Text(run, 0);
        run.clear();
        if (c == L'\r' || c == L'\n') {
            Control('\r', 0);
            if (c == L'\r' && i + 1 < text.size() && text[i + 1] == L'\n')
                ++i;
        }
    }
}
