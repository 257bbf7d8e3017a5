// Geometry value types: CPoint, CSize and CRect over the Win32 structures.
#pragma once

#include "platform/Win32.h"

struct CPoint : POINT {
    CPoint() noexcept : POINT{ 0, 0 } {}
    CPoint(int x0, int y0) noexcept : POINT{ x0, y0 } {}
};

struct CSize : SIZE {
    CSize() noexcept : SIZE{ 0, 0 } {}
    CSize(int cx0, int cy0) noexcept : SIZE{ cx0, cy0 } {}
};

struct CRect : RECT {
    CRect() noexcept : RECT{ 0, 0, 0, 0 } {}
    CRect(int l, int t, int r, int b) noexcept : RECT{ l, t, r, b } {}
    int Width() const noexcept { return right - left; }
    int Height() const noexcept { return bottom - top; }
    operator LPRECT() noexcept { return this; }
    operator LPCRECT() const noexcept { return this; }
};
