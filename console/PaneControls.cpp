#include "console/PaneControls.h"

#include "console/Messages.h"
#include "platform/CDialog.h"
#include "platform/CRichEditCtrl.h"

namespace {

// The control's own limit: well above what the view ever puts in it.
constexpr long kControlLimit = 16 * 1024 * 1024;

// Where hWnd lies in its parent's client area.
RECT RectInParent(HWND hWnd)
{
    RECT rc;
    ::GetWindowRect(hWnd, &rc);
    ::MapWindowPoints(nullptr, ::GetParent(hWnd), reinterpret_cast<POINT*>(&rc), 2);
    return rc;
}

// Each control of the pane holds far more than the view puts in it, and
// keeps no undo.
void SetLimits(HWND hWnd)
{
    ::SendMessageA(hWnd, EM_EXLIMITTEXT, 0, kControlLimit);
    ::SendMessageA(hWnd, EM_SETUNDOLIMIT, 0, 0);
}

} // namespace

void CPaneControls::OnAttach()
{
    // The control takes its border and scroll bars out of its own style once
    // created (Wine): the template has them.
    HWND hWnd = m_pane.m_hWnd;
    m_dwStyle = static_cast<DWORD>(::GetWindowLongA(hWnd, GWL_STYLE));
    DWORD exStyle = 0;
    if (const auto* pDlg = dynamic_cast<const CDialog*>(CWnd::FromHandlePermanent(::GetParent(hWnd))))
        pDlg->GetTemplateItemStyle(::GetDlgCtrlID(hWnd), &m_dwStyle, &exStyle);
    m_dwStyle |= WS_CHILD | WS_VISIBLE;
    SetLimits(hWnd);
}

// Like the pane's control: the template's styles, its place, size and
// character format; without an id.
HWND CPaneControls::Create(bool bVisible) const
{
    HWND hPane = m_pane.m_hWnd;
    RECT rc = RectInParent(hPane);
    char className[64] = "";
    ::GetClassNameA(hPane, className, sizeof className);
    DWORD style = bVisible ? m_dwStyle | WS_VISIBLE : m_dwStyle & ~WS_VISIBLE;
    HWND hNew = ::CreateWindowExA(static_cast<DWORD>(::GetWindowLongA(hPane, GWL_EXSTYLE)), className, "", style,
                                  rc.left, rc.top, rc.right - rc.left, rc.bottom - rc.top, ::GetParent(hPane), nullptr,
                                  reinterpret_cast<HINSTANCE>(::GetWindowLongPtrA(hPane, GWLP_HINSTANCE)), nullptr);
    if (hNew == nullptr)
        return nullptr;
    SetLimits(hNew);
    // Wine's rich edit answers WM_GETFONT with nothing, so the font goes
    // over as the default character format.
    CHARFORMATA cf{};
    cf.cbSize = sizeof cf;
    ::SendMessageA(hPane, EM_GETCHARFORMAT, FALSE, reinterpret_cast<LPARAM>(&cf));
    ::SendMessageA(hNew, EM_SETCHARFORMAT, 0, reinterpret_cast<LPARAM>(&cf));
    return hNew;
}

void CPaneControls::TakeOver(HWND hNew)
{
    HWND hOld = m_pane.m_hWnd;
    RECT rc = RectInParent(hOld);
    HWND hPrev = ::GetWindow(hOld, GW_HWNDPREV);
    ::SetWindowPos(hNew, hPrev != nullptr ? hPrev : HWND_TOP, rc.left, rc.top, rc.right - rc.left,
                   rc.bottom - rc.top, SWP_NOACTIVATE);
    int nID = ::GetDlgCtrlID(hOld);
    bool bHadFocus = ::GetFocus() == hOld;
    for (UINT_PTR id = 1; id <= m_elapse.size(); ++id)
        ::KillTimer(hOld, id);
    m_pane.UnsubclassWindow();
    ::ShowWindow(hOld, SW_HIDE);
    ::SetWindowLongPtrA(hOld, GWLP_ID, 0);
    ::SetWindowLongPtrA(hNew, GWLP_ID, nID);
    m_pane.SubclassWindow(hNew);
    for (UINT_PTR id = 1; id <= m_elapse.size(); ++id)
        if (m_elapse[id - 1] != 0)
            ::SetTimer(hNew, id, m_elapse[id - 1], nullptr);
    // A disposal posted to the old control went with it.
    if (!m_retiring.empty())
        m_pane.PostMessage(WM_PANE_DISPOSE);
    ::ShowWindow(hNew, SW_SHOWNA);
    if (bHadFocus)
        ::SetFocus(hNew);
    Retire(hOld);
}

void CPaneControls::Retire(HWND hOld)
{
    if (hOld == nullptr)
        return;
    ::ShowWindow(hOld, SW_HIDE);
    if (::SendMessageA(hOld, WM_GETTEXTLENGTH, 0, 0) <= kQuickDisposeChars) {
        m_retiring.emplace_back(hOld);
        m_pane.PostMessage(WM_PANE_DISPOSE);
    } else {
        if (m_retired.size() == kMaxRetired)
            m_retired.erase(m_retired.begin());
        m_retired.emplace_back(hOld);
        OnBusy();
    }
}

void CPaneControls::MakeSpare()
{
    if (!m_spare)
        m_spare.reset(Create(false));
}

HWND CPaneControls::TakeSpare()
{
    return m_spare ? m_spare.release() : Create(true);
}

bool CPaneControls::BeginBuild()
{
    m_build.reset(Create(false));
    return static_cast<bool>(m_build);
}

void CPaneControls::ScheduleRepaint()
{
    DWORD elapsed = ::GetTickCount() - m_dwLastRepaint;
    if (elapsed >= kRepaintMs)
        Repaint();
    else if (!IsTimerSet(Timer::repaint))
        SetTimer(Timer::repaint, kRepaintMs - elapsed);
}

void CPaneControls::Repaint()
{
    KillTimer(Timer::repaint);
    m_dwLastRepaint = ::GetTickCount();
    bool bOverdue = m_dwLastRepaint - m_dwPainted >= kPaintOverdueMs;
    ::RedrawWindow(m_pane.m_hWnd, nullptr, nullptr,
                   RDW_INVALIDATE | RDW_ERASE | RDW_FRAME | (bOverdue ? RDW_UPDATENOW : 0));
    if (bOverdue)
        m_dwPainted = m_dwLastRepaint;
}

void CPaneControls::SetTimer(Timer timer, UINT nElapse)
{
    nElapse = std::max<UINT>(nElapse, USER_TIMER_MINIMUM);
    bool bSet = ::SetTimer(m_pane.m_hWnd, static_cast<UINT_PTR>(timer), nElapse, nullptr) != 0;
    m_elapse[Index(timer)] = bSet ? nElapse : 0;
}

void CPaneControls::KillTimer(Timer timer)
{
    ::KillTimer(m_pane.m_hWnd, static_cast<UINT_PTR>(timer));
    m_elapse[Index(timer)] = 0;
}

void CPaneControls::OnBusy()
{
    if (!m_retired.empty())
        SetTimer(Timer::dispose, kDisposeIdleMs);
}

void CPaneControls::OnDisposeTimer(bool bBusy)
{
    KillTimer(Timer::dispose);
    if (!bBusy && !m_retired.empty())
        m_retired.erase(m_retired.begin());
    OnBusy(); // the next one, or this one again once the pane is idle
}

void CPaneControls::OnDestroy()
{
    m_spare.reset();
    m_build.reset();
    m_retired.clear();
    m_retiring.clear();
    m_elapse.fill(0);
}
