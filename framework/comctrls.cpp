#include "framework/comctrls.h"

#include "framework/canvas.h"
#include "framework/forms.h"
#include "framework/host_widget.h"
#include "framework/menus.h"

#include <QProgressBar>
#include <algorithm>

namespace sv {

// ---- TStatusBar --------------------------------------------------------------------------

TStatusBar::TStatusBar(TComponent* owner) : TCustomControl(owner) {
    color_ = clBtnFace;
    SetBounds(0, 0, 150, 19);
    SetAlign(alBottom);
}

void TStatusBar::SetSimplePanel(bool v) {
    if (v == simplePanel_) return;
    simplePanel_ = v;
    Invalidate();
}

void TStatusBar::SetSimpleText(const std::string& text) {
    if (text == simpleText_) return;
    simpleText_ = text;
    if (simplePanel_) Invalidate();
}

void TStatusBar::Paint() {
    TCanvas* c = Canvas();
    c->Brush()->SetColor(Color());
    c->FillRect(ClientRect());
    c->Font()->Assign(Font());
    c->Brush()->SetStyle(bsClear);
    auto cell = [&](TRect r, const std::string& text) {
        TRect edge = r;
        c->Frame3D(edge, clBtnShadow, clBtnHighlight, 1);
        TRect t = edge;
        t.Left += 1;
        c->DrawText(text, t, DT_SINGLELINE | DT_VCENTER | DT_NOPREFIX);
    };
    TRect r = Rect(0, 2, Width(), Height());
    if (simplePanel_) {
        cell(r, simpleText_);
        return;
    }
    int x = 0;
    for (std::size_t i = 0; i < panels_.size(); ++i) {
        int w = i + 1 == panels_.size() ? Width() - x : panels_[i].Width;
        cell(Rect(x, r.Top, x + w, r.Bottom), panels_[i].Text);
        x += w + 2;
    }
}

// ---- TProgressBar ------------------------------------------------------------------------

TProgressBar::TProgressBar(TComponent* owner) : TWinControl(owner) {
    SetBounds(0, 0, 150, 16);
}

QWidget* TProgressBar::CreateWidget() {
    return new THostWidget<QProgressBar>(this);
}

void TProgressBar::InitWidget() {
    TWinControl::InitWidget();
    static_cast<QProgressBar*>(widget_)->setTextVisible(false);
    Apply();
}

void TProgressBar::Apply() {
    auto* p = dynamic_cast<QProgressBar*>(widget_);
    if (!p) return;
    p->setRange(min_, max_);
    p->setValue(position_);
}

void TProgressBar::SetMin(int v) {
    min_ = v;
    if (max_ < min_) max_ = min_;
    position_ = std::clamp(position_, min_, max_);
    Apply();
}

void TProgressBar::SetMax(int v) {
    max_ = v;
    if (min_ > max_) min_ = max_;
    position_ = std::clamp(position_, min_, max_);
    Apply();
}

void TProgressBar::SetPosition(int v) {
    position_ = std::clamp(v, min_, max_);
    Apply();
}

// ---- TTabSheet ---------------------------------------------------------------------------

TTabSheet::TTabSheet(TComponent* owner) : TCustomControl(owner) {
    color_ = clBtnFace;
    SetAlign(alClient);
    TControl::SetVisible(false);
}

TTabSheet::~TTabSheet() {
    BeginDestruction();
    SetPageControl(nullptr);
}

void TTabSheet::SetPageControl(TPageControl* pc) {
    if (pc == pageControl_) return;
    if (pageControl_) pageControl_->RemovePage(this);
    SetParent(pc);
    if (pc) pc->InsertPage(this);
}

int TTabSheet::PageIndex() const {
    if (!pageControl_) return -1;
    auto& v = pageControl_->pages_;
    return static_cast<int>(std::find(v.begin(), v.end(), this) - v.begin());
}

void TTabSheet::SetTabVisible(bool v) {
    tabVisible_ = v;
    if (pageControl_) pageControl_->Invalidate();
}

void TTabSheet::Dispatch(TMessage& m) {
    if (m.Msg == CM_TEXTCHANGED && pageControl_) pageControl_->Invalidate();
    TCustomControl::Dispatch(m);
}

// ---- TPageControl ------------------------------------------------------------------------

TPageControl::TPageControl(TComponent* owner) : TCustomControl(owner) {
    controlStyle_.Include(csAcceptsControls);
    color_ = clBtnFace;
    SetTabStop(true);
    SetBounds(0, 0, 289, 193);
}

TPageControl::~TPageControl() {
    BeginDestruction();
    for (TTabSheet* p : std::vector<TTabSheet*>(pages_)) p->pageControl_ = nullptr;
}

void TPageControl::InsertPage(TTabSheet* page) {
    pages_.push_back(page);
    page->pageControl_ = this;
    if (!active_) SetActivePage(page);
    Invalidate();
}

void TPageControl::RemovePage(TTabSheet* page) {
    pages_.erase(std::remove(pages_.begin(), pages_.end(), page), pages_.end());
    page->pageControl_ = nullptr;
    if (active_ == page) {
        active_ = nullptr;
        if (!pages_.empty()) SetActivePage(pages_.front());
    }
    Invalidate();
}

int TPageControl::ActivePageIndex() const {
    auto it = std::find(pages_.begin(), pages_.end(), active_);
    return it == pages_.end() ? -1 : static_cast<int>(it - pages_.begin());
}

void TPageControl::SetActivePageIndex(int index) {
    SetActivePage(index >= 0 && index < PageCount() ? pages_[index] : nullptr);
}

void TPageControl::SetActivePage(TTabSheet* page) {
    if (page && page->pageControl_ != this) return;
    if (page == active_) return;
    active_ = page;
    ShowActive();
    Invalidate();
}

void TPageControl::ShowActive() {
    for (TTabSheet* p : pages_) p->SetVisible(p == active_);
    if (active_) active_->BringToFront();
}

int TPageControl::TabHeight() const {
    TCanvas c;
    c.Font()->Assign(Font());
    return c.TextHeight("Wg") + 6;
}

void TPageControl::AdjustClientRect(TRect& rect) const {
    rect.Top += TabHeight();
    InflateRect(rect, -2, -2);
}

TRect TPageControl::TabRect(int index) const {
    TCanvas c;
    c.Font()->Assign(Font());
    int x = 2;
    for (int i = 0; i < PageCount(); ++i) {
        if (!pages_[i]->TabVisible()) continue;
        int w = c.TextWidth(StripHotkey(pages_[i]->Caption())) + 12;
        if (i == index) return Rect(x, 2, x + w, TabHeight());
        x += w;
    }
    return Rect(0, 0, 0, 0);
}

int TPageControl::TabAt(TPoint p) const {
    for (int i = 0; i < PageCount(); ++i)
        if (PtInRect(TabRect(i), p)) return i;
    return -1;
}

void TPageControl::Paint() {
    TCanvas* c = Canvas();
    int th = TabHeight();
    TRect body = Rect(0, th, Width(), Height());
    c->Frame3D(body, clBtnHighlight, cl3DDkShadow, 1);
    c->Font()->Assign(Font());
    for (int i = 0; i < PageCount(); ++i) {
        if (!pages_[i]->TabVisible()) continue;
        TRect r = TabRect(i);
        if (pages_[i] == active_) InflateRect(r, 2, 0), r.Top -= 2, r.Bottom += 1;
        c->Brush()->SetColor(Color());
        c->FillRect(r);
        c->Pen()->SetColor(clBtnHighlight);
        c->MoveTo(r.Left, r.Bottom - 1);
        c->LineTo(r.Left, r.Top);
        c->LineTo(r.Right - 1, r.Top);
        c->Pen()->SetColor(cl3DDkShadow);
        c->LineTo(r.Right - 1, r.Bottom);
        c->Brush()->SetStyle(bsClear);
        TRect t = r;
        c->DrawText(pages_[i]->Caption(), t, DT_SINGLELINE | DT_CENTER | DT_VCENTER);
        c->Brush()->SetStyle(bsSolid);
    }
}

void TPageControl::Dispatch(TMessage& m) {
    if (m.Msg == WM_LBUTTONDOWN) {
        int i = TabAt(Point(LoWordSigned(m.LParam), HiWordSigned(m.LParam)));
        if (i >= 0 && pages_[i] != active_) {
            bool allow = true;
            if (OnChanging) OnChanging(this, allow);
            if (allow) {
                SetActivePage(pages_[i]);
                if (OnChange) OnChange(this);
            }
        }
    }
    TCustomControl::Dispatch(m);
}

} // namespace sv
