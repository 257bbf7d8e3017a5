#include "screen/VtParser.h"

namespace {

constexpr char32_t kEsc = 0x1B;
constexpr char32_t kBel = 0x07;
constexpr char32_t kCan = 0x18;
constexpr char32_t kSub = 0x1A;
constexpr char32_t kDel = 0x7F;

bool IsC0(char32_t c)
{
    return c < 0x20;
}

// The C1 controls, U+0080-U+009F, are never shown. Any other character at
// or above a blank is text.
bool IsText(char32_t c)
{
    return c >= 0x20 && c != kDel && (c < 0x80 || c >= 0xA0);
}

} // namespace

void CVtParser::Enter(State state)
{
    m_state = state;
    m_nLength = 0;
    if (state == csiEntry) {
        m_bPrivate = false;
        m_params.count = 0;
        m_params.marker = 0;
    }
}

void CVtParser::Feed(const char32_t* p, size_t n, IHandler& handler)
{
    size_t i = 0;
    while (i < n) {
        if (m_state == ground) {
            // The common case: a run of text goes over in one call.
            size_t start = i;
            while (i < n && IsText(p[i]))
                ++i;
            if (i > start)
                handler.Print(p + start, i - start);
            if (i == n)
                break;
        }
        Step(p[i++], handler);
    }
}

void CVtParser::Step(char32_t c, IHandler& handler)
{
    // From anywhere.
    if (c == kEsc) {
        Enter(escape);
        return;
    }
    if (c == kCan || c == kSub) {
        Enter(ground);
        return;
    }
    if (m_state != ground && ++m_nLength > kMaxSequence) {
        Enter(ground); // too long to be a sequence: what follows shows
        return;
    }
    bool inString = m_state == oscString || m_state == otherString;
    if (IsC0(c)) {
        if (inString) {
            if (c == kBel && m_state == oscString)
                Enter(ground); // xterm's end of an OSC string
        } else {
            handler.Execute(c);
        }
        return;
    }
    if (c == kDel || inString)
        return;
    if (c >= 0x80) {
        // No sequence holds anything but ASCII: this one is malformed.
        if (m_state == escape || m_state == escapeIntermediate)
            Enter(ground);
        else if (m_state != ground)
            m_state = csiIgnore;
        if (m_state == ground && IsText(c))
            handler.Print(&c, 1);
        return;
    }
    switch (m_state) {
    case ground:
        break; // not reached: text goes through Feed
    case escape:
        if (c == '[')
            Enter(csiEntry);
        else if (c == ']')
            Enter(oscString);
        else if (c == 'P' || c == 'X' || c == '^' || c == '_')
            Enter(otherString);
        else if (c < 0x30)
            m_state = escapeIntermediate;
        else {
            handler.EscDispatch(c);
            Enter(ground);
        }
        break;
    case escapeIntermediate:
        if (c >= 0x30)
            Enter(ground);
        break;
    case csiEntry:
    case csiParam:
        if ((c >= '0' && c <= '9') || c == ';' || c == ':') {
            Param(c);
            m_state = csiParam;
        } else if (c >= 0x3C && c <= 0x3F) {
            if (m_state == csiEntry) {
                m_params.marker = c;
                m_state = csiParam;
            } else {
                m_state = csiIgnore;
            }
        } else if (c < 0x30) {
            m_bPrivate = true;
            m_state = csiIntermediate;
        } else {
            if (!m_bPrivate)
                handler.CsiDispatch(m_params, c);
            Enter(ground);
        }
        break;
    case csiIntermediate:
        if (c >= 0x40)
            Enter(ground); // dispatched as private: swallowed
        else if (c >= 0x30)
            m_state = csiIgnore;
        break;
    case csiIgnore:
        if (c >= 0x40)
            Enter(ground);
        break;
    case oscString:
    case otherString:
        break;
    }
}

// A digit adds to the current number; ';' and ':' begin the next one, ':'
// as a subparameter. Numbers past kMaxParams are dropped; values stop
// growing at a bound no sequence needs.
void CVtParser::Param(char32_t c)
{
    Params& ps = m_params;
    if (ps.count == 0) {
        ps.count = 1;
        ps.value[0] = -1;
        ps.sub[0] = false;
        m_bOverflow = false;
    }
    if (c == ';' || c == ':') {
        if (ps.count == kMaxParams) {
            m_bOverflow = true;
            return;
        }
        ps.value[ps.count] = -1;
        ps.sub[ps.count] = c == ':';
        ++ps.count;
        return;
    }
    if (m_bOverflow)
        return;
    int& v = ps.value[ps.count - 1];
    v = v < 0 ? 0 : v;
    if (v < 100000)
        v = v * 10 + static_cast<int>(c - '0');
}
