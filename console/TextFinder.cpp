#include "console/TextFinder.h"

#include "platform/Win32.h"

#include <algorithm>

namespace {

std::string Lowered(std::string s)
{
    if (!s.empty())
        ::CharLowerBuffA(&s[0], static_cast<DWORD>(s.size()));
    return s;
}

bool IsWordChar(char c)
{
    return c == '_' || ::IsCharAlphaNumericA(c);
}

} // namespace

bool CTextFinder::IsWholeWordAt(const std::string& text, size_t at) const
{
    size_t end = at + m_strWhat.size();
    return (at == 0 || !IsWordChar(text[at - 1])) && (end >= text.size() || !IsWordChar(text[end]));
}

long CTextFinder::Find(const std::string& text, long nFrom) const
{
    if (m_strWhat.empty() || m_strWhat.size() > text.size())
        return -1;
    const std::string haystack = m_bMatchCase ? std::string() : Lowered(text);
    const std::string what = m_bMatchCase ? m_strWhat : Lowered(m_strWhat);
    const std::string& in = m_bMatchCase ? text : haystack;
    const size_t last = text.size() - what.size(); // the last place a match can begin
    if (m_bDown) {
        for (size_t at = nFrom < 0 ? 0 : static_cast<size_t>(nFrom); at <= last; ++at) {
            at = in.find(what, at);
            if (at == std::string::npos)
                return -1;
            if (!m_bWholeWord || IsWholeWordAt(text, at))
                return static_cast<long>(at);
        }
        return -1;
    }
    if (nFrom <= 0)
        return -1;
    for (size_t at = std::min(static_cast<size_t>(nFrom - 1), last);;) {
        at = in.rfind(what, at);
        if (at == std::string::npos)
            return -1;
        if (!m_bWholeWord || IsWholeWordAt(text, at))
            return static_cast<long>(at);
        if (at == 0)
            return -1;
        --at;
    }
}
