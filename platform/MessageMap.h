// Static message maps.
//
// Design: every class that handles messages owns one constant table of
// entries (message, notification code, control id, thunk) and a pointer to its
// base class's table. Dispatch walks the tables from the most derived class
// to CCmdTarget and calls the first entry that matches, so a derived entry wins
// over a base entry for the same message.
//
// Each entry macro instantiates a thunk for the handler named in it. The thunk
// states the handler's signature and static_asserts that the member function
// has exactly that signature, so a wrong handler is a compile error at the
// map entry, never a crash at run time. The signature is written beside each
// macro below.
#pragma once

#include "platform/Win32.h"

#include <type_traits>

#include "platform/CRect.h"

class CCmdTarget;
class CDC;
class CWnd;

namespace afx {
// The object bound to hWnd, or null (CWnd::FromHandlePermanent).
CWnd* CWndFromHandle(HWND hWnd) noexcept;
}

// Reflected notifications are looked up as the original message plus this.
constexpr UINT WM_REFLECT_BASE = 0xBC00;

#ifndef WM_CTLCOLOR
// The old single control-colour message: reflected WM_CTLCOLOR* entries use it.
#define WM_CTLCOLOR 0x0019
#endif

using AFX_PMSG = LRESULT (*)(CCmdTarget* pTarget, WPARAM wParam, LPARAM lParam);

struct AFX_MSGMAP_ENTRY {
    UINT nMessage; // window message; reflected ones as WM_REFLECT_BASE + message
    UINT nCode;    // notification code, for WM_COMMAND entries only
    UINT nID;      // command or control id, for WM_COMMAND entries only
    AFX_PMSG pfn;  // null ends the table
    // ON_REGISTERED_MESSAGE: the variable that holds the message's number,
    // known only at run time; nMessage is then unused.
    const UINT* pnRegistered = nullptr;
};

struct AFX_MSGMAP {
    const AFX_MSGMAP* (*pfnGetBaseMap)();
    const AFX_MSGMAP_ENTRY* lpEntries;
};

namespace afx {

template <class PMF>
struct MemberFn; // only member function pointers have traits

template <class C, class R, class... A>
struct MemberFn<R (C::*)(A...)> {
    using Class = C;
    using Signature = R(A...);
};

template <class C, class R, class... A>
struct MemberFn<R (C::*)(A...) noexcept> {
    using Class = C;
    using Signature = R(A...);
};

// True when pfn is a member of T (or of a base of T) with exactly Signature.
template <class T, auto pfn, class Signature>
constexpr bool kIsHandler = std::is_base_of_v<typename MemberFn<decltype(pfn)>::Class, T> &&
    std::is_same_v<typename MemberFn<decltype(pfn)>::Signature, Signature>;

#define AFX_CHECK_HANDLER(sig)                                                       \
    static_assert(afx::kIsHandler<T, pfn, sig>, "message map handler must be: " #sig)

template <class T, auto pfn>
LRESULT VoidThunk(CCmdTarget* p, WPARAM, LPARAM)
{
    AFX_CHECK_HANDLER(void());
    (static_cast<T*>(p)->*pfn)();
    return 0;
}

template <class T, auto pfn>
LRESULT MessageThunk(CCmdTarget* p, WPARAM wParam, LPARAM lParam)
{
    AFX_CHECK_HANDLER(LRESULT(WPARAM, LPARAM));
    return (static_cast<T*>(p)->*pfn)(wParam, lParam);
}

template <class T, auto pfn>
LRESULT CharThunk(CCmdTarget* p, WPARAM wParam, LPARAM lParam)
{
    AFX_CHECK_HANDLER(void(UINT, UINT, UINT));
    (static_cast<T*>(p)->*pfn)(static_cast<UINT>(wParam), LOWORD(lParam), HIWORD(lParam));
    return 0;
}

// Reflected WM_CTLCOLOR*: wParam is the device context, lParam the kind of
// control colour message (CTLCOLOR_STATIC, ...). A null brush declines, and
// the parent then answers as usual.
LRESULT CtlColorCall(CCmdTarget* p, WPARAM wParam, LPARAM lParam,
                     HBRUSH (*call)(CCmdTarget*, CDC*, UINT));

template <class T, auto pfn>
LRESULT CtlColorThunk(CCmdTarget* p, WPARAM wParam, LPARAM lParam)
{
    AFX_CHECK_HANDLER(HBRUSH(CDC*, UINT));
    return CtlColorCall(p, wParam, lParam, [](CCmdTarget* t, CDC* pDC, UINT nCtlColor) {
        return (static_cast<T*>(t)->*pfn)(pDC, nCtlColor);
    });
}

template <class T, auto pfn>
LRESULT TimerThunk(CCmdTarget* p, WPARAM wParam, LPARAM)
{
    AFX_CHECK_HANDLER(void(UINT_PTR));
    (static_cast<T*>(p)->*pfn)(static_cast<UINT_PTR>(wParam));
    return 0;
}

template <class T, auto pfn>
LRESULT SizeThunk(CCmdTarget* p, WPARAM wParam, LPARAM lParam)
{
    AFX_CHECK_HANDLER(void(UINT, int, int));
    (static_cast<T*>(p)->*pfn)(static_cast<UINT>(wParam), static_cast<short>(LOWORD(lParam)),
                               static_cast<short>(HIWORD(lParam)));
    return 0;
}

template <class T, auto pfn>
LRESULT MinMaxInfoThunk(CCmdTarget* p, WPARAM, LPARAM lParam)
{
    AFX_CHECK_HANDLER(void(MINMAXINFO*));
    (static_cast<T*>(p)->*pfn)(reinterpret_cast<MINMAXINFO*>(lParam));
    return 0;
}

template <class T, auto pfn>
LRESULT CursorThunk(CCmdTarget* p, WPARAM, LPARAM)
{
    AFX_CHECK_HANDLER(HCURSOR());
    return reinterpret_cast<LRESULT>((static_cast<T*>(p)->*pfn)());
}

template <class T, auto pfn>
LRESULT SetCursorThunk(CCmdTarget* p, WPARAM wParam, LPARAM lParam)
{
    AFX_CHECK_HANDLER(BOOL(CWnd*, UINT, UINT));
    return (static_cast<T*>(p)->*pfn)(CWndFromHandle(reinterpret_cast<HWND>(wParam)), LOWORD(lParam),
                                      HIWORD(lParam));
}

template <class T, auto pfn>
LRESULT MouseMoveThunk(CCmdTarget* p, WPARAM wParam, LPARAM lParam)
{
    AFX_CHECK_HANDLER(void(UINT, CPoint));
    (static_cast<T*>(p)->*pfn)(static_cast<UINT>(wParam),
                               CPoint(static_cast<short>(LOWORD(lParam)), static_cast<short>(HIWORD(lParam))));
    return 0;
}

#undef AFX_CHECK_HANDLER

} // namespace afx

// --- declaring and defining a map --------------------------------------------

#define DECLARE_MESSAGE_MAP()                                                        \
protected:                                                                           \
    static const AFX_MSGMAP* GetThisMessageMap();                                    \
    const AFX_MSGMAP* GetMessageMap() const override;                                \
                                                                                     \
private:

#define BEGIN_MESSAGE_MAP(theClass, baseClass)                                       \
    const AFX_MSGMAP* theClass::GetMessageMap() const { return GetThisMessageMap(); } \
    const AFX_MSGMAP* theClass::GetThisMessageMap()                                  \
    {                                                                                \
        using ThisClass = theClass;                                                  \
        using TheBaseClass = baseClass;                                              \
        static const AFX_MSGMAP_ENTRY entries[] = {

#define END_MESSAGE_MAP()                                                            \
            { 0, 0, 0, nullptr }                                                     \
        };                                                                           \
        static const AFX_MSGMAP map = { &TheBaseClass::GetThisMessageMap, entries }; \
        return &map;                                                                 \
    }

// --- entries, with the handler signature each one requires -----------------

// void memberFxn()                      -- menu item, accelerator or button
#define ON_COMMAND(id, memberFxn) \
    { WM_COMMAND, 0, static_cast<UINT>(id), &afx::VoidThunk<ThisClass, &ThisClass::memberFxn> },

// void memberFxn()                      -- any WM_COMMAND notification code
#define ON_CONTROL(code, id, memberFxn) \
    { WM_COMMAND, static_cast<UINT>(code), static_cast<UINT>(id), &afx::VoidThunk<ThisClass, &ThisClass::memberFxn> },

// void memberFxn()
#define ON_BN_CLICKED(id, memberFxn) ON_CONTROL(BN_CLICKED, id, memberFxn)

// void memberFxn()                      -- the control's own notification, reflected
#define ON_CONTROL_REFLECT(code, memberFxn) \
    { WM_REFLECT_BASE + WM_COMMAND, static_cast<UINT>(code), 0, &afx::VoidThunk<ThisClass, &ThisClass::memberFxn> },

// HBRUSH CtlColor(CDC* pDC, UINT nCtlColor)  -- the parent's WM_CTLCOLOR*, reflected
#define ON_WM_CTLCOLOR_REFLECT() \
    { WM_REFLECT_BASE + WM_CTLCOLOR, 0, 0, &afx::CtlColorThunk<ThisClass, &ThisClass::CtlColor> },

// LRESULT memberFxn(WPARAM wParam, LPARAM lParam)
#define ON_MESSAGE(message, memberFxn) \
    { static_cast<UINT>(message), 0, 0, &afx::MessageThunk<ThisClass, &ThisClass::memberFxn> },

// LRESULT memberFxn(WPARAM wParam, LPARAM lParam)  -- a RegisterWindowMessage number
#define ON_REGISTERED_MESSAGE(nMessageVariable, memberFxn) \
    { 0, 0, 0, &afx::MessageThunk<ThisClass, &ThisClass::memberFxn>, &(nMessageVariable) },

// void OnPaint()
#define ON_WM_PAINT() { WM_PAINT, 0, 0, &afx::VoidThunk<ThisClass, &ThisClass::OnPaint> },

// void OnDestroy()
#define ON_WM_DESTROY() { WM_DESTROY, 0, 0, &afx::VoidThunk<ThisClass, &ThisClass::OnDestroy> },

// void OnChar(UINT nChar, UINT nRepCnt, UINT nFlags)
#define ON_WM_CHAR() { WM_CHAR, 0, 0, &afx::CharThunk<ThisClass, &ThisClass::OnChar> },

// void OnKeyDown(UINT nChar, UINT nRepCnt, UINT nFlags)
#define ON_WM_KEYDOWN() { WM_KEYDOWN, 0, 0, &afx::CharThunk<ThisClass, &ThisClass::OnKeyDown> },

// void OnTimer(UINT_PTR nIDEvent)
#define ON_WM_TIMER() { WM_TIMER, 0, 0, &afx::TimerThunk<ThisClass, &ThisClass::OnTimer> },

// void OnSize(UINT nType, int cx, int cy)
#define ON_WM_SIZE() { WM_SIZE, 0, 0, &afx::SizeThunk<ThisClass, &ThisClass::OnSize> },

// void OnGetMinMaxInfo(MINMAXINFO* lpMMI)
#define ON_WM_GETMINMAXINFO() \
    { WM_GETMINMAXINFO, 0, 0, &afx::MinMaxInfoThunk<ThisClass, &ThisClass::OnGetMinMaxInfo> },

// HCURSOR OnQueryDragIcon()
#define ON_WM_QUERYDRAGICON() \
    { WM_QUERYDRAGICON, 0, 0, &afx::CursorThunk<ThisClass, &ThisClass::OnQueryDragIcon> },

// BOOL OnSetCursor(CWnd* pWnd, UINT nHitTest, UINT message)
#define ON_WM_SETCURSOR() { WM_SETCURSOR, 0, 0, &afx::SetCursorThunk<ThisClass, &ThisClass::OnSetCursor> },

// void OnMouseMove(UINT nFlags, CPoint point)
#define ON_WM_MOUSEMOVE() { WM_MOUSEMOVE, 0, 0, &afx::MouseMoveThunk<ThisClass, &ThisClass::OnMouseMove> },
