// CScreenModel: a run's output as a Windows console shows it; the one record
// behind the pane, Save and Copy.
//
// The child's bytes are decoded to Unicode (COutputDecoder), parsed
// (CVtParser) and carried out as a console with processed output and
// virtual-terminal processing carries them out, on the current line: CR
// goes back to its start and what follows overwrites, CR LF and LF end it,
// BS steps back one character (never past the start), TAB stays a TAB, BEL
// and the other controls show nothing. SGR sets the colour of what follows
// (reset, bright and normal, the 8 + 8 colours, 256 colours and RGB; the
// background and reverse are dropped); erase in line and the cursor moves
// left, right and to a column act on the current line; every other
// sequence is swallowed.
//
// Lines before the current one are final: each goes, once, into the run's
// CTextStore, in the stored form (StoredText.h). Only the current line
// changes. A line that grows past twice kPieceChars without ending is kept
// in pieces: its older part becomes final, and CR can then go back only to
// the start of what is left.
//
// What the user typed and sent, and the end line, come in through Echo in
// order with the output, shown as they are.
//
// User-interface thread only. The store may be read elsewhere as
// CTextStore allows; a new run gets a new store, so a reader of the old one
// is never disturbed.
#pragma once

#include "screen/OutputDecoder.h"
#include "screen/StoredText.h"
#include "screen/TextStore.h"
#include "screen/VtParser.h"

#include <memory>
#include <vector>

class CScreenModel : private CVtParser::IHandler {
public:
    static constexpr size_t kPieceChars = 16 * 1024;
    // Cursor moves go no further right than this.
    static constexpr size_t kMaxColumn = 4096;

    struct CCell {
        char32_t ch;
        COLORREF colour; // stored::kDefaultColour or a colour
    };

    CScreenModel() { Reset(); }

    // A new run: an empty record. Whoever holds the old store keeps it.
    void Reset();
    void SetCodePage(COutputDecoder::CodePage codePage) { m_decoder.SetCodePage(codePage); }
    COutputDecoder::CodePage GetCodePage() const { return m_decoder.GetCodePage(); }

    // The child's bytes.
    void Write(const char* p, size_t n);
    // The output has ended: a character left open goes out as U+FFFD, a
    // sequence left open is dropped, and the colour is the default again.
    void Finish();
    // Text shown as it is, at the cursor, CR LF or LF ending the line: what
    // the user typed and sent, and the end line.
    void Echo(const std::wstring& text);
    // A key echoed when each key is sent at once (a Unicode code point):
    // Enter ends the line, Backspace takes back the character before the
    // cursor.
    void EchoKey(char32_t c);

    const std::shared_ptr<CTextStore>& GetStore() const { return m_store; }
    const std::vector<CCell>& GetLine() const { return m_line; }
    // Grows with every change to the final lines or the current line.
    uint64_t GetVersion() const { return m_nVersion; }
    // Nothing written or echoed since the last Reset.
    bool IsEmpty() const { return m_store->GetSize() == 0 && m_line.empty(); }
    // True while every character of the run so far is one the ANSI code page
    // holds exactly.
    bool FitsAnsi();
    // The current line from cell nFrom on, in the stored form, without a
    // line end.
    std::string GetLineText(size_t nFrom = 0) const;
    // The child's code page, for what is typed to it: text in that code page
    // as a console sends its input (best fit where it lacks a character).
    std::string EncodeInput(const std::wstring& text) const { return m_decoder.Encode(text); }

private:
    void Print(const char32_t* p, size_t n) override;
    void Execute(char32_t c) override;
    void CsiDispatch(const CVtParser::Params& params, char32_t final) override;

    void Put(char32_t c);
    void EndLine();
    void Commit(size_t nCells, bool bLineEnd);
    void EraseInLine(int mode);
    void MoveTo(size_t column);
    void Sgr(const CVtParser::Params& params);
    void UpdateColour();
    bool Fits(char32_t c);

    COutputDecoder m_decoder;
    CVtParser m_parser;
    std::u32string m_decoded; // reused for each write
    std::string m_unit;       // reused for each line made final
    std::shared_ptr<CTextStore> m_store;
    std::vector<CCell> m_line;
    size_t m_nCursor = 0;
    uint64_t m_nVersion = 0;
    bool m_bFinalFits = true;
    std::vector<unsigned char> m_fits; // per UTF-16 character: 0 not known yet, 1 fits, 2 does not

    // The colour: a basic colour (0-7, brightened by SGR 1), or else an
    // explicit one (or the default).
    int m_nBasic = -1;
    bool m_bBright = false;
    COLORREF m_crExplicit = stored::kDefaultColour;
    COLORREF m_crText = stored::kDefaultColour;
};
