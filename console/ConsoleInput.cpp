// CConsoleDlg's input to the run: what the pane hands over goes to the
// child's standard input, in the code page the child's output is read in,
// as a console's input code page follows its output one.
#include "console/ConsoleDlg.h"

LRESULT CConsoleDlg::OnConsoleLine(WPARAM wParam, LPARAM lParam)
{
    SendInput(std::wstring(reinterpret_cast<const wchar_t*>(lParam), static_cast<size_t>(wParam)));
    return 0;
}

void CConsoleDlg::SendInput(const std::wstring& text)
{
    if (m_run.IsActive()) {
        std::string bytes = m_output.GetModel().EncodeInput(text);
        m_run.GetStdin().Write(bytes.data(), bytes.size());
    }
}

LRESULT CConsoleDlg::OnConsoleEof(WPARAM, LPARAM)
{
    if (m_run.IsActive())
        m_run.GetStdin().EndInput();
    return 0;
}

LRESULT CConsoleDlg::OnConsoleBreak(WPARAM, LPARAM)
{
    StopRun();
    return 0;
}

LRESULT CConsoleDlg::OnConsoleChar(WPARAM wParam, LPARAM)
{
    // Enter goes as CR LF in one write; a character past U+FFFF as its pair.
    char32_t c = static_cast<char32_t>(wParam);
    std::wstring text = c == U'\r' ? L"\r\n" : std::wstring(1, static_cast<wchar_t>(c));
    if (c > 0xFFFF)
        text = { static_cast<wchar_t>(0xD800 + ((c - 0x10000) >> 10)), static_cast<wchar_t>(0xDC00 + (c & 0x3FF)) };
    SendInput(text);
    return 0;
}
