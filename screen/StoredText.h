// The stored form of a run's final text: what CScreenModel writes,
// CTextStore keeps, and the pane's view and the export read.
//
// UTF-8, each line ending in '\n', with colour marks in the text: kColourMark
// and four bytes of six bits each (0x40 | bits, the colour's 24 bits from
// the high end), or kDefaultMark alone for the default colour. Marks cannot
// be taken for text: the model stores no control character but TAB, and a
// mark's bytes are ASCII. A unit (a line, or a piece of a line too long to
// keep whole) that begins in a colour other than the default begins with
// its mark, so that reading may begin at the start of any unit.
#pragma once

#include "platform/Win32.h"

#include <string>

namespace stored {

constexpr COLORREF kDefaultColour = CLR_DEFAULT;
constexpr char kColourMark = '\x01';
constexpr char kDefaultMark = '\x02';

void AppendColour(std::string& out, COLORREF colour);
void AppendUtf8(std::string& out, char32_t c);

class IVisitor {
public:
    // n bytes of UTF-8 text, never cut inside a character.
    virtual void Text(const char* p, size_t n) = 0;
    virtual void Colour(COLORREF colour) = 0;
    virtual void LineEnd() = 0;

protected:
    ~IVisitor() = default;
};

// Hands stored bytes to v in order and returns how many it took: a mark or
// a character cut off by the end of p is left for the next call, unless
// bLast says no more will come (then it is dropped).
size_t Walk(const char* p, size_t n, IVisitor& v, bool bLast = false);

// UTF-8 text in the ANSI code page, best fit, '?' for what has no fit: for
// showing only.
void AppendAnsi(std::string& out, const char* p, size_t n);
// UTF-8 text as UTF-16.
void AppendUtf16(std::wstring& out, const char* p, size_t n);

// The character at p[*pi] of n UTF-16 units, a surrogate pair joined (a
// lone half stands for itself); *pi moves past it.
inline char32_t NextChar(const wchar_t* p, size_t n, size_t* pi)
{
    char32_t c = p[(*pi)++];
    if (c >= 0xD800 && c < 0xDC00 && *pi < n && p[*pi] >= 0xDC00 && p[*pi] < 0xE000)
        c = 0x10000 + ((c - 0xD800) << 10) + (p[(*pi)++] - 0xDC00u);
    return c;
}

} // namespace stored
