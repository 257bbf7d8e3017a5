// CPaneText: stored text (StoredText.h) made ready for the pane's rich edit
// control, and put into it.
//
// The text is put in the ANSI code page, best fit, '?' for what has no fit
// (the stored text keeps every character); a TAB becomes blanks to the next
// multiple of 8 columns, as a console's tab stops; each line end is CR LF. A
// line is cut at a column, since the control lays out a whole line again
// for each insertion into it.
//
// Text without colours goes in with EM_REPLACESEL, coloured text as one RTF
// stream: under Wine, RICHED32 takes a stream of many colour runs about
// seven times faster than a run per message, but each stream costs more the
// more lines the control holds, and a plain insertion does not.
//
// User-interface thread only.
#pragma once

#include "screen/StoredText.h"
#include "screen/TextStore.h"

#include <vector>

class CPaneText : private stored::IVisitor {
public:
    // The store from nFrom, up to nTo, one piece: small enough that a piece
    // fits a tick's budget a few times over (~5 ms for 8 KB or 256 lines
    // under Wine), large enough that the fixed cost of a message stays
    // small.
    static std::string ReadPiece(const CTextStore& store, uint64_t nFrom, uint64_t nTo);
    // Whether another piece like the last one (dwPieceMs) fits the budget
    // of dwBudgetMs that began at dwStart.
    static bool TimeLeft(DWORD dwStart, DWORD dwPieceMs, DWORD dwBudgetMs)
    {
        return ::GetTickCount() - dwStart + dwPieceMs < dwBudgetMs;
    }

    // Appends to out what the control shows for stored text going on a line
    // already *pnColumn characters long, as Unicode: a character for each
    // of the control's (TAB as blanks, CR LF at line ends, nothing past
    // nMaxColumn of a line). *pnColumn is where it ends.
    static void AppendWide(std::wstring& out, const std::string& stored, long* pnColumn, long nMaxColumn);

    // Starts afresh with text that goes on a line already nColumn characters
    // long; text past nMaxColumn of a line is left out.
    void Begin(long nColumn, long nMaxColumn);
    // Adds stored bytes; returns how many it took (stored::Walk).
    size_t Add(const char* p, size_t n, bool bLast);

    // Replaces [at, at + nReplace) of the control hWnd with the text; returns
    // how many characters went in.
    long Insert(HWND hWnd, long at, long nReplace) const;

    // The column the text ends in.
    long GetColumn() const { return m_nColumn; }
    // The characters the text makes in the control.
    long GetLength() const { return static_cast<long>(m_text.size()); }

private:
    void Text(const char* p, size_t n) override;
    void Colour(COLORREF colour) override;
    void LineEnd() override;
    std::string ToRtf() const;

    std::string m_text;
    std::string m_ansi; // reused for each run of text
    std::vector<std::pair<size_t, COLORREF>> m_colours; // where each colour begins in m_text
    COLORREF m_crCurrent = stored::kDefaultColour;
    long m_nColumn = 0;
    long m_nMaxColumn = 0;
};
