// COutputDecoder: turns the child's bytes into the pane's ANSI text.
//
// A console shows a program's output in the console's code page (OEM), so
// that is the default; the output can also be taken as written (ANSI) or as
// UTF-8. Characters the ANSI code page cannot show become '?'. A character
// whose bytes are split between two reads is held back until its last byte
// comes, so it is never broken.
//
// User-interface thread only.
#pragma once

#include "platform/Win32.h"

#include <string>

class COutputDecoder {
public:
    enum CodePage { oem = 0, ansi = 1, utf8 = 2 };

    void SetCodePage(CodePage codePage);
    CodePage GetCodePage() const { return m_codePage; }
    // Appends the text of n more bytes to out.
    void Decode(const char* p, size_t n, std::string& out);
    // Forgets a character held back: a new run begins.
    void Reset() { m_held.clear(); }

private:
    size_t CompleteLength(const std::string& bytes) const;

    CodePage m_codePage = oem;
    std::string m_held; // the start of a character whose end has not come yet
};
