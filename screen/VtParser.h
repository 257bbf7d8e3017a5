// CVtParser: the escape-sequence parser that terminal emulators share, the
// DEC/ANSI state machine (ground, escape, escape intermediate, CSI entry,
// param, intermediate and ignore, and the OSC, DCS, SOS, PM and APC
// strings), fed one character at a time.
//
// Text goes to its handler in runs, C0 controls one by one (also those met
// inside a sequence: a console carries them out and goes on with the
// sequence), and a complete CSI sequence as its parameters and final
// character, a two-character escape sequence as its final character.
// Everything else a sequence holds is swallowed: other escape sequences,
// strings and malformed or unknown sequences end where a console
// ends them and show nothing. ESC starts a new sequence wherever it comes;
// CAN and SUB abandon one. A sequence split between two feeds simply goes
// on in the next. One that runs past kMaxSequence characters is dropped and
// what follows shows again, so that a stray introducer cannot swallow the
// rest of a run.
//
// User-interface thread only.
#pragma once

#include <cstddef>
#include <cstdint>

class CVtParser {
public:
    static constexpr size_t kMaxSequence = 4096;
    static constexpr int kMaxParams = 16;

    // A CSI sequence's numbers. Each is -1 when left empty; a number that
    // followed a colon is a subparameter of the one before it.
    struct Params {
        char32_t marker = 0; // a private marker ('?', '>', ...) before the numbers, or 0
        int count = 0;
        int value[kMaxParams];
        bool sub[kMaxParams];
        int Get(int i, int def) const { return i < count && value[i] >= 0 ? value[i] : def; }
    };

    class IHandler {
    public:
        // n printable characters.
        virtual void Print(const char32_t* p, size_t n) = 0;
        // A C0 control character (0x00-0x1F), outside or inside a sequence.
        virtual void Execute(char32_t c) = 0;
        // A CSI sequence without an intermediate character (the others are
        // swallowed here); a private marker is in params.
        virtual void CsiDispatch(const Params& params, char32_t final) = 0;
        // A two-character escape sequence, ESC and final ('7', 'M', ...);
        // those with an intermediate character are swallowed here.
        virtual void EscDispatch(char32_t final) = 0;

    protected:
        ~IHandler() = default;
    };

    void Feed(const char32_t* p, size_t n, IHandler& handler);
    // Forgets a sequence still open: the output has ended.
    void Reset() { Enter(ground); }

private:
    enum State {
        ground, escape, escapeIntermediate, csiEntry, csiParam, csiIntermediate, csiIgnore, oscString,
        otherString
    };

    void Enter(State state);
    void Step(char32_t c, IHandler& handler);
    void Param(char32_t c);

    State m_state = ground;
    size_t m_nLength = 0; // characters of the open sequence so far
    bool m_bPrivate = false; // an intermediate or a misplaced marker: not dispatched
    bool m_bOverflow = false; // more than kMaxParams numbers: the rest are dropped
    Params m_params;
};
