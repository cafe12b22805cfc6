#pragma once
// Bitmaps on a QImage and the image list that cuts a bitmap into cells.
#include "framework/graphics.h"

#include <QImage>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace sv {

class TCanvas;

// Raised when a file cannot be read or written as a bitmap.
class EInvalidGraphic : public Exception {
public:
    using Exception::Exception;
};

enum class TTransparentMode { tmAuto, tmFixed };
using enum TTransparentMode;

// Kept for code that asks for a format; storage is always 32 bits a pixel.
enum class TPixelFormat { pfDevice, pf1bit, pf4bit, pf8bit, pf15bit, pf16bit, pf24bit, pf32bit };
using enum TPixelFormat;

enum class TBitmapHandleType { bmDIB, bmDDB };
using enum TBitmapHandleType;

// A picture of Width x Height pixels, 32 bits each; rows read through ScanLine as 0x00RRGGBB
// (the top byte is not part of the colour). Drawing on its Canvas fires OnChange.
class TBitmap : public TGraphicsObject {
public:
    TBitmap();
    TBitmap(int width, int height);
    ~TBitmap() override;
    TBitmap(const TBitmap&) = delete;
    TBitmap& operator=(const TBitmap&) = delete;

    std::string ClassName() const override { return "TBitmap"; }
    // Deep copy of pixels, size and transparency settings; nullptr empties the bitmap.
    void Assign(const TPersistent* source) override;

    int Width() const { return image_.width(); }
    int Height() const { return image_.height(); }
    void SetWidth(int width);
    void SetHeight(int height);
    // Keeps the pixels that still fit; new pixels are white.
    void SetSize(int width, int height);
    bool Empty() const { return image_.isNull() || image_.width() == 0 || image_.height() == 0; }
    // Drops the pixels: the bitmap becomes 0 x 0.
    void FreeImage();

    TCanvas* Canvas();

    // Row `row` (0 = top); out of range raises EInvalidGraphic.
    std::uint32_t* ScanLine(int row);
    const std::uint32_t* ScanLine(int row) const;

    // Black and white only; turning it on maps white to white and every other colour to black.
    bool Monochrome() const { return monochrome_; }
    void SetMonochrome(bool monochrome);
    TPixelFormat PixelFormat() const { return pixelFormat_; }
    // pf1bit makes the bitmap monochrome; the others keep the pixels.
    void SetPixelFormat(TPixelFormat format);
    TBitmapHandleType HandleType() const { return handleType_; }
    void SetHandleType(TBitmapHandleType type);

    bool Transparent() const { return transparent_; }
    void SetTransparent(bool transparent);
    // tmAuto: the bottom-left pixel (clDefault for an empty bitmap); tmFixed: the set colour.
    TColor TransparentColor() const;
    // Switches the mode to tmFixed.
    void SetTransparentColor(TColor color);
    TTransparentMode TransparentMode() const { return transparentMode_; }
    void SetTransparentMode(TTransparentMode mode);

    // An alpha channel: the bitmap then starts transparent, drawing on it is opaque, and a
    // plain copy (SRCCOPY) between two such images, a translucent window's surface among
    // them, keeps each pixel's transparency.
    bool AlphaChannel() const { return alpha_; }
    void SetAlphaChannel(bool alpha);

    // BMP files; failures raise EInvalidGraphic naming the file and leave the bitmap unchanged.
    void LoadFromFile(const std::string& path);
    void SaveToFile(const std::string& path) const;

    // The pixels (32 bits each); an image set here is converted to that.
    const QImage& Image() const { return image_; }
    void SetImage(const QImage& image);

    // Fires OnChange; for code that changed pixels through ScanLine.
    void Modified() { Changed(); }

private:
    void ImageReplaced();
    QImage::Format Format() const;

    QImage image_;
    std::unique_ptr<TCanvas> canvas_;
    bool monochrome_ = false;
    bool alpha_ = false;
    TPixelFormat pixelFormat_ = pfDevice;
    TBitmapHandleType handleType_ = bmDIB;
    bool transparent_ = false;
    TTransparentMode transparentMode_ = tmAuto;
    TColor transparentColor_ = clDefault;
};

// Images of one size with their masks, drawn by index.
class TImageList : public TComponent {
public:
    explicit TImageList(TComponent* owner, int width = 16, int height = 16);
    ~TImageList() override;
    std::string ClassName() const override { return "TImageList"; }

    int Width() const { return width_; }
    int Height() const { return height_; }
    // Changing the cell size clears the list.
    void SetWidth(int width);
    void SetHeight(int height);
    void SetSize(int width, int height);
    int Count() const { return static_cast<int>(images_.size()); }
    void Clear();
    void Delete(int index);

    // Cuts `image` into cells of Width x Height from the left (as many as fit in its width);
    // `mask` (may be null) marks transparent pixels white. Returns the index of the first cell,
    // or -1 when none fits.
    int Add(const TBitmap* image, const TBitmap* mask);
    // As Add, pixels of `maskColor` becoming transparent; clDefault takes the bottom-left
    // pixel of `image`.
    int AddMasked(const TBitmap* image, TColor maskColor);
    // Draws cell `index` with its transparent pixels left out; disabled draws the shape
    // embossed in clBtnHighlight (offset by one) and clBtnShadow. A bad index draws nothing.
    void Draw(TCanvas* canvas, int x, int y, int index, bool enabled = true) const;
    // Copies cell `index` into `bitmap` (transparent pixels in BkColor's RGB).
    void GetBitmap(int index, TBitmap* bitmap) const;

    TColor BkColor() const { return bkColor_; }
    void SetBkColor(TColor color) { bkColor_ = color; }
    TNotifyEvent OnChange;

private:
    struct Cell {
        QImage image;
        std::vector<bool> transparent; // row-major, width_ x height_
    };
    int AddCells(const TBitmap* image, const TBitmap* mask, bool useColor, TColor maskColor);
    void Change();

    int width_;
    int height_;
    TColor bkColor_ = clNone;
    std::vector<Cell> images_;
};

} // namespace sv
