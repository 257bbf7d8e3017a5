// CTextExport: a run's output as Save and Copy give it: what a console would
// show, no escape sequences, overwritten text resolved, every line ending in
// CR LF, what the user typed and the end line in place, and last what is
// being typed and not sent yet, as the pane shows it.
//
// It is a snapshot, taken on the user-interface thread: the run's store as
// far as it goes at that moment and a copy of the screen's rows and of the
// line being typed. It can then be read on any thread, while the run goes
// on: the store only ever grows, and a new run gets a new one, so what is
// read is exactly the text of the moment the snapshot was taken.
//
// The encoding: the ANSI code page when every character of the text fits it
// (so ANSI output saves as it was written), otherwise UTF-8 with a byte
// order mark, so that nothing the child wrote is lost.
#pragma once

#include "screen/ScreenModel.h"

#include <functional>

class CTextExport {
public:
    enum Encoding { ansi, utf8 };

    // typed: the line being typed, which the pane shows after the output.
    CTextExport(CScreenModel& model, const std::wstring& typed); // user-interface thread

    // About how many bytes the text has, for progress.
    uint64_t GetSizeHint() const { return m_nEnd - m_nStart + m_strLine.size() + 128; }
    bool IsEmpty() const { return m_nEnd == 0 && m_strLine.empty(); }

    // Receives the text in pieces; false stops the reading.
    using Sink = std::function<bool(const std::string& piece)>;
    // The text in UTF-8: a note on what could not be kept first, if anything.
    // False when the sink stopped it or part of the text could not be read
    // back.
    bool ReadUtf8(const Sink& sink) const;
    // The text in its encoding, the byte order mark first when UTF-8.
    bool Write(const Sink& sink) const;

private:
    std::shared_ptr<CTextStore> m_store;
    uint64_t m_nStart; // where the store's kept text begins
    uint64_t m_nEnd;
    std::string m_strLine; // the screen's rows and what is typed, in the stored form
    Encoding m_encoding;
};
