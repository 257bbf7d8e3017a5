// CDC: a device context handed to a handler. This form does not own its DC:
// it wraps one that the system lent for the length of a message.
// CPaintDC: BeginPaint in its constructor, EndPaint in its destructor.
#pragma once

#include "platform/Win32.h"

class CDC {
public:
    CDC() = default;
    explicit CDC(HDC hDC) noexcept : m_hDC(hDC) {}
    CDC(const CDC&) = delete;
    CDC& operator=(const CDC&) = delete;

    HDC GetSafeHdc() const noexcept { return m_hDC; }
    COLORREF SetTextColor(COLORREF cr) noexcept { return ::SetTextColor(m_hDC, cr); }
    COLORREF SetBkColor(COLORREF cr) noexcept { return ::SetBkColor(m_hDC, cr); }
    int SetBkMode(int nMode) noexcept { return ::SetBkMode(m_hDC, nMode); }

    HDC m_hDC = nullptr;
};

class CPaintDC : public CDC {
public:
    explicit CPaintDC(HWND hWnd) noexcept : m_hWnd(hWnd) { m_hDC = ::BeginPaint(hWnd, &m_ps); }
    ~CPaintDC() { ::EndPaint(m_hWnd, &m_ps); }

    PAINTSTRUCT m_ps{};

private:
    HWND m_hWnd;
};
