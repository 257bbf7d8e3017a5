#include "console/PaneText.h"

#include "platform/CRichEditCtrl.h"

#include <algorithm>
#include <cstdio>

namespace {

constexpr size_t kPieceBytes = 8 * 1024;
constexpr size_t kPieceLines = 256;

// Puts ch on a line already column characters long, as a console would:
// a TAB as blanks to the next multiple of 8; nothing past nMax.
template <class String>
void PutColumn(String& out, typename String::value_type ch, long& column, long nMax)
{
    if (column >= nMax)
        return;
    long width = ch == '\t' ? std::min(8 - column % 8, nMax - column) : 1;
    out.append(static_cast<size_t>(width), ch == '\t' ? ' ' : ch);
    column += width;
}

// The control's text as Unicode (see AppendWide).
class CWideText : public stored::IVisitor {
public:
    CWideText(std::wstring& out, long nColumn, long nMaxColumn) : m_nColumn(nColumn), m_out(out), m_nMax(nMaxColumn) {}
    void Text(const char* p, size_t n) override
    {
        m_units.clear();
        stored::AppendUtf16(m_units, p, n);
        for (wchar_t c : m_units)
            PutColumn(m_out, c, m_nColumn, m_nMax);
    }
    void Colour(COLORREF) override {}
    void LineEnd() override
    {
        m_out += L"\r\n";
        m_nColumn = 0;
    }
    long m_nColumn;

private:
    std::wstring& m_out;
    std::wstring m_units;
    long m_nMax;
};

} // namespace

void CPaneText::AppendWide(std::wstring& out, const std::string& stored, long* pnColumn, long nMaxColumn)
{
    CWideText text(out, *pnColumn, nMaxColumn);
    stored::Walk(stored.data(), stored.size(), text, true);
    *pnColumn = text.m_nColumn;
}

std::string CPaneText::ReadPiece(const CTextStore& store, uint64_t nFrom, uint64_t nTo)
{
    std::string piece;
    store.Read(nFrom, static_cast<size_t>(std::min<uint64_t>(kPieceBytes, nTo - nFrom)), piece);
    size_t lines = 0;
    for (size_t at = 0; (at = piece.find('\n', at)) != std::string::npos; ++at) {
        if (++lines == kPieceLines) {
            piece.resize(at + 1);
            break;
        }
    }
    return piece;
}

void CPaneText::Begin(long nColumn, long nMaxColumn)
{
    m_text.clear();
    m_colours.clear();
    m_crCurrent = stored::kDefaultColour;
    m_nColumn = nColumn;
    m_nMaxColumn = nMaxColumn;
}

size_t CPaneText::Add(const char* p, size_t n, bool bLast)
{
    return stored::Walk(p, n, *this, bLast);
}

void CPaneText::Text(const char* p, size_t n)
{
    m_ansi.clear();
    stored::AppendAnsi(m_ansi, p, n);
    for (char ch : m_ansi)
        PutColumn(m_text, ch, m_nColumn, m_nMaxColumn);
}

void CPaneText::Colour(COLORREF colour)
{
    if (colour == m_crCurrent)
        return;
    m_crCurrent = colour;
    if (!m_colours.empty() && m_colours.back().first == m_text.size())
        m_colours.back().second = colour;
    else
        m_colours.emplace_back(m_text.size(), colour);
}

void CPaneText::LineEnd()
{
    m_text += "\r\n";
    m_nColumn = 0;
}

// {\rtf1 ...}: the colour table (entry 0 is the pane's own colour), then
// the text, \cfN where a colour begins and \par at each line end.
std::string CPaneText::ToRtf() const
{
    std::vector<COLORREF> table;
    std::string body;
    auto colour = m_colours.begin();
    for (size_t i = 0; i < m_text.size(); ++i) {
        for (; colour != m_colours.end() && colour->first == i; ++colour) {
            size_t index = 0;
            if (colour->second != stored::kDefaultColour) {
                auto it = std::find(table.begin(), table.end(), colour->second);
                index = static_cast<size_t>(it - table.begin()) + 1;
                if (it == table.end())
                    table.push_back(colour->second);
            }
            body += "\\cf" + std::to_string(index) + " ";
        }
        char ch = m_text[i];
        unsigned char b = static_cast<unsigned char>(ch);
        if (ch == '\r') {
            continue;
        } else if (ch == '\n') {
            body += "\\par\n";
        } else if (ch == '\\' || ch == '{' || ch == '}') {
            body += '\\';
            body += ch;
        } else if (b >= 0x80) {
            char hex[8];
            std::snprintf(hex, sizeof hex, "\\'%02x", b);
            body += hex;
        } else {
            body += ch;
        }
    }
    char head[64];
    std::snprintf(head, sizeof head, "{\\rtf1\\ansi\\ansicpg%u\\deff0{\\colortbl;", ::GetACP());
    std::string rtf = head;
    for (COLORREF c : table) {
        char entry[48];
        std::snprintf(entry, sizeof entry, "\\red%d\\green%d\\blue%d;", GetRValue(c), GetGValue(c), GetBValue(c));
        rtf += entry;
    }
    return rtf + "}" + body + "}";
}

long CPaneText::Insert(HWND hWnd, long at, long nReplace) const
{
    CHARRANGE sel{ at, at + nReplace };
    ::SendMessageA(hWnd, EM_EXSETSEL, 0, reinterpret_cast<LPARAM>(&sel));
    if (m_colours.empty()) {
        // The pane's own colour at the insertion point, whatever came before.
        CHARFORMATA cf{};
        cf.cbSize = sizeof cf;
        cf.dwMask = CFM_COLOR;
        cf.dwEffects = CFE_AUTOCOLOR;
        ::SendMessageA(hWnd, EM_SETCHARFORMAT, SCF_SELECTION, reinterpret_cast<LPARAM>(&cf));
        ::SendMessageA(hWnd, EM_REPLACESEL, FALSE, reinterpret_cast<LPARAM>(m_text.c_str()));
    } else {
        CRichEditCtrl::StreamInRtf(hWnd, ToRtf());
    }
    ::SendMessageA(hWnd, EM_EXGETSEL, 0, reinterpret_cast<LPARAM>(&sel));
    return std::max(0L, static_cast<long>(sel.cpMax) - at);
}
