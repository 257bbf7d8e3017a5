#include "console/ShownScreen.h"

void CShownScreen::Forget()
{
    m_rows.clear();
    m_nChars = 0;
}

long CShownScreen::Absorb(const CTextStore& store, uint64_t end, uint64_t* pnTo)
{
    long nFinal = 0;
    std::string line;
    // The last row shown has no line end after it in the control: it is
    // rewritten instead.
    while (*pnTo < end && m_rows.size() > 1 && m_rows[0].bWhole) {
        const std::string& text = m_rows[0].text;
        line.clear();
        if (!store.Read(*pnTo, text.size() + 1, line) || line.size() != text.size() + 1 || line.back() != '\n' ||
            line.compare(0, text.size(), text) != 0)
            break;
        long chars = m_rows[0].nChars + 2; // with the line end, so far the next row's
        nFinal += chars;
        m_nChars -= chars;
        *pnTo += line.size();
        m_rows.erase(m_rows.begin());
        m_rows[0].nChars -= 2;
    }
    return nFinal;
}

long CShownScreen::Render(const CScreenModel& model, HWND hWnd, long at, bool bInPlace, long nColumn)
{
    const CLiveScreen& screen = model.GetScreen();
    size_t rows = screen.GetRowCount();
    std::vector<CRow> now(rows);
    for (size_t i = 0; i < rows; ++i) {
        size_t size = screen.GetRow(i).size(), max = static_cast<size_t>(m_nMaxColumn);
        size_t from = size > max && !(i == 0 && nColumn > 0) ? size - max : 0;
        now[i] = CRow{ model.GetRowText(i, from), from == 0 && !(i == 0 && nColumn > 0), 0 };
    }
    if (!bInPlace)
        Forget();
    size_t first = 0;
    long nSame = 0;
    for (; first < rows && first < m_rows.size() && m_rows[first].text == now[first].text; ++first)
        nSame += now[first].nChars = m_rows[first].nChars;
    if (first == rows && rows == m_rows.size())
        return nSame; // nothing changed
    // The line end before the first changed row stays where that row was
    // shown before: a selection up to the row's start is left alone.
    bool bKeepBreak = first > 0 && first < rows && first < m_rows.size();
    // All changed rows in one insertion, each row's length on the way.
    m_text.Begin(first == 0 ? nColumn : 0, m_nMaxColumn);
    for (size_t i = first; i < rows; ++i) {
        bool bKept = i == first && bKeepBreak;
        long before = m_text.GetLength() - (bKept ? 2 : 0);
        if (i > 0 && !bKept)
            m_text.Add("\n", 1, true);
        m_text.Add(now[i].text.data(), now[i].text.size(), true);
        now[i].nChars = m_text.GetLength() - before;
    }
    long nKept = nSame + (bKeepBreak ? 2 : 0);
    long inserted = m_text.Insert(hWnd, at + nKept, m_nChars - nKept);
    if (rows > first) // where the control counts otherwise (a double-byte code page)
        now.back().nChars += inserted - m_text.GetLength();
    m_nChars = nKept + inserted;
    m_rows = std::move(now);
    return nKept;
}

void CShownScreen::AppendWide(std::wstring& out, long nColumn) const
{
    for (size_t i = 0; i < m_rows.size(); ++i)
        CPaneText::AppendWide(out, (i > 0 ? "\n" : "") + m_rows[i].text, &nColumn, m_nMaxColumn);
}
