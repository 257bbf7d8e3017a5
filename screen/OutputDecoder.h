// COutputDecoder: turns the child's bytes into Unicode characters, and what
// is typed to the child into bytes of the same code page.
//
// A console shows a program's output in the console's code page (OEM), so
// that is the default; the output can also be read in the ANSI code page
// (as written) or as UTF-8. A character whose bytes are split between two
// reads is held back until its last byte comes, so it is never broken. Bytes
// that are no character in the code page become U+FFFD, as the system's own
// conversion makes them.
//
// Single-byte code pages go through a table made once per code page; UTF-8
// is decoded here; double-byte code pages go through the system a character
// at a time.
//
// Input goes the other way in the same code page, as a console sends it in
// its input code page: a character the code page lacks goes as its best
// fit, or '?'.
//
// User-interface thread only.
#pragma once

#include "platform/Win32.h"

#include <string>

class COutputDecoder {
public:
    enum CodePage { oem = 0, ansi = 1, utf8 = 2 };

    COutputDecoder() { SetCodePage(oem); }

    void SetCodePage(CodePage codePage);
    CodePage GetCodePage() const { return m_codePage; }
    // Appends the characters of n more bytes to out.
    void Decode(const char* p, size_t n, std::u32string& out);
    // The output has ended: a character still held back goes out as U+FFFD.
    void Finish(std::u32string& out);
    // Typed text as the child reads it.
    std::string Encode(const std::wstring& text) const;

private:
    void DecodeUtf8(const unsigned char* p, size_t n, std::u32string& out);
    void DecodeDoubleByte(const unsigned char* p, size_t n, std::u32string& out);

    CodePage m_codePage = oem;
    UINT m_nSystemCodePage = 0;
    bool m_bDoubleByte = false;
    char32_t m_table[256] = {}; // single-byte code pages: each byte's character
    std::string m_held;         // the bytes of a character whose end has not come yet
};
