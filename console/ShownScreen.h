// CShownScreen: the rows of the model's live screen as the pane's control
// shows them, after the final lines.
//
// A row that changed is rewritten with every row after it, in one
// insertion; the rows before it are left as they are, and so is a
// selection in them. A row that leaves the screen unchanged, and is then
// the store's next line, becomes final text where it is: nothing in the
// control changes.
//
// Each row shows its newest kMaxColumn characters, except the first when
// it goes on the last final line (a line too long to keep whole): that one
// shows the line's first ones, as a final line does.
//
// User-interface thread only.
#pragma once

#include "console/PaneText.h"
#include "screen/ScreenModel.h"

#include <string>
#include <vector>

class CShownScreen {
public:
    explicit CShownScreen(long nMaxColumn) : m_nMaxColumn(nMaxColumn) {}

    // The control's characters that show the rows.
    long GetChars() const { return m_nChars; }
    // The control no longer shows the rows (emptied, replaced, or its
    // screen text was written over).
    void Forget();
    // The rows that left the screen unchanged and are now the store's lines
    // from *pnTo (up to end): *pnTo moves past them; returns their
    // characters in the control, which are final text from now on.
    long Absorb(const CTextStore& store, uint64_t end, uint64_t* pnTo);
    // Shows the model's rows at `at` of hWnd, the first going on a final
    // line nColumn characters long. In place: hWnd shows the rows as last
    // rendered, which are rewritten from the first that changed; else hWnd
    // gets them all. Returns the rows' characters left as they were.
    long Render(const CScreenModel& model, HWND hWnd, long at, bool bInPlace, long nColumn);
    // The rows as shown, in Unicode (CPaneText::AppendWide).
    void AppendWide(std::wstring& out, long nColumn) const;

private:
    struct CRow {
        std::string text; // the stored text, from the first cell shown
        bool bWhole;      // from the row's first cell
        long nChars;      // in the control, with the line end before it (rows after the first)
    };

    long m_nMaxColumn;
    std::vector<CRow> m_rows;
    long m_nChars = 0;
    CPaneText m_text;
};
