#include "screen/OutputDecoder.h"

#include "screen/StoredText.h"

#include <algorithm>

namespace {

constexpr char32_t kReplacement = 0xFFFD;

// How many bytes a UTF-8 sequence with this lead byte has; 0 for a byte
// that cannot begin one.
int Utf8Length(unsigned char lead)
{
    if (lead < 0x80)
        return 1;
    if (lead >= 0xC2 && lead <= 0xDF)
        return 2;
    if (lead >= 0xE0 && lead <= 0xEF)
        return 3;
    if (lead >= 0xF0 && lead <= 0xF4)
        return 4;
    return 0;
}

// Whether b may follow the bytes of seq (a sequence begun with a lead byte)
// as its next byte: the ranges that rule out overlong forms, surrogates and
// characters past U+10FFFF come from the second byte.
bool Continues(const std::string& seq, unsigned char b)
{
    if ((b & 0xC0) != 0x80)
        return false;
    if (seq.size() != 1)
        return true;
    switch (static_cast<unsigned char>(seq[0])) {
    case 0xE0:
        return b >= 0xA0;
    case 0xED:
        return b < 0xA0;
    case 0xF0:
        return b >= 0x90;
    case 0xF4:
        return b < 0x90;
    default:
        return true;
    }
}

char32_t Utf8Value(const std::string& seq)
{
    auto byte = [&](size_t i) { return static_cast<char32_t>(static_cast<unsigned char>(seq[i])); };
    switch (seq.size()) {
    case 2:
        return (byte(0) & 0x1F) << 6 | (byte(1) & 0x3F);
    case 3:
        return (byte(0) & 0x0F) << 12 | (byte(1) & 0x3F) << 6 | (byte(2) & 0x3F);
    default:
        return (byte(0) & 0x07) << 18 | (byte(1) & 0x3F) << 12 | (byte(2) & 0x3F) << 6 | (byte(3) & 0x3F);
    }
}

// The characters of bytes in code page cp, UTF-16 pairs joined.
void AppendSystemText(UINT cp, const char* bytes, int n, std::u32string& out)
{
    wchar_t wide[8];
    int count = ::MultiByteToWideChar(cp, 0, bytes, n, wide, 8);
    if (count <= 0) {
        out += kReplacement;
        return;
    }
    for (size_t i = 0; i < static_cast<size_t>(count);)
        out += stored::NextChar(wide, static_cast<size_t>(count), &i);
}

} // namespace

void COutputDecoder::SetCodePage(CodePage codePage)
{
    m_codePage = codePage;
    m_held.clear();
    m_nSystemCodePage = codePage == utf8 ? CP_UTF8 : codePage == ansi ? ::GetACP() : ::GetOEMCP();
    CPINFO info{};
    m_bDoubleByte = codePage != utf8 && ::GetCPInfo(m_nSystemCodePage, &info) && info.MaxCharSize > 1;
    if (codePage == utf8 || m_bDoubleByte)
        return;
    for (int b = 0; b < 256; ++b) {
        char byte = static_cast<char>(b);
        std::u32string one;
        AppendSystemText(m_nSystemCodePage, &byte, 1, one);
        m_table[b] = one.size() == 1 ? one[0] : kReplacement;
    }
}

void COutputDecoder::Decode(const char* p, size_t n, std::u32string& out)
{
    const auto* bytes = reinterpret_cast<const unsigned char*>(p);
    if (m_codePage == utf8) {
        DecodeUtf8(bytes, n, out);
    } else if (m_bDoubleByte) {
        DecodeDoubleByte(bytes, n, out);
    } else {
        size_t at = out.size();
        out.resize(at + n);
        for (size_t i = 0; i < n; ++i)
            out[at + i] = m_table[bytes[i]];
    }
}

void COutputDecoder::Finish(std::u32string& out)
{
    if (!m_held.empty())
        out += kReplacement;
    m_held.clear();
}

std::string COutputDecoder::Encode(const std::wstring& text) const
{
    if (text.empty())
        return std::string();
    int n = static_cast<int>(text.size());
    const char* defaultChar = m_codePage == utf8 ? nullptr : "?";
    int count = ::WideCharToMultiByte(m_nSystemCodePage, 0, text.data(), n, nullptr, 0, defaultChar, nullptr);
    std::string bytes(static_cast<size_t>(std::max(count, 0)), '\0');
    if (count > 0)
        ::WideCharToMultiByte(m_nSystemCodePage, 0, text.data(), n, &bytes[0], count, defaultChar, nullptr);
    return bytes;
}

void COutputDecoder::DecodeUtf8(const unsigned char* p, size_t n, std::u32string& out)
{
    for (size_t i = 0; i < n; ++i) {
        unsigned char b = p[i];
        if (!m_held.empty()) {
            if (Continues(m_held, b)) {
                m_held += static_cast<char>(b);
                if (static_cast<int>(m_held.size()) == Utf8Length(static_cast<unsigned char>(m_held[0]))) {
                    out += Utf8Value(m_held);
                    m_held.clear();
                }
                continue;
            }
            // A sequence cut short is one replacement; b starts afresh.
            out += kReplacement;
            m_held.clear();
        }
        if (b < 0x80) {
            out += b;
            continue;
        }
        if (Utf8Length(b) == 0)
            out += kReplacement;
        else
            m_held += static_cast<char>(b);
    }
}

void COutputDecoder::DecodeDoubleByte(const unsigned char* p, size_t n, std::u32string& out)
{
    for (size_t i = 0; i < n; ++i) {
        char b = static_cast<char>(p[i]);
        if (!m_held.empty()) {
            char pair[2] = { m_held[0], b };
            m_held.clear();
            AppendSystemText(m_nSystemCodePage, pair, 2, out);
        } else if (::IsDBCSLeadByteEx(m_nSystemCodePage, p[i])) {
            m_held += b;
        } else {
            AppendSystemText(m_nSystemCodePage, &b, 1, out);
        }
    }
}
