// CScreenModel: a run's output as a Windows console shows it; the one record
// behind the pane, Save and Copy.
//
// The child's bytes are decoded to Unicode (COutputDecoder), parsed
// (CVtParser) and carried out as a console with processed output and
// virtual-terminal processing carries them out, on a live screen of the
// newest lines (CLiveScreen): CR goes back to the line's start and what
// follows overwrites, CR LF and LF go to the next line, BS steps back one
// character (never past the start), TAB stays a TAB, BEL and the other
// controls show nothing. SGR sets the colour of what follows (reset, bright
// and normal, the 8 + 8 colours, 256 colours and RGB; the background and
// reverse are dropped). On the screen: the cursor moves (CSI A B C D E F G
// H f d, ESC 7 and 8, CSI s and u, ESC M), erase in line and display (CSI K
// and J), insert and delete characters and lines (CSI @ P L M), erase
// characters (CSI X), a scrolling region (CSI r) and the alternate screen
// (CSI ? 1049, 1047 and 47, h and l). Every other sequence is swallowed.
//
// Lines that leave the screen's top are final: each goes, once, into the
// run's CTextStore, in the stored form (StoredText.h).
//
// What the user typed and sent, and the end line, come in through Echo in
// order with the output, shown as they are, at the cursor.
//
// User-interface thread only. The store may be read elsewhere as
// CTextStore allows; a new run gets a new store, so a reader of the old one
// is never disturbed.
#pragma once

#include "screen/LiveScreen.h"
#include "screen/OutputDecoder.h"
#include "screen/StoredText.h"
#include "screen/TextStore.h"
#include "screen/VtParser.h"

#include <memory>
#include <vector>

class CScreenModel : private CVtParser::IHandler, private CLiveScreen::IFinal {
public:
    CScreenModel() : m_screen(*this) { Reset(); }
    CScreenModel(const CScreenModel&) = delete;
    CScreenModel& operator=(const CScreenModel&) = delete;

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
    const CLiveScreen& GetScreen() const { return m_screen; }
    // Grows with every change to the final lines or the screen.
    uint64_t GetVersion() const { return m_nVersion; }
    // Nothing written or echoed since the last Reset.
    bool IsEmpty() const { return m_store->GetSize() == 0 && m_screen.IsBlank(); }
    // True while every character of the run so far is one the ANSI code page
    // holds exactly.
    bool FitsAnsi();
    // A row of the screen from cell nFrom on, in the stored form, without a
    // line end.
    std::string GetRowText(size_t nRow, size_t nFrom = 0) const;
    // The rows of the screen that show, in the stored form, a line end
    // after each but the last.
    std::string GetScreenText() const;
    // The child's code page, for what is typed to it: text in that code page
    // as a console sends its input (best fit where it lacks a character).
    std::string EncodeInput(const std::wstring& text) const { return m_decoder.Encode(text); }

private:
    void Print(const char32_t* p, size_t n) override;
    void Execute(char32_t c) override;
    void CsiDispatch(const CVtParser::Params& params, char32_t final) override;
    void EscDispatch(char32_t final) override;
    void Final(const CLiveScreen::CRow& row, size_t nCells, bool bLineEnd) override;

    void PrivateMode(const CVtParser::Params& params, bool bSet);
    void SaveCursor();
    void RestoreCursor();
    void Sgr(const CVtParser::Params& params);
    void UpdateColour();
    bool Fits(char32_t c);

    COutputDecoder m_decoder;
    CVtParser m_parser;
    std::u32string m_decoded; // reused for each write
    std::string m_unit;       // reused for each line made final
    std::shared_ptr<CTextStore> m_store;
    CLiveScreen m_screen;
    uint64_t m_nVersion = 0;
    bool m_bFinalFits = true;
    std::vector<unsigned char> m_fits; // per UTF-16 character: 0 not known yet, 1 fits, 2 does not

    // The colour: a basic colour (0-7, brightened by SGR 1), or else an
    // explicit one (or the default).
    int m_nBasic = -1;
    bool m_bBright = false;
    COLORREF m_crExplicit = stored::kDefaultColour;
    COLORREF m_crText = stored::kDefaultColour;
    struct CSavedColour {
        int nBasic;
        bool bBright;
        COLORREF crExplicit;
    } m_saved{ -1, false, stored::kDefaultColour }; // with the cursor (ESC 7)
};
