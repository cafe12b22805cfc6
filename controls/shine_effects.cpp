#include "controls/shine_effects.h"

#include <algorithm>

namespace sv {

namespace {

// Integer halving toward zero: a block larger than the client gives a negative offset that
// must match the painting of the original, not a floor.
int Half(int v) {
    return v / 2;
}

int Red(std::uint32_t p) {
    return static_cast<int>((p >> 16) & 0xFF);
}
int Green(std::uint32_t p) {
    return static_cast<int>((p >> 8) & 0xFF);
}
int Blue(std::uint32_t p) {
    return static_cast<int>(p & 0xFF);
}
std::uint32_t Pixel(int r, int g, int b) {
    return (static_cast<std::uint32_t>(r) << 16) | (static_cast<std::uint32_t>(g) << 8) |
           static_cast<std::uint32_t>(b);
}

template <typename F> std::uint32_t PerChannel(std::uint32_t p, std::uint32_t q, F f) {
    return Pixel(f(Red(p), Red(q)), f(Green(p), Green(q)), f(Blue(p), Blue(q)));
}

// Visits every opaque pixel of `glyph` and stores what `f` makes of it into `result`.
template <typename F> void MapOpaque(ConstPixelRows glyph, PixelRows result, F f) {
    const std::uint32_t t = GlyphTransparentColor(glyph);
    for (int y = 0; y < glyph.height; ++y)
        for (int x = 0; x < glyph.width; ++x) {
            const std::uint32_t p = glyph.At(x, y);
            if (p != t) result.At(x, y) = f(p) & 0xFFFFFFu;
        }
}

// Every second pixel in visiting order, the count stepping once more at the end of each row
// when the height is even: a checkerboard or vertical stripes depending on the parity of the
// two sides.
void CheckerMask(ConstPixelRows glyph, PixelRows result, std::uint32_t replacement) {
    const std::uint32_t t = GlyphTransparentColor(glyph);
    unsigned n = 0;
    for (int y = 0; y < glyph.height; ++y) {
        for (int x = 0; x < glyph.width; ++x) {
            if ((n & 1u) && glyph.At(x, y) != t) result.At(x, y) = replacement & 0xFFFFFFu;
            ++n;
        }
        if (glyph.height % 2 == 0) ++n;
    }
}

void Outline(ConstPixelRows glyph, PixelRows result, std::uint32_t shine, bool twoPixels) {
    const std::uint32_t t = GlyphTransparentColor(glyph);
    const int w = glyph.width;
    const int h = glyph.height;
    auto transparent = [&](int x, int y) { return glyph.At(x, y) == t; };
    auto opaque = [&](int x, int y) { return glyph.At(x, y) != t; };
    shine &= 0xFFFFFFu;
    auto mark = [&](int x, int y) {
        result.At(x, y) = shine;
        if (!twoPixels) return;
        if (x > 0 && transparent(x - 1, y)) result.At(x - 1, y) = shine;
        if (x + 1 < w && transparent(x + 1, y)) result.At(x + 1, y) = shine;
        if (y > 0 && transparent(x, y - 1)) result.At(x, y - 1) = shine;
        if (y + 1 < h && transparent(x, y + 1)) result.At(x, y + 1) = shine;
    };
    for (int y = 0; y < h; ++y) {
        for (int x = 0; x <= w - 2; ++x)
            if (opaque(x + 1, y) && transparent(x, y)) mark(x, y);
        for (int x = 1; x <= w - 1; ++x)
            if (opaque(x - 1, y) && transparent(x, y)) mark(x, y);
        if (y + 1 < h)
            for (int x = 0; x < w; ++x)
                if (opaque(x, y + 1) && transparent(x, y)) mark(x, y);
        if (y > 0)
            for (int x = 0; x < w; ++x)
                if (opaque(x, y - 1) && transparent(x, y)) mark(x, y);
    }
}

// The top-left pixel of every 2 × 2 square whose diagonal or anti-diagonal pair differs turns
// white; the last row and column stay black.
void EdgeMask(ConstPixelRows glyph, PixelRows result) {
    for (int y = 0; y < result.height; ++y)
        std::fill(result.Row(y), result.Row(y) + result.width, 0u);
    for (int y = 0; y + 1 < glyph.height; ++y) {
        for (int x = 0; x <= glyph.width - 2; ++x)
            if (glyph.At(x + 1, y + 1) != glyph.At(x, y)) result.At(x, y) = 0xFFFFFF;
        for (int x = 1; x <= glyph.width - 1; ++x)
            if (glyph.At(x - 1, y + 1) != glyph.At(x, y)) result.At(x - 1, y) = 0xFFFFFF;
    }
}

} // namespace

ShineLayoutResult CalcLayout(const ShineLayoutInput& in) {
    const int gw = in.glyphEmpty ? 0 : in.glyphWidth;
    const int gh = in.glyphEmpty ? 0 : in.glyphHeight;
    const bool ge = in.glyphEmpty;
    const bool cap = in.hasCaption;
    const int tw = in.textRight - in.textLeft;
    const int th = in.textBottom - in.textTop;
    int bw = 0, bh = 0, gox = 0, goy = 0, tox = 0, toy = 0;

    switch (in.layout) {
    case TShineLayout::GlyphLeft:
        gox = bw;
        bw += gw;
        bh = std::max(bh, gh);
        if (!ge && cap) bw += in.spacing;
        tox = bw;
        if (cap) bw += tw, bh = std::max(bh, th);
        if (!ge) goy = Half(bh - gh);
        if (cap) toy = Half(bh - th);
        break;
    case TShineLayout::GlyphRight:
        tox = bw;
        if (cap) bw += tw, bh = std::max(bh, th);
        if (!ge && cap) bw += in.spacing;
        gox = bw;
        if (!ge) bw += gw, bh = std::max(bh, gh);
        if (!ge) goy = Half(bh - gh);
        if (cap) toy = Half(bh - th);
        break;
    case TShineLayout::GlyphTop:
        goy = bh;
        if (!ge) bh += gh, bw = std::max(bw, gw);
        // Spacing counts here even without a glyph, unlike the other layouts.
        if (cap) bh += in.spacing;
        toy = bh;
        if (cap) bh += th, bw = std::max(bw, tw);
        if (!ge) gox = Half(bw - gw);
        if (cap) tox = Half(bw - tw);
        break;
    case TShineLayout::GlyphBottom:
        toy = bh;
        if (cap) bh += th, bw = std::max(bw, tw);
        if (!ge && cap) bh += in.spacing;
        goy = bh;
        bh += gh;
        bw = std::max(bw, gw);
        if (!ge) gox = Half(bw - gw);
        if (cap) tox = Half(bw - tw);
        break;
    }

    int bx = Half(in.clientWidth - bw);
    int by = Half(in.clientHeight - bh);
    if (in.margin >= 0) {
        switch (in.layout) {
        case TShineLayout::GlyphLeft:
            bx = in.margin;
            break;
        case TShineLayout::GlyphRight:
            bx = in.clientWidth - bw - in.margin;
            break;
        case TShineLayout::GlyphTop:
            by = in.margin;
            break;
        case TShineLayout::GlyphBottom:
            by = in.clientHeight - bh - in.margin;
            break;
        }
    }

    ShineLayoutResult r;
    r.glyphX = gox + bx;
    r.glyphY = goy + by;
    r.textLeft = in.textLeft + tox + bx;
    r.textRight = in.textRight + tox + bx;
    r.textTop = in.textTop + toy + by;
    r.textBottom = in.textBottom + toy + by;
    return r;
}

std::array<std::uint32_t, 256> GradationStrip(std::uint32_t from, std::uint32_t to) {
    std::array<std::uint32_t, 256> strip{};
    auto step = [](int c0, int c1, int i) { return c0 + ((c1 - c0) * i) / 255; };
    for (int i = 0; i < 256; ++i)
        strip[static_cast<std::size_t>(i)] =
            Pixel(step(Red(from), Red(to), i), step(Green(from), Green(to), i),
                  step(Blue(from), Blue(to), i));
    return strip;
}

std::uint32_t GlyphTransparentColor(ConstPixelRows glyph) {
    if (glyph.width <= 0 || glyph.height <= 0) return 0;
    return glyph.At(0, glyph.height - 1);
}

void ApplyActiveImage(TActiveImageType type, ConstPixelRows glyph, PixelRows result,
                      std::uint32_t shine) {
    switch (type) {
    case aiNormal:
        break;
    case aiXorLight:
        MapOpaque(glyph, result, [&](std::uint32_t p) { return p ^ shine; });
        break;
    case aiHalfLight:
        MapOpaque(glyph, result, [&](std::uint32_t p) {
            return PerChannel(shine, p, [](int s, int c) { return (s + c) / 2; });
        });
        break;
    case aiQuaterLight:
        MapOpaque(glyph, result, [&](std::uint32_t p) {
            return PerChannel(shine, p, [](int s, int c) { return (3 * s + c) / 4; });
        });
        break;
    case aiAddLight:
        MapOpaque(glyph, result, [&](std::uint32_t p) {
            return PerChannel(shine, p, [](int s, int c) { return std::min(255, s + c); });
        });
        break;
    case aiFrameLight:
        Outline(glyph, result, shine, false);
        break;
    case aiFrameLight2:
        Outline(glyph, result, shine, true);
        break;
    case aiMaskLight:
        CheckerMask(glyph, result, shine);
        break;
    }
}

void ApplyDisabledImage(TDisabledImageType type, ConstPixelRows glyph, PixelRows result,
                        std::uint32_t face) {
    switch (type) {
    case diDefault:
        EdgeMask(glyph, result);
        break;
    case diGrayscale:
        MapOpaque(glyph, result, [](std::uint32_t p) {
            const int v = (Red(p) + Green(p) + Blue(p)) / 3;
            return Pixel(v, v, v);
        });
        break;
    case diAlphaHalfTrans:
        MapOpaque(glyph, result, [&](std::uint32_t p) {
            return PerChannel(face, p, [](int f, int c) { return (f + c) / 2; });
        });
        break;
    case diAlphaQuaterTrans:
        MapOpaque(glyph, result, [&](std::uint32_t p) {
            return PerChannel(face, p, [](int f, int c) { return (3 * f + c) / 4; });
        });
        break;
    case diMaskTrans:
        CheckerMask(glyph, result, GlyphTransparentColor(glyph));
        break;
    }
}

} // namespace sv
