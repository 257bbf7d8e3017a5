#include "screen/ScreenModel.h"

#include <algorithm>

namespace {

constexpr COLORREF kDefault = stored::kDefaultColour;

// The console's colours (the Campbell scheme of today's Windows console).
// The pane has a light background, so white and bright white, which
// programs mean as "the normal text", show in the pane's text colour.
const COLORREF kPalette[16] = {
    RGB(12, 12, 12),   RGB(197, 15, 31),  RGB(19, 161, 14),  RGB(193, 156, 0),
    RGB(0, 55, 218),   RGB(136, 23, 152), RGB(58, 150, 221), kDefault,
    RGB(118, 118, 118), RGB(231, 72, 86), RGB(22, 198, 12),  RGB(249, 241, 165),
    RGB(59, 120, 255), RGB(180, 0, 158),  RGB(97, 214, 214), kDefault,
};

int Byte(int v)
{
    return std::min(255, std::max(0, v));
}

// Colour n of the 256: the 16, a 6 x 6 x 6 cube, then 24 greys.
COLORREF Colour256(int n)
{
    if (n < 16)
        return kPalette[n];
    if (n < 232) {
        n -= 16;
        auto level = [](int i) { return i == 0 ? 0 : 55 + 40 * i; };
        return RGB(level(n / 36), level(n / 6 % 6), level(n % 6));
    }
    int grey = 8 + 10 * (n - 232);
    return RGB(grey, grey, grey);
}

// The colour of an extended colour (38 or 48) at index i, in the
// semicolon form (38;5;n, 38;2;r;g;b) or the colon form (38:5:n,
// 38:2:r:g:b, 38:2:space:r:g:b). Returns the index of its last number.
int ExtendedColour(const CVtParser::Params& ps, int i, COLORREF* pColour)
{
    auto at = [&](int k) { return ps.Get(k, 0); };
    int last = i;
    int mode = -1;
    std::vector<int> args;
    if (i + 1 < ps.count && ps.sub[i + 1]) {
        for (int k = i + 1; k < ps.count && ps.sub[k]; ++k)
            last = k;
        mode = at(i + 1);
        for (int k = i + 2; k <= last; ++k)
            args.push_back(at(k));
        if (mode == 2 && args.size() >= 4)
            args.erase(args.begin()); // the colour space
    } else {
        mode = at(i + 1);
        int count = mode == 5 ? 1 : mode == 2 ? 3 : 0;
        last = std::min(ps.count - 1, i + 1 + count);
        for (int k = i + 2; k <= last; ++k)
            args.push_back(at(k));
    }
    if (mode == 5 && args.size() >= 1 && args[0] < 256)
        *pColour = Colour256(args[0]);
    else if (mode == 2 && args.size() >= 3)
        *pColour = RGB(Byte(args[0]), Byte(args[1]), Byte(args[2]));
    return last;
}

} // namespace

void CScreenModel::Reset()
{
    m_store = std::make_shared<CTextStore>();
    m_screen.Reset();
    m_parser.Reset();
    m_decoder.SetCodePage(m_decoder.GetCodePage()); // nothing held back
    m_nBasic = -1;
    m_bBright = false;
    m_crExplicit = kDefault;
    UpdateColour();
    m_saved = { -1, false, kDefault };
    m_bFinalFits = true;
    ++m_nVersion;
}

void CScreenModel::Write(const char* p, size_t n)
{
    m_decoded.clear();
    m_decoder.Decode(p, n, m_decoded);
    m_parser.Feed(m_decoded.data(), m_decoded.size(), *this);
}

void CScreenModel::Finish()
{
    m_decoded.clear();
    m_decoder.Finish(m_decoded);
    m_parser.Feed(m_decoded.data(), m_decoded.size(), *this);
    m_parser.Reset();
    m_screen.Finish();
    m_nBasic = -1;
    m_bBright = false;
    m_crExplicit = kDefault;
    UpdateColour();
    ++m_nVersion;
}

void CScreenModel::Echo(const std::wstring& text)
{
    for (size_t i = 0; i < text.size();) {
        char32_t c = stored::NextChar(text.data(), text.size(), &i);
        if (c == U'\n')
            m_screen.LineFeed();
        else if (c >= 0x20 || c == U'\t')
            m_screen.Put(c, m_crText);
    }
    ++m_nVersion;
}

void CScreenModel::EchoKey(char32_t c)
{
    if (c == U'\r')
        m_screen.LineFeed();
    else if (c == U'\b')
        m_screen.Back(true);
    else if (c >= 0x20 || c == U'\t')
        m_screen.Put(c, m_crText);
    ++m_nVersion;
}

void CScreenModel::Print(const char32_t* p, size_t n)
{
    m_screen.Print(p, n, m_crText);
    ++m_nVersion;
}

void CScreenModel::Execute(char32_t c)
{
    switch (c) {
    case U'\n':
        m_screen.LineFeed();
        break;
    case U'\r':
        m_screen.CarriageReturn();
        break;
    case U'\b':
        m_screen.Back(false);
        break;
    case U'\t':
        m_screen.Put(c, m_crText);
        break;
    default:
        return; // BEL and the other controls show nothing
    }
    ++m_nVersion;
}

// The first nCells of a row become final: a unit of the store that begins
// and ends in the default colour.
void CScreenModel::Final(const CLiveScreen::CRow& row, size_t nCells, bool bLineEnd)
{
    std::string& unit = m_unit; // reused: an allocation per line would cost more than the line
    unit.resize(nCells + 1);
    size_t at = 0;
    COLORREF colour = kDefault;
    for (size_t i = 0; i < nCells; ++i) {
        const CCell& cell = row[i];
        if (cell.ch < 0x80 && cell.colour == colour) {
            unit[at++] = static_cast<char>(cell.ch); // the common case
            continue;
        }
        unit.resize(at);
        if (cell.colour != colour)
            stored::AppendColour(unit, colour = cell.colour);
        stored::AppendUtf8(unit, cell.ch);
        if (cell.ch >= 0x80 && m_bFinalFits)
            m_bFinalFits = Fits(cell.ch);
        at = unit.size();
        unit.resize(at + (nCells - i) + 1);
    }
    unit.resize(at);
    if (colour != kDefault)
        stored::AppendColour(unit, kDefault);
    if (bLineEnd)
        unit += '\n';
    m_store->Append(unit);
}

std::string CScreenModel::GetRowText(size_t nRow, size_t nFrom) const
{
    const CLiveScreen::CRow& row = m_screen.GetRow(nRow);
    std::string text;
    COLORREF colour = kDefault;
    for (size_t i = nFrom; i < row.size(); ++i) {
        const CCell& cell = row[i];
        if (cell.colour != colour)
            stored::AppendColour(text, colour = cell.colour);
        stored::AppendUtf8(text, cell.ch);
    }
    if (colour != kDefault)
        stored::AppendColour(text, kDefault);
    return text;
}

std::string CScreenModel::GetScreenText() const
{
    std::string text;
    for (size_t i = 0, n = m_screen.GetRowCount(); i < n; ++i)
        text += GetRowText(i) + (i + 1 < n ? "\n" : "");
    return text;
}

bool CScreenModel::FitsAnsi()
{
    return m_bFinalFits && m_screen.AllCells([this](const CCell& cell) { return cell.ch < 0x80 || Fits(cell.ch); });
}

// Whether c is a character of the ANSI code page, there and back exactly
// (no best fit).
bool CScreenModel::Fits(char32_t c)
{
    if (c < 0x80)
        return true;
    if (c > 0xFFFF)
        return false;
    if (m_fits.empty())
        m_fits.assign(0x10000, 0);
    unsigned char& known = m_fits[c];
    if (known == 0) {
        wchar_t wide = static_cast<wchar_t>(c), back = 0;
        char bytes[8];
        BOOL bDefault = FALSE;
        int n = ::WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, &wide, 1, bytes, sizeof bytes, nullptr, &bDefault);
        bool fits = n > 0 && !bDefault && ::MultiByteToWideChar(CP_ACP, 0, bytes, n, &back, 1) == 1 && back == wide;
        known = fits ? 1 : 2;
    }
    return known == 1;
}

void CScreenModel::CsiDispatch(const CVtParser::Params& ps, char32_t final)
{
    if (ps.marker != 0) {
        if (ps.marker == U'?' && (final == U'h' || final == U'l'))
            PrivateMode(ps, final == U'h');
        return; // every other private sequence is swallowed
    }
    // A count: at least 1, and never more than a screen's worth of moving.
    auto count = [&](int i) { return static_cast<size_t>(std::min(std::max(1, ps.Get(i, 1)), 0x10000)); };
    switch (final) {
    case U'm':
        Sgr(ps);
        return;
    case U'K':
        m_screen.EraseInLine(ps.Get(0, 0));
        break;
    case U'J':
        m_screen.EraseInDisplay(ps.Get(0, 0));
        break;
    case U'A':
        m_screen.MoveUp(count(0));
        break;
    case U'B':
        m_screen.MoveDown(count(0));
        break;
    case U'C':
        m_screen.MoveRight(count(0));
        break;
    case U'D':
        m_screen.MoveLeft(count(0));
        break;
    case U'E':
        m_screen.MoveDown(count(0));
        m_screen.CarriageReturn();
        break;
    case U'F':
        m_screen.MoveUp(count(0));
        m_screen.CarriageReturn();
        break;
    case U'G':
    case U'`':
        m_screen.SetColumn(count(0) - 1);
        break;
    case U'd':
        m_screen.SetRow(count(0) - 1);
        break;
    case U'H':
    case U'f':
        m_screen.SetRow(count(0) - 1);
        m_screen.SetColumn(count(1) - 1);
        break;
    case U'@':
        m_screen.InsertChars(count(0));
        break;
    case U'P':
        m_screen.DeleteChars(count(0));
        break;
    case U'X':
        m_screen.EraseChars(count(0));
        break;
    case U'L':
        m_screen.InsertLines(count(0));
        break;
    case U'M':
        m_screen.DeleteLines(count(0));
        break;
    case U'r':
        m_screen.SetRegion(count(0) - 1, static_cast<size_t>(ps.Get(1, CLiveScreen::kRows)) - 1);
        break;
    case U's':
        SaveCursor();
        break;
    case U'u':
        RestoreCursor();
        break;
    default:
        return; // every other sequence is swallowed
    }
    ++m_nVersion;
}

void CScreenModel::EscDispatch(char32_t final)
{
    switch (final) {
    case U'7':
        SaveCursor();
        break;
    case U'8':
        RestoreCursor();
        break;
    case U'M':
        m_screen.ReverseIndex();
        break;
    default:
        return; // every other escape sequence is swallowed
    }
    ++m_nVersion;
}

// The alternate screen: 1049 (with the cursor saved), 1047 and 47.
void CScreenModel::PrivateMode(const CVtParser::Params& ps, bool bSet)
{
    for (int i = 0; i < ps.count; ++i) {
        int mode = ps.Get(i, 0);
        if (mode != 1049 && mode != 1047 && mode != 47)
            continue;
        if (mode == 1049 && bSet)
            SaveCursor();
        m_screen.SetAlternate(bSet);
        if (mode == 1049 && !bSet)
            RestoreCursor();
        ++m_nVersion;
    }
}

void CScreenModel::SaveCursor()
{
    m_screen.SaveCursor();
    m_saved = { m_nBasic, m_bBright, m_crExplicit };
}

void CScreenModel::RestoreCursor()
{
    m_screen.RestoreCursor();
    m_nBasic = m_saved.nBasic;
    m_bBright = m_saved.bBright;
    m_crExplicit = m_saved.crExplicit;
    UpdateColour();
}

void CScreenModel::Sgr(const CVtParser::Params& ps)
{
    for (int i = 0; i < std::max(1, ps.count); ++i) {
        if (i < ps.count && ps.sub[i])
            continue; // a subparameter of something not shown
        int v = ps.Get(i, 0);
        if (v == 0) {
            m_nBasic = -1;
            m_bBright = false;
            m_crExplicit = kDefault;
        } else if (v == 1) {
            m_bBright = true;
        } else if (v == 22) {
            m_bBright = false;
        } else if (v >= 30 && v <= 37) {
            m_nBasic = v - 30;
        } else if (v == 39) {
            m_nBasic = -1;
            m_crExplicit = kDefault;
        } else if (v >= 90 && v <= 97) {
            m_nBasic = -1;
            m_crExplicit = kPalette[v - 90 + 8];
        } else if (v == 38 || v == 48) {
            COLORREF colour = m_crExplicit;
            i = ExtendedColour(ps, i, &colour);
            if (v == 38) {
                m_nBasic = -1;
                m_crExplicit = colour;
            }
        }
    }
    UpdateColour();
}

void CScreenModel::UpdateColour()
{
    m_crText = m_nBasic >= 0 ? kPalette[m_nBasic + (m_bBright ? 8 : 0)] : m_crExplicit;
}
