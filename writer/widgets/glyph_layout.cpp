#include "writer/widgets/glyph_layout.h"

#include <algorithm>

namespace sv {

namespace {

// The glyph's start on one axis when centred in [from, to): the middle only when more than one
// pixel is left over.
int Centre(int from, int to, int size) {
    const long long d = static_cast<long long>(to) - from - size;
    return d > 1 ? static_cast<int>(from + d / 2) : from;
}

// a + b within the int range (margins are whatever a form holds).
long long Sum(int a, long long b) {
    return static_cast<long long>(a) + b;
}

int Min(long long a, int b) {
    return static_cast<int>(std::min<long long>(a, b));
}

int Max(long long a, int b) {
    return static_cast<int>(std::max<long long>(a, b));
}

} // namespace

TRect PlaceGlyph(TRect& c, TLayout layout, int margin, int w, int h) {
    TRect g;
    auto centreAcross = [&] {
        g.Left = Centre(c.Left, c.Right, w);
        g.Right = Min(Sum(g.Left, w), c.Right);
    };
    auto centreDown = [&] {
        g.Top = Centre(c.Top, c.Bottom, h);
        g.Bottom = Min(Sum(g.Top, h), c.Bottom);
    };
    switch (layout) {
    case blBtnLeft:
        if (margin >= 0) {
            const int left = Sum(c.Left, margin) >= c.Right ? c.Left : c.Left + margin;
            g.Left = left;
            g.Right = Min(Sum(left, w), c.Right);
        } else {
            centreAcross();
        }
        centreDown();
        c.Left = g.Right;
        break;
    case blBtnRight:
        if (margin >= 0) {
            const int right =
                Sum(c.Right, -static_cast<long long>(margin)) < c.Left ? c.Right : c.Right - margin;
            g.Right = right;
            g.Left = Max(Sum(right, -static_cast<long long>(w)), c.Left);
        } else {
            centreAcross();
        }
        centreDown();
        c.Right = g.Left;
        break;
    case blBtnTop:
        if (margin >= 0) {
            const int top = Sum(c.Top, margin) >= c.Bottom ? c.Top : c.Top + margin;
            g.Top = top;
            g.Bottom = Min(Sum(top, h), c.Bottom);
        } else {
            centreDown();
        }
        centreAcross();
        c.Top = g.Bottom;
        break;
    case blBtnBottom:
        if (margin >= 0) {
            const int bottom = Sum(c.Bottom, -static_cast<long long>(margin)) < c.Top
                                   ? c.Bottom
                                   : c.Bottom - margin;
            g.Bottom = bottom;
            g.Top = Max(Sum(bottom, -static_cast<long long>(h)), c.Top);
        } else {
            centreDown();
        }
        centreAcross();
        c.Bottom = g.Top;
        break;
    }
    return g;
}

} // namespace sv
