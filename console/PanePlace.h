// CPanePlace: where the user's view and selection are in the pane's
// control, taken before its text changes and given back after.
//
// User-interface thread only.
#pragma once

#include "platform/CRichEditCtrl.h"

class CInputLine;

class CPanePlace {
public:
    // Before the change; nInputStart: where the line being typed begins.
    CPanePlace(const CRichEditCtrl& pane, long nInputStart);

    long GetInputStart() const { return m_nInputStart; }
    // After the change. Following, the caret goes back into the line being
    // typed and the view to the newest line, at column 0. Otherwise the
    // selection, where it lies in text before nUnchanged (which did not
    // change), and the view stay as they were.
    void Restore(CRichEditCtrl& pane, CInputLine& input, bool bFollowing, long nUnchanged) const;

    // True when the last line of the control is in view.
    static bool AtBottom(const CRichEditCtrl& pane);

private:
    long m_nSelStart = 0;
    long m_nSelEnd = 0;
    long m_nInputStart;
    POINT m_ptText; // where the text's first character was in the view
};
