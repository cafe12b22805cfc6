#pragma once
// Pixel work of the shining speed button: layout of glyph and caption, the gradation strip and
// the glyph effects of the hot and disabled looks. Everything here works on plain 32-bit pixel
// rows (0x00RRGGBB, top byte ignored on reading, written as 0) so it can be checked directly.
#include <array>
#include <cstddef>
#include <cstdint>

namespace sv {

enum class TFrameType { ftFlatFrame, ftNormalFrame, ftEnclosedFrame };
using enum TFrameType;
enum class TActiveImageType {
    aiNormal,
    aiXorLight,
    aiHalfLight,
    aiQuaterLight,
    aiAddLight,
    aiFrameLight,
    aiFrameLight2,
    aiMaskLight
};
using enum TActiveImageType;
enum class TDisabledImageType {
    diDefault,
    diGrayscale,
    diAlphaHalfTrans,
    diAlphaQuaterTrans,
    diMaskTrans
};
using enum TDisabledImageType;

// Where glyph and caption go relative to each other; same order as the speed button's layout.
enum class TShineLayout { GlyphLeft, GlyphRight, GlyphTop, GlyphBottom };

// A window on 32-bit pixel rows; `stride` counts pixels from one row to the next.
struct PixelRows {
    std::uint32_t* bits = nullptr;
    int width = 0;
    int height = 0;
    std::ptrdiff_t stride = 0;

    std::uint32_t* Row(int y) const { return bits + y * stride; }
    std::uint32_t& At(int x, int y) const { return Row(y)[x]; }
};

struct ConstPixelRows {
    const std::uint32_t* bits = nullptr;
    int width = 0;
    int height = 0;
    std::ptrdiff_t stride = 0;

    ConstPixelRows() = default;
    ConstPixelRows(const std::uint32_t* b, int w, int h, std::ptrdiff_t s)
        : bits(b), width(w), height(h), stride(s) {}
    ConstPixelRows(const PixelRows& r) // NOLINT: a writable view reads as well
        : bits(r.bits), width(r.width), height(r.height), stride(r.stride) {}

    const std::uint32_t* Row(int y) const { return bits + y * stride; }
    std::uint32_t At(int x, int y) const { return Row(y)[x] & 0xFFFFFFu; }
};

// Inputs of the layout: the glyph size (0 × 0 when empty), the caption as measured on a
// rectangle (0, 0, client width, 0), and the button's settings.
struct ShineLayoutInput {
    int glyphWidth = 0;
    int glyphHeight = 0;
    bool glyphEmpty = true;
    bool hasCaption = false;
    int textLeft = 0, textTop = 0, textRight = 0, textBottom = 0; // measured rectangle
    TShineLayout layout = TShineLayout::GlyphLeft;
    int margin = -1;
    int spacing = 4;
    int clientWidth = 0;
    int clientHeight = 0;
};

struct ShineLayoutResult {
    int glyphX = 0;
    int glyphY = 0;
    int textLeft = 0, textTop = 0, textRight = 0, textBottom = 0;
};

ShineLayoutResult CalcLayout(const ShineLayoutInput& in);

// Pixel i of the 256-pixel gradation from `from` to `to` (both 0x00RRGGBB); channels move by
// (c1 - c0) * i / 255, truncated toward zero, so the ends are exact.
std::array<std::uint32_t, 256> GradationStrip(std::uint32_t from, std::uint32_t to);

// The transparent colour of a glyph: its bottom-left pixel.
std::uint32_t GlyphTransparentColor(ConstPixelRows glyph);

// Hot effect: `glyph` is the stored glyph, `result` a copy of it of the same size that
// receives the effect. `shine` is the shine colour as a pixel.
void ApplyActiveImage(TActiveImageType type, ConstPixelRows glyph, PixelRows result,
                      std::uint32_t shine);

// Disabled effect, likewise; `face` is the face colour as a pixel. diDefault leaves a
// black-and-white edge mask in `result` (white = edge).
void ApplyDisabledImage(TDisabledImageType type, ConstPixelRows glyph, PixelRows result,
                        std::uint32_t face);

} // namespace sv
