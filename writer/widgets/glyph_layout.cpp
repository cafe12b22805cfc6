#include "writer/widgets/glyph_layout.h"

#include <algorithm>

namespace sv {

namespace {

// A stretch [a, b) on one axis.
struct Span {
    int a = 0;
    int b = 0;
};

// a + b, held by the int bound `limit` (sums are taken in 64 bits: margins are whatever a
// form holds).
int SumAtMost(int a, long long b, int limit) {
    return static_cast<int>(std::min<long long>(a + b, limit));
}
int SumAtLeast(int a, long long b, int limit) {
    return static_cast<int>(std::max<long long>(a + b, limit));
}

// Centred in [from, to), the middle only when more than one pixel is left over; cut at `to`.
Span Centred(int from, int to, int size) {
    const long long d = static_cast<long long>(to) - from - size;
    const int a = d > 1 ? static_cast<int>(from + d / 2) : from;
    return {a, SumAtMost(a, size, to)};
}

// `margin` in from `from`, or at `from` when that reaches `to`; cut at `to`.
Span AtStart(int from, int to, int margin, int size) {
    const int a = 0LL + from + margin >= to ? from : from + margin;
    return {a, SumAtMost(a, size, to)};
}

// `margin` in from `to`, or at `to` when that passes `from`; cut at `from`.
Span AtEnd(int from, int to, int margin, int size) {
    const int b = 0LL + to - margin < from ? to : to - margin;
    return {SumAtLeast(b, -static_cast<long long>(size), from), b};
}

} // namespace

TRect PlaceGlyph(TRect& c, TLayout layout, int margin, int w, int h) {
    const bool across = layout == blBtnLeft || layout == blBtnRight;
    const bool atStart = layout == blBtnLeft || layout == blBtnTop;
    // Along the layout's axis by the margin (centred when negative), centred on the other.
    const int from = across ? c.Left : c.Top, to = across ? c.Right : c.Bottom;
    const int size = across ? w : h;
    const Span along = margin < 0 ? Centred(from, to, size)
                       : atStart  ? AtStart(from, to, margin, size)
                                  : AtEnd(from, to, margin, size);
    const Span other = across ? Centred(c.Top, c.Bottom, h) : Centred(c.Left, c.Right, w);
    const TRect g = across ? Rect(along.a, other.a, along.b, other.b)
                           : Rect(other.a, along.a, other.b, along.b);
    switch (layout) {
    case blBtnLeft:
        c.Left = g.Right;
        break;
    case blBtnRight:
        c.Right = g.Left;
        break;
    case blBtnTop:
        c.Top = g.Bottom;
        break;
    case blBtnBottom:
        c.Bottom = g.Top;
        break;
    }
    return g;
}

} // namespace sv
