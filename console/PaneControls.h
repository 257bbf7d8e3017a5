// CPaneControls: the output pane's rich edit controls and its timers.
//
// The pane object stays one; the RICHED32 control it stands for changes:
// emptying a big control in place takes seconds under Wine, so the view
// starts afresh in a new control instead, and it fills a hidden one when it
// rebuilds. This class makes those controls (each like the template's: its
// styles, place and character format), hands the pane's place over to one
// (id, tab order, size, focus, and every timer that was set), and destroys
// the replaced ones without holding the window: a small one in a message of
// its own, a big one (about 100 ms per MB) once the pane has been idle for
// kDisposeIdleMs, at most kMaxRetired of them waiting. It owns every
// handle of a control that is not the pane's at the moment: the spare one
// made ahead, the one being filled, the replaced ones.
//
// The pane's timers are set here by name, so that whoever sets one never
// holds an id that another part of the pane uses too, and a control that
// takes the pane's place goes on with them.
//
// Every field belongs to the user-interface thread.
#pragma once

#include "platform/CWnd.h"
#include "platform/UniqueHandle.h"

#include <array>
#include <vector>

class CPaneControls {
public:
    enum class Timer : UINT_PTR { pace = 1, repaint, dispose };
    static constexpr UINT kRepaintMs = 40;
    static constexpr DWORD kPaintOverdueMs = 250;
    static constexpr UINT kDisposeIdleMs = 500;
    static constexpr long kQuickDisposeChars = 64 * 1024;
    // A new run can retire two at once: the pane's control and one being filled.
    static constexpr size_t kMaxRetired = 2;

    explicit CPaneControls(CWnd& pane) : m_pane(pane) {}
    CPaneControls(const CPaneControls&) = delete;
    CPaneControls& operator=(const CPaneControls&) = delete;

    // Called when the pane is bound to its control: the template's styles,
    // which a control made to replace it needs.
    void OnAttach();

    // A control like the pane's, hidden unless bVisible; null when the
    // system would not make one.
    [[nodiscard]] HWND Create(bool bVisible) const;
    // hNew takes the pane's place; the control it had is retired.
    void TakeOver(HWND hNew);
    // Destroys hOld soon, when that does not hold the window.
    void Retire(HWND hOld);

    // The spare: a hidden control made ahead of the next time one is needed.
    void MakeSpare();
    bool HasSpare() const { return static_cast<bool>(m_spare); }
    // The spare (hidden until it takes the pane's place), or a new control.
    [[nodiscard]] HWND TakeSpare();
    void DropSpare() { m_spare.reset(); }

    // The hidden control being filled, if any.
    HWND GetBuild() const { return m_build.get(); }
    bool BeginBuild();
    // The filled control, now the caller's to hand to TakeOver.
    [[nodiscard]] HWND EndBuild() { return m_build.release(); }
    void AbortBuild() { Retire(m_build.release()); }

    // The control paints kRepaintMs after the last time at the latest, and
    // at once when WM_PAINT has not come for a while: a timer is the last
    // thing a thread's messages give way to, and while a fast child keeps
    // the window busy Wine sends WM_PAINT seldom or not at all.
    void ScheduleRepaint();
    void Repaint();
    // Called when the control paints.
    void OnPaint() { m_dwPainted = ::GetTickCount(); }

    void SetTimer(Timer timer, UINT nElapse);
    void KillTimer(Timer timer);
    bool IsTimerSet(Timer timer) const { return m_elapse[Index(timer)] != 0; }

    // The output came: the wait for a big one to be destroyed starts again.
    void OnBusy();
    // Called when the dispose timer is due; bBusy: the pane has work to do.
    void OnDisposeTimer(bool bBusy);
    // Called when the small retired controls can go.
    void OnDispose() { m_retiring.clear(); }
    // The pane's control is being destroyed: so is every other.
    void OnDestroy();

private:
    static size_t Index(Timer timer) { return static_cast<size_t>(timer) - 1; }

    CWnd& m_pane;
    DWORD m_dwStyle = 0;                   // the control's styles as the template gave them
    std::array<UINT, 3> m_elapse{};         // each timer's period while it is set, else 0
    DWORD m_dwLastRepaint = 0;
    DWORD m_dwPainted = 0;                 // when the control last painted
    CWindowHandle m_spare;
    CWindowHandle m_build;
    std::vector<CWindowHandle> m_retired;  // big replaced controls waiting for the pane to be idle
    std::vector<CWindowHandle> m_retiring; // small ones, destroyed in a message of their own
};
