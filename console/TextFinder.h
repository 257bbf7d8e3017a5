// CTextFinder: what Find looks for, and the looking, in the text the pane
// holds (ANSI, as its control gives it).
//
// Down finds the first match that begins at or after a place; up the last
// one that begins before it. A whole word is one with no letter, digit or
// underscore just before or after it. Case is compared as the ANSI code
// page's letters are.
#pragma once

#include <string>

class CTextFinder {
public:
    std::string m_strWhat;
    bool m_bDown = true;
    bool m_bMatchCase = false;
    bool m_bWholeWord = false;

    // Where the match begins in text, looking from nFrom; -1 when none.
    long Find(const std::string& text, long nFrom) const;

private:
    bool IsWholeWordAt(const std::string& text, size_t at) const;
};
