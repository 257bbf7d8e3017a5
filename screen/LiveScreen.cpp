#include "screen/LiveScreen.h"

#include "screen/StoredText.h"

namespace {

const CCell kBlank{ U' ', stored::kDefaultColour };

} // namespace

void CLiveScreen::Reset()
{
    m_rows.assign(1, CRow());
    m_mainRows.clear();
    m_nRow = m_nCol = 0;
    m_nTop = 0;
    m_nBottom = kRows - 1;
    m_nSavedRow = m_nSavedCol = 0;
    m_bAlternate = false;
}

CLiveScreen::CRow& CLiveScreen::Row()
{
    EnsureRows(m_nRow + 1);
    return m_rows[m_nRow];
}

void CLiveScreen::EnsureRows(size_t count)
{
    if (m_rows.size() < count)
        m_rows.resize(count);
}

void CLiveScreen::Print(const char32_t* p, size_t n, COLORREF colour)
{
    // The common case, text added at the end of the line, a run at a time.
    CRow* row = &Row();
    while (n > 0 && m_nCol == row->size()) {
        size_t count = std::min(n, 2 * kPieceChars - 1 - row->size());
        row->resize(row->size() + count);
        CCell* cell = row->data() + m_nCol;
        for (size_t i = 0; i < count; ++i)
            cell[i] = CCell{ p[i], colour };
        m_nCol += count;
        p += count;
        n -= count;
        if (n > 0) {
            Put(*p++, colour), --n; // the cell that makes the line too long to keep whole
            row = &Row();
        }
    }
    for (size_t i = 0; i < n; ++i)
        Put(p[i], colour);
}

void CLiveScreen::Put(char32_t c, COLORREF colour)
{
    CRow& row = Row();
    if (m_nCol < row.size()) {
        row[m_nCol++] = CCell{ c, colour };
        return;
    }
    if (m_nCol > row.size())
        row.resize(m_nCol, kBlank);
    row.push_back(CCell{ c, colour });
    ++m_nCol;
    if (row.size() >= 2 * kPieceChars)
        PieceOff();
}

// A line too long to keep whole: the rows above it and its older part leave
// the screen.
void CLiveScreen::PieceOff()
{
    for (size_t i = 0; i < m_nRow && !m_bAlternate; ++i)
        m_final.Final(m_rows[i], m_rows[i].size(), true);
    m_rows.erase(m_rows.begin(), m_rows.begin() + static_cast<std::ptrdiff_t>(m_nRow));
    m_nSavedRow -= std::min(m_nSavedRow, m_nRow);
    m_nRow = 0;
    m_nTop = 0;
    m_nBottom = kRows - 1;
    CRow& row = m_rows[0];
    if (!m_bAlternate)
        m_final.Final(row, kPieceChars, false);
    row.erase(row.begin(), row.begin() + kPieceChars);
    m_nCol -= kPieceChars;
}

void CLiveScreen::LineFeed()
{
    m_nCol = 0;
    if (m_nRow == m_nBottom)
        Scroll(m_nTop, m_nBottom, true, true);
    else if (m_nRow + 1 < kRows)
        ++m_nRow;
    EnsureRows(m_nRow + 1);
}

// Rows top to bottom move a row up (the top one leaves; final when bFinal
// and it is the screen's top) or down (the bottom one is dropped); a blank
// row comes in at the other end.
void CLiveScreen::Scroll(size_t top, size_t bottom, bool bUp, bool bFinal)
{
    EnsureRows(bottom + 1);
    auto first = m_rows.begin() + static_cast<std::ptrdiff_t>(top);
    auto last = m_rows.begin() + static_cast<std::ptrdiff_t>(bottom) + 1;
    if (bUp) {
        if (bFinal && top == 0 && !m_bAlternate)
            m_final.Final(*first, first->size(), true);
        std::rotate(first, first + 1, last);
        (last - 1)->clear();
    } else {
        std::rotate(first, last - 1, last);
        first->clear();
    }
}

void CLiveScreen::Back(bool bErase)
{
    if (m_nCol == 0)
        return;
    CRow& row = Row();
    if (bErase && m_nCol == row.size())
        row.pop_back();
    --m_nCol;
}

void CLiveScreen::MoveUp(size_t n)
{
    size_t limit = InRegion() ? m_nTop : 0;
    m_nRow = m_nRow >= limit + n ? m_nRow - n : std::min(m_nRow, limit);
}

void CLiveScreen::MoveDown(size_t n)
{
    size_t limit = InRegion() ? m_nBottom : kRows - 1;
    m_nRow = std::max(m_nRow, std::min(limit, m_nRow + std::min(n, kRows)));
    EnsureRows(m_nRow + 1);
}

void CLiveScreen::SetRow(size_t row)
{
    m_nRow = std::min(row, kRows - 1);
    EnsureRows(m_nRow + 1);
}

void CLiveScreen::SaveCursor()
{
    m_nSavedRow = m_nRow;
    m_nSavedCol = m_nCol;
}

void CLiveScreen::RestoreCursor()
{
    m_nRow = m_nSavedRow;
    m_nCol = m_nSavedCol;
    EnsureRows(m_nRow + 1);
}

void CLiveScreen::ReverseIndex()
{
    if (m_nRow == m_nTop)
        Scroll(m_nTop, m_nBottom, false, false);
    else if (m_nRow > 0)
        --m_nRow;
}

// The cursor stays where it is.
void CLiveScreen::EraseInLine(int mode)
{
    CRow& row = Row();
    if (mode == 0) {
        if (m_nCol < row.size())
            row.resize(m_nCol);
    } else if (mode == 1) {
        std::fill(row.begin(), row.begin() + static_cast<std::ptrdiff_t>(std::min(m_nCol + 1, row.size())), kBlank);
    } else if (mode == 2) {
        row.clear();
    }
}

// Erased rows are empty: the rows past the last written do not show.
void CLiveScreen::EraseInDisplay(int mode)
{
    if (mode == 0) {
        EraseInLine(0);
        m_rows.resize(m_nRow + 1);
    } else if (mode == 1) {
        for (size_t i = 0; i < m_nRow; ++i)
            m_rows[i].clear();
        EraseInLine(1);
    } else if (mode == 2) {
        for (CRow& row : m_rows)
            row.clear();
    }
}

void CLiveScreen::InsertChars(size_t n)
{
    CRow& row = Row();
    if (m_nCol < row.size())
        row.insert(row.begin() + static_cast<std::ptrdiff_t>(m_nCol), std::min(n, kMaxColumn), kBlank);
}

void CLiveScreen::DeleteChars(size_t n)
{
    CRow& row = Row();
    if (m_nCol < row.size())
        row.erase(row.begin() + static_cast<std::ptrdiff_t>(m_nCol),
                  row.begin() + static_cast<std::ptrdiff_t>(m_nCol + std::min(n, row.size() - m_nCol)));
}

void CLiveScreen::EraseChars(size_t n)
{
    CRow& row = Row();
    for (size_t i = m_nCol; i < row.size() && i - m_nCol < n; ++i)
        row[i] = kBlank;
}

// The rows from the cursor's to the region's bottom move n rows up (rows
// go) or down (blank rows come in); the cursor goes to the row's start.
void CLiveScreen::ShiftLines(size_t n, bool bUp)
{
    if (!InRegion())
        return;
    for (size_t i = 0; i < std::min(n, m_nBottom - m_nRow + 1); ++i)
        Scroll(m_nRow, m_nBottom, bUp, false);
    m_nCol = 0;
}

void CLiveScreen::SetRegion(size_t top, size_t bottom)
{
    bool bValid = top < bottom && bottom < kRows;
    m_nTop = bValid ? top : 0;
    m_nBottom = bValid ? bottom : kRows - 1;
    m_nRow = m_nCol = 0;
}

void CLiveScreen::SetAlternate(bool bAlternate)
{
    if (bAlternate == m_bAlternate)
        return;
    if (bAlternate) {
        m_mainRows.swap(m_rows);
        m_rows.assign(1, CRow());
        m_nMainRow = m_nRow;
        m_nMainCol = m_nCol;
        m_nRow = m_nCol = 0;
    } else {
        m_rows.swap(m_mainRows);
        m_mainRows.clear();
        m_nRow = m_nMainRow;
        m_nCol = m_nMainCol;
    }
    m_bAlternate = bAlternate;
    m_nTop = 0;
    m_nBottom = kRows - 1;
}

void CLiveScreen::GoToEnd()
{
    m_nRow = GetRowCount() - 1;
    m_nCol = m_rows[m_nRow].size();
}

void CLiveScreen::Finish()
{
    std::vector<CRow> alternate;
    if (m_bAlternate) {
        alternate.assign(m_rows.begin(), m_rows.begin() + static_cast<std::ptrdiff_t>(GetRowCount()));
        SetAlternate(false);
    }
    m_nTop = 0;
    m_nBottom = kRows - 1;
    GoToEnd();
    for (size_t i = 0; i < alternate.size(); ++i) {
        if (i > 0 || !Row().empty())
            LineFeed();
        Row().swap(alternate[i]);
        m_nCol = Row().size();
    }
}

size_t CLiveScreen::GetRowCount() const
{
    size_t last = m_nRow;
    for (size_t i = m_rows.size(); i-- > m_nRow + 1;) {
        if (!m_rows[i].empty()) {
            last = i;
            break;
        }
    }
    return last + 1;
}

bool CLiveScreen::IsBlank() const
{
    return GetRowCount() == 1 && m_rows[0].empty() && m_mainRows.empty();
}
