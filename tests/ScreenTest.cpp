// The screen model as one table: the child's bytes in, the lines a console
// would show out (colours written {rrggbb}, the default {}), each row fed
// whole and again a byte per read, so that every sequence and character is
// also split at every byte.
#include "screen/TextExport.h"

#include "TestSupport.h"

#include <gtest/gtest.h>

namespace {

class CNotation : public stored::IVisitor {
public:
    std::string text;
    void Text(const char* p, size_t n) override { text.append(p, n); }
    void Colour(COLORREF c) override
    {
        char buf[16] = "{}";
        if (c != stored::kDefaultColour)
            std::snprintf(buf, sizeof buf, "{%02x%02x%02x}", GetRValue(c), GetGValue(c), GetBValue(c));
        text += buf;
    }
    void LineEnd() override { text += "\n"; }
};

// The final lines, then the screen.
std::string Show(CScreenModel& model)
{
    CNotation out;
    std::string stored;
    model.GetStore()->Read(0, static_cast<size_t>(model.GetStore()->GetSize()), stored);
    stored::Walk(stored.data(), stored.size(), out, true);
    std::string line = model.GetScreenText();
    stored::Walk(line.data(), line.size(), out, true);
    return out.text;
}

struct Row {
    const char* what;
    std::string in;
    std::string out;
    COutputDecoder::CodePage codePage = COutputDecoder::utf8;
};

} // namespace

TEST(ScreenModel, BytesInLinesAndColoursOut)
{
    const std::string osc = "\x1b]" + std::string(5000, 'x') + "y";
    std::string sixty, sixtyMoved; // more lines than the screen has rows, the first row written over
    for (int i = 0; i < 60; ++i) {
        sixty += "L" + std::to_string(i) + "\n";
        sixtyMoved += (i == 11 ? "X" : "L") + std::to_string(i) + "\n";
    }
    const Row rows[] = {
        { "CR overwrites", "abc\rx\n", "xbc\n" },
        { "CR LF and LF end lines", "a\r\nb\nc", "a\nb\nc" },
        { "BS steps back, not past the start", "\bab\b\bc", "cb" },
        { "a spinner", "working |\b/\b-\b\\\bdone\n", "working done\n" },
        { "TAB stays", "a\tb", "a\tb" },
        { "BEL, NUL and DEL show nothing", std::string("x\ay\0z\x7f", 6), "xyz" },
        { "SGR colours and reset", "\x1b[31mr\x1b[0mn", "{c50f1f}r{}n" },
        { "bright, then normal", "\x1b[1;31mr\x1b[22mn", "{e74856}r{c50f1f}n{}" },
        { "bright colours", "\x1b[94mb\x1b[m", "{3b78ff}b{}" },
        { "256 colours: the cube", "\x1b[38;5;208mo", "{ff8700}o{}" },
        { "256 colours: a grey", "\x1b[38;5;244mg", "{808080}g{}" },
        { "RGB", "\x1b[38;2;1;2;3mx", "{010203}x{}" },
        { "RGB, colon form", "\x1b[38:2::1:2:3mx", "{010203}x{}" },
        { "background numbers are not colours", "\x1b[48;5;196;31mx", "{c50f1f}x{}" },
        { "a background of 256 colours is no text colour", "\x1b[48;5;31mx", "x" },
        { "an RGB background is no text colour", "\x1b[48;2;31;32;33mx\x1b[48:2::31:32:33my", "xy" },
        { "reverse, underline, background dropped", "\x1b[7;4;41mx", "x" },
        { "39 is the default", "\x1b[31ma\x1b[39mb", "{c50f1f}a{}b" },
        { "white is the pane's text colour", "\x1b[37mw", "w" },
        { "a colour goes on to the next line", "\x1b[32ma\nb\x1b[0m\n", "{13a10e}a{}\n{13a10e}b{}\n" },
        { "erase to the end", "abcdef\r\x1b[3C\x1b[K", "abc" },
        { "erase to the cursor", "abcdef\x1b[4D\x1b[1K", "   def" },
        { "erase the line; the cursor stays", "abc\x1b[2Kx", "   x" },
        { "progress resolved", "\rprogress 0%\r\x1b[2Kprogress 100%\r\n", "progress 100%\n" },
        { "cursor to a column", "abcdef\x1b[2Gx", "axcdef" },
        { "other CSI swallowed", "a\x1b[?25lb\x1b[5nc\x1b[3Jd\x1b[>1ue", "abcde" },
        { "cursor up redraws a block", "a 0%\nb 0%\n\x1b[2Aa 50%\nb 50%\n\x1b[2Aa 100%\nb 100%\n", "a 100%\nb 100%\n" },
        { "cursor down, next and previous line", "1\n2\n3\x1b[2Fx\x1b[1Ey\x1b[Bz", "x\ny\n3z" },
        { "position, and row alone", "abc\ndef\nghi\x1b[1;2HX\x1b[3dY\x1b[2;1fZ", "aXc\nZef\nghY" },
        { "save and restore", "ab\x1b" "7\ncd\x1b" "8X\x1b[s\nef\x1b[uY", "abXY\nef" },
        { "reverse index, scrolling down at the top", "a\nb\x1bMX\x1b[Hx\x1bMy", " y\nxX\nb" },
        { "erase below", "a\nbc\nd\x1b[1;2H\x1b[J", "a" },
        { "erase above", "ab\ncd\x1b[2;1H\x1b[1J", "\n d" },
        { "erase the screen", "ab\ncd\x1b[2J\x1b[Hx", "x" },
        { "insert characters", "abcdef\x1b[3G\x1b[2@", "ab  cdef" },
        { "delete and erase characters", "abcdef\x1b[3G\x1b[2P\x1b[X", "ab f" },
        { "insert and delete lines", "1\n2\n3\x1b[2;1H\x1b[L\x1b[3;1H\x1b[2M", "1\n\n" },
        { "a scrolling region under a status line", "\x1b[1;2ra\nb\nc\x1b[3;1Hstatus\x1b[2;1H\nd",
          "a\nb\nc\nd\nstatus" },
        { "a region below the top drops what leaves it", "x\n\x1b[2;3r\x1b[2;1Ha\nb\nc", "x\nb\nc" },
        { "moves stay on the screen, above the final lines", sixty + "\x1b[99AX\x1b[99BY", sixtyMoved + " Y" },
        { "the alternate screen is dropped", "before\n\x1b[?1049hfull\nscreen\x1b[?1049lafter\x1b[?47hxyz\x1b[?47l!",
          "before\nafter!" },
        { "OSC ended by BEL or ST", "a\x1b]0;title\x07" "b\x1b]8;;http://x\x1b\\c", "abc" },
        { "two-character escapes", "a\x1b" "7b\x1b(Bc", "abc" },
        { "malformed CSI swallowed", "a\x1b[1;2$zb\x1b[3<4mc", "abc" },
        { "CAN ends a sequence", "a\x1b[3\x18" "b", "ab" },
        { "C0 inside a sequence is carried out", "ab\x1b[\r31mc", "{c50f1f}c{}b" },
        { "an over-long string is dropped", osc, std::string(903, 'x') + "y" },
        { "UTF-8 of 2, 3 and 4 bytes", "\xc3\xa9\xe6\x97\xa5\xf0\x9f\x98\x80", "\xc3\xa9\xe6\x97\xa5\xf0\x9f\x98\x80" },
        { "UTF-8 from U+F000 to U+FFFF", "\xef\x80\x80\xef\xbc\xa1\xef\xbf\xbd\xef\xbf\xbf", "\xef\x80\x80\xef\xbc\xa1\xef\xbf\xbd\xef\xbf\xbf" },
        { "bad UTF-8 is U+FFFD", "\xff\xc3(", "\xef\xbf\xbd\xef\xbf\xbd(" },
        { "a long line is kept whole", "a\n" + std::string(40000, 'x') + "\n", "a\n" + std::string(40000, 'x') + "\n" },
        { "a long line, overwritten after its kept part",
          std::string(40000, 'x') + "\r" + std::string(4, 'y') + "\n", std::string(16384, 'x') + "yyyy" + std::string(23612, 'x') + "\n" },
    };
    for (const Row& row : rows) {
        for (bool bSplit : { false, true }) {
            SCOPED_TRACE(std::string(row.what) + (bSplit ? ", a byte per read" : ""));
            CScreenModel model;
            model.SetCodePage(row.codePage);
            if (bSplit)
                for (char c : row.in)
                    model.Write(&c, 1);
            else
                model.Write(row.in.data(), row.in.size());
            EXPECT_EQ(row.out, Show(model));
        }
    }
}

// The end of the output drops a sequence or character left open; echoed
// text (the user's, the end line) goes in order with the output and is not
// interpreted.
TEST(ScreenModel, TheEndDropsWhatIsOpenAndEchoesGoInOrder)
{
    CScreenModel model;
    model.SetCodePage(COutputDecoder::utf8);
    auto write = [&](const std::string& s) { model.Write(s.data(), s.size()); };
    write("Name? ");
    model.Echo(L"b\u00f6b\x1b[31m\r\n");
    write("hi bob\r\na\x1b[31");
    model.Finish();
    model.Echo(L"\n--End--\n");
    EXPECT_EQ("Name? b\xc3\xb6" "b[31m\nhi bob\na\n--End--\n", Show(model));

    model.Reset();
    write("1\n2\n3\x1b[2A\x1b[?1049hfull");
    model.Finish();
    model.Echo(L"\n--End--\n");
    EXPECT_EQ("1\n2\n3\nfull\n--End--\n", Show(model)) << "the end goes below all that shows, the alternate screen too";

    model.Reset();
    write("caf\xc3"); // cut inside a character
    model.Finish();
    EXPECT_EQ("caf\xef\xbf\xbd", Show(model));
}

// Save writes the ANSI code page when every character fits it, UTF-8 with a
// byte order mark otherwise; CR LF line ends; the screen's rows, then the
// line being typed, each character whole (a lone half of a pair too).
TEST(ScreenModel, ExportPicksItsEncodingAndEndsLinesWithCrLf)
{
    if (::GetACP() != 1252 || ::GetOEMCP() != 437)
        GTEST_SKIP() << "the expected bytes are for code pages 1252 and 437";
    struct Case {
        COutputDecoder::CodePage codePage;
        std::string in, saved;
        std::wstring typed = L"";
    };
    const Case cases[] = {
        { COutputDecoder::ansi, "caf\xe9 \x80\r\nx", "caf\xe9 \x80\r\nx" }, // as written (more: EndToEnd.EachCodePage...)
        { COutputDecoder::utf8, "\x1b[31mplain\x1b[0m\r\n", "plain\r\n" },
        // A character cut by the export's 1 MiB read pieces.
        { COutputDecoder::utf8, std::string((1 << 20) - 1, 'x') + "\xef\xbc\xa1\n",
          "\xEF\xBB\xBF" + std::string((1 << 20) - 1, 'x') + "\xef\xbc\xa1\r\n" },
        { COutputDecoder::ansi, "a\n", "\xEF\xBB\xBF" "a\r\n\xF0\x9F\x98\x80\xED\xA0\xBDx", L"\xD83D\xDE00\xD83Dx" },
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.in.substr(0, 40));
        CScreenModel model;
        model.SetCodePage(c.codePage);
        model.Write(c.in.data(), c.in.size());
        std::string saved;
        EXPECT_TRUE(CTextExport(model, c.typed).Write([&](const std::string& piece) { return saved += piece, true; }));
        EXPECT_EQ(c.saved, saved);
    }
}
