// CLineEndFilter: gives a text that arrives in pieces one form of line end.
// A carriage return and line feed, or a line feed alone, become the chosen
// end; a carriage return alone stays as it is. A pair split between two
// pieces is still one line end.
#pragma once

#include <string>

class CLineEndFilter {
public:
    explicit CLineEndFilter(const char* pszLineEnd) : m_strLineEnd(pszLineEnd) {}

    // Appends the filtered piece to out.
    void Filter(const char* p, size_t n, std::string& out)
    {
        for (size_t i = 0; i < n; ++i) {
            char c = p[i];
            if (m_bCarriageReturn) {
                m_bCarriageReturn = false;
                if (c == '\n') {
                    out += m_strLineEnd;
                    continue;
                }
                out += '\r';
            }
            if (c == '\r')
                m_bCarriageReturn = true;
            else if (c == '\n')
                out += m_strLineEnd;
            else
                out += c;
        }
    }

    // Ends the text: a carriage return held back goes out.
    void Finish(std::string& out)
    {
        if (m_bCarriageReturn)
            out += '\r';
        m_bCarriageReturn = false;
    }

private:
    std::string m_strLineEnd;
    bool m_bCarriageReturn = false;
};
