#include "writer/widgets/hint_ex.h"

#include "framework/bitmap.h"
#include "framework/canvas.h"

namespace sv {

namespace {

constexpr unsigned kCentredLine = DT_SINGLELINE | DT_VCENTER | DT_CENTER;

// An off-screen picture of the window's client size in the window's font.
void PrepareBitmap(TBitmap& bitmap, const THintWindow& window, TCanvas* windowCanvas) {
    bitmap.SetSize(window.ClientWidth(), window.ClientHeight());
    bitmap.Canvas()->Font()->Assign(windowCanvas->Font());
}

} // namespace

// ---- THintEx -------------------------------------------------------------------------------

THintEx::THintEx(TComponent* owner) : THintWindow(owner) {
    Canvas()->Font()->SetName("ＭＳ 明朝");
    Canvas()->Font()->SetSize(12);
}

THintEx::~THintEx() {
    BeginDestruction();
}

bool THintEx::IsHintMsg(const TMessage& message) {
    if (message.Msg >= WM_KEYDOWN && message.Msg <= 0x0108) return false;
    return THintWindow::IsHintMsg(message);
}

void THintEx::WMEraseBkgnd(TMessage& message) {
    message.Result = 1;
}

void THintEx::WMNCPaint(TMessage&) {}

void THintEx::Dispatch(TMessage& message) {
    switch (message.Msg) {
    case WM_ERASEBKGND:
        WMEraseBkgnd(message);
        return;
    case WM_NCPAINT:
        WMNCPaint(message);
        return;
    default:
        THintWindow::Dispatch(message);
    }
}

// ---- TRectHint -----------------------------------------------------------------------------

TRectHint::TRectHint(TComponent* owner) : THintEx(owner) {}

TRectHint::~TRectHint() {
    slide_.Stop();
    BeginDestruction();
}

void TRectHint::ReleaseHandle() {
    slide_.Stop();
    THintEx::ReleaseHandle();
}

void TRectHint::Paint() {
    auto bitmap = std::make_shared<TBitmap>();
    PrepareBitmap(*bitmap, *this, Canvas());
    TCanvas* c = bitmap->Canvas();
    TRect r = ClientRect();
    c->Brush()->SetColor(Color());
    c->Brush()->SetStyle(bsSolid);
    c->FillRect(r);
    c->DrawEdge(r, BDR_RAISEDOUTER, BF_RECT);
    InflateRect(r, -2, -2);
    drawbmp(r, bitmap);
}

void TRectHint::drawbmp(const TRect& rect, const std::shared_ptr<TBitmap>& bitmap) {
    TRect r = rect;
    bitmap->Canvas()->DrawText(Caption(), r, kCentredLine);
    const int w = bitmap->Width(), h = bitmap->Height();
    // The rows slide in from the event loop: waiting inside the paint would hold up the
    // whole program.
    slide_.Start(h, kRowMs, [this, bitmap, w, h](int i) {
        DrawOnWindow([&](TCanvas* window) {
            window->SetCopyMode(SRCCOPY);
            window->CopyRect(Rect(0, 0, w, i), bitmap->Canvas(), Rect(0, h - i, w, h));
        });
    });
}

// ---- TSpoutHint ----------------------------------------------------------------------------

TSpoutHint::TSpoutHint(TComponent* owner) : THintEx(owner) {
    // Around the balloon the window shows the screen beneath it.
    SetTranslucent(true);
}

TSpoutHint::~TSpoutHint() {
    BeginDestruction();
}

TRect TSpoutHint::CalcHintRect(int maxWidth, const std::string& hint, void* data) {
    TRect r = THintEx::CalcHintRect(maxWidth, hint, data);
    const int h = r.Bottom - r.Top, w = r.Right - r.Left;
    return Rect(r.Left, r.Top, r.Right + w / 4, r.Bottom + 3 * h / 2);
}

void TSpoutHint::Paint() {
    TBitmap bitmap;
    bitmap.SetAlphaChannel(true);
    PrepareBitmap(bitmap, *this, Canvas());
    TCanvas* c = bitmap.Canvas();
    const TRect r = ClientRect();
    c->SetCopyMode(SRCCOPY);
    c->CopyRect(r, Canvas(), r);
    const int hh = r.Height() / 2, hw = r.Width() / 2;
    TRegion shape = TRegion::FromPolygon(
        {{r.Left, r.Top}, {r.Left + hw, r.Bottom - 1}, {r.Left + hw / 2, r.Bottom - 1}}, true);
    const TRegion balloon =
        TRegion::FromRoundRect(r.Left, r.Top + hh, r.Right, r.Bottom, hh / 4, hh / 4);
    shape = TRegion::Combine(shape, balloon, rcOr);
    c->Brush()->SetColor(Color());
    c->Brush()->SetStyle(bsSolid);
    c->FillRegion(shape);
    c->Brush()->SetColor(clBlack);
    c->FrameRegion(shape, 1, 1);
    c->Brush()->SetColor(Color());
    drawbmp(r, &bitmap);
}

void TSpoutHint::drawbmp(const TRect& rect, TBitmap* bitmap) {
    const int a = (rect.Bottom - rect.Top) / 2;
    TRect t = Rect(rect.Left, rect.Top + a, rect.Right, rect.Bottom);
    InflateRect(t, -(a / 8), -(a / 8));
    bitmap->Canvas()->DrawText(Caption(), t, kCentredLine);
    Canvas()->SetCopyMode(SRCCOPY);
    Canvas()->CopyRect(rect, bitmap->Canvas(), Rect(0, 0, bitmap->Width(), bitmap->Height()));
}

} // namespace sv
