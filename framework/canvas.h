#pragma once
// The canvas: the platform's drawing operations with its exact pixel coverage, drawn by our own
// loops on a QImage; only glyphs go through QPainter.
#include "framework/graphics.h"

#include <QImage>
#include <QString>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

class QRect;

namespace sv {

class TBitmap;

// ---- text measurement --------------------------------------------------------------------

struct TTextMetric {
    int Height = 0; // line height in pixels
    int Ascent = 0; // baseline below the line's top
    int AveCharWidth = 0;
};

// Measures and draws runs of text in a font. Layout (DrawText) is the canvas's own work; only
// widths, line height and the glyphs themselves come from here, so tests can swap in a font
// whose every character is a known box.
class TextMetricsProvider {
public:
    virtual ~TextMetricsProvider() = default;
    virtual TTextMetric Metrics(const TFont& font) const = 0;
    virtual int TextWidth(const TFont& font, const QString& text) const = 0;
    // Draws `text` with its line's top-left at (x, y) in `color`, touching only `clip`.
    virtual void DrawGlyphs(QImage& image, const QRect& clip, int x, int y, const TFont& font,
                            const QString& text, std::uint32_t color) const = 0;
};

// Qt's font metrics; glyphs drawn without antialiasing.
class QtTextMetrics : public TextMetricsProvider {
public:
    TTextMetric Metrics(const TFont& font) const override;
    int TextWidth(const TFont& font, const QString& text) const override;
    void DrawGlyphs(QImage& image, const QRect& clip, int x, int y, const TFont& font,
                    const QString& text, std::uint32_t color) const override;
};

// Every character a cell of CellWidth x CellHeight (characters beyond U+00FF two cells wide);
// a visible character is drawn as a box filling its cell except the last column and row.
class FixedCellTextMetrics : public TextMetricsProvider {
public:
    FixedCellTextMetrics(int cellWidth, int cellHeight, int ascent)
        : cellWidth_(cellWidth), cellHeight_(cellHeight), ascent_(ascent) {}
    TTextMetric Metrics(const TFont& font) const override;
    int TextWidth(const TFont& font, const QString& text) const override;
    void DrawGlyphs(QImage& image, const QRect& clip, int x, int y, const TFont& font,
                    const QString& text, std::uint32_t color) const override;

private:
    int cellWidth_;
    int cellHeight_;
    int ascent_;
};

// The provider canvases use unless given their own; nullptr restores Qt's.
const TextMetricsProvider& DefaultTextMetrics();
void SetDefaultTextMetrics(const TextMetricsProvider* provider);

// ---- flags -------------------------------------------------------------------------------

// DrawText formats.
constexpr unsigned DT_TOP = 0x0;
constexpr unsigned DT_LEFT = 0x0;
constexpr unsigned DT_CENTER = 0x1;
constexpr unsigned DT_RIGHT = 0x2;
constexpr unsigned DT_VCENTER = 0x4;
constexpr unsigned DT_BOTTOM = 0x8;
constexpr unsigned DT_WORDBREAK = 0x10;
constexpr unsigned DT_SINGLELINE = 0x20;
constexpr unsigned DT_EXPANDTABS = 0x40;
constexpr unsigned DT_NOCLIP = 0x100;
constexpr unsigned DT_EXTERNALLEADING = 0x200;
constexpr unsigned DT_CALCRECT = 0x400;
constexpr unsigned DT_NOPREFIX = 0x800;
// Accepted; a single line of an edit control lays out like any other.
constexpr unsigned DT_EDITCONTROL = 0x2000;
constexpr unsigned DT_END_ELLIPSIS = 0x8000;
constexpr unsigned DT_HIDEPREFIX = 0x100000;

// DrawEdge edges and sides.
constexpr unsigned BDR_RAISEDOUTER = 0x1;
constexpr unsigned BDR_SUNKENOUTER = 0x2;
constexpr unsigned BDR_RAISEDINNER = 0x4;
constexpr unsigned BDR_SUNKENINNER = 0x8;
constexpr unsigned EDGE_RAISED = BDR_RAISEDOUTER | BDR_RAISEDINNER;
constexpr unsigned EDGE_SUNKEN = BDR_SUNKENOUTER | BDR_SUNKENINNER;
constexpr unsigned EDGE_ETCHED = BDR_SUNKENOUTER | BDR_RAISEDINNER;
constexpr unsigned EDGE_BUMP = BDR_RAISEDOUTER | BDR_SUNKENINNER;
constexpr unsigned BF_LEFT = 0x1;
constexpr unsigned BF_TOP = 0x2;
constexpr unsigned BF_RIGHT = 0x4;
constexpr unsigned BF_BOTTOM = 0x8;
constexpr unsigned BF_RECT = BF_LEFT | BF_TOP | BF_RIGHT | BF_BOTTOM;
constexpr unsigned BF_MIDDLE = 0x800;
constexpr unsigned BF_SOFT = 0x1000;
constexpr unsigned BF_ADJUST = 0x2000;
constexpr unsigned BF_FLAT = 0x4000;
constexpr unsigned BF_MONO = 0x8000;

// Raster operations for BitBlt and CopyMode: bits 16-23 are the truth table over
// pattern (brush), source and destination.
using TCopyMode = std::uint32_t;
constexpr TCopyMode BLACKNESS = 0x00000042;
constexpr TCopyMode NOTSRCERASE = 0x001100A6;
constexpr TCopyMode NOTSRCCOPY = 0x00330008;
constexpr TCopyMode SRCERASE = 0x00440328;
constexpr TCopyMode DSTINVERT = 0x00550009;
constexpr TCopyMode PATINVERT = 0x005A0049;
constexpr TCopyMode SRCINVERT = 0x00660046;
constexpr TCopyMode SRCAND = 0x008800C6;
constexpr TCopyMode MERGEPAINT = 0x00BB0226;
constexpr TCopyMode MERGECOPY = 0x00C000CA;
constexpr TCopyMode SRCCOPY = 0x00CC0020;
constexpr TCopyMode SRCPAINT = 0x00EE0086;
constexpr TCopyMode PATCOPY = 0x00F00021;
constexpr TCopyMode PATPAINT = 0x00FB0A09;
constexpr TCopyMode WHITENESS = 0x00FF0062;
// Brush where the source is white, destination where it is black.
constexpr TCopyMode ROP_DSPDxax = 0x00E20746;

// Returned by Pixels for a point outside the image or the clip rectangle.
constexpr TColor CLR_INVALID = 0xFFFFFFFF;

// ---- regions ----------------------------------------------------------------------------

enum class TRegionCombine { rcAnd, rcOr, rcXor, rcDiff };
using enum TRegionCombine;

// Whether pixel (x, y) of `rect` lies inside it once its corners are cut to quarters of a
// w x h ellipse (pixel centres tested).
bool InRoundRect(const TRect& rect, double w, double h, int x, int y);

// A set of pixels, for shaped fills and frames; kept within -8192..8191 on both axes.
class TRegion {
public:
    TRegion() = default;
    // [Left, Right) x [Top, Bottom).
    static TRegion FromRect(const TRect& rect);
    static constexpr TRect kAll{-8192, -8192, 8192, 8192};
    // Pixels whose centres lie inside; `winding` chooses the non-zero rule over even-odd. Only
    // the part within `within` is kept.
    static TRegion FromPolygon(const std::vector<TPoint>& points, bool winding,
                               const TRect& within = kAll);
    // [left, right) x [top, bottom) with each corner cut to a quarter of a w x h ellipse.
    static TRegion FromRoundRect(int left, int top, int right, int bottom, int w, int h);
    static TRegion FromEllipse(const TRect& rect);
    static TRegion Combine(const TRegion& a, const TRegion& b, TRegionCombine mode);

    bool Contains(int x, int y) const;
    bool Empty() const { return IsRectEmpty(bounds_); }
    // The smallest rectangle holding every pixel (all zero when empty).
    TRect Bounds() const { return bounds_; }
    void Offset(int dx, int dy);

private:
    void Shrink();
    TRect bounds_;
    std::vector<bool> bits_; // row-major over bounds_
};

// ---- the canvas --------------------------------------------------------------------------

// Where a canvas draws: an image, the image position of the canvas's (0, 0), and the part of
// the image (in image coordinates) that may be touched. A windowless control draws into its
// parent's image with Origin at its own position and Clip its own bounds.
struct TDrawSurface {
    QImage* Image = nullptr;
    TPoint Origin;
    TRect Clip{-0x3FFFFFFF, -0x3FFFFFFF, 0x3FFFFFFF, 0x3FFFFFFF};
};

// Coordinates are canvas coordinates (the surface origin added). Everything outside the clip
// rectangle and the image is left alone; with no target nothing is drawn.
class TCanvas : public TPersistent {
public:
    TCanvas();
    explicit TCanvas(QImage* target);
    ~TCanvas() override;
    TCanvas(const TCanvas&) = delete;
    TCanvas& operator=(const TCanvas&) = delete;
    std::string ClassName() const override { return "TCanvas"; }

    // Target.
    void SetTarget(QImage* image);
    QImage* Target() const { return surface_.Image; }
    void SetSurface(const TDrawSurface& surface);
    const TDrawSurface& Surface() const { return surface_; }
    // Like a device context being present.
    bool HandleAllocated() const { return surface_.Image != nullptr; }
    TPoint Origin() const { return surface_.Origin; }
    void SetOrigin(TPoint origin);
    // In canvas coordinates: the part of the canvas that drawing may touch.
    TRect ClipRect() const;
    void SetClipRect(const TRect& rect);
    // Clip back to the whole image.
    void ResetClip();
    void SetTextMetrics(const TextMetricsProvider* provider) { metrics_ = provider; }
    const TextMetricsProvider& TextMetrics() const;

    // Tools; assigning to them copies (Font()->Assign(other)).
    TFont* Font() const { return font_.get(); }
    TPen* Pen() const { return pen_.get(); }
    TBrush* Brush() const { return brush_.get(); }
    TCopyMode CopyMode() const { return copyMode_; }
    void SetCopyMode(TCopyMode mode) { copyMode_ = mode; }
    TPoint PenPos() const { return penPos_; }
    void SetPenPos(TPoint p) { penPos_ = p; }

    // Lines and shapes (pen for outlines, brush for insides).
    void MoveTo(int x, int y);
    // Draws from PenPos up to but not including (x, y), then moves there.
    void LineTo(int x, int y);
    // Lines through the points; the last point is not drawn. PenPos stays.
    void Polyline(const std::vector<TPoint>& points);
    // Filled (even-odd) and outlined, closed back to the first point.
    void Polygon(const std::vector<TPoint>& points);
    // Outline of [x1, x2) x [y1, y2) with the pen, inside with the brush.
    void Rectangle(int x1, int y1, int x2, int y2);
    void Rectangle(const TRect& rect) { Rectangle(rect.Left, rect.Top, rect.Right, rect.Bottom); }
    // Ellipse inscribed in [x1, x2) x [y1, y2).
    void Ellipse(int x1, int y1, int x2, int y2);
    void Ellipse(const TRect& rect) { Ellipse(rect.Left, rect.Top, rect.Right, rect.Bottom); }
    // Rectangle [x1, x2) x [y1, y2) with corners cut to quarters of a w x h ellipse.
    void RoundRect(int x1, int y1, int x2, int y2, int w, int h);
    // Brush over [Left, Right) x [Top, Bottom).
    void FillRect(const TRect& rect);
    // One-pixel ring inside the rectangle in the brush colour.
    void FrameRect(const TRect& rect);
    // `width` nested rings, top and left in `topLeft`, bottom and right in `bottomRight`, the
    // top-right and bottom-left corners in `bottomRight`; `rect` shrinks by `width`. Leaves
    // the pen one pixel wide in `bottomRight`.
    void Frame3D(TRect& rect, TColor topLeft, TColor bottomRight, int width);
    // The platform's 3-D edges in the system colours; BF_ADJUST shrinks `rect` past them.
    bool DrawEdge(TRect& rect, unsigned edge, unsigned flags);
    // Dotted ring: pixels whose image x + y is even XOR with the brush colour, the others with
    // the font colour (black by default, so they stay). Drawing it twice restores the pixels.
    void DrawFocusRect(const TRect& rect);

    // The region's pixels in the brush; a frame of the region's own pixels that lie within
    // `w` columns or `h` rows of its outside.
    void FillRegion(const TRegion& region);
    void FrameRegion(const TRegion& region, int w, int h);

    // The closest colour the surface can show: on 32-bit pixels the colour itself, flag bits
    // (such as a system colour's) dropped.
    TColor GetNearestColor(TColor color) const { return color & 0x00FFFFFF; }

    // Pixels.
    TColor Pixels(int x, int y) const;
    void SetPixels(int x, int y, TColor color);

    // Images.
    // Copies `source` of `canvas` onto `dest` with CopyMode, stretched when the sizes differ.
    void CopyRect(const TRect& dest, const TCanvas* canvas, const TRect& source);
    // Honours the bitmap's Transparent flag; otherwise uses CopyMode.
    void Draw(int x, int y, const TBitmap* bitmap);
    // Nearest neighbour; the first and last pixels of each row and column land exactly.
    void StretchDraw(const TRect& dest, const TBitmap* bitmap);
    // `rop` over a w x h block; the source may be this canvas. Returns false without a target.
    bool BitBlt(int x, int y, int w, int h, const TCanvas* source, int sx, int sy, TCopyMode rop);
    bool StretchBlt(int x, int y, int w, int h, const TCanvas* source, int sx, int sy, int sw,
                    int sh, TCopyMode rop);

    // Text: Font colour; the brush colour behind it unless the brush is clear.
    // Draws with the line's top-left at (x, y) and moves PenPos to its right end.
    void TextOut(int x, int y, const std::string& text);
    // Fills `rect` with the brush (unless clear) and draws the text at (x, y) clipped to it.
    void TextRect(const TRect& rect, int x, int y, const std::string& text);
    int TextWidth(const std::string& text) const;
    int TextHeight(const std::string& text) const;
    TSize TextExtent(const std::string& text) const;
    // The platform's formatted text: returns the height of the text (with DT_VCENTER or
    // DT_BOTTOM on a single line, the offset from rect.Top to the text's bottom). DT_CALCRECT
    // only measures: rect.Right and rect.Bottom are set to bound the text. DT_END_ELLIPSIS
    // ends a line too wide for the rectangle with "...".
    int DrawText(const std::string& text, TRect& rect, unsigned format);

    TNotifyEvent OnChange;

private:
    friend class TImageList;
    // Clip in image coordinates (never beyond the image).
    TRect ImageClip() const;
    void Changed();
    void PenPixel(int ix, int iy, std::uint32_t penRgb, const TRect& clip);
    // `rect` (canvas coordinates) cut to what drawing may touch.
    TRect VisiblePart(const TRect& rect) const;
    void DrawLine(int x1, int y1, int x2, int y2);
    void FillImageRect(int l, int t, int r, int b, std::uint32_t rgb);
    void FillWithBrush(int l, int t, int r, int b);
    void DrawTextLine(int x, int y, const QString& line, int underlineIndex, const QRect& clip);
    void DrawBitmap(const TRect& dest, const TBitmap* bitmap);
    void RoundShape(int x1, int y1, int x2, int y2, double w, double h);
    // Pixels of `image` at (x, y) except where `clear` (row-major) is set; `solid` paints the
    // kept pixels in one colour instead.
    void DrawMasked(int x, int y, const QImage& image, const std::vector<bool>& clear,
                    const TColor* solid);

    TDrawSurface surface_;
    bool hasClip_ = false;
    TRect clip_; // canvas coordinates, when hasClip_
    const TextMetricsProvider* metrics_ = nullptr;
    std::unique_ptr<TFont> font_;
    std::unique_ptr<TPen> pen_;
    std::unique_ptr<TBrush> brush_;
    TCopyMode copyMode_ = SRCCOPY;
    TPoint penPos_;
};

} // namespace sv
