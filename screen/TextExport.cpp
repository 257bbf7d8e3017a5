#include "screen/TextExport.h"

namespace {

// Pieces in which the store is read.
constexpr size_t kReadPiece = 1024 * 1024;

// Stored text to plain UTF-8 with CR LF line ends.
class CPlainText : public stored::IVisitor {
public:
    std::string text;

    void Text(const char* p, size_t n) override { text.append(p, n); }
    void Colour(COLORREF) override {}
    void LineEnd() override { text += "\r\n"; }
};

// Whether text is in the ANSI code page exactly (no best fit).
bool FitsAnsi(const std::wstring& text)
{
    BOOL bDefault = FALSE;
    return text.empty() || (::WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, text.data(), static_cast<int>(text.size()),
                                                  nullptr, 0, nullptr, &bDefault) > 0 && !bDefault);
}

std::string ToAnsi(const std::string& utf8)
{
    std::string out;
    stored::AppendAnsi(out, utf8.data(), utf8.size());
    return out;
}

} // namespace

CTextExport::CTextExport(CScreenModel& model, const std::wstring& typed)
    : m_store(model.GetStore()), m_nStart(m_store->GetStart()), m_nEnd(m_store->GetSize()),
      m_strLine(model.GetScreenText()), m_encoding(model.FitsAnsi() && FitsAnsi(typed) ? ansi : utf8)
{
    for (size_t i = 0; i < typed.size();)
        stored::AppendUtf8(m_strLine, stored::NextChar(typed.data(), typed.size(), &i));
}

bool CTextExport::ReadUtf8(const Sink& sink) const
{
    // Bytes lost before the snapshot, or since: said once, at the top.
    uint64_t start = std::max(m_nStart, m_store->GetStart());
    if (start > 0) {
        std::string note = "[" + std::to_string(m_store->GetLostBytes()) +
            " bytes at the beginning of the output could not be kept: the temporary folder could not be written.]\r\n";
        if (!sink(note))
            return false;
    }
    CPlainText plain;
    std::string piece;
    for (uint64_t at = start; at < m_nEnd;) {
        size_t n = static_cast<size_t>(std::min<uint64_t>(kReadPiece, m_nEnd - at));
        piece.clear();
        if (!m_store->Read(at, n, piece) || piece.size() != n)
            return false;
        size_t taken = stored::Walk(piece.data(), piece.size(), plain, at + n == m_nEnd);
        if (taken == 0)
            return false;
        at += taken;
        if (!plain.text.empty() && !sink(plain.text))
            return false;
        plain.text.clear();
    }
    stored::Walk(m_strLine.data(), m_strLine.size(), plain, true);
    return plain.text.empty() || sink(plain.text);
}

bool CTextExport::Write(const Sink& sink) const
{
    if (m_encoding == utf8)
        return sink("\xEF\xBB\xBF") && ReadUtf8(sink);
    return ReadUtf8([&](const std::string& piece) { return sink(ToAnsi(piece)); });
}
