// CWnd: a C++ object bound to a window.
//
// Design: the object is found from its window through a window property, and
// binding means subclassing: the window procedure is replaced by the
// framework's, which runs the message map and hands everything else to the
// procedure that was there before ("default processing"). The framework's
// procedure is noexcept: any exception a handler lets escape is reported in a
// message box at that boundary and the message returns 0.
//
// Every member of a CWnd belongs to the thread that owns its window (the
// user-interface thread). Other threads reach a window only through
// SendMessage, which the system runs on the owner thread.
#pragma once

#include "platform/CCmdTarget.h"
#include "platform/CString.h"

// The whole text of any window.
CString AfxGetWindowText(HWND hWnd);

class CWnd : public CCmdTarget {
public:
    CWnd() = default;
    ~CWnd() override; // unbinds a window that outlives its object

    // User-interface thread only: written when binding and unbinding. A
    // worker is given a window's handle, never this object.
    HWND m_hWnd = nullptr;

    HWND GetSafeHwnd() const noexcept { return m_hWnd; }

    // The object bound to hWnd, or null when the window has none.
    static CWnd* FromHandlePermanent(HWND hWnd) noexcept;

    // Binds this object to an existing window (a dialog control, say): runs
    // PreSubclassWindow, then routes the window's messages through this
    // object's map. False when hWnd is null or already bound.
    bool SubclassWindow(HWND hWnd);
    bool SubclassDlgItem(UINT nID, CWnd* pParent);
    // Gives the window back its previous procedure and unbinds it.
    HWND UnsubclassWindow() noexcept;

    // Called when the object is being bound to its window, before any message
    // reaches the map.
    virtual void PreSubclassWindow() {}
    // Called for each queued message addressed to this window or one of its
    // children before it is dispatched; true means it was handled here.
    virtual BOOL PreTranslateMessage(MSG* pMsg);

    // Offers pMsg to PreTranslateMessage of every bound window from its target
    // up to hWndStop.
    static bool WalkPreTranslateTree(HWND hWndStop, MSG* pMsg);

    // Thin forms of the Win32 calls on this window.
    LRESULT SendMessage(UINT message, WPARAM wParam = 0, LPARAM lParam = 0) const;
    BOOL PostMessage(UINT message, WPARAM wParam = 0, LPARAM lParam = 0) const;
    void SetWindowText(LPCTSTR lpszString);
    void GetWindowText(CString& rString) const;
    HWND GetDlgItem(int nID) const;
    int GetDlgCtrlID() const;
    BOOL ShowWindow(int nCmdShow);
    BOOL IsWindowVisible() const;
    void GetClientRect(LPRECT lpRect) const;
    void GetWindowRect(LPRECT lpRect) const;
    HWND SetFocus();
    BOOL DestroyWindow();
    void MoveWindow(LPCRECT lpRect, BOOL bRepaint = TRUE);
    void ScreenToClient(LPRECT lpRect) const;
    BOOL SetWindowPos(HWND hWndInsertAfter, int x, int y, int cx, int cy, UINT nFlags);

protected:
    // Runs the map for one message, default processing for the rest.
    virtual LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam);
    // Runs the map; false when no entry took the message.
    virtual bool OnWndMsg(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* pResult);
    // WM_COMMAND: a control's own reflected entry first, then this map.
    virtual bool OnCommand(WPARAM wParam, LPARAM lParam);
    // Called on the child when its parent receives one of its notifications;
    // true means the child handled it and the parent must not.
    virtual bool OnChildNotify(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* pResult);
    bool ReflectChildNotify(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* pResult);

    // Default processing of the message being handled now.
    LRESULT Default();
    // Default processing: the window's previous procedure.
    virtual LRESULT DefWindowProc(UINT message, WPARAM wParam, LPARAM lParam);

    // Called after the window is gone and this object is unbound.
    virtual void PostNcDestroy() {}

    // Handlers with the framework's default behaviour.
    void OnDestroy() { Default(); }
    void OnPaint() { Default(); }
    void OnSize(UINT, int, int) { Default(); }
    void OnMouseMove(UINT, CPoint) { Default(); }
    void OnGetMinMaxInfo(MINMAXINFO*) { Default(); }

    static LRESULT CALLBACK WndProc(HWND hWnd, UINT message, WPARAM wParam, LPARAM lParam) noexcept;
    void Attach(HWND hWnd) noexcept;
    void Detach() noexcept;

    WNDPROC m_pfnSuper = nullptr;

private:
    MSG m_msgCurrent{}; // the message being dispatched, for Default()
};
