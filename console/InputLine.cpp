#include "console/InputLine.h"

namespace {

bool IsHighSurrogate(wchar_t c)
{
    return c >= 0xD800 && c < 0xDC00;
}

// Text as the ANSI control shows it: a character per UTF-16 unit (a half of
// a pair shows as '?'), best fit or '?' for what the code page lacks.
std::string Shown(const std::wstring& text)
{
    std::string shown;
    for (wchar_t c : text) {
        char bytes[8];
        int n = ::WideCharToMultiByte(CP_ACP, 0, &c, 1, bytes, sizeof bytes, "?", nullptr);
        shown.append(n > 0 ? bytes : "?", n > 0 ? static_cast<size_t>(n) : 1);
    }
    return shown;
}

} // namespace

long CInputLine::GetStart() const
{
    return m_ctrl.GetTextLength() - static_cast<long>(m_strText.size());
}

void CInputLine::PlaceCaret()
{
    long at = GetStart() + static_cast<long>(m_nCaret);
    m_ctrl.SetSel(at, at);
}

size_t CInputLine::Before(size_t at) const
{
    return at >= 2 && IsHighSurrogate(m_strText[at - 2]) ? at - 2 : at - 1;
}

size_t CInputLine::After(size_t at) const
{
    return IsHighSurrogate(m_strText[at]) && at + 1 < m_strText.size() ? at + 2 : at + 1;
}

// Inserts at the control's caret in the pane's own colour.
void CInputLine::Insert(const std::wstring& text)
{
    CHARFORMATA cf{};
    cf.cbSize = sizeof cf;
    cf.dwMask = CFM_COLOR;
    cf.dwEffects = CFE_AUTOCOLOR;
    m_ctrl.SendMessage(EM_SETCHARFORMAT, SCF_SELECTION, reinterpret_cast<LPARAM>(&cf));
    m_ctrl.ReplaceSel(Shown(text).c_str(), FALSE);
}

void CInputLine::Type(const std::wstring& text)
{
    if (m_bEof) {
        ::MessageBeep(MB_OK); // "^Z" waits for Enter, Backspace or Escape
        return;
    }
    PlaceCaret();
    Insert(text);
    m_strText.insert(m_nCaret, text);
    m_nCaret += text.size();
}

void CInputLine::Erase(size_t nFrom, size_t nCount)
{
    long at = GetStart() + static_cast<long>(nFrom);
    m_ctrl.SetSel(at, at + static_cast<long>(nCount));
    m_ctrl.ReplaceSel("", FALSE);
    m_strText.erase(nFrom, nCount);
    m_nCaret = nFrom;
}

void CInputLine::Backspace()
{
    if (m_bEof)
        Clear();
    else if (m_nCaret > 0)
        Erase(Before(m_nCaret), m_nCaret - Before(m_nCaret));
}

void CInputLine::Delete()
{
    if (m_bEof)
        Clear();
    else if (m_nCaret < m_strText.size())
        Erase(m_nCaret, After(m_nCaret) - m_nCaret);
}

void CInputLine::Move(UINT vk)
{
    if (vk == VK_LEFT && m_nCaret > 0)
        m_nCaret = Before(m_nCaret);
    else if (vk == VK_RIGHT && m_nCaret < m_strText.size())
        m_nCaret = After(m_nCaret);
    else if (vk == VK_HOME)
        m_nCaret = 0;
    else if (vk == VK_END)
        m_nCaret = m_strText.size();
    PlaceCaret();
}

void CInputLine::Clear()
{
    if (!m_strText.empty())
        Erase(0, m_strText.size());
    m_nCaret = 0;
    m_bEof = false;
    m_nRecalled = -1;
}

void CInputLine::Replace(const std::wstring& text)
{
    if (!m_strText.empty())
        Erase(0, m_strText.size());
    m_bEof = false;
    m_nCaret = 0;
    PlaceCaret();
    Insert(text);
    m_strText = text;
    m_nCaret = text.size();
}

void CInputLine::Recall(bool bOlder)
{
    int next = m_nRecalled + (bOlder ? 1 : -1);
    if (next < -1 || next >= static_cast<int>(m_recall.size()))
        return; // nothing older, or back at the line typed
    if (m_nRecalled == -1)
        m_strTyped = m_bEof ? std::wstring() : m_strText;
    m_nRecalled = next;
    Replace(next == -1 ? m_strTyped : m_recall[static_cast<size_t>(next)]);
}

void CInputLine::MarkEndOfInput()
{
    if (!m_strText.empty())
        return;
    Type(L"^Z");
    m_bEof = true;
}

std::wstring CInputLine::Take(bool* pbEof)
{
    std::wstring line = m_strText;
    *pbEof = m_bEof;
    Clear();
    if (!*pbEof && !line.empty() && (m_recall.empty() || m_recall.front() != line)) {
        m_recall.push_front(line);
        if (m_recall.size() > kRecallLines)
            m_recall.pop_back();
    }
    return line;
}

void CInputLine::Reinsert()
{
    long end = m_ctrl.GetTextLength();
    m_ctrl.SetSel(end, end);
    if (!m_strText.empty())
        Insert(m_strText);
    PlaceCaret();
}

void CInputLine::Forget()
{
    m_strText.clear();
    m_nCaret = 0;
    m_bEof = false;
    m_recall.clear();
    m_nRecalled = -1;
}
