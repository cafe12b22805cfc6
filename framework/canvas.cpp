#include "framework/canvas.h"

#include "framework/bitmap.h"

#include <QFontMetrics>
#include <QPainter>
#include <QRect>
#include <algorithm>
#include <climits>
#include <cmath>
#include <cstdlib>

namespace sv {

// ---- text measurement --------------------------------------------------------------------

TTextMetric QtTextMetrics::Metrics(const TFont& font) const {
    QFontMetrics fm(font.ToQFont());
    return {fm.height(), fm.ascent(), fm.averageCharWidth()};
}

int QtTextMetrics::TextWidth(const TFont& font, const QString& text) const {
    return QFontMetrics(font.ToQFont()).horizontalAdvance(text);
}

void QtTextMetrics::DrawGlyphs(QImage& image, const QRect& clip, int x, int y, const TFont& font,
                               const QString& text, std::uint32_t color) const {
    if (text.isEmpty() || clip.isEmpty()) return;
    QFont qf = font.ToQFont();
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing, false);
    p.setRenderHint(QPainter::TextAntialiasing, false);
    p.setClipRect(clip);
    p.setFont(qf);
    p.setPen(QColor::fromRgb(color));
    p.drawText(x, y + QFontMetrics(qf).ascent(), text);
}

namespace {

int Cells(char32_t c) {
    return c > 0xFF ? 2 : 1;
}

} // namespace

TTextMetric FixedCellTextMetrics::Metrics(const TFont&) const {
    return {cellHeight_, ascent_, cellWidth_};
}

int FixedCellTextMetrics::TextWidth(const TFont&, const QString& text) const {
    int w = 0;
    for (char32_t c : text.toUcs4()) w += Cells(c) * cellWidth_;
    return w;
}

void FixedCellTextMetrics::DrawGlyphs(QImage& image, const QRect& clip, int x, int y, const TFont&,
                                      const QString& text, std::uint32_t color) const {
    QRect area = clip.intersected(image.rect());
    for (char32_t c : text.toUcs4()) {
        int w = Cells(c) * cellWidth_;
        if (c != ' ' && c != '\t' && c != 0x3000) {
            QRect box = QRect(x, y, w - 1, cellHeight_ - 1).intersected(area);
            for (int yy = box.top(); yy <= box.bottom(); ++yy) {
                auto* row = reinterpret_cast<std::uint32_t*>(image.scanLine(yy));
                for (int xx = box.left(); xx <= box.right(); ++xx) row[xx] = color | 0xFF000000u;
            }
        }
        x += w;
    }
}

namespace {

const QtTextMetrics& QtMetrics() {
    static const QtTextMetrics metrics;
    return metrics;
}

const TextMetricsProvider* g_defaultMetrics = nullptr;

// A TColor as a pixel value 0x00RRGGBB.
std::uint32_t ToPixel(TColor c) {
    return ColorToQRgb(c) & 0xFFFFFFu;
}
TColor FromPixel(std::uint32_t p) {
    return RGB(static_cast<int>((p >> 16) & 0xFF), static_cast<int>((p >> 8) & 0xFF),
               static_cast<int>(p & 0xFF));
}

std::uint32_t* Row(QImage& image, int y) {
    return reinterpret_cast<std::uint32_t*>(image.scanLine(y));
}
const std::uint32_t* Row(const QImage& image, int y) {
    return reinterpret_cast<const std::uint32_t*>(image.constScanLine(y));
}

void Store(std::uint32_t& px, std::uint32_t rgb) {
    px = 0xFF000000u | (rgb & 0xFFFFFFu);
}

// The binary raster operation of a pen mode.
std::uint32_t ApplyPenMode(TPenMode mode, std::uint32_t pen, std::uint32_t dst) {
    switch (mode) {
    case pmBlack:
        return 0;
    case pmWhite:
        return 0xFFFFFF;
    case pmNop:
        return dst;
    case pmNot:
        return ~dst;
    case pmCopy:
        return pen;
    case pmNotCopy:
        return ~pen;
    case pmMergePenNot:
        return pen | ~dst;
    case pmMaskPenNot:
        return pen & ~dst;
    case pmMergeNotPen:
        return ~pen | dst;
    case pmMaskNotPen:
        return ~pen & dst;
    case pmMerge:
        return pen | dst;
    case pmNotMerge:
        return ~(pen | dst);
    case pmMask:
        return pen & dst;
    case pmNotMask:
        return ~(pen & dst);
    case pmXor:
        return pen ^ dst;
    case pmNotXor:
        return ~(pen ^ dst);
    }
    return pen;
}

// A ternary raster operation: bit (P·4 + S·2 + D) of the code byte gives each result bit.
std::uint32_t ApplyRop3(unsigned code, std::uint32_t p, std::uint32_t s, std::uint32_t d) {
    std::uint32_t r = 0;
    for (unsigned idx = 0; idx < 8; ++idx) {
        if (((code >> idx) & 1) == 0) continue;
        r |= ((idx & 4) ? p : ~p) & ((idx & 2) ? s : ~s) & ((idx & 1) ? d : ~d);
    }
    return r & 0xFFFFFF;
}

// Source index for destination index `i` of `dn`, mapping the end pixels onto each other.
int StretchIndex(int i, int dn, int sn) {
    if (dn <= 1 || sn <= 1) return 0;
    long long num = static_cast<long long>(i) * (sn - 1) * 2 + (dn - 1);
    return static_cast<int>(num / (2LL * (dn - 1)));
}

bool HatchPixel(TBrushStyle style, int x, int y) {
    bool h = (y & 7) == 0;
    bool v = (x & 7) == 0;
    bool f = ((x - y) & 7) == 0;
    bool b = ((x + y) & 7) == 0;
    switch (style) {
    case bsHorizontal:
        return h;
    case bsVertical:
        return v;
    case bsFDiagonal:
        return f;
    case bsBDiagonal:
        return b;
    case bsCross:
        return h || v;
    case bsDiagCross:
        return f || b;
    default:
        return true;
    }
}

TRect Intersect(const TRect& a, const TRect& b) {
    TRect r;
    IntersectRect(r, a, b);
    return r;
}

bool Is32Bit(const QImage& image) {
    auto f = image.format();
    return f == QImage::Format_RGB32 || f == QImage::Format_ARGB32 ||
           f == QImage::Format_ARGB32_Premultiplied;
}

QRect ToQRect(const TRect& r) {
    return QRect(r.Left, r.Top, r.Width(), r.Height());
}

} // namespace

const TextMetricsProvider& DefaultTextMetrics() {
    return g_defaultMetrics ? *g_defaultMetrics : QtMetrics();
}

void SetDefaultTextMetrics(const TextMetricsProvider* provider) {
    g_defaultMetrics = provider;
}

// ---- the canvas --------------------------------------------------------------------------

TCanvas::TCanvas()
    : font_(std::make_unique<TFont>()), pen_(std::make_unique<TPen>()),
      brush_(std::make_unique<TBrush>()) {}

TCanvas::TCanvas(QImage* target) : TCanvas() {
    SetTarget(target);
}

TCanvas::~TCanvas() = default;

namespace {
void EnsureDrawable(QImage* image) {
    if (image && !image->isNull() && !Is32Bit(*image))
        *image = image->convertToFormat(QImage::Format_RGB32);
}
} // namespace

void TCanvas::SetTarget(QImage* image) {
    EnsureDrawable(image);
    surface_.Image = image;
}

void TCanvas::SetSurface(const TDrawSurface& surface) {
    EnsureDrawable(surface.Image);
    surface_ = surface;
}

void TCanvas::SetOrigin(TPoint origin) {
    surface_.Origin = origin;
}

TRect TCanvas::ImageClip() const {
    // A target that someone turned into another pixel format is left alone.
    if (!surface_.Image || !Is32Bit(*surface_.Image)) return {};
    TRect r{0, 0, surface_.Image->width(), surface_.Image->height()};
    r = Intersect(r, surface_.Clip);
    if (hasClip_) {
        TRect c = clip_;
        OffsetRect(c, surface_.Origin.X, surface_.Origin.Y);
        r = Intersect(r, c);
    }
    return r;
}

TRect TCanvas::ClipRect() const {
    if (!surface_.Image) return hasClip_ ? clip_ : TRect{};
    TRect r = ImageClip();
    OffsetRect(r, -surface_.Origin.X, -surface_.Origin.Y);
    return r;
}

void TCanvas::SetClipRect(const TRect& rect) {
    hasClip_ = true;
    clip_ = rect;
}

void TCanvas::ResetClip() {
    hasClip_ = false;
}

const TextMetricsProvider& TCanvas::TextMetrics() const {
    return metrics_ ? *metrics_ : DefaultTextMetrics();
}

void TCanvas::Changed() {
    if (OnChange) OnChange(this);
}

// ---- lines -------------------------------------------------------------------------------

void TCanvas::PenPixel(int ix, int iy, std::uint32_t penRgb, const TRect& clip) {
    int w = pen_->Width();
    int l = ix - w / 2;
    int t = iy - w / 2;
    TRect box = Intersect({l, t, l + w, t + w}, clip);
    for (int y = box.Top; y < box.Bottom; ++y) {
        std::uint32_t* row = Row(*surface_.Image, y);
        for (int x = box.Left; x < box.Right; ++x)
            Store(row[x], ApplyPenMode(pen_->Mode(), penRgb, row[x] & 0xFFFFFF));
    }
}

namespace {
// On/off run lengths of the cosmetic pen styles.
std::vector<int> DashPattern(TPenStyle style) {
    switch (style) {
    case psDash:
        return {18, 6};
    case psDot:
        return {3, 3};
    case psDashDot:
        return {9, 6, 3, 6};
    case psDashDotDot:
        return {9, 3, 3, 3, 3, 3};
    default:
        return {};
    }
}
} // namespace

void TCanvas::DrawLine(int x1, int y1, int x2, int y2) {
    if (!surface_.Image || pen_->Style() == psClear) return;
    const TRect clip = ImageClip();
    const std::int64_t ox = surface_.Origin.X;
    const std::int64_t oy = surface_.Origin.Y;
    // Nothing to do for a line whose box (widened by the pen) misses the clip.
    const std::int64_t reach = pen_->Width();
    if (std::max(x1, x2) + ox + reach < clip.Left || std::min(x1, x2) + ox - reach >= clip.Right ||
        std::max(y1, y2) + oy + reach < clip.Top || std::min(y1, y2) + oy - reach >= clip.Bottom)
        return;
    std::uint32_t rgb = ToPixel(pen_->Color());
    std::vector<int> dashes = DashPattern(pen_->Style());
    std::int64_t dx = std::abs(static_cast<std::int64_t>(x2) - x1);
    std::int64_t dy = std::abs(static_cast<std::int64_t>(y2) - y1);
    int sx = x1 < x2 ? 1 : -1;
    int sy = y1 < y2 ? 1 : -1;
    std::int64_t err = dx - dy;
    std::int64_t x = x1;
    std::int64_t y = y1;
    std::size_t dashIndex = 0;
    int dashLeft = dashes.empty() ? 0 : dashes[0];
    while (x != x2 || y != y2) {
        std::int64_t ix = x + ox;
        std::int64_t iy = y + oy;
        if ((dashes.empty() || dashIndex % 2 == 0) && ix + reach >= clip.Left &&
            ix - reach < clip.Right && iy + reach >= clip.Top && iy - reach < clip.Bottom)
            PenPixel(static_cast<int>(ix), static_cast<int>(iy), rgb, clip);
        if (!dashes.empty() && --dashLeft == 0) {
            dashIndex = (dashIndex + 1) % dashes.size();
            dashLeft = dashes[dashIndex];
        }
        std::int64_t e2 = 2 * err;
        if (e2 > -dy) {
            err -= dy;
            x += sx;
        }
        if (e2 < dx) {
            err += dx;
            y += sy;
        }
    }
}

void TCanvas::MoveTo(int x, int y) {
    penPos_ = {x, y};
}

void TCanvas::LineTo(int x, int y) {
    DrawLine(penPos_.X, penPos_.Y, x, y);
    penPos_ = {x, y};
    Changed();
}

void TCanvas::Polyline(const std::vector<TPoint>& points) {
    for (std::size_t i = 1; i < points.size(); ++i)
        DrawLine(points[i - 1].X, points[i - 1].Y, points[i].X, points[i].Y);
    Changed();
}

// ---- fills and shapes --------------------------------------------------------------------

void TCanvas::FillImageRect(int l, int t, int r, int b, std::uint32_t rgb) {
    if (!surface_.Image) return;
    TRect box = Intersect({l, t, r, b}, ImageClip());
    for (int y = box.Top; y < box.Bottom; ++y) {
        std::uint32_t* row = Row(*surface_.Image, y);
        for (int x = box.Left; x < box.Right; ++x) Store(row[x], rgb);
    }
}

void TCanvas::FillWithBrush(int l, int t, int r, int b) {
    if (!surface_.Image || brush_->Style() == bsClear) return;
    int ox = surface_.Origin.X;
    int oy = surface_.Origin.Y;
    std::uint32_t rgb = ToPixel(brush_->Color());
    if (brush_->Style() == bsSolid) {
        FillImageRect(l + ox, t + oy, r + ox, b + oy, rgb);
        return;
    }
    TRect box = Intersect({l + ox, t + oy, r + ox, b + oy}, ImageClip());
    for (int y = box.Top; y < box.Bottom; ++y) {
        std::uint32_t* row = Row(*surface_.Image, y);
        for (int x = box.Left; x < box.Right; ++x)
            if (HatchPixel(brush_->Style(), x, y)) Store(row[x], rgb);
    }
}

void TCanvas::FillRect(const TRect& rect) {
    FillWithBrush(rect.Left, rect.Top, rect.Right, rect.Bottom);
    Changed();
}

void TCanvas::FrameRect(const TRect& rect) {
    if (IsRectEmpty(rect)) return;
    const TRect& r = rect;
    FillWithBrush(r.Left, r.Top, r.Right, r.Top + 1);
    if (r.Height() > 1) FillWithBrush(r.Left, r.Bottom - 1, r.Right, r.Bottom);
    FillWithBrush(r.Left, r.Top + 1, r.Left + 1, r.Bottom - 1);
    if (r.Width() > 1) FillWithBrush(r.Right - 1, r.Top + 1, r.Right, r.Bottom - 1);
    Changed();
}

void TCanvas::Rectangle(int x1, int y1, int x2, int y2) {
    if (!surface_.Image) return;
    if (x2 < x1) std::swap(x1, x2);
    if (y2 < y1) std::swap(y1, y2);
    if (pen_->Style() == psClear) {
        FillWithBrush(x1, y1, x2 - 1, y2 - 1);
        Changed();
        return;
    }
    int w = pen_->Width();
    if (pen_->Style() != psInsideFrame && w > 1) {
        int d = w / 2;
        x1 -= d;
        y1 -= d;
        x2 += w - 1 - d;
        y2 += w - 1 - d;
    }
    FillWithBrush(x1 + w, y1 + w, x2 - w, y2 - w);
    // The ring, each pixel once (so XOR pens stay reversible).
    std::uint32_t rgb = ToPixel(pen_->Color());
    int ox = surface_.Origin.X;
    int oy = surface_.Origin.Y;
    TRect clip = ImageClip();
    auto span = [&](int y, int l, int r) {
        int iy = y + oy;
        if (iy < clip.Top || iy >= clip.Bottom) return;
        std::uint32_t* row = Row(*surface_.Image, iy);
        for (int ix = std::max(l + ox, clip.Left); ix < std::min(r + ox, clip.Right); ++ix)
            Store(row[ix], ApplyPenMode(pen_->Mode(), rgb, row[ix] & 0xFFFFFF));
    };
    for (int y = std::max(y1, clip.Top - oy); y < std::min(y2, clip.Bottom - oy); ++y) {
        if (y < y1 + w || y >= y2 - w) {
            span(y, x1, x2);
        } else {
            span(y, x1, std::min(x1 + w, x2));
            span(y, std::max(x2 - w, x1 + w), x2);
        }
    }
    Changed();
}

void TCanvas::Ellipse(int x1, int y1, int x2, int y2) {
    RoundShape(x1, y1, x2, y2, static_cast<double>(std::max(x1, x2)) - std::min(x1, x2),
               static_cast<double>(std::max(y1, y2)) - std::min(y1, y2));
}

void TCanvas::RoundRect(int x1, int y1, int x2, int y2, int w, int h) {
    RoundShape(x1, y1, x2, y2, std::abs(w), std::abs(h));
}

void TCanvas::RoundShape(int x1, int y1, int x2, int y2, double w, double h) {
    if (!surface_.Image) return;
    const TRect box{std::min(x1, x2), std::min(y1, y2), std::max(x1, x2), std::max(y1, y2)};
    if (IsRectEmpty(box)) return;
    w = std::min(w, static_cast<double>(box.Right) - box.Left);
    h = std::min(h, static_cast<double>(box.Bottom) - box.Top);
    auto inside = [&](int x, int y) {
        return PtInRect(box, {x, y}) && InRoundRect(box, w, h, x, y);
    };
    const TRect clip = ImageClip();
    const int ox = surface_.Origin.X;
    const int oy = surface_.Origin.Y;
    // Only the visible part (widened by the pen) is looked at.
    const int reach = pen_->Width();
    TRect look = Intersect(box, {clip.Left - ox - reach, clip.Top - oy - reach,
                                 clip.Right - ox + reach, clip.Bottom - oy + reach});
    bool outline = pen_->Style() != psClear;
    std::uint32_t penRgb = ToPixel(pen_->Color());
    for (int y = look.Top; y < look.Bottom; ++y)
        for (int x = look.Left; x < look.Right; ++x) {
            if (!inside(x, y)) continue;
            bool edge =
                !inside(x - 1, y) || !inside(x + 1, y) || !inside(x, y - 1) || !inside(x, y + 1);
            if (edge && outline)
                PenPixel(x + ox, y + oy, penRgb, clip);
            else
                FillWithBrush(x, y, x + 1, y + 1);
        }
    Changed();
}

void TCanvas::Polygon(const std::vector<TPoint>& points) {
    if (!surface_.Image || points.size() < 2) return;
    if (brush_->Style() != bsClear)
        FillRegion(TRegion::FromPolygon(points, false, VisiblePart(TRegion::kAll)));
    for (std::size_t i = 0; i < points.size(); ++i) {
        const TPoint& a = points[i];
        const TPoint& b = points[(i + 1) % points.size()];
        DrawLine(a.X, a.Y, b.X, b.Y);
    }
    Changed();
}

void TCanvas::Frame3D(TRect& rect, TColor topLeft, TColor bottomRight, int width) {
    pen_->SetWidth(1);
    --rect.Bottom;
    --rect.Right;
    TRect clip = ImageClip();
    OffsetRect(clip, -surface_.Origin.X, -surface_.Origin.Y);
    const bool drawable = !IsRectEmpty(clip);
    if (width > 0) pen_->SetColor(bottomRight);
    while (width > 0) {
        // The sides move on past each other; once all four lie beyond the drawable part, no
        // further ring shows, and a width of any size only shrinks the rectangle.
        if (!drawable || (rect.Left >= clip.Right && rect.Top >= clip.Bottom &&
                          rect.Right < clip.Left && rect.Bottom < clip.Top)) {
            auto moved = [](int v, long long by) {
                return static_cast<int>(std::clamp<long long>(v + by, INT_MIN, INT_MAX));
            };
            rect = {moved(rect.Left, width), moved(rect.Top, width), moved(rect.Right, -width),
                    moved(rect.Bottom, -width)};
            break;
        }
        --width;
        TPoint tl{rect.Left, rect.Top};
        TPoint tr{rect.Right, rect.Top};
        TPoint br{rect.Right, rect.Bottom};
        TPoint bl{rect.Left, rect.Bottom};
        pen_->SetColor(topLeft);
        Polyline({bl, tl, tr});
        pen_->SetColor(bottomRight);
        --bl.X;
        Polyline({tr, br, bl});
        InflateRect(rect, -1, -1);
    }
    ++rect.Bottom;
    ++rect.Right;
}

namespace {
// Edge colours by (edge & 0xF): outer pair in bits 0-1, inner pair in bits 2-3. A lone inner
// edge takes the outer ring. -1: no ring.
constexpr int kNo = -1;
constexpr int kLight = 22, kDkShadow = 21, kShadow = 16, kHighlight = 20, kFace = 15;
constexpr int kLTOuter[16] = {kNo,       kLight, kShadow, kNo, kHighlight, kLight, kShadow, kNo,
                              kDkShadow, kLight, kShadow, kNo, kNo,        kLight, kShadow, kNo};
constexpr int kRBOuter[16] = {kNo,        kDkShadow, kHighlight, kNo,       kShadow,    kDkShadow,
                              kHighlight, kNo,       kLight,     kDkShadow, kHighlight, kNo,
                              kNo,        kDkShadow, kHighlight, kNo};
constexpr int kLTInner[16] = {kNo, kNo,       kNo,       kNo, kNo, kHighlight, kHighlight, kNo,
                              kNo, kDkShadow, kDkShadow, kNo, kNo, kNo,        kNo,        kNo};
constexpr int kRBInner[16] = {kNo, kNo,    kNo,    kNo, kNo, kShadow, kShadow, kNo,
                              kNo, kLight, kLight, kNo, kNo, kNo,     kNo,     kNo};
} // namespace

bool TCanvas::DrawEdge(TRect& rect, unsigned edge, unsigned flags) {
    unsigned idx = edge & 0xF;
    int lt[2] = {kLTOuter[idx], kLTInner[idx]};
    int rb[2] = {kRBOuter[idx], kRBInner[idx]};
    if (flags & (BF_FLAT | BF_MONO)) {
        bool mono = (flags & BF_MONO) != 0;
        int outer = mono ? 6 : kShadow;
        int inner = mono ? 5 : kFace;
        lt[0] = rb[0] = lt[0] == kNo ? kNo : outer;
        lt[1] = rb[1] = lt[1] == kNo ? kNo : inner;
    }
    TRect r = rect;
    auto fill = [&](int l, int t, int rr, int b, int sys) {
        if (surface_.Image)
            FillImageRect(l + surface_.Origin.X, t + surface_.Origin.Y, rr + surface_.Origin.X,
                          b + surface_.Origin.Y, ToPixel(clSystemColor | static_cast<TColor>(sys)));
    };
    for (int ring = 0; ring < 2; ++ring) {
        if (lt[ring] == kNo && rb[ring] == kNo) continue;
        if (IsRectEmpty(r)) break;
        if (flags & BF_TOP) fill(r.Left, r.Top, r.Right - 1, r.Top + 1, lt[ring]);
        if (flags & BF_LEFT) fill(r.Left, r.Top, r.Left + 1, r.Bottom - 1, lt[ring]);
        if (flags & BF_BOTTOM) fill(r.Left, r.Bottom - 1, r.Right, r.Bottom, rb[ring]);
        if (flags & BF_RIGHT) fill(r.Right - 1, r.Top, r.Right, r.Bottom, rb[ring]);
        if (flags & BF_LEFT) ++r.Left;
        if (flags & BF_TOP) ++r.Top;
        if (flags & BF_RIGHT) --r.Right;
        if (flags & BF_BOTTOM) --r.Bottom;
    }
    if ((flags & BF_MIDDLE) && !IsRectEmpty(r))
        fill(r.Left, r.Top, r.Right, r.Bottom, (flags & BF_MONO) ? 5 : kFace);
    if (flags & BF_ADJUST) rect = r;
    Changed();
    return true;
}

void TCanvas::DrawFocusRect(const TRect& rect) {
    if (!surface_.Image || IsRectEmpty(rect)) return;
    // The dotted pattern is a black-and-white brush: its white dots take the background
    // colour (the brush's, inverted when the brush is clear) and its black ones the text
    // colour, and the result is XORed in.
    std::uint32_t bk = ToPixel(brush_->Color());
    if (brush_->Style() != bsSolid) bk = ~bk & 0xFFFFFF;
    std::uint32_t fg = ToPixel(font_->Color());
    TRect clip = ImageClip();
    TRect r = rect;
    OffsetRect(r, surface_.Origin.X, surface_.Origin.Y);
    for (int y = r.Top; y < r.Bottom; ++y) {
        if (y < clip.Top || y >= clip.Bottom) continue;
        bool full = y == r.Top || y == r.Bottom - 1;
        std::uint32_t* row = Row(*surface_.Image, y);
        auto touch = [&](int x) {
            if (x < clip.Left || x >= clip.Right) return;
            Store(row[x], (row[x] & 0xFFFFFF) ^ (((x + y) % 2 == 0) ? bk : fg));
        };
        if (full) {
            for (int x = r.Left; x < r.Right; ++x) touch(x);
        } else {
            touch(r.Left);
            if (r.Right - 1 != r.Left) touch(r.Right - 1);
        }
    }
    Changed();
}

// ---- pixels ------------------------------------------------------------------------------

TColor TCanvas::Pixels(int x, int y) const {
    int ix = x + surface_.Origin.X;
    int iy = y + surface_.Origin.Y;
    if (!PtInRect(ImageClip(), {ix, iy})) return CLR_INVALID;
    return FromPixel(Row(*surface_.Image, iy)[ix]);
}

void TCanvas::SetPixels(int x, int y, TColor color) {
    int ix = x + surface_.Origin.X;
    int iy = y + surface_.Origin.Y;
    if (!PtInRect(ImageClip(), {ix, iy})) return;
    Store(Row(*surface_.Image, iy)[ix], ToPixel(color));
    Changed();
}

// ---- images ------------------------------------------------------------------------------

namespace {

// Copies a block of `src` (its own coordinates) onto `dst` within `clip` (image coordinates),
// stretching by nearest neighbour; `key` pixels of the source are skipped when given.
void Blit(QImage& dst, const TRect& clip, const TRect& d, const QImage& srcImage, const TRect& s,
          unsigned rop, std::uint32_t pattern, const std::uint32_t* key) {
    if (d.Width() <= 0 || d.Height() <= 0 || s.Width() <= 0 || s.Height() <= 0) return;
    // A copy keeps overlapping blocks of one image right.
    const QImage src = !Is32Bit(srcImage)    ? srcImage.convertToFormat(QImage::Format_RGB32)
                       : (&srcImage == &dst) ? srcImage.copy()
                                             : srcImage;
    // Between two images with an alpha channel a plain copy keeps the transparency.
    const bool keepAlpha = rop == 0xCC && !key &&
                           src.format() == QImage::Format_ARGB32_Premultiplied &&
                           dst.format() == QImage::Format_ARGB32_Premultiplied;
    TRect box = Intersect(d, clip);
    std::vector<int> sxs(static_cast<std::size_t>(std::max(0, box.Width())));
    for (int x = box.Left; x < box.Right; ++x)
        sxs[static_cast<std::size_t>(x - box.Left)] =
            s.Left + StretchIndex(x - d.Left, d.Width(), s.Width());
    for (int y = box.Top; y < box.Bottom; ++y) {
        int sy = s.Top + StretchIndex(y - d.Top, d.Height(), s.Height());
        if (sy < 0 || sy >= src.height()) continue;
        const std::uint32_t* srow = Row(src, sy);
        std::uint32_t* drow = Row(dst, y);
        for (int x = box.Left; x < box.Right; ++x) {
            int sx = sxs[static_cast<std::size_t>(x - box.Left)];
            if (sx < 0 || sx >= src.width()) continue;
            if (keepAlpha) {
                drow[x] = srow[sx];
                continue;
            }
            std::uint32_t sp = srow[sx] & 0xFFFFFF;
            if (key && sp == *key) continue;
            if (rop == 0xCC)
                Store(drow[x], sp);
            else
                Store(drow[x], ApplyRop3(rop, pattern, sp, drow[x] & 0xFFFFFF));
        }
    }
}

} // namespace

bool TCanvas::StretchBlt(int x, int y, int w, int h, const TCanvas* source, int sx, int sy, int sw,
                         int sh, TCopyMode rop) {
    if (!surface_.Image) return false;
    unsigned code = (rop >> 16) & 0xFF;
    bool usesSource = ((code >> 2) & 0x33) != (code & 0x33);
    TRect d{x + surface_.Origin.X, y + surface_.Origin.Y, x + surface_.Origin.X + w,
            y + surface_.Origin.Y + h};
    std::uint32_t pattern = ToPixel(brush_->Color());
    if (!usesSource) {
        // Source-free operations read the destination only; one-pixel dummy source.
        QImage dummy(1, 1, QImage::Format_RGB32);
        dummy.fill(0);
        Blit(*surface_.Image, ImageClip(), d, dummy, {0, 0, 1, 1}, code, pattern, nullptr);
        Changed();
        return true;
    }
    if (!source || !source->surface_.Image) return false;
    TRect s{sx + source->surface_.Origin.X, sy + source->surface_.Origin.Y,
            sx + source->surface_.Origin.X + sw, sy + source->surface_.Origin.Y + sh};
    Blit(*surface_.Image, ImageClip(), d, *source->surface_.Image, s, code, pattern, nullptr);
    Changed();
    return true;
}

bool TCanvas::BitBlt(int x, int y, int w, int h, const TCanvas* source, int sx, int sy,
                     TCopyMode rop) {
    return StretchBlt(x, y, w, h, source, sx, sy, w, h, rop);
}

void TCanvas::CopyRect(const TRect& dest, const TCanvas* canvas, const TRect& source) {
    StretchBlt(dest.Left, dest.Top, dest.Width(), dest.Height(), canvas, source.Left, source.Top,
               source.Width(), source.Height(), copyMode_);
}

void TCanvas::DrawBitmap(const TRect& dest, const TBitmap* bitmap) {
    if (!surface_.Image || !bitmap || bitmap->Empty()) return;
    TRect d = dest;
    OffsetRect(d, surface_.Origin.X, surface_.Origin.Y);
    TRect s{0, 0, bitmap->Width(), bitmap->Height()};
    std::uint32_t pattern = ToPixel(brush_->Color());
    if (bitmap->Transparent()) {
        std::uint32_t key = ToPixel(bitmap->TransparentColor());
        Blit(*surface_.Image, ImageClip(), d, bitmap->Image(), s, 0xCC, pattern, &key);
    } else {
        Blit(*surface_.Image, ImageClip(), d, bitmap->Image(), s, (copyMode_ >> 16) & 0xFF, pattern,
             nullptr);
    }
    Changed();
}

void TCanvas::DrawMasked(int x, int y, const QImage& image, const std::vector<bool>& clear,
                         const TColor* solid) {
    if (!surface_.Image) return;
    TRect d = Bounds(x + surface_.Origin.X, y + surface_.Origin.Y, image.width(), image.height());
    TRect box = Intersect(d, ImageClip());
    std::uint32_t paint = solid ? ToPixel(*solid) : 0;
    for (int iy = box.Top; iy < box.Bottom; ++iy) {
        const std::uint32_t* src = Row(image, iy - d.Top);
        std::uint32_t* dst = Row(*surface_.Image, iy);
        for (int ix = box.Left; ix < box.Right; ++ix) {
            std::size_t at = static_cast<std::size_t>((iy - d.Top) * image.width() + ix - d.Left);
            if (at < clear.size() && clear[at]) continue;
            Store(dst[ix], solid ? paint : src[ix - d.Left]);
        }
    }
    Changed();
}

void TCanvas::Draw(int x, int y, const TBitmap* bitmap) {
    if (!bitmap) return;
    DrawBitmap(Bounds(x, y, bitmap->Width(), bitmap->Height()), bitmap);
}

void TCanvas::StretchDraw(const TRect& dest, const TBitmap* bitmap) {
    DrawBitmap(dest, bitmap);
}

// ---- text --------------------------------------------------------------------------------

int TCanvas::TextWidth(const std::string& text) const {
    return TextMetrics().TextWidth(*font_, QString::fromStdString(text));
}

int TCanvas::TextHeight(const std::string&) const {
    return TextMetrics().Metrics(*font_).Height;
}

TSize TCanvas::TextExtent(const std::string& text) const {
    return {TextWidth(text), TextHeight(text)};
}

void TCanvas::DrawTextLine(int x, int y, const QString& line, int underlineIndex,
                           const QRect& clip) {
    // (x, y) in canvas coordinates; `clip` in image coordinates.
    const TextMetricsProvider& m = TextMetrics();
    int ix = x + surface_.Origin.X;
    int iy = y + surface_.Origin.Y;
    std::uint32_t color = ToPixel(font_->Color());
    m.DrawGlyphs(*surface_.Image, clip, ix, iy, *font_, line, color);
    if (underlineIndex >= 0 && underlineIndex < line.size()) {
        int ux = ix + m.TextWidth(*font_, line.left(underlineIndex));
        int uw = m.TextWidth(*font_, line.mid(underlineIndex, 1));
        int uy = iy + m.Metrics(*font_).Ascent + 1;
        TRect u = Intersect({ux, uy, ux + uw, uy + 1},
                            {clip.left(), clip.top(), clip.right() + 1, clip.bottom() + 1});
        for (int xx = u.Left; xx < u.Right; ++xx)
            if (u.Top < u.Bottom) Store(Row(*surface_.Image, u.Top)[xx], color);
    }
}

void TCanvas::TextOut(int x, int y, const std::string& text) {
    if (surface_.Image) {
        QString s = QString::fromStdString(text);
        int w = TextMetrics().TextWidth(*font_, s);
        int h = TextMetrics().Metrics(*font_).Height;
        if (brush_->Style() == bsSolid) FillWithBrush(x, y, x + w, y + h);
        DrawTextLine(x, y, s, -1, ToQRect(ImageClip()));
        Changed();
    }
    MoveTo(x + TextWidth(text), y);
}

void TCanvas::TextRect(const TRect& rect, int x, int y, const std::string& text) {
    if (!surface_.Image) return;
    if (brush_->Style() == bsSolid) FillWithBrush(rect.Left, rect.Top, rect.Right, rect.Bottom);
    TRect r = rect;
    OffsetRect(r, surface_.Origin.X, surface_.Origin.Y);
    DrawTextLine(x, y, QString::fromStdString(text), -1, ToQRect(Intersect(r, ImageClip())));
    Changed();
}

namespace {

struct TextLine {
    QString text;
    int underline = -1; // index in text, -1 for none
    int width = 0;
};

// Removes the prefix marks: "&&" is one "&", "&x" underlines x (the last one counts).
TextLine StripPrefixes(const QString& s) {
    TextLine out;
    for (qsizetype i = 0; i < s.size(); ++i) {
        if (s[i] == '&') {
            if (i + 1 < s.size() && s[i + 1] == '&') {
                out.text += '&';
                ++i;
            } else if (i + 1 < s.size()) {
                out.underline = static_cast<int>(out.text.size());
            }
            continue;
        }
        out.text += s[i];
    }
    return out;
}

bool IsWide(QChar c) {
    return c.unicode() > 0xFF;
}

} // namespace

int TCanvas::DrawText(const std::string& text, TRect& rect, unsigned format) {
    const TextMetricsProvider& m = TextMetrics();
    TTextMetric tm = m.Metrics(*font_);
    const int lineHeight = tm.Height;
    const bool single = (format & DT_SINGLELINE) != 0;
    const int tabWidth = 8 * std::max(1, tm.AveCharWidth);
    QString all = QString::fromStdString(text);

    // Width of a run, tabs to the next stop when expanded.
    auto width = [&](const QString& s) {
        if (!(format & DT_EXPANDTABS) || !s.contains('\t')) return m.TextWidth(*font_, s);
        int w = 0;
        const QStringList parts = s.split('\t');
        for (qsizetype i = 0; i < parts.size(); ++i) {
            if (i > 0) w = (w / tabWidth + 1) * tabWidth;
            w += m.TextWidth(*font_, parts[i]);
        }
        return w;
    };

    // Hard lines.
    QStringList hard;
    if (single) {
        QString s = all;
        s.remove('\r');
        s.remove('\n');
        hard << s;
    } else {
        QString cur;
        for (qsizetype i = 0; i < all.size(); ++i) {
            if (all[i] == '\r' || all[i] == '\n') {
                hard << cur;
                cur.clear();
                if (all[i] == '\r' && i + 1 < all.size() && all[i + 1] == '\n') ++i;
            } else {
                cur += all[i];
            }
        }
        // A break at the very end starts no further line.
        if (!cur.isEmpty() || hard.isEmpty()) hard << cur;
    }

    // Prefixes, then word breaks.
    std::vector<TextLine> lines;
    const int maxWidth = rect.Width();
    for (const QString& h : hard) {
        TextLine full = (format & DT_NOPREFIX) ? TextLine{h, -1, 0} : StripPrefixes(h);
        if (format & DT_HIDEPREFIX) full.underline = -1;
        if (!(format & DT_WORDBREAK) || single || full.text.isEmpty()) {
            full.width = width(full.text);
            lines.push_back(full);
            continue;
        }
        const QString& s = full.text;
        qsizetype start = 0;
        do {
            // Break points: after a blank run, or next to a wide character.
            qsizetype best = -1;
            qsizetype firstBreak = -1;
            for (qsizetype end = start + 1; end <= s.size(); ++end) {
                bool breakable = end == s.size() || s[end] == ' ' ||
                                 (s[end - 1] != ' ' && (IsWide(s[end]) || IsWide(s[end - 1])));
                if (!breakable) continue;
                if (firstBreak < 0) firstBreak = end;
                if (width(s.mid(start, end - start)) <= maxWidth)
                    best = end;
                else
                    break;
            }
            qsizetype end = best >= 0 ? best : firstBreak;
            TextLine piece;
            piece.text = s.mid(start, end - start);
            if (full.underline >= start && full.underline < end)
                piece.underline = static_cast<int>(full.underline - start);
            while (piece.text.endsWith(' ') && end < s.size()) piece.text.chop(1);
            piece.width = width(piece.text);
            lines.push_back(piece);
            start = end;
            while (start < s.size() && s[start] == ' ') ++start;
        } while (start < s.size());
    }
    if (all.isEmpty() && !single) lines.clear();

    if (format & DT_END_ELLIPSIS) {
        for (TextLine& l : lines) {
            if (l.width <= maxWidth) continue;
            QString cut = l.text;
            while (!cut.isEmpty() && width(cut + "...") > maxWidth) cut.chop(1);
            if (l.underline >= cut.size()) l.underline = -1;
            l.text = cut + "...";
            l.width = width(l.text);
        }
    }

    int textWidth = 0;
    for (const TextLine& l : lines) textWidth = std::max(textWidth, l.width);
    const int textHeight = static_cast<int>(lines.size()) * lineHeight;

    if (format & DT_CALCRECT) {
        rect.Right = rect.Left + textWidth;
        rect.Bottom = rect.Top + textHeight;
        return textHeight;
    }

    int y = rect.Top;
    if (single && (format & DT_VCENTER))
        y = rect.Top + (rect.Height() - lineHeight) / 2;
    else if (single && (format & DT_BOTTOM))
        y = rect.Bottom - lineHeight;
    const int top = y;

    if (surface_.Image) {
        TRect clipR = ImageClip();
        if (!(format & DT_NOCLIP)) {
            TRect r = rect;
            OffsetRect(r, surface_.Origin.X, surface_.Origin.Y);
            clipR = Intersect(clipR, r);
        }
        QRect clip = ToQRect(clipR);
        const bool opaque = brush_->Style() == bsSolid;
        for (const TextLine& l : lines) {
            int x = rect.Left;
            if (format & DT_CENTER)
                x = rect.Left + (rect.Width() - l.width) / 2;
            else if (format & DT_RIGHT)
                x = rect.Right - l.width;
            if (opaque) {
                TRect bg{x + surface_.Origin.X, y + surface_.Origin.Y,
                         x + surface_.Origin.X + l.width, y + surface_.Origin.Y + lineHeight};
                bg = Intersect(bg, clipR);
                FillImageRect(bg.Left, bg.Top, bg.Right, bg.Bottom, ToPixel(brush_->Color()));
            }
            if ((format & DT_EXPANDTABS) && l.text.contains('\t')) {
                int pos = 0;
                int index = 0;
                const QStringList parts = l.text.split('\t');
                for (qsizetype i = 0; i < parts.size(); ++i) {
                    if (i > 0) pos = (pos / tabWidth + 1) * tabWidth;
                    int u = (l.underline >= index && l.underline < index + parts[i].size())
                                ? l.underline - index
                                : -1;
                    DrawTextLine(x + pos, y, parts[i], u, clip);
                    pos += m.TextWidth(*font_, parts[i]);
                    index += static_cast<int>(parts[i].size()) + 1;
                }
            } else {
                DrawTextLine(x, y, l.text, l.underline, clip);
            }
            y += lineHeight;
        }
        Changed();
    }
    if (single && (format & (DT_VCENTER | DT_BOTTOM))) return top - rect.Top + lineHeight;
    return textHeight;
}

} // namespace sv

namespace sv {

// ---- regions -----------------------------------------------------------------------------

namespace {
// Regions hold a bit per pixel, so they stay within a window-sized range.
constexpr int kRegionLimit = TRegion::kAll.Right;
TRect LimitRegion(const TRect& r) {
    return Intersect(r, {-kRegionLimit, -kRegionLimit, kRegionLimit, kRegionLimit});
}
} // namespace

TRegion TRegion::FromRect(const TRect& rect) {
    TRegion r;
    TRect limited = LimitRegion(rect);
    if (IsRectEmpty(limited)) return r;
    r.bounds_ = limited;
    r.bits_.assign(static_cast<std::size_t>(limited.Width()) * limited.Height(), true);
    return r;
}

TRegion TRegion::FromPolygon(const std::vector<TPoint>& points, bool winding, const TRect& within) {
    TRegion r;
    if (points.size() < 3) return r;
    TRect b{points[0].X, points[0].Y, points[0].X, points[0].Y};
    for (const TPoint& p : points) {
        b.Left = std::min(b.Left, p.X);
        b.Top = std::min(b.Top, p.Y);
        b.Right = std::max(b.Right, p.X + 1);
        b.Bottom = std::max(b.Bottom, p.Y + 1);
    }
    b = Intersect(LimitRegion(b), within);
    if (IsRectEmpty(b)) return r;
    r.bounds_ = b;
    r.bits_.assign(static_cast<std::size_t>(b.Width()) * b.Height(), false);
    for (int y = b.Top; y < b.Bottom; ++y) {
        double sy = y + 0.5;
        std::vector<std::pair<double, int>> xs; // crossing and direction
        for (std::size_t i = 0; i < points.size(); ++i) {
            const TPoint& p = points[i];
            const TPoint& q = points[(i + 1) % points.size()];
            if ((p.Y <= sy) == (q.Y <= sy)) continue;
            xs.emplace_back(p.X + (sy - p.Y) * (q.X - p.X) / static_cast<double>(q.Y - p.Y),
                            q.Y > p.Y ? 1 : -1);
        }
        std::sort(xs.begin(), xs.end());
        int count = 0;
        for (std::size_t i = 0; i + 1 < xs.size(); ++i) {
            count += xs[i].second;
            bool inside = winding ? count != 0 : (i % 2) == 0;
            if (!inside) continue;
            int l = std::max(b.Left, static_cast<int>(std::ceil(xs[i].first - 0.5)));
            int rr = std::min(b.Right, static_cast<int>(std::ceil(xs[i + 1].first - 0.5)));
            for (int x = l; x < rr; ++x)
                r.bits_[static_cast<std::size_t>((y - b.Top) * b.Width() + x - b.Left)] = true;
        }
    }
    r.Shrink();
    return r;
}

bool InRoundRect(const TRect& r, double w, double h, int x, int y) {
    if (w < 2 || h < 2) return true;
    double rx = w / 2.0;
    double ry = h / 2.0;
    double px = x + 0.5;
    double py = y + 0.5;
    double cx = px < r.Left + rx ? r.Left + rx : (px > r.Right - rx ? r.Right - rx : px);
    double cy = py < r.Top + ry ? r.Top + ry : (py > r.Bottom - ry ? r.Bottom - ry : py);
    double dx = (px - cx) / rx;
    double dy = (py - cy) / ry;
    return dx * dx + dy * dy <= 1.0;
}

TRegion TRegion::FromRoundRect(int left, int top, int right, int bottom, int w, int h) {
    TRegion r = FromRect({left, top, right, bottom});
    if (r.Empty()) return r;
    const TRect& b = r.bounds_;
    w = std::min(std::abs(w), b.Width());
    h = std::min(std::abs(h), b.Height());
    for (int y = b.Top; y < b.Bottom; ++y)
        for (int x = b.Left; x < b.Right; ++x)
            if (!InRoundRect(b, w, h, x, y))
                r.bits_[static_cast<std::size_t>((y - b.Top) * b.Width() + x - b.Left)] = false;
    r.Shrink();
    return r;
}

TRegion TRegion::FromEllipse(const TRect& rect) {
    return FromRoundRect(rect.Left, rect.Top, rect.Right, rect.Bottom, rect.Width(), rect.Height());
}

bool TRegion::Contains(int x, int y) const {
    if (!PtInRect(bounds_, {x, y})) return false;
    return bits_[static_cast<std::size_t>((y - bounds_.Top) * bounds_.Width() + x - bounds_.Left)];
}

void TRegion::Offset(int dx, int dy) {
    if (!Empty()) OffsetRect(bounds_, dx, dy);
}

TRegion TRegion::Combine(const TRegion& a, const TRegion& b, TRegionCombine mode) {
    TRect u;
    if (a.Empty())
        u = b.bounds_;
    else if (b.Empty())
        u = a.bounds_;
    else
        u = {std::min(a.bounds_.Left, b.bounds_.Left), std::min(a.bounds_.Top, b.bounds_.Top),
             std::max(a.bounds_.Right, b.bounds_.Right),
             std::max(a.bounds_.Bottom, b.bounds_.Bottom)};
    TRegion r;
    if (IsRectEmpty(u)) return r;
    r.bounds_ = u;
    r.bits_.assign(static_cast<std::size_t>(u.Width()) * u.Height(), false);
    for (int y = u.Top; y < u.Bottom; ++y)
        for (int x = u.Left; x < u.Right; ++x) {
            bool p = a.Contains(x, y);
            bool q = b.Contains(x, y);
            bool in = mode == rcAnd   ? (p && q)
                      : mode == rcOr  ? (p || q)
                      : mode == rcXor ? (p != q)
                                      : (p && !q);
            r.bits_[static_cast<std::size_t>((y - u.Top) * u.Width() + x - u.Left)] = in;
        }
    r.Shrink();
    return r;
}

void TRegion::Shrink() {
    TRect b{INT_MAX, INT_MAX, INT_MIN, INT_MIN};
    for (int y = bounds_.Top; y < bounds_.Bottom; ++y)
        for (int x = bounds_.Left; x < bounds_.Right; ++x)
            if (Contains(x, y)) {
                b.Left = std::min(b.Left, x);
                b.Top = std::min(b.Top, y);
                b.Right = std::max(b.Right, x + 1);
                b.Bottom = std::max(b.Bottom, y + 1);
            }
    if (b.Left == INT_MAX) {
        *this = TRegion();
        return;
    }
    if (b == bounds_) return;
    std::vector<bool> bits(static_cast<std::size_t>(b.Width()) * b.Height());
    for (int y = b.Top; y < b.Bottom; ++y)
        for (int x = b.Left; x < b.Right; ++x)
            bits[static_cast<std::size_t>((y - b.Top) * b.Width() + x - b.Left)] = Contains(x, y);
    bounds_ = b;
    bits_ = std::move(bits);
}

TRect TCanvas::VisiblePart(const TRect& rect) const {
    TRect clip = ImageClip();
    OffsetRect(clip, -surface_.Origin.X, -surface_.Origin.Y);
    return Intersect(rect, clip);
}

void TCanvas::FillRegion(const TRegion& region) {
    TRect b = VisiblePart(region.Bounds());
    for (int y = b.Top; y < b.Bottom; ++y)
        for (int x = b.Left; x < b.Right; ++x)
            if (region.Contains(x, y)) FillWithBrush(x, y, x + 1, y + 1);
    Changed();
}

void TCanvas::FrameRegion(const TRegion& region, int w, int h) {
    TRect b = VisiblePart(region.Bounds());
    auto edge = [&](int x, int y) {
        for (int d = 1; d <= w; ++d)
            if (!region.Contains(x - d, y) || !region.Contains(x + d, y)) return true;
        for (int d = 1; d <= h; ++d)
            if (!region.Contains(x, y - d) || !region.Contains(x, y + d)) return true;
        return false;
    };
    for (int y = b.Top; y < b.Bottom; ++y)
        for (int x = b.Left; x < b.Right; ++x)
            if (region.Contains(x, y) && edge(x, y)) FillWithBrush(x, y, x + 1, y + 1);
    Changed();
}

} // namespace sv
