#pragma once
// Shared by the widget tests: a form to own and hold the widgets, and owner-drawn faces drawn
// the way the framework asks for them.
#include "framework/stdctrls.h"
#include "tests/framework/test_helpers.h"

#include <memory>

namespace sv::test {

class WidgetTest : public ::testing::Test {
protected:
    void SetUp() override {
        form = new TForm(Application);
        form->SetBounds(0, 0, 400, 300);
    }
    void TearDown() override { delete form; }
    template <class T> T* Make(TWinControl* parent = nullptr) {
        auto* c = new T(form);
        c->SetParent(parent ? parent : form);
        return c;
    }
    TForm* form = nullptr;
};

// The face an owner-drawn control paints for `state` (ODS_SELECTED, ODS_FOCUS).
inline std::unique_ptr<TBitmap> DrawItem(TControl* control, unsigned state) {
    auto bmp = std::make_unique<TBitmap>(control->Width(), control->Height());
    TDrawItemStruct dis;
    dis.CtlType = ODT_BUTTON;
    dis.itemState = state;
    dis.hDC = bmp->Canvas();
    dis.rcItem = Rect(0, 0, control->Width(), control->Height());
    control->Perform(CN_DRAWITEM, 0, reinterpret_cast<std::intptr_t>(&dis));
    return bmp;
}

// The smallest rectangle holding every pixel of `rgb` (0x00RRGGBB); empty when there is none.
inline TRect BoundsOf(const TBitmap& bmp, std::uint32_t rgb) {
    TRect b{bmp.Width(), bmp.Height(), 0, 0};
    for (int y = 0; y < bmp.Height(); ++y)
        for (int x = 0; x < bmp.Width(); ++x)
            if (PixelAt(bmp, x, y) == rgb) {
                b.Left = std::min(b.Left, x);
                b.Top = std::min(b.Top, y);
                b.Right = std::max(b.Right, x + 1);
                b.Bottom = std::max(b.Bottom, y + 1);
            }
    if (b.Right == 0) return {};
    return b;
}

} // namespace sv::test
