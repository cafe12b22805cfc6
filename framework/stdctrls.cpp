#include "framework/stdctrls.h"

#include "framework/canvas.h"
#include "framework/host_widget.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QScrollBar>
#include <QTextBlock>
#include <algorithm>

namespace sv {
namespace {

QString Q(const std::string& s) {
    return QString::fromStdString(s);
}

void ApplyPalette(QWidget* w, TColor background, const TFont* font) {
    QPalette p = w->palette();
    QColor bg = QColor::fromRgb(ColorToQRgb(background));
    QColor fg = QColor::fromRgb(ColorToQRgb(font->Color()));
    p.setColor(QPalette::Base, bg);
    p.setColor(QPalette::Text, fg);
    p.setColor(QPalette::WindowText, fg);
    p.setColor(QPalette::ButtonText, fg);
    w->setPalette(p);
    w->setFont(font->ToQFont());
}

} // namespace

unsigned AlignFlag(TAlignment a) {
    return a == taCenter ? DT_CENTER : a == taRightJustify ? DT_RIGHT : DT_LEFT;
}

// ---- TLabel ------------------------------------------------------------------------------

TLabel::TLabel(TComponent* owner) : TGraphicControl(owner) {
    controlStyle_.Include(csOpaque).Include(csReplicatable);
    parentColor_ = true;
    color_ = clBtnFace;
    SetBounds(0, 0, 65, 17);
}

TLabel::~TLabel() {
    BeginDestruction();
}

void TLabel::SetAutoSize(bool v) {
    if (v == autoSize_) return;
    autoSize_ = v;
    AdjustBounds();
}

void TLabel::SetAlignment(TAlignment a) {
    if (a == alignment_) return;
    alignment_ = a;
    Invalidate();
}

void TLabel::SetLayout(TTextLayout l) {
    if (l == layout_) return;
    layout_ = l;
    Invalidate();
}

void TLabel::SetWordWrap(bool v) {
    if (v == wordWrap_) return;
    wordWrap_ = v;
    AdjustBounds();
    Invalidate();
}

void TLabel::SetTransparent(bool v) {
    if (v == Transparent()) return;
    if (v)
        controlStyle_.Exclude(csOpaque);
    else
        controlStyle_.Include(csOpaque);
    Invalidate();
}

void TLabel::SetShowAccelChar(bool v) {
    if (v == showAccelChar_) return;
    showAccelChar_ = v;
    AdjustBounds();
    Invalidate();
}

void TLabel::DoDrawText(TCanvas* canvas, TRect& rect, unsigned flags) {
    std::string text = Caption();
    // An empty caption still measures one line.
    if ((flags & DT_CALCRECT) && (text.empty() || (showAccelChar_ && text == "&"))) text += " ";
    if (!showAccelChar_) flags |= DT_NOPREFIX;
    canvas->Font()->Assign(Font());
    if (!Enabled() && !(flags & DT_CALCRECT)) {
        TRect r = rect;
        OffsetRect(r, 1, 1);
        canvas->Font()->SetColor(clBtnHighlight);
        canvas->DrawText(text, r, flags);
        canvas->Font()->SetColor(clBtnShadow);
        canvas->DrawText(text, rect, flags);
        return;
    }
    canvas->DrawText(text, rect, flags);
}

void TLabel::Paint() {
    TCanvas* c = Canvas();
    TRect r = ClientRect();
    if (!Transparent()) {
        c->Brush()->SetColor(Color());
        c->Brush()->SetStyle(bsSolid);
        c->FillRect(r);
    }
    c->Brush()->SetStyle(bsClear);
    unsigned flags = DT_EXPANDTABS | (wordWrap_ ? DT_WORDBREAK : 0) | AlignFlag(alignment_);
    if (layout_ != tlTop) {
        TRect calc = r;
        DoDrawText(c, calc, flags | DT_CALCRECT);
        int dy = r.Height() - calc.Height();
        OffsetRect(r, 0, layout_ == tlBottom ? dy : dy / 2);
    }
    DoDrawText(c, r, flags);
}

void TLabel::AdjustBounds() {
    if (!autoSize_ || ComponentState().Contains(csLoading)) return;
    TCanvas c;
    TRect r = ClientRect();
    if (!wordWrap_) r.Right = r.Left + 0x3FFF;
    DoDrawText(&c, r, DT_EXPANDTABS | DT_CALCRECT | (wordWrap_ ? DT_WORDBREAK : 0));
    int x = Left();
    if (alignment_ == taRightJustify) x += Width() - r.Right;
    SetBounds(x, Top(), r.Right, r.Bottom);
}

void TLabel::Loaded() {
    TGraphicControl::Loaded();
    AdjustBounds();
}

void TLabel::Dispatch(TMessage& m) {
    switch (m.Msg) {
    case CM_TEXTCHANGED:
    case CM_FONTCHANGED:
        Invalidate();
        AdjustBounds();
        return;
    case CM_DIALOGCHAR:
        if (TWinControl* f = focusControl_.Get();
            f && Enabled() && showAccelChar_ &&
            IsAccel(static_cast<char32_t>(m.WParam), Caption()) && f->CanFocus()) {
            f->SetFocus();
            m.Result = 1;
            return;
        }
        break;
    default:
        break;
    }
    TGraphicControl::Dispatch(m);
}

// ---- TCustomPanel ------------------------------------------------------------------------

TCustomPanel::TCustomPanel(TComponent* owner) : TCustomControl(owner) {
    controlStyle_ = TControlStyle{csAcceptsControls, csCaptureMouse, csClickEvents, csSetCaption,
                                  csOpaque,          csDoubleClicks, csReplicatable};
    color_ = clBtnFace;
    SetBounds(0, 0, 185, 41);
}

TCustomPanel::~TCustomPanel() {
    BeginDestruction();
}

void TCustomPanel::Changed() {
    Invalidate();
    AlignControls();
}

void TCustomPanel::SetBevelInner(TBevelCut v) {
    if (v == bevelInner_) return;
    bevelInner_ = v;
    Changed();
}

void TCustomPanel::SetBevelOuter(TBevelCut v) {
    if (v == bevelOuter_) return;
    bevelOuter_ = v;
    Changed();
}

void TCustomPanel::SetBevelWidth(int v) {
    if (v == bevelWidth_ || v < 1) return;
    bevelWidth_ = v;
    Changed();
}

void TCustomPanel::SetBorderWidth(int v) {
    if (v == borderWidth_ || v < 0) return;
    borderWidth_ = v;
    Changed();
}

void TCustomPanel::SetBorderStyle(TBorderStyle v) {
    if (v == borderStyle_) return;
    borderStyle_ = v;
    Changed();
}

void TCustomPanel::SetAlignment(TAlignment v) {
    if (v == alignment_) return;
    alignment_ = v;
    Invalidate();
}

TRect TCustomPanel::ClientRect() const {
    // A single border is drawn outside the client area, as a window frame is.
    int b = borderStyle_ == bsSingle ? 1 : 0;
    return Rect(0, 0, std::max(0, Width() - 2 * b), std::max(0, Height() - 2 * b));
}

void TCustomPanel::AdjustClientRect(TRect& rect) const {
    InflateRect(rect, -borderWidth_, -borderWidth_);
    int bevel =
        (bevelOuter_ != bvNone ? bevelWidth_ : 0) + (bevelInner_ != bvNone ? bevelWidth_ : 0);
    InflateRect(rect, -bevel, -bevel);
}

void TCustomPanel::PaintWindow(TCanvas* canvas) {
    if (borderStyle_ == bsSingle) {
        // The frame, then the rest with the client area's origin.
        canvas->Brush()->SetColor(clWindowFrame);
        canvas->FrameRect(Rect(0, 0, Width(), Height()));
        TDrawSurface s = canvas->Surface();
        s.Origin = Point(s.Origin.X + 1, s.Origin.Y + 1);
        TRect inner = Rect(1, 1, Width() - 1, Height() - 1);
        IntersectRect(s.Clip, s.Clip, inner);
        canvas->SetSurface(s);
    }
    TCustomControl::PaintWindow(canvas);
}

void TCustomPanel::Paint() {
    TCanvas* c = Canvas();
    TRect r = ClientRect();
    auto colors = [](TBevelCut b, TColor& top, TColor& bottom) {
        top = b == bvLowered ? clBtnShadow : clBtnHighlight;
        bottom = b == bvLowered ? clBtnHighlight : clBtnShadow;
    };
    TColor top = 0, bottom = 0;
    if (bevelOuter_ != bvNone) {
        colors(bevelOuter_, top, bottom);
        c->Frame3D(r, top, bottom, bevelWidth_);
    }
    c->Frame3D(r, Color(), Color(), borderWidth_);
    if (bevelInner_ != bvNone) {
        colors(bevelInner_, top, bottom);
        c->Frame3D(r, top, bottom, bevelWidth_);
    }
    c->Brush()->SetColor(Color());
    c->Brush()->SetStyle(bsSolid);
    c->FillRect(r);
    c->Brush()->SetStyle(bsClear);
    c->Font()->Assign(Font());
    int h = c->TextHeight("W");
    r.Top = (r.Bottom + r.Top - h) / 2;
    r.Bottom = r.Top + h;
    c->DrawText(Caption(), r, DT_EXPANDTABS | DT_VCENTER | AlignFlag(alignment_));
}

void TCustomPanel::Dispatch(TMessage& m) {
    if (m.Msg == CM_TEXTCHANGED) {
        Invalidate();
        return;
    }
    TCustomControl::Dispatch(m);
}

// ---- TGroupBox ---------------------------------------------------------------------------

TGroupBox::TGroupBox(TComponent* owner) : TCustomControl(owner) {
    controlStyle_ = TControlStyle{csAcceptsControls, csCaptureMouse, csClickEvents,
                                  csSetCaption,      csDoubleClicks, csReplicatable};
    color_ = clBtnFace;
    SetBounds(0, 0, 185, 105);
}

void TGroupBox::AdjustClientRect(TRect& rect) const {
    TCanvas c;
    c.Font()->Assign(Font());
    rect.Top += c.TextHeight("0");
    InflateRect(rect, -1, -1);
}

void TGroupBox::Paint() {
    TCanvas* c = Canvas();
    c->Font()->Assign(Font());
    int h = c->TextHeight("0");
    TRect r = Rect(0, h / 2 - 1, Width(), Height());
    // An etched frame: shadow ring, highlight ring one pixel further in.
    c->Brush()->SetColor(clBtnHighlight);
    TRect light = r;
    OffsetRect(light, 1, 1);
    c->FrameRect(light);
    c->Brush()->SetColor(clBtnShadow);
    TRect dark = Rect(r.Left, r.Top, r.Right - 1, r.Bottom - 1);
    c->FrameRect(dark);
    std::string text = Caption();
    if (text.empty()) return;
    TRect t = Rect(8, 0, 0, h);
    c->DrawText(text, t, DT_SINGLELINE | DT_CALCRECT);
    c->Brush()->SetColor(Color());
    c->Brush()->SetStyle(bsSolid);
    c->DrawText(text, t, DT_SINGLELINE);
}

// ---- edits -------------------------------------------------------------------------------

TCustomEdit::TCustomEdit(TComponent* owner) : TWinControl(owner) {
    controlStyle_ = TControlStyle{csCaptureMouse, csDoubleClicks, csFixedHeight};
    color_ = clWindow;
    SetTabStop(true);
    SetBounds(0, 0, 121, 21);
}

TCustomEdit::~TCustomEdit() {
    BeginDestruction();
}

void TCustomEdit::SetReadOnly(bool v) {
    readOnly_ = v;
    if (!widget_) return;
    if (auto* e = dynamic_cast<QLineEdit*>(widget_)) e->setReadOnly(v);
    if (auto* m = dynamic_cast<QPlainTextEdit*>(widget_)) m->setReadOnly(v);
}

void TCustomEdit::SetMaxLength(int v) {
    maxLength_ = std::max(0, v);
    if (auto* e = dynamic_cast<QLineEdit*>(widget_))
        e->setMaxLength(maxLength_ ? maxLength_ : 32767);
}

void TCustomEdit::SetBorderStyle(TBorderStyle v) {
    borderStyle_ = v;
    if (auto* e = dynamic_cast<QLineEdit*>(widget_)) e->setFrame(v != bsNone);
}

void TCustomEdit::SelectAll() {
    if (auto* e = dynamic_cast<QLineEdit*>(widget_)) e->selectAll();
    if (auto* m = dynamic_cast<QPlainTextEdit*>(widget_)) m->selectAll();
}

void TCustomEdit::Change() {
    if (OnChange) OnChange(this);
}

void TCustomEdit::Dispatch(TMessage& m) {
    switch (m.Msg) {
    case CM_TEXTCHANGED:
        // With a widget, its own change signal reports the change.
        if (!widget_) Change();
        return;
    case CM_COLORCHANGED:
    case CM_FONTCHANGED:
        if (widget_) ApplyPalette(widget_, Color(), Font());
        TWinControl::Dispatch(m);
        return;
    default:
        TWinControl::Dispatch(m);
    }
}

TEdit::TEdit(TComponent* owner) : TCustomEdit(owner) {}

QWidget* TEdit::CreateWidget() {
    return new THostWidget<QLineEdit>(this);
}

void TEdit::InitWidget() {
    TCustomEdit::InitWidget();
    auto* e = static_cast<QLineEdit*>(widget_);
    e->setText(Q(text_));
    e->setReadOnly(readOnly_);
    e->setMaxLength(maxLength_ ? maxLength_ : 32767);
    e->setFrame(borderStyle_ != bsNone);
    if (passwordChar_) e->setEchoMode(QLineEdit::Password);
    ApplyPalette(e, Color(), Font());
    TGuardedRef<TEdit> self(this);
    QObject::connect(e, &QLineEdit::textChanged, [self](const QString& t) {
        TEdit* me = self.Get();
        if (!me) return;
        me->text_ = t.toStdString();
        try {
            me->Change();
        } catch (...) {
            Application->HandleException(me);
        }
    });
}

std::string TEdit::GetText() const {
    if (auto* e = dynamic_cast<QLineEdit*>(widget_)) return e->text().toStdString();
    return text_;
}

void TEdit::SetTextValue(const std::string& text) {
    text_ = text;
    if (auto* e = dynamic_cast<QLineEdit*>(widget_)) e->setText(Q(text));
}

void TEdit::SetPasswordChar(char32_t c) {
    passwordChar_ = c;
    if (auto* e = dynamic_cast<QLineEdit*>(widget_))
        e->setEchoMode(c ? QLineEdit::Password : QLineEdit::Normal);
}

TMemo::TMemo(TComponent* owner)
    : TCustomEdit(owner), lines_(std::make_unique<TControlStrings>([this] { LinesChanged(); })) {
    SetBounds(0, 0, 185, 89);
    controlStyle_.Exclude(csFixedHeight);
}

TMemo::~TMemo() {
    BeginDestruction();
}

QWidget* TMemo::CreateWidget() {
    return new THostWidget<QPlainTextEdit>(this);
}

void TMemo::InitWidget() {
    TCustomEdit::InitWidget();
    auto* m = static_cast<QPlainTextEdit*>(widget_);
    ApplyPalette(m, Color(), Font());
    ApplyOptions();
    shownLines_ = -1;
    LinesChanged();
    TGuardedRef<TMemo> self(this);
    QObject::connect(m, &QPlainTextEdit::textChanged, [self] {
        TMemo* me = self.Get();
        if (!me || me->syncing_) return;
        // The user typed: the lines follow the widget.
        me->syncing_ = true;
        std::string t = static_cast<QPlainTextEdit*>(me->widget_)->toPlainText().toStdString();
        me->lines_->SetText(t);
        me->shownLines_ = me->lines_->Count();
        me->syncing_ = false;
        try {
            me->Change();
        } catch (...) {
            Application->HandleException(me);
        }
    });
}

void TMemo::ApplyOptions() {
    auto* m = dynamic_cast<QPlainTextEdit*>(widget_);
    if (!m) return;
    m->setReadOnly(readOnly_);
    bool h = scrollBars_ == ssHorizontal || scrollBars_ == ssBoth;
    bool v = scrollBars_ == ssVertical || scrollBars_ == ssBoth;
    m->setHorizontalScrollBarPolicy(h ? Qt::ScrollBarAlwaysOn : Qt::ScrollBarAlwaysOff);
    m->setVerticalScrollBarPolicy(v ? Qt::ScrollBarAlwaysOn : Qt::ScrollBarAlwaysOff);
    m->setLineWrapMode(wordWrap_ && !h ? QPlainTextEdit::WidgetWidth : QPlainTextEdit::NoWrap);
}

void TMemo::SetScrollBars(TScrollStyle s) {
    scrollBars_ = s;
    ApplyOptions();
}

void TMemo::SetWordWrap(bool v) {
    wordWrap_ = v;
    ApplyOptions();
}

void TMemo::LinesChanged() {
    if (syncing_) return;
    auto* m = dynamic_cast<QPlainTextEdit*>(widget_);
    if (!m) return;
    syncing_ = true;
    int n = lines_->Count();
    // Lines added at the end (a log) are appended; anything else redraws the whole text.
    bool appended = shownLines_ >= 0 && n > shownLines_ && m->blockCount() >= shownLines_;
    if (appended && shownLines_ > 0) {
        for (int i = shownLines_; i < n; ++i) m->appendPlainText(Q(lines_->Get(i)));
    } else {
        QStringList all;
        for (int i = 0; i < n; ++i) all << Q(lines_->Get(i));
        m->setPlainText(all.join('\n'));
    }
    shownLines_ = n;
    syncing_ = false;
    Change();
}

std::string TMemo::GetText() const {
    return lines_->Text();
}

void TMemo::SetTextValue(const std::string& text) {
    lines_->SetText(text);
}

// ---- buttons -----------------------------------------------------------------------------

TButtonControl::TButtonControl(TComponent* owner) : TWinControl(owner) {
    controlStyle_ = TControlStyle{csSetCaption, csDoubleClicks};
    color_ = clBtnFace;
    SetTabStop(true);
}

void TButtonControl::ClickFromWidget() {
    TGuardedRef<TButtonControl> self(this);
    try {
        Click();
    } catch (...) {
        Application->HandleException(self.Get());
    }
}

TButton::TButton(TComponent* owner) : TButtonControl(owner) {
    SetBounds(0, 0, 75, 25);
}

QWidget* TButton::CreateWidget() {
    return new THostWidget<QPushButton>(this);
}

void TButton::InitWidget() {
    TButtonControl::InitWidget();
    auto* b = static_cast<QPushButton*>(widget_);
    b->setText(Q(text_));
    b->setDefault(default_);
    b->setAutoDefault(false);
    b->setFont(Font()->ToQFont());
    TGuardedRef<TButton> self(this);
    QObject::connect(b, &QPushButton::clicked, [self] {
        if (TButton* me = self.Get()) me->ClickFromWidget();
    });
    QObject::connect(b, &QPushButton::pressed, [self] {
        if (TButton* me = self.Get()) me->Invalidate();
    });
    QObject::connect(b, &QPushButton::released, [self] {
        if (TButton* me = self.Get()) me->Invalidate();
    });
}

void TButton::SetTextValue(const std::string& text) {
    text_ = text;
    if (auto* b = dynamic_cast<QPushButton*>(widget_)) b->setText(Q(text));
}

void TButton::SetDefault(bool v) {
    if (v == default_) return;
    default_ = v;
    if (TForm* f = GetParentForm(this)) {
        TWinControl* focused = f->ActiveControl();
        SetButtonStyle(focused == this || (v && !dynamic_cast<TButton*>(focused)));
    }
}

void TButton::SetButtonStyle(bool isDefault) {
    if (auto* b = dynamic_cast<QPushButton*>(widget_)) b->setDefault(isDefault);
}

bool TButton::IsPressed() const {
    auto* b = dynamic_cast<QPushButton*>(widget_);
    return b && b->isDown();
}

void TButton::Click() {
    if (TForm* f = GetParentForm(this); f && modalResult_ != mrNone)
        f->SetModalResult(modalResult_);
    TButtonControl::Click();
}

bool TButton::FrameworkPaints() const {
    return (WindowStyle() & 0x0F) == BS_OWNERDRAW;
}

void TButton::PaintWindow(TCanvas* canvas) {
    TDrawItemStruct dis;
    dis.CtlType = ODT_BUTTON;
    dis.itemAction = ODA_DRAWENTIRE;
    if (IsPressed()) dis.itemState |= ODS_SELECTED;
    if (Focused()) dis.itemState |= ODS_FOCUS;
    if (!Enabled()) dis.itemState |= ODS_DISABLED;
    dis.hwndItem = this;
    dis.hDC = canvas;
    dis.rcItem = ClientRect();
    Perform(CN_DRAWITEM, 0, reinterpret_cast<std::intptr_t>(&dis));
}

void TButton::Dispatch(TMessage& m) {
    switch (m.Msg) {
    case CM_FOCUSCHANGED: {
        auto* focused = reinterpret_cast<TWinControl*>(m.LParam);
        SetButtonStyle(focused == this || (default_ && !dynamic_cast<TButton*>(focused)));
        return;
    }
    case CM_DIALOGKEY:
        if (((m.WParam == VK_RETURN && default_) || (m.WParam == VK_ESCAPE && cancel_)) &&
            Enabled() && Showing()) {
            m.Result = 1;
            ClickFromWidget();
        }
        return;
    case CM_TEXTCHANGED:
    case CM_ENABLEDCHANGED:
        TButtonControl::Dispatch(m);
        Invalidate();
        return;
    default:
        TButtonControl::Dispatch(m);
    }
}

TCheckBox::TCheckBox(TComponent* owner) : TButtonControl(owner) {
    SetBounds(0, 0, 97, 17);
}

QWidget* TCheckBox::CreateWidget() {
    return new THostWidget<QCheckBox>(this);
}

void TCheckBox::InitWidget() {
    TButtonControl::InitWidget();
    auto* b = static_cast<QCheckBox*>(widget_);
    b->setText(Q(text_));
    b->setTristate(allowGrayed_);
    b->setCheckState(state_ == cbChecked  ? Qt::Checked
                     : state_ == cbGrayed ? Qt::PartiallyChecked
                                          : Qt::Unchecked);
    b->setFont(Font()->ToQFont());
    TGuardedRef<TCheckBox> self(this);
    QObject::connect(b, &QCheckBox::clicked, [self] {
        TCheckBox* me = self.Get();
        if (!me) return;
        Qt::CheckState s = static_cast<QCheckBox*>(me->widget_)->checkState();
        me->state_ = s == Qt::Checked            ? cbChecked
                     : s == Qt::PartiallyChecked ? cbGrayed
                                                 : cbUnchecked;
        me->ClickFromWidget();
    });
}

void TCheckBox::SetTextValue(const std::string& text) {
    text_ = text;
    if (auto* b = dynamic_cast<QCheckBox*>(widget_)) b->setText(Q(text));
}

void TCheckBox::SetState(TCheckBoxState s) {
    if (s == state_) return;
    state_ = s;
    if (auto* b = dynamic_cast<QCheckBox*>(widget_))
        b->setCheckState(s == cbChecked  ? Qt::Checked
                         : s == cbGrayed ? Qt::PartiallyChecked
                                         : Qt::Unchecked);
    Click();
}

TRadioButton::TRadioButton(TComponent* owner) : TButtonControl(owner) {
    SetBounds(0, 0, 113, 17);
}

QWidget* TRadioButton::CreateWidget() {
    return new THostWidget<QRadioButton>(this);
}

void TRadioButton::InitWidget() {
    TButtonControl::InitWidget();
    auto* b = static_cast<QRadioButton*>(widget_);
    b->setAutoExclusive(false);
    b->setText(Q(text_));
    b->setChecked(checked_);
    b->setFont(Font()->ToQFont());
    TGuardedRef<TRadioButton> self(this);
    QObject::connect(b, &QRadioButton::clicked, [self] {
        TRadioButton* me = self.Get();
        if (!me) return;
        // A click on a checked radio button keeps it checked.
        static_cast<QRadioButton*>(me->widget_)->setChecked(true);
        if (me->checked_) return;
        try {
            me->SetChecked(true);
        } catch (...) {
            Application->HandleException(me);
        }
    });
}

void TRadioButton::SetTextValue(const std::string& text) {
    text_ = text;
    if (auto* b = dynamic_cast<QRadioButton*>(widget_)) b->setText(Q(text));
}

void TRadioButton::SetChecked(bool v) {
    if (v == checked_) return;
    checked_ = v;
    if (auto* b = dynamic_cast<QRadioButton*>(widget_)) b->setChecked(v);
    if (!v) return;
    if (TWinControl* p = Parent())
        for (int i = 0; i < p->ControlCount(); ++i)
            if (auto* r = dynamic_cast<TRadioButton*>(p->Controls(i)); r && r != this)
                r->SetChecked(false);
    Click();
}

// ---- TComboBox ---------------------------------------------------------------------------

TComboBox::TComboBox(TComponent* owner)
    : TWinControl(owner), items_(std::make_unique<TControlStrings>([this] { ItemsChanged(); })) {
    controlStyle_ = TControlStyle{csCaptureMouse, csSetCaption, csDoubleClicks, csFixedHeight};
    color_ = clWindow;
    SetTabStop(true);
    SetBounds(0, 0, 145, 21);
}

TComboBox::~TComboBox() {
    BeginDestruction();
}

namespace {

// The press that opens the list sets the combo's capture, but its release goes to Qt's pop-up;
// without this the next click anywhere would still go to the combo and be lost.
class TComboBoxHost : public THostWidget<QComboBox> {
public:
    using THostWidget<QComboBox>::THostWidget;
    void hidePopup() override {
        QComboBox::hidePopup();
        if (Control() && GetCaptureControl() == Control()) SetCaptureControl(nullptr);
    }
};

} // namespace

QWidget* TComboBox::CreateWidget() {
    return new TComboBoxHost(this);
}

void TComboBox::InitWidget() {
    TWinControl::InitWidget();
    auto* c = static_cast<QComboBox*>(widget_);
    c->setEditable(style_ != csDropDownList);
    c->setMaxVisibleItems(dropDownCount_);
    ApplyPalette(c, Color(), Font());
    ItemsChanged();
    TGuardedRef<TComboBox> self(this);
    QObject::connect(c, &QComboBox::activated, [self](int index) {
        TComboBox* me = self.Get();
        if (!me || me->syncing_) return;
        me->itemIndex_ = index;
        me->text_ = me->GetText();
        me->UserChanged();
    });
    if (QLineEdit* e = c->lineEdit())
        QObject::connect(e, &QLineEdit::textEdited, [self](const QString&) {
            TComboBox* me = self.Get();
            if (!me || me->syncing_) return;
            me->itemIndex_ = -1;
            me->text_ = me->GetText();
            me->UserChanged();
        });
}

void TComboBox::UserChanged() {
    try {
        if (OnChange) OnChange(this);
    } catch (...) {
        Application->HandleException(this);
    }
}

void TComboBox::ItemsChanged() {
    if (itemIndex_ >= items_->Count()) itemIndex_ = -1;
    auto* c = dynamic_cast<QComboBox*>(widget_);
    if (!c) return;
    syncing_ = true;
    QString text = c->currentText();
    c->clear();
    for (int i = 0; i < items_->Count(); ++i) c->addItem(Q(items_->Get(i)));
    c->setCurrentIndex(itemIndex_);
    if (style_ != csDropDownList && itemIndex_ < 0) c->setEditText(Q(text_));
    syncing_ = false;
}

int TComboBox::ItemIndex() const {
    return itemIndex_;
}

void TComboBox::SetItemIndex(int index) {
    if (index < -1 || index >= items_->Count()) index = -1;
    itemIndex_ = index;
    if (index >= 0)
        text_ = items_->Get(index);
    else if (style_ == csDropDownList)
        text_.clear(); // a list without a choice shows no text, with or without its window
    if (auto* c = dynamic_cast<QComboBox*>(widget_)) {
        syncing_ = true;
        c->setCurrentIndex(index);
        syncing_ = false;
    }
}

void TComboBox::SetStyle(TComboBoxStyle s) {
    if (s == style_) return;
    style_ = s;
    RecreateWnd();
}

void TComboBox::SetDropDownCount(int n) {
    dropDownCount_ = n;
    if (auto* c = dynamic_cast<QComboBox*>(widget_)) c->setMaxVisibleItems(n);
}

std::string TComboBox::GetText() const {
    if (auto* c = dynamic_cast<QComboBox*>(widget_)) return c->currentText().toStdString();
    return text_;
}

void TComboBox::SetTextValue(const std::string& text) {
    text_ = text;
    int i = items_->IndexOf(text);
    if (style_ == csDropDownList) {
        SetItemIndex(i);
        return;
    }
    itemIndex_ = i >= 0 && items_->Get(i) == text ? i : -1;
    if (auto* c = dynamic_cast<QComboBox*>(widget_)) {
        syncing_ = true;
        c->setCurrentIndex(itemIndex_);
        c->setEditText(Q(text));
        syncing_ = false;
    }
}

// ---- TListBoxStrings ---------------------------------------------------------------------

std::string TListBoxStrings::Get(int index) const {
    CheckIndex(index, Count());
    return items_[index].text;
}

void TListBoxStrings::Put(int index, const std::string& s) {
    CheckIndex(index, Count());
    items_[index].text = s;
    Changed();
}

void* TListBoxStrings::GetObject(int index) const {
    CheckIndex(index, Count());
    return items_[index].object;
}

void TListBoxStrings::PutObject(int index, void* object) {
    CheckIndex(index, Count());
    items_[index].object = object;
}

void TListBoxStrings::Insert(int index, const std::string& s) {
    CheckIndex(index, Count() + 1);
    items_.insert(items_.begin() + index, Item{s, nullptr, false});
    if (box_->caret_ >= index) ++box_->caret_;
    if (box_->anchor_ >= index) ++box_->anchor_;
    Changed();
}

int TListBoxStrings::Add(const std::string& s) {
    int index = Count();
    if (box_->sorted_) {
        // After the last entry that sorts before or equal to it.
        auto it = std::upper_bound(
            items_.begin(), items_.end(), s,
            [](const std::string& v, const Item& i) { return CompareText(v, i.text) < 0; });
        index = static_cast<int>(it - items_.begin());
    }
    Insert(index, s);
    return index;
}

void TListBoxStrings::Delete(int index) {
    CheckIndex(index, Count());
    items_.erase(items_.begin() + index);
    int& caret = box_->caret_;
    if (caret > index) --caret;
    if (caret >= Count()) caret = Count() - 1;
    if (box_->anchor_ >= Count()) box_->anchor_ = Count() - 1;
    Changed();
}

void TListBoxStrings::Clear() {
    items_.clear();
    box_->caret_ = -1;
    box_->anchor_ = -1;
    box_->topIndex_ = 0;
    Changed();
}

void TListBoxStrings::Exchange(int a, int b) {
    CheckIndex(a, Count());
    CheckIndex(b, Count());
    std::swap(items_[a].text, items_[b].text);
    std::swap(items_[a].object, items_[b].object);
    items_[a].selected = items_[b].selected = false;
    int& caret = box_->caret_;
    if (caret == a)
        caret = b;
    else if (caret == b)
        caret = a;
    Changed();
}

int TListBoxStrings::IndexOf(const std::string& s) const {
    for (int i = 0; i < Count(); ++i)
        if (CompareText(items_[i].text, s) == 0) return i;
    return -1;
}

void TListBoxStrings::SetUpdateState(bool updating) {
    if (!updating) Changed();
}

void TListBoxStrings::Changed() {
    if (UpdateCount() == 0) box_->ItemsChanged();
}

// ---- TCustomListBox ----------------------------------------------------------------------

TCustomListBox::TCustomListBox(TComponent* owner)
    : TCustomControl(owner), items_(std::make_unique<TListBoxStrings>(this)) {
    controlStyle_ = TControlStyle{csSetCaption, csDoubleClicks, csOpaque};
    color_ = clWindow;
    SetTabStop(true);
    SetBounds(0, 0, 121, 97);
}

TCustomListBox::~TCustomListBox() {
    BeginDestruction();
}

QWidget* TCustomListBox::CreateWidget() {
    QWidget* w = TCustomControl::CreateWidget();
    scrollBar_ = new QScrollBar(Qt::Vertical, w);
    scrollBar_->hide();
    hScrollBar_ = new QScrollBar(Qt::Horizontal, w);
    hScrollBar_->hide();
    TGuardedRef<TCustomListBox> self(this);
    QObject::connect(scrollBar_, &QScrollBar::valueChanged, [self](int v) {
        if (TCustomListBox* me = self.Get()) me->SetTopIndex(v);
    });
    QObject::connect(hScrollBar_, &QScrollBar::valueChanged, [self](int v) {
        if (TCustomListBox* me = self.Get()) me->SetHorizontalPosition(v);
    });
    UpdateScrollBar();
    return w;
}

TRect TCustomListBox::InsideBorder() const {
    TRect r = ClientRect();
    if (borderStyle_ == bsSingle) InflateRect(r, -2, -2);
    return r;
}

TRect TCustomListBox::Inner() const {
    TRect r = InsideBorder();
    if (scrollBar_ && !scrollBar_->isHidden()) r.Right -= scrollBar_->sizeHint().width();
    if (hScrollBar_ && !hScrollBar_->isHidden()) r.Bottom -= hScrollBar_->sizeHint().height();
    return r;
}

int TCustomListBox::ItemHeight() const {
    if (style_ != lbStandard) return itemHeight_;
    TCanvas c;
    c.Font()->Assign(Font());
    return std::max(1, c.TextHeight("Wg"));
}

void TCustomListBox::SetItemHeight(int h) {
    if (h < 1 || h == itemHeight_) return;
    itemHeight_ = h;
    UpdateScrollBar();
    Invalidate();
}

int TCustomListBox::VisibleRows() const {
    return std::max(1, Inner().Height() / ItemHeight());
}

void TCustomListBox::UpdateScrollBar() {
    if (!scrollBar_) return;
    const TRect all = InsideBorder();
    const int b = all.Left - ClientRect().Left; // the border's width
    int vw = scrollBar_->sizeHint().width(), hh = hScrollBar_->sizeHint().height();
    auto rowsWith = [&](bool hBar) {
        return std::max(1, (all.Height() - (hBar ? hh : 0)) / ItemHeight());
    };
    // Each bar takes room from the other's direction, so one may bring the other.
    bool showH = horizontalExtent_ > all.Width();
    bool showV = Count() > rowsWith(showH);
    if (showV && !showH && horizontalExtent_ > all.Width() - vw) showH = true;
    scrollBar_->setVisible(showV);
    hScrollBar_->setVisible(showH);

    int rows = VisibleRows();
    int max = std::max(0, Count() - rows);
    topIndex_ = std::clamp(topIndex_, 0, max);
    scrollBar_->setGeometry(Width() - b - vw, b, vw, std::max(0, all.Height() - (showH ? hh : 0)));
    scrollBar_->setRange(0, max);
    scrollBar_->setPageStep(rows);
    scrollBar_->setValue(topIndex_);

    int width = Inner().Width();
    int hMax = showH ? std::max(0, horizontalExtent_ - width) : 0;
    horizontalPos_ = std::clamp(horizontalPos_, 0, hMax);
    hScrollBar_->setGeometry(b, Height() - b - hh, std::max(0, width), hh);
    hScrollBar_->setRange(0, hMax);
    hScrollBar_->setPageStep(std::max(1, width));
    if (showH) {
        // An arrow of the bar moves the rows by a character.
        TCanvas c;
        c.Font()->Assign(Font());
        hScrollBar_->setSingleStep(std::max(1, c.TextWidth("0")));
    }
    hScrollBar_->setValue(horizontalPos_);
}

void TCustomListBox::SetHorizontalExtent(int v) {
    if (v == horizontalExtent_) return;
    horizontalExtent_ = v;
    UpdateScrollBar();
    Invalidate();
}

void TCustomListBox::SetHorizontalPosition(int x) {
    if (x == horizontalPos_) return;
    horizontalPos_ = x;
    Invalidate();
}

void TCustomListBox::SetTopIndex(int index) {
    index = std::clamp(index, 0, std::max(0, Count() - VisibleRows()));
    if (index == topIndex_) return;
    topIndex_ = index;
    if (scrollBar_) scrollBar_->setValue(index);
    Invalidate();
}

void TCustomListBox::ScrollIntoView(int index) {
    if (index < 0) return;
    if (index < topIndex_)
        SetTopIndex(index);
    else if (index >= topIndex_ + VisibleRows())
        SetTopIndex(index - VisibleRows() + 1);
}

void TCustomListBox::ItemsChanged() {
    UpdateScrollBar();
    Invalidate();
}

TRect TCustomListBox::ItemRect(int index) const {
    TRect in = Inner();
    int h = ItemHeight();
    int top = in.Top + (index - topIndex_) * h;
    // Scrolled sideways, the row starts left of the list and ends at its right edge.
    return Rect(in.Left - horizontalPos_, top, in.Right, top + h);
}

TPoint TCustomListBox::KeyboardPopupPoint() const {
    // The platform opens a list's keyboard menu on its current row, when that row is in view.
    if (caret_ >= 0 && caret_ < Count() && caret_ >= topIndex_ &&
        caret_ < topIndex_ + VisibleRows()) {
        TRect r = ItemRect(caret_);
        r.Left = std::max(r.Left, Inner().Left);
        return Point((r.Left + r.Right) / 2, (r.Top + r.Bottom) / 2);
    }
    return TCustomControl::KeyboardPopupPoint();
}

int TCustomListBox::ItemAtPos(TPoint p, bool existing) const {
    TRect in = Inner();
    int i = topIndex_ + (p.Y - in.Top) / ItemHeight();
    if (p.Y < in.Top) i = topIndex_ - 1;
    if (i >= 0 && i < Count() && PtInRect(in, p)) return i;
    if (existing) return -1;
    return Count() == 0 ? -1 : std::clamp(i, 0, Count() - 1);
}

int TCustomListBox::ItemIndex() const {
    if (multiSelect_ || caret_ < 0) return caret_;
    return items_->items_[caret_].selected ? caret_ : -1;
}

void TCustomListBox::SetItemIndex(int index) {
    if (index < -1 || index >= Count()) index = -1;
    if (!multiSelect_)
        for (auto& i : items_->items_) i.selected = false;
    caret_ = index;
    if (!multiSelect_ && index >= 0) items_->items_[index].selected = true;
    ScrollIntoView(index);
    Invalidate();
}

bool TCustomListBox::Selected(int index) const {
    items_->CheckIndex(index, Count());
    return items_->items_[index].selected;
}

void TCustomListBox::SetSelected(int index, bool selected) {
    items_->CheckIndex(index, Count());
    if (!multiSelect_ && selected)
        for (auto& i : items_->items_) i.selected = false;
    items_->items_[index].selected = selected;
    if (!multiSelect_ && selected) caret_ = index;
    Invalidate();
}

int TCustomListBox::SelCount() const {
    if (!multiSelect_) return -1;
    return static_cast<int>(std::count_if(items_->items_.begin(), items_->items_.end(),
                                          [](const auto& i) { return i.selected; }));
}

void TCustomListBox::SetMultiSelect(bool v) {
    if (v == multiSelect_) return;
    multiSelect_ = v;
    if (!v) {
        for (int i = 0; i < Count(); ++i)
            items_->items_[i].selected = i == caret_ && items_->items_[i].selected;
    }
    Invalidate();
}

void TCustomListBox::SetSorted(bool v) {
    if (v == sorted_) return;
    sorted_ = v;
    if (!v) return;
    auto& items = items_->items_;
    const void* caretItem = caret_ >= 0 ? &items[caret_] : nullptr;
    std::string caretText = caret_ >= 0 ? items[caret_].text : "";
    std::stable_sort(items.begin(), items.end(),
                     [](const auto& a, const auto& b) { return CompareText(a.text, b.text) < 0; });
    (void)caretItem;
    caret_ = caret_ >= 0 ? items_->IndexOf(caretText) : -1;
    Invalidate();
}

void TCustomListBox::SetStyle(TListBoxStyle s) {
    if (s == style_) return;
    style_ = s;
    UpdateScrollBar();
    Invalidate();
}

void TCustomListBox::SetBorderStyle(TBorderStyle s) {
    if (s == borderStyle_) return;
    borderStyle_ = s;
    UpdateScrollBar();
    Invalidate();
}

void TCustomListBox::DrawItem(int index, TRect rect, TOwnerDrawState state) {
    if (OnDrawItem) {
        OnDrawItem(this, index, rect, state);
        return;
    }
    TCanvas* c = Canvas();
    c->FillRect(rect);
    c->TextOut(rect.Left + 2, rect.Top, items_->Get(index));
}

void TCustomListBox::Paint() {
    TCanvas* c = Canvas();
    TRect all = ClientRect();
    if (borderStyle_ == bsSingle) {
        TRect edge = all;
        c->Frame3D(edge, clBtnShadow, clBtnHighlight, 1);
        c->Frame3D(edge, cl3DDkShadow, cl3DLight, 1);
    }
    TRect in = Inner();
    if (scrollBar_ && !scrollBar_->isHidden() && !hScrollBar_->isHidden()) {
        // The square where the two scroll bars meet.
        c->Brush()->SetColor(clBtnFace);
        c->Brush()->SetStyle(bsSolid);
        c->FillRect(Rect(in.Right, in.Bottom, in.Right + scrollBar_->sizeHint().width(),
                         in.Bottom + hScrollBar_->sizeHint().height()));
    }
    c->Brush()->SetColor(Color());
    c->Brush()->SetStyle(bsSolid);
    c->FillRect(in);
    TDrawSurface saved = c->Surface();
    TDrawSurface s = saved;
    TRect clipIn = Rect(in.Left + saved.Origin.X, in.Top + saved.Origin.Y,
                        in.Right + saved.Origin.X, in.Bottom + saved.Origin.Y);
    IntersectRect(s.Clip, s.Clip, clipIn);
    c->SetSurface(s);
    int h = ItemHeight();
    bool focused = Focused();
    for (int i = topIndex_; i < Count(); ++i) {
        TRect r = ItemRect(i);
        if (r.Top >= in.Bottom) break;
        TOwnerDrawState state;
        bool sel = items_->items_[i].selected;
        if (sel) state.Include(odSelected);
        if (!Enabled()) state.Include(odDisabled);
        if (focused && i == caret_) state.Include(odFocused);
        c->Font()->Assign(Font());
        c->Brush()->SetStyle(bsSolid);
        if (sel) {
            c->Brush()->SetColor(clHighlight);
            c->Font()->SetColor(clHighlightText);
        } else {
            c->Brush()->SetColor(Color());
        }
        DrawItem(i, r, state);
        if (state.Contains(odFocused)) c->DrawFocusRect(r);
        (void)h;
    }
    c->SetSurface(saved);
}

void TCustomListBox::SelectFromUser(int index, TShiftState shift) {
    if (index < 0) return;
    auto& items = items_->items_;
    if (!multiSelect_) {
        for (auto& i : items) i.selected = false;
        items[index].selected = true;
        anchor_ = index;
    } else if (extendedSelect_ && shift.Contains(ssShift) && anchor_ >= 0) {
        if (!shift.Contains(ssCtrl))
            for (auto& i : items) i.selected = false;
        for (int i = std::min(anchor_, index); i <= std::max(anchor_, index); ++i)
            items[i].selected = true;
    } else if (!extendedSelect_ || shift.Contains(ssCtrl)) {
        items[index].selected = !items[index].selected;
        anchor_ = index;
    } else {
        for (auto& i : items) i.selected = false;
        items[index].selected = true;
        anchor_ = index;
    }
    caret_ = index;
    ScrollIntoView(index);
    Invalidate();
}

void TCustomListBox::MoveCaret(int index, TShiftState shift) {
    if (Count() == 0) return;
    index = std::clamp(index, 0, Count() - 1);
    SelectFromUser(index, multiSelect_ ? shift - TShiftState{ssCtrl} : shift);
    Click();
}

void TCustomListBox::Dispatch(TMessage& m) {
    switch (m.Msg) {
    case WM_LBUTTONDOWN: {
        TGuardedRef<TCustomListBox> self(this);
        if (CanFocus() && !Focused()) SetFocus();
        if (!self) return;
        int i = ItemAtPos(Point(LoWordSigned(m.LParam), HiWordSigned(m.LParam)), true);
        TCustomControl::Dispatch(m);
        if (!self || i < 0) return;
        SelectFromUser(i, KeysToShiftState(m.WParam));
        Click();
        return;
    }
    case WM_LBUTTONDBLCLK: {
        TGuardedRef<TCustomListBox> self(this);
        TCustomControl::Dispatch(m);
        if (self) DblClick();
        return;
    }
    case WM_MOUSEWHEEL:
        SetTopIndex(topIndex_ - static_cast<int>(m.WParam) / 40);
        return;
    case WM_KEYDOWN: {
        int key = static_cast<int>(m.WParam);
        TShiftState shift = CurrentShiftState();
        if (DoKeyDown(key, shift)) return;
        int rows = VisibleRows();
        switch (key) {
        case VK_UP:
            MoveCaret(caret_ - 1, shift);
            break;
        case VK_DOWN:
            MoveCaret(caret_ + 1, shift);
            break;
        case VK_HOME:
            MoveCaret(0, shift);
            break;
        case VK_END:
            MoveCaret(Count() - 1, shift);
            break;
        case VK_PRIOR:
            MoveCaret(caret_ - rows + 1, shift);
            break;
        case VK_NEXT:
            MoveCaret(caret_ + rows - 1, shift);
            break;
        case VK_SPACE:
            if (multiSelect_ && caret_ >= 0) {
                SelectFromUser(caret_, TShiftState{ssCtrl});
                Click();
            }
            break;
        default:
            break;
        }
        return;
    }
    case WM_SIZE:
    case CM_FONTCHANGED:
        UpdateScrollBar();
        Invalidate();
        return;
    case CM_ENTER:
    case CM_EXIT:
        Invalidate();
        TCustomControl::Dispatch(m);
        return;
    default:
        TCustomControl::Dispatch(m);
    }
}

} // namespace sv
