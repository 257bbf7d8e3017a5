// COutputPane: the rich edit pane that plays the console screen.
//
// What the run shows lives in the pane's screen model (CScreenModel), the
// one record of the run, which Save and Copy read too; the control is only
// a view of its newest part (COutputView), drawn at the control's own pace.
// The control's text is the view's and the input line's alone: nothing the
// control would do by itself to its text (typing, deleting, pasting,
// cutting, undoing) ever happens.
//
// Typing works as a console's line input (CPaneTyping, CInputLine): keys
// edit a line at the end of the pane wherever the caret was, output arrives
// above it, and Enter hands the line to the parent and puts it in the
// model, in order with the output; in the other mode every key goes to the
// parent at once and is echoed in the model. Ctrl+C copies the selection
// (Unicode, from the model) in either mode, or asks for a Stop when there is
// none; a paste types its text, each line break an Enter. Up and Down
// recall the lines sent before; Tab only moves the focus, in either mode.
//
// The control this object stands for changes as the view starts afresh in
// a new one (CPaneControls), which then takes the old one's place.
//
// Every field belongs to the user-interface thread.
#pragma once

#include "console/InputLine.h"
#include "console/Messages.h"
#include "console/OutputView.h"
#include "console/PaneControls.h"
#include "console/PaneTyping.h"
#include "console/TextFinder.h"
#include "screen/TextExport.h"
#include "platform/CRichEditCtrl.h"

#include <memory>
#include <vector>

class COutputPane : public CRichEditCtrl {
public:
    COutputPane()
        : m_controls(*this), m_input(*this), m_view(*this, m_controls, m_model, m_input),
          m_typing(*this, m_model, m_input, m_view) {}
    ~COutputPane() override;

    CScreenModel& GetModel() { return m_model; }
    // A new run: the model and the control start afresh.
    void Clear();
    // The child's output, as it wrote it.
    void Write(const char* p, size_t n);
    // The child's output has ended.
    void EndOutput();
    // Text shown as it is (the end line).
    void AppendText(LPCTSTR lpszText);
    // The run's whole text as Save and Copy give it, what is being typed
    // included, at this moment (it can then be read on any thread).
    std::unique_ptr<CTextExport> Snapshot();
    // Nothing shown and nothing typed.
    bool IsEmpty() const;

    // Every key to the parent at once (true) or line input (false, the
    // default); a line being typed is dropped when this changes.
    void SetKeyAtATime(bool bKeyAtATime) { m_typing.SetKeyAtATime(bKeyAtATime); }
    bool IsKeyAtATime() const { return m_typing.IsKeyAtATime(); }

    // Find: the next match from the selection on, in the text the control
    // holds, going on from the other end when there is none that way (the
    // caret is mostly at the very end); the match is selected and brought
    // into view, and the view stops following the output, as when the user
    // scrolls. False when there is no match at all.
    bool Find(const CTextFinder& finder);

protected:
    // Called when the pane is bound to its control: keeps its styles and
    // raises the text limit.
    void PreSubclassWindow() override;
    // Called for each typed character: edits the input line, or reports the
    // key to the parent and echoes it.
    void OnChar(UINT nChar, UINT nRepCnt, UINT nFlags);
    // Called for each key pressed: the input line's editing keys; the
    // control's own only where they move or select.
    void OnKeyDown(UINT nChar, UINT nRepCnt, UINT nFlags);
    // Called when the dialog asks which keys the pane wants: Enter and
    // Escape, and no selecting of everything when tabbed into.
    LRESULT OnGetDlgCode(WPARAM wParam, LPARAM lParam);
    // Called for paste, cut, clear and undo from any source.
    LRESULT OnPaste(WPARAM wParam, LPARAM lParam);
    LRESULT OnCut(WPARAM wParam, LPARAM lParam);
    LRESULT OnNoEdit(WPARAM wParam, LPARAM lParam);
    // Called when the user scrolls or selects: the view follows the output
    // only from the bottom, and not while something is selected.
    LRESULT OnVScroll(WPARAM wParam, LPARAM lParam);
    LRESULT OnUserScroll(WPARAM wParam, LPARAM lParam);
    LRESULT OnUserSelect(WPARAM wParam, LPARAM lParam);
    // Called when the mouse button goes down in the pane: the view holds
    // still until it is let go.
    LRESULT OnMouseDown(WPARAM wParam, LPARAM lParam);
    LRESULT OnCaptureChanged(WPARAM wParam, LPARAM lParam);
    // Called when the control paints: the view keeps the time.
    void OnPaint();
    // Called when the view's pace, a repaint or a disposal is due.
    void OnTimer(UINT_PTR nIDEvent);
    // Called when the control is being destroyed: so are its helpers.
    void OnDestroy();
    // Called when the small replaced controls can be destroyed.
    LRESULT OnDispose(WPARAM wParam, LPARAM lParam);

    DECLARE_MESSAGE_MAP()

private:
    void CopySelection();

    CPaneControls m_controls;
    CScreenModel m_model;
    CInputLine m_input;
    COutputView m_view;
    CPaneTyping m_typing;
};
