// CPaneRebuild: a hidden control (CPaneControls' build) filled with the
// store's newest part, a piece at a time, up to where the pane's control
// shows; the view then swaps it in. So trimming a full pane, or showing
// more after a skip, never holds the window.
//
// User-interface thread only.
#pragma once

#include "console/PaneControls.h"
#include "console/PaneText.h"
#include "screen/TextStore.h"

class CPaneRebuild {
public:
    enum class Step { more, done, failed };

    CPaneRebuild(CPaneControls& controls, long nMaxColumn) : m_controls(controls), m_nMaxColumn(nMaxColumn) {}

    // Starts one from a clean place at least nKeep bytes before nTo; false
    // when no control could be made.
    bool Begin(const CTextStore& store, uint64_t nTo, uint64_t nKeep);
    // Fills for the rest of a budget of dwBudgetMs that began at dwStart
    // (at least one piece). done: the control has the store up to nTo.
    Step Fill(const CTextStore& store, uint64_t nTo, DWORD dwStart, DWORD dwBudgetMs);

    uint64_t GetFrom() const { return m_nFrom; }
    long GetChars() const { return m_nChars; }
    long GetColumn() const { return m_nColumn; }

private:
    CPaneControls& m_controls;
    long m_nMaxColumn;
    CPaneText m_text;
    uint64_t m_nFrom = 0; // the store offset the control's text begins at
    uint64_t m_nAt = 0;   // and goes up to, so far
    long m_nChars = 0;
    long m_nColumn = 0;   // the characters after its last line end
};
