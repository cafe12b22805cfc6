#include "framework/bitmap.h"

#include "framework/canvas.h"

#include <QImageReader>
#include <QImageWriter>
#include <QString>
#include <algorithm>

namespace sv {

namespace {

constexpr std::uint32_t kWhite = 0xFFFFFFu;

std::uint32_t PixelOf(TColor c) {
    return ColorToQRgb(c) & kWhite;
}

TColor ColorOf(std::uint32_t p) {
    return RGB(static_cast<int>((p >> 16) & 0xFF), static_cast<int>((p >> 8) & 0xFF),
               static_cast<int>(p & 0xFF));
}

void MakeMonochrome(QImage& image) {
    for (int y = 0; y < image.height(); ++y) {
        auto* row = reinterpret_cast<std::uint32_t*>(image.scanLine(y));
        for (int x = 0; x < image.width(); ++x)
            row[x] = 0xFF000000u | ((row[x] & kWhite) == kWhite ? kWhite : 0);
    }
}

} // namespace

TBitmap::TBitmap() = default;

TBitmap::TBitmap(int width, int height) {
    SetSize(width, height);
}

TBitmap::~TBitmap() = default;

void TBitmap::Assign(const TPersistent* source) {
    if (!source) {
        FreeImage();
        return;
    }
    if (auto* b = dynamic_cast<const TBitmap*>(source)) {
        if (b == this) return;
        image_ = b->image_.copy();
        alpha_ = b->alpha_;
        monochrome_ = b->monochrome_;
        pixelFormat_ = b->pixelFormat_;
        handleType_ = b->handleType_;
        transparent_ = b->transparent_;
        transparentMode_ = b->transparentMode_;
        transparentColor_ = b->transparentColor_;
        ImageReplaced();
        return;
    }
    TGraphicsObject::Assign(source);
}

QImage::Format TBitmap::Format() const {
    return alpha_ ? QImage::Format_ARGB32_Premultiplied : QImage::Format_RGB32;
}

void TBitmap::SetAlphaChannel(bool alpha) {
    if (alpha == alpha_) return;
    alpha_ = alpha;
    if (!image_.isNull()) image_ = image_.convertToFormat(Format());
    ImageReplaced();
}

void TBitmap::ImageReplaced() {
    if (canvas_) canvas_->SetTarget(&image_);
    Changed();
}

void TBitmap::SetWidth(int width) {
    SetSize(width, Height());
}

void TBitmap::SetHeight(int height) {
    SetSize(Width(), height);
}

void TBitmap::SetSize(int width, int height) {
    width = std::max(width, 0);
    height = std::max(height, 0);
    if (width == Width() && height == Height() && !image_.isNull()) return;
    if (width == 0 || height == 0) {
        if (image_.isNull() && Width() == 0 && Height() == 0) return;
        image_ = QImage();
        ImageReplaced();
        return;
    }
    QImage next(width, height, Format());
    next.fill(alpha_ ? 0u : 0xFFFFFFFFu);
    int w = std::min(width, Width());
    int h = std::min(height, Height());
    for (int y = 0; y < h; ++y)
        std::copy_n(reinterpret_cast<const std::uint32_t*>(image_.constScanLine(y)), w,
                    reinterpret_cast<std::uint32_t*>(next.scanLine(y)));
    image_ = std::move(next);
    ImageReplaced();
}

void TBitmap::FreeImage() {
    if (image_.isNull()) return;
    image_ = QImage();
    ImageReplaced();
}

TCanvas* TBitmap::Canvas() {
    if (!canvas_) {
        canvas_ = std::make_unique<TCanvas>(&image_);
        canvas_->OnChange = [this](TObject*) { Changed(); };
    }
    return canvas_.get();
}

std::uint32_t* TBitmap::ScanLine(int row) {
    if (row < 0 || row >= Height()) throw EInvalidGraphic("走査線の番号が範囲外です");
    return reinterpret_cast<std::uint32_t*>(image_.scanLine(row));
}

const std::uint32_t* TBitmap::ScanLine(int row) const {
    if (row < 0 || row >= Height()) throw EInvalidGraphic("走査線の番号が範囲外です");
    return reinterpret_cast<const std::uint32_t*>(image_.constScanLine(row));
}

void TBitmap::SetMonochrome(bool monochrome) {
    if (monochrome == monochrome_) return;
    monochrome_ = monochrome;
    if (monochrome) {
        MakeMonochrome(image_);
        pixelFormat_ = pf1bit;
    } else if (pixelFormat_ == pf1bit) {
        pixelFormat_ = pfDevice;
    }
    Changed();
}

void TBitmap::SetPixelFormat(TPixelFormat format) {
    if (format == pixelFormat_) return;
    if (format == pf1bit) {
        SetMonochrome(true);
        return;
    }
    pixelFormat_ = format;
    monochrome_ = false;
    Changed();
}

void TBitmap::SetHandleType(TBitmapHandleType type) {
    if (type == handleType_) return;
    handleType_ = type;
    Changed();
}

void TBitmap::SetTransparent(bool transparent) {
    if (transparent == transparent_) return;
    transparent_ = transparent;
    Changed();
}

TColor TBitmap::TransparentColor() const {
    if (transparentMode_ == tmFixed) return transparentColor_;
    if (Empty()) return clDefault;
    return ColorOf(ScanLine(Height() - 1)[0]);
}

void TBitmap::SetTransparentColor(TColor color) {
    if (transparentMode_ == tmFixed && color == transparentColor_) return;
    transparentColor_ = color;
    transparentMode_ = tmFixed;
    Changed();
}

void TBitmap::SetTransparentMode(TTransparentMode mode) {
    if (mode == transparentMode_) return;
    transparentMode_ = mode;
    Changed();
}

void TBitmap::LoadFromFile(const std::string& path) {
    QImageReader reader(QString::fromStdString(path), "bmp");
    QImage loaded = reader.read();
    if (loaded.isNull()) throw EInvalidGraphic(path + " をビットマップとして読み込めません");
    image_ = loaded.convertToFormat(Format());
    monochrome_ =
        loaded.format() == QImage::Format_Mono || loaded.format() == QImage::Format_MonoLSB;
    pixelFormat_ = monochrome_ ? pf1bit : pfDevice;
    ImageReplaced();
}

void TBitmap::SaveToFile(const std::string& path) const {
    QImage out = monochrome_ ? image_.convertToFormat(QImage::Format_Mono) : image_;
    QImageWriter writer(QString::fromStdString(path), "bmp");
    if (Empty() || !writer.write(out)) throw EInvalidGraphic(path + " に書き込めません");
}

void TBitmap::SetImage(const QImage& image) {
    image_ = image.isNull() ? QImage() : image.convertToFormat(Format());
    if (monochrome_) MakeMonochrome(image_);
    ImageReplaced();
}

// ---- image list --------------------------------------------------------------------------

TImageList::TImageList(TComponent* owner, int width, int height)
    : TComponent(owner), width_(std::max(width, 1)), height_(std::max(height, 1)) {}

TImageList::~TImageList() {
    BeginDestruction();
}

void TImageList::Change() {
    if (OnChange) OnChange(this);
}

void TImageList::SetWidth(int width) {
    SetSize(width, height_);
}

void TImageList::SetHeight(int height) {
    SetSize(width_, height);
}

void TImageList::SetSize(int width, int height) {
    width = std::max(width, 1);
    height = std::max(height, 1);
    if (width == width_ && height == height_) return;
    width_ = width;
    height_ = height;
    images_.clear();
    Change();
}

void TImageList::Clear() {
    if (images_.empty()) return;
    images_.clear();
    Change();
}

void TImageList::Delete(int index) {
    if (index < 0 || index >= Count()) return;
    images_.erase(images_.begin() + index);
    Change();
}

int TImageList::AddCells(const TBitmap* image, const TBitmap* mask, bool useColor,
                         TColor maskColor) {
    if (!image || image->Empty()) return -1;
    int cells = image->Width() / width_;
    if (cells == 0) return -1;
    std::uint32_t key = 0;
    if (useColor) key = PixelOf(maskColor == clDefault ? image->TransparentColor() : maskColor);
    bool keyed = useColor && maskColor != clNone;
    int first = Count();
    for (int c = 0; c < cells; ++c) {
        Cell cell;
        cell.image = QImage(width_, height_, QImage::Format_RGB32);
        cell.image.fill(0xFF000000u);
        cell.transparent.assign(static_cast<std::size_t>(width_ * height_), true);
        for (int y = 0; y < std::min(height_, image->Height()); ++y) {
            const std::uint32_t* src = image->ScanLine(y);
            const std::uint32_t* m =
                (mask && y < mask->Height() && !mask->Empty()) ? mask->ScanLine(y) : nullptr;
            auto* dst = reinterpret_cast<std::uint32_t*>(cell.image.scanLine(y));
            for (int x = 0; x < width_; ++x) {
                int sx = c * width_ + x;
                std::uint32_t p = src[sx] & kWhite;
                bool clear = false;
                if (keyed) clear = p == key;
                if (m && sx < mask->Width()) clear = (m[sx] & kWhite) == kWhite;
                dst[x] = 0xFF000000u | p;
                cell.transparent[static_cast<std::size_t>(y * width_ + x)] = clear;
            }
        }
        images_.push_back(std::move(cell));
    }
    Change();
    return first;
}

int TImageList::Add(const TBitmap* image, const TBitmap* mask) {
    return AddCells(image, mask, false, clNone);
}

int TImageList::AddMasked(const TBitmap* image, TColor maskColor) {
    return AddCells(image, nullptr, true, maskColor);
}

void TImageList::Draw(TCanvas* canvas, int x, int y, int index, bool enabled) const {
    if (!canvas || index < 0 || index >= Count()) return;
    const Cell& cell = images_[static_cast<std::size_t>(index)];
    if (enabled) {
        canvas->DrawMasked(x, y, cell.image, cell.transparent, nullptr);
        return;
    }
    // Disabled: the shape of the opaque non-white pixels, embossed.
    std::vector<bool> notDark = cell.transparent;
    for (int cy = 0; cy < height_; ++cy) {
        const auto* row = reinterpret_cast<const std::uint32_t*>(cell.image.constScanLine(cy));
        for (int cx = 0; cx < width_; ++cx)
            if ((row[cx] & kWhite) == kWhite)
                notDark[static_cast<std::size_t>(cy * width_ + cx)] = true;
    }
    const TColor highlight = clBtnHighlight;
    const TColor shadow = clBtnShadow;
    canvas->DrawMasked(x + 1, y + 1, cell.image, notDark, &highlight);
    canvas->DrawMasked(x, y, cell.image, notDark, &shadow);
}

void TImageList::GetBitmap(int index, TBitmap* bitmap) const {
    if (!bitmap || index < 0 || index >= Count()) return;
    const Cell& cell = images_[static_cast<std::size_t>(index)];
    QImage out = cell.image.copy();
    std::uint32_t bk = bkColor_ == clNone ? 0 : PixelOf(bkColor_);
    for (int y = 0; y < height_; ++y) {
        auto* row = reinterpret_cast<std::uint32_t*>(out.scanLine(y));
        for (int x = 0; x < width_; ++x)
            if (cell.transparent[static_cast<std::size_t>(y * width_ + x)])
                row[x] = 0xFF000000u | bk;
    }
    bitmap->SetImage(out);
}

} // namespace sv
