// CLiveScreen: the newest kRows lines of a run's output, as a console's
// screen: the cursor moves anywhere on it and what is written there
// overwrites.
//
// Rows are numbered from the screen's top, the oldest line still live. The
// screen grows a row at a time as output goes down, like a console window
// that has not filled yet; once it holds kRows, a line feed on the bottom
// row scrolls: the top row leaves and is final (its owner, an IFinal, puts
// it in the store). Rows below the last one written do not exist until
// something goes there, so they never show as blank lines. Lines are as
// long as their text (no fixed width, nothing wraps).
//
// A scrolling region (CSI r) scrolls only its rows: a row leaving a region
// that begins below the screen's top is dropped, as a terminal drops it.
// The alternate screen is a screen of its own, dropped when the program
// leaves it: the main screen then is as it was, and nothing of the
// alternate one is ever final.
//
// A line that grows past kPieceChars * 2 is cut: the rows above it and its
// older part become final, so the screen never holds more than
// kRows * kPieceChars * 2 cells.
//
// User-interface thread only (a part of CScreenModel).
#pragma once

#include "platform/Win32.h"

#include <algorithm>
#include <cstddef>
#include <vector>

struct CCell {
    char32_t ch;
    COLORREF colour; // stored::kDefaultColour or a colour
};

class CLiveScreen {
public:
    static constexpr size_t kRows = 50;
    static constexpr size_t kPieceChars = 16 * 1024;
    // Cursor moves go no further right than this.
    static constexpr size_t kMaxColumn = 4096;

    using CRow = std::vector<CCell>;

    class IFinal {
    public:
        // The first nCells of row leave the screen for good; bLineEnd: the
        // whole line, else an older piece of a line too long to keep.
        virtual void Final(const CRow& row, size_t nCells, bool bLineEnd) = 0;

    protected:
        ~IFinal() = default;
    };

    explicit CLiveScreen(IFinal& final) : m_final(final) { Reset(); }

    void Reset();

    // Text at the cursor, overwriting, in colour.
    void Print(const char32_t* p, size_t n, COLORREF colour);
    void Put(char32_t c, COLORREF colour);
    // LF: down a row at column 0, scrolling at the bottom.
    void LineFeed();
    void CarriageReturn() { m_nCol = 0; }
    // Back one column (never past the start); bErase also takes the last
    // cell away when the cursor was past it (a key taken back).
    void Back(bool bErase);

    void MoveUp(size_t n);
    void MoveDown(size_t n);
    void MoveRight(size_t n) { SetColumn(m_nCol + n); }
    void MoveLeft(size_t n) { m_nCol -= std::min(m_nCol, n); }
    void SetColumn(size_t column) { m_nCol = column < kMaxColumn ? column : kMaxColumn; }
    void SetRow(size_t row);
    void SaveCursor();
    void RestoreCursor();
    // ESC M: up a row, scrolling the region down at its top.
    void ReverseIndex();

    // 0: from the cursor on; 1: up to and with the cursor; 2: all.
    void EraseInLine(int mode);
    void EraseInDisplay(int mode);
    void InsertChars(size_t n);
    void DeleteChars(size_t n);
    void EraseChars(size_t n);
    void InsertLines(size_t n) { ShiftLines(n, false); }
    void DeleteLines(size_t n) { ShiftLines(n, true); }
    // Rows top to bottom (0-based) scroll alone; the cursor goes home.
    void SetRegion(size_t top, size_t bottom);
    void SetAlternate(bool bAlternate);

    // The output has ended: what the alternate screen shows stays below the
    // main screen, and the cursor goes to the end of the last row shown, so
    // that nothing shown is written over.
    void Finish();

    // The rows that show: up to the last one written or the cursor's.
    size_t GetRowCount() const;
    const CRow& GetRow(size_t row) const { return m_rows[row]; }
    size_t GetCursorRow() const { return m_nRow; }
    bool IsBlank() const;
    // Every cell held, the main screen's too while the alternate one shows.
    template <typename F> bool AllCells(F f) const
    {
        for (const auto* rows : { &m_rows, &m_mainRows })
            for (const CRow& row : *rows)
                for (const CCell& cell : row)
                    if (!f(cell))
                        return false;
        return true;
    }

private:
    CRow& Row();
    void EnsureRows(size_t count);
    void Scroll(size_t top, size_t bottom, bool bUp, bool bFinal);
    void ShiftLines(size_t n, bool bUp);
    bool InRegion() const { return m_nRow >= m_nTop && m_nRow <= m_nBottom; }
    void PieceOff();
    void GoToEnd();

    IFinal& m_final;
    std::vector<CRow> m_rows; // never empty; rows past the end are blank
    size_t m_nRow = 0;
    size_t m_nCol = 0;
    size_t m_nTop = 0;
    size_t m_nBottom = kRows - 1;
    size_t m_nSavedRow = 0;
    size_t m_nSavedCol = 0;
    bool m_bAlternate = false;
    std::vector<CRow> m_mainRows; // the main screen while the alternate one shows
    size_t m_nMainRow = 0;
    size_t m_nMainCol = 0;
};
