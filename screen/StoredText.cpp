#include "screen/StoredText.h"

namespace stored {

namespace {

bool IsAscii(const char* p, size_t n)
{
    for (size_t i = 0; i < n; ++i)
        if (static_cast<unsigned char>(p[i]) >= 0x80)
            return false;
    return true;
}

// How many of the last bytes of p begin a UTF-8 character that has not
// ended yet.
size_t OpenTail(const char* p, size_t n)
{
    for (size_t back = 1; back <= 3 && back <= n; ++back) {
        unsigned char b = static_cast<unsigned char>(p[n - back]);
        if ((b & 0xC0) == 0x80)
            continue; // a continuation byte: look further back
        size_t need = b >= 0xF0 ? 4 : b >= 0xE0 ? 3 : b >= 0xC0 ? 2 : 1;
        return need > back ? back : 0;
    }
    return 0;
}

} // namespace

void AppendColour(std::string& out, COLORREF colour)
{
    if (colour == kDefaultColour) {
        out += kDefaultMark;
        return;
    }
    uint32_t rgb = static_cast<uint32_t>(GetRValue(colour)) << 16 | GetGValue(colour) << 8 | GetBValue(colour);
    out += kColourMark;
    for (int shift = 18; shift >= 0; shift -= 6)
        out += static_cast<char>(0x40 | ((rgb >> shift) & 0x3F));
}

void AppendUtf8(std::string& out, char32_t c)
{
    if (c < 0x80) {
        out += static_cast<char>(c);
    } else if (c < 0x800) {
        out += static_cast<char>(0xC0 | (c >> 6));
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else if (c < 0x10000) {
        out += static_cast<char>(0xE0 | (c >> 12));
        out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (c >> 18));
        out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    }
}

size_t Walk(const char* p, size_t n, IVisitor& v, bool bLast)
{
    size_t i = 0;
    while (i < n) {
        char c = p[i];
        if (c == '\n') {
            v.LineEnd();
            ++i;
        } else if (c == kDefaultMark) {
            v.Colour(kDefaultColour);
            ++i;
        } else if (c == kColourMark) {
            if (n - i < 5)
                return bLast ? n : i;
            uint32_t rgb = 0;
            for (size_t k = 1; k <= 4; ++k)
                rgb = rgb << 6 | (static_cast<unsigned char>(p[i + k]) & 0x3F);
            v.Colour(RGB(rgb >> 16 & 0xFF, rgb >> 8 & 0xFF, rgb & 0xFF));
            i += 5;
        } else {
            size_t start = i;
            while (i < n && p[i] != '\n' && p[i] != kColourMark && p[i] != kDefaultMark)
                ++i;
            size_t open = i == n && !bLast ? OpenTail(p + start, i - start) : 0;
            if (i - open > start)
                v.Text(p + start, i - open - start);
            if (open > 0)
                return i - open;
        }
    }
    return n;
}

void AppendUtf16(std::wstring& out, const char* p, size_t n)
{
    if (n == 0)
        return;
    size_t at = out.size();
    if (IsAscii(p, n)) {
        out.append(p, p + n);
        return;
    }
    int count = ::MultiByteToWideChar(CP_UTF8, 0, p, static_cast<int>(n), nullptr, 0);
    out.resize(at + static_cast<size_t>(count));
    ::MultiByteToWideChar(CP_UTF8, 0, p, static_cast<int>(n), &out[at], count);
}

void AppendAnsi(std::string& out, const char* p, size_t n)
{
    if (IsAscii(p, n)) {
        out.append(p, n);
        return;
    }
    std::wstring wide;
    AppendUtf16(wide, p, n);
    int count = ::WideCharToMultiByte(CP_ACP, 0, wide.data(), static_cast<int>(wide.size()), nullptr, 0, "?", nullptr);
    size_t at = out.size();
    out.resize(at + static_cast<size_t>(count));
    ::WideCharToMultiByte(CP_ACP, 0, wide.data(), static_cast<int>(wide.size()), &out[at], count, "?", nullptr);
}

} // namespace stored
