#include "writer/widgets/glabel.h"

#include "framework/canvas.h"

#include <algorithm>
#include <climits>

namespace sv {

TGLabel::TGLabel(TComponent* owner) : TLabel(owner) {}

TGLabel::~TGLabel() {
    BeginDestruction();
}

void TGLabel::drawchar(TRect& rect, unsigned format) {
    Canvas()->DrawText(Caption(), rect, format);
}

void TGLabel::Paint() {
    TCanvas* c = Canvas();
    TRect r = ClientRect();
    c->Font()->Assign(Font());
    c->Brush()->SetColor(Color());
    c->Brush()->SetStyle(bsSolid);
    c->FillRect(r);
    unsigned format = AlignFlag(Alignment());
    format |= charPos_ == cpSingle ? DT_SINGLELINE | DT_VCENTER : DT_WORDBREAK;
    c->Brush()->SetStyle(bsClear);
    if (effectType_ == etShadow) {
        // Moved within the int range, whatever offset a form holds.
        auto moved = [this](int v) {
            return static_cast<int>(
                std::clamp<long long>(0LL + v + effectValue_, INT_MIN, INT_MAX));
        };
        TRect shadow{moved(r.Left), moved(r.Top), moved(r.Right), moved(r.Bottom)};
        c->Font()->SetColor(backColor_);
        drawchar(shadow, format);
    }
    c->Font()->SetColor(Font()->Color());
    drawchar(r, format);
}

} // namespace sv
