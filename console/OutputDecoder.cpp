#include "console/OutputDecoder.h"

#include <vector>

void COutputDecoder::SetCodePage(CodePage codePage)
{
    m_codePage = codePage;
    m_held.clear();
}

// How many of the bytes make whole characters; the rest is the start of one
// still to come.
size_t COutputDecoder::CompleteLength(const std::string& bytes) const
{
    size_t n = bytes.size();
    if (m_codePage == utf8) {
        // Back to the start of the last sequence, then check it is whole.
        size_t start = n;
        for (size_t back = 0; back < 4 && start > 0; ++back) {
            unsigned char c = static_cast<unsigned char>(bytes[start - 1]);
            --start;
            if ((c & 0xC0) != 0x80)
                break;
        }
        if (start == n)
            return n;
        unsigned char lead = static_cast<unsigned char>(bytes[start]);
        size_t need = lead >= 0xF0 ? 4 : lead >= 0xE0 ? 3 : lead >= 0xC0 ? 2 : 1;
        return n - start < need ? start : n;
    }
    // A double-byte console code page: a lead byte at the end waits.
    UINT cp = ::GetOEMCP();
    size_t i = 0;
    while (i < n)
        i += ::IsDBCSLeadByteEx(cp, static_cast<BYTE>(bytes[i])) ? 2 : 1;
    return i > n ? n - 1 : n;
}

void COutputDecoder::Decode(const char* p, size_t n, std::string& out)
{
    UINT from = m_codePage == utf8 ? CP_UTF8 : ::GetOEMCP();
    if (m_codePage == ansi || (m_codePage == oem && from == ::GetACP())) {
        out.append(p, n);
        return;
    }
    m_held.append(p, n);
    size_t whole = CompleteLength(m_held);
    if (whole > 0) {
        int wide = ::MultiByteToWideChar(from, 0, m_held.data(), static_cast<int>(whole), nullptr, 0);
        std::vector<wchar_t> text(static_cast<size_t>(wide) + 1);
        ::MultiByteToWideChar(from, 0, m_held.data(), static_cast<int>(whole), text.data(), wide);
        int bytes = ::WideCharToMultiByte(CP_ACP, 0, text.data(), wide, nullptr, 0, "?", nullptr);
        size_t at = out.size();
        out.resize(at + static_cast<size_t>(bytes));
        ::WideCharToMultiByte(CP_ACP, 0, text.data(), wide, &out[at], bytes, "?", nullptr);
    }
    m_held.erase(0, whole);
}
