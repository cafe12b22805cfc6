#include "controls/flat_combo.h"

#include "framework/bitmap.h"
#include "framework/canvas.h"
#include "framework/forms.h"
#include "framework/strings.h"

#include <algorithm>
#include <cstdlib>

namespace sv {

TColor ShiftColor(TColor color, bool darken) {
    const TColor rgb = ColorToRGB(color);
    auto shift = [darken](int c) { return std::clamp(darken ? c - 96 : c + 96, 0, 255); };
    return RGB(shift(GetRValue(rgb)), shift(GetGValue(rgb)), shift(GetBValue(rgb)));
}

namespace {

void MakeMark(TBitmap* bitmap, int width, const std::vector<std::pair<int, int>>& blackSpans,
              int height) {
    bitmap->SetSize(width, height);
    TCanvas* c = bitmap->Canvas();
    c->Brush()->SetStyle(bsSolid);
    c->Brush()->SetColor(clWhite);
    c->FillRect(Rect(0, 0, width, height));
    // (row, x) pairs encoded as spans: first = row * 256 + from, second = to (exclusive).
    for (auto [key, to] : blackSpans)
        for (int x = key % 256; x < to; ++x) c->SetPixels(x, key / 256, clBlack);
}

} // namespace

void MakeDropDownMark(TBitmap* bitmap) {
    MakeMark(bitmap, 7, {{0 * 256 + 0, 7}, {1 * 256 + 1, 6}, {2 * 256 + 2, 5}, {3 * 256 + 3, 4}},
             4);
}

void MakeReferMark(TBitmap* bitmap) {
    MakeMark(bitmap, 10,
             {{1 * 256 + 0, 2},
              {1 * 256 + 4, 6},
              {1 * 256 + 8, 10},
              {2 * 256 + 0, 2},
              {2 * 256 + 4, 6},
              {2 * 256 + 8, 10}},
             4);
}

// ---- parts -------------------------------------------------------------------------------

TCustomFlatCombo* TFlatComboText::Combo() const {
    return dynamic_cast<TCustomFlatCombo*>(Parent());
}

void TFlatComboText::DoEnter() {
    SelectAll();
    TEdit::DoEnter();
}

void TFlatComboText::DoExit() {
    if (TCustomFlatCombo* combo = Combo()) {
        combo->CloseList();
        if (!combo->Focused()) combo->SetHot(false);
    }
    TEdit::DoExit();
}

void TFlatComboText::Dispatch(TMessage& m) {
    if (m.Msg == CM_CANCELMODE) {
        if (TCustomFlatCombo* combo = Combo()) combo->CMCancelMode(m);
        return;
    }
    TEdit::Dispatch(m);
}

void TFlatComboDropDown::Paint() {
    TSpeedButton::Paint();
    auto* combo = dynamic_cast<TCustomFlatCombo*>(Parent());
    if (!combo || ComponentState().Contains(csDesigning) || !combo->Ctl3D() || Down()) return;
    TRect r = ClientRect();
    const bool active = combo->CursorOver() || combo->HasFocusInside();
    if (active)
        Canvas()->Frame3D(r, clBtnHighlight, clBtnShadow, 1);
    else
        Canvas()->Frame3D(r, clBtnFace, clBtnFace, 1);
}

void TFlatComboDropDown::MouseMove(TShiftState shift, int x, int y) {
    TSpeedButton::MouseMove(shift, x, y);
    auto* combo = dynamic_cast<TCustomFlatCombo*>(Parent());
    if (!combo || !combo->ListShown() || !MouseCapture()) return;
    // Dragging from the pressed button into the open list hands the mouse to the list, so a
    // release on a row chooses it.
    TPopListBox* list = combo->ListPart();
    const TPoint p = list->ScreenToClient(ClientToScreen(Point(x, y)));
    if (PtInRect(list->ClientRect(), p)) {
        Perform(WM_LBUTTONUP, 0, MakeLParam(x, y));
        list->SetMouseCapture(true);
    }
}

void TPopListBox::MouseMove(TShiftState shift, int x, int y) {
    TCustomListBox::MouseMove(shift, x, y);
    const int row = ItemAtPos(Point(x, y), true);
    if (row >= 0)
        SetItemIndex(row);
    else if (MouseCapture())
        SetItemIndex(-1);
}

void TPopListBox::MouseDown(TMouseButton button, TShiftState shift, int x, int y) {
    TCustomListBox::MouseDown(button, shift, x, y);
    if (x < 0 || y < 0 || x > Width() || y > Height()) {
        if (MouseCapture()) SetMouseCapture(false);
        if (OnCloseRequest) OnCloseRequest(this);
    }
}

void TPopListBox::MouseUp(TMouseButton button, TShiftState shift, int x, int y) {
    const bool captured = MouseCapture();
    TCustomListBox::MouseUp(button, shift, x, y);
    if (!captured) return;
    if (ItemIndex() >= 0 && OnClick) OnClick(this);
    if (OnCloseRequest) OnCloseRequest(this);
}

// ---- the combo ---------------------------------------------------------------------------

TCustomFlatCombo::TCustomFlatCombo(TComponent* owner) : TCustomPanel(owner) {
    TControlStyle cs = ControlStyle();
    cs.Exclude(csAcceptsControls);
    SetControlStyle(cs);
    SetBevelOuter(bvNone);
    SetParentFont(false);
    SetColor(clWindow);
    SetParentColor(false);
    TWinControl::SetTabStop(false);

    button_ = new TFlatComboDropDown(this);
    button_->SetParent(this);
    button_->SetWidth(GetButtonWidth());
    button_->SetFlat(true);
    MakeDropDownMark(button_->Glyph());
    button_->SetMargin((button_->Width() - button_->Glyph()->Width()) / 2 - 1);
    button_->SetCaption("");
    button_->OnMouseDown = [this](TObject* s, TMouseButton, TShiftState, int, int) {
        ToggleList(s);
    };
    button_->OnMouseUp = [this](TObject*, TMouseButton, TShiftState, int, int) { FocusList(); };

    edit_ = new TFlatComboText(this);
    edit_->SetParent(this);
    edit_->SetParentColor(true);
    edit_->SetBorderStyle(bsNone);
    edit_->OnChange = [this](TObject*) { EditChanged(); };
    edit_->OnKeyDown = [this](TObject*, int& key, TShiftState shift) {
        if (ComboKeyDown(key, shift)) key = 0;
    };
    edit_->OnKeyPress = [this](TObject*, char32_t& key) { ComboKeyPress(key); };
    edit_->OnKeyUp = [this](TObject*, int& key, TShiftState shift) {
        if (OnKeyUp) OnKeyUp(this, key, shift);
    };

    list_ = new TPopListBox(this);
    list_->SetParent(this);
    list_->SetParentColor(true);
    list_->SetVisible(false);
    list_->OnClick = [this](TObject* s) { AcceptItem(s); };
    list_->OnCloseRequest = [this](TObject*) { CloseList(); };

    textArea_ = new TPaintBox(this);
    textArea_->SetParent(this);
    textArea_->OnMouseDown = [this](TObject*, TMouseButton, TShiftState, int, int) {
        TextAreaMouseDown();
    };
    textArea_->OnPaint = [this](TObject*) { PaintTextArea(); };
    textArea_->SendToBack();

    SetBounds(Left(), Top(), Width() > 0 ? Width() : 121, 18);
    SetStyle(0);
    LayoutParts();
}

TCustomFlatCombo::~TCustomFlatCombo() {
    BeginDestruction();
}

bool TCustomFlatCombo::ListShown() const {
    return list_ && list_->Visible();
}

int TCustomFlatCombo::AutoHeight() const {
    return std::abs(Font()->Height()) + 6;
}

bool TCustomFlatCombo::OwnsPart(const TControl* c) const {
    return c && (c == this || c == edit_ || c == button_ || c == textArea_ || c == list_);
}

bool TCustomFlatCombo::HasFocusInside() const {
    return Focused() || (edit_ && edit_->Focused());
}

bool TCustomFlatCombo::CursorOver() const {
    const TPoint p = ScreenToClient(GetCursorPos());
    return PtInRect(ClientRect(), p);
}

void TCustomFlatCombo::SetBorderColor(TColor v) {
    if (v == borderColor_) return;
    borderColor_ = v;
    Invalidate();
}

void TCustomFlatCombo::SetMaxLength(int v) {
    if (v == maxLength_) return;
    maxLength_ = v;
    edit_->SetMaxLength(v);
}

void TCustomFlatCombo::SetSorted(bool v) {
    if (v == sorted_) return;
    sorted_ = v;
    list_->SetSorted(v);
}

bool TCustomFlatCombo::Readonly() const {
    return edit_->ReadOnly();
}
void TCustomFlatCombo::SetReadonly(bool v) {
    edit_->SetReadOnly(v);
}

void TCustomFlatCombo::SetTabStop(bool v) {
    if (v == ownTabStop_) return;
    ownTabStop_ = v;
    edit_->SetTabStop(v);
    TWinControl::SetTabStop(style_ == 1 && ownTabStop_);
}

void TCustomFlatCombo::SetAutoSize(bool v) {
    if (v == autoSize_) return;
    autoSize_ = v;
    ApplyAutoSize();
}

void TCustomFlatCombo::ApplyAutoSize() {
    SetBounds(Left(), Top(), Width(), Height());
}

void TCustomFlatCombo::SetStyle(int style) {
    if (style == style_) return;
    style_ = style;
    edit_->SetVisible(style_ != 1);
    TWinControl::SetTabStop(style_ == 1 && ownTabStop_);
    if (style_ == 2) {
        button_->SetWidth(0);
        LayoutParts();
    } else {
        Perform(CM_CTL3DCHANGED);
    }
}

void TCustomFlatCombo::LayoutParts() {
    if (!Parent() || !button_) return;
    const int w = ClientWidth(), h = ClientHeight();
    const int b = button_->Width();
    edit_->SetBounds(3, 3, w - b - 6, h - 5);
    textArea_->SetBounds(2, 2, w - b - 5, h - 4);
    if (Ctl3D())
        button_->SetBounds(w - b - 2, 2, b, h - 4);
    else
        button_->SetBounds(w - b - 1, 1, b, h - 2);
}

void TCustomFlatCombo::SetBounds(int left, int top, int width, int height) {
    // With auto size the font alone decides the height, whatever height is asked for.
    TCustomPanel::SetBounds(left, top, width, autoSize_ ? AutoHeight() : height);
    LayoutParts();
}

void TCustomFlatCombo::Loaded() {
    TCustomPanel::Loaded();
    ApplyAutoSize();
    LayoutParts();
}

void TCustomFlatCombo::SetHot(bool hot) {
    if (hot) {
        hot_ = true;
        SetBevelOuter(bvLowered);
    } else if (!HasFocusInside()) {
        hot_ = false;
        SetBevelOuter(bvNone);
    }
    Invalidate();
    button_->Invalidate();
}

void TCustomFlatCombo::Paint() {
    TCanvas* c = Canvas();
    const int w = Width(), h = Height();
    TRect r = ClientRect();
    c->Brush()->SetStyle(bsClear);
    c->Pen()->SetStyle(psSolid);
    c->Pen()->SetWidth(1);
    if (!Ctl3D())
        c->Frame3D(r, clWindowFrame, clWindowFrame, 1);
    else if (hot_)
        c->Frame3D(r, ShiftColor(borderColor_, true), ShiftColor(borderColor_, false), 1);
    else
        c->Frame3D(r, borderColor_, borderColor_, 1);
    const bool active =
        (CursorOver() || HasFocusInside()) && !ComponentState().Contains(csDesigning) && Ctl3D();
    c->Pen()->SetColor(active ? borderColor_ : Color());
    c->Brush()->SetStyle(bsClear);
    c->Rectangle(1, 1, w - 1, h - 1);
    const int bl = button_->Left();
    if (Ctl3D()) {
        c->MoveTo(bl - 1, 2);
        c->LineTo(bl - 1, h - 2);
    } else {
        c->Pen()->SetColor(clBtnFace);
        c->MoveTo(bl - 1, 1);
        c->LineTo(bl - 1, h - 1);
    }
}

void TCustomFlatCombo::PaintTextArea() {
    TCanvas* c = textArea_->Canvas();
    c->Font()->Assign(Font());
    const bool highlighted = Focused() && style_ == 1 && highlight_ && !ListShown();
    c->Brush()->SetStyle(bsSolid);
    if (highlighted) {
        c->Brush()->SetColor(clHighlight);
        c->Font()->SetColor(clHighlightText);
    } else {
        c->Brush()->SetColor(Enabled() ? Color() : clGrayText);
    }
    TRect r = textArea_->ClientRect();
    c->FillRect(r);
    if (style_ != 1) return;
    TRect t = r;
    InflateRect(t, -1, -1);
    c->Brush()->SetStyle(bsClear);
    c->DrawText(edit_->Text(), t, DT_NOPREFIX | DT_SINGLELINE);
    if (!ComponentState().Contains(csDesigning) && ownTabStop_ && (Focused() || list_->Focused()) &&
        !ListShown())
        c->DrawFocusRect(r);
}

void TCustomFlatCombo::EditChanged() {
    // Either way the text goes, it goes through the edit, and OnChange fires once here.
    if (!syncing_) {
        syncing_ = true;
        SetText(edit_->Text());
        syncing_ = false;
    }
    if (OnChange) OnChange(this);
}

// The first row, from the top, that starts with the text, letters in either case; -1 if none.
int TCustomFlatCombo::FindRow(const std::string& text) const {
    const TStrings* items = list_->Items();
    for (int i = 0; i < items->Count(); ++i) {
        const std::string row = items->Strings(i);
        if (row.size() >= text.size() && CompareText(row.substr(0, text.size()), text) == 0)
            return i;
    }
    return -1;
}

void TCustomFlatCombo::ShowList() {
    const std::string text = Text();
    if (text.empty()) {
        list_->SetItemIndex(-1);
    } else {
        const int row = FindRow(text);
        list_->SetItemIndex(row);
        if (row >= 0) {
            SetText(list_->Items()->Strings(row));
            if (edit_->Visible()) edit_->SelectAll();
        }
    }
    const int ih = list_->ItemHeight();
    const int rows = std::min(list_->Items()->Count(), dropDownCount_);
    const int height = list_->Items()->Count() == 0 ? ih + 8 : ih * rows + 8;
    const int width = listWidth_ > 0 ? listWidth_ : Width();
    // The list lies over the form rather than inside the combo, which is too small to show
    // it; it goes back into the combo when it closes.
    TWinControl* host = GetParentForm(this);
    if (!host) host = this;
    const TPoint at = host->ScreenToClient(ClientToScreen(Point(0, Height() - 2)));
    list_->SetParent(host);
    list_->SetBounds(at.X, at.Y, width, height);
    list_->BringToFront();
    list_->Show();
    if (OnDropDown) OnDropDown(this);
}

void TCustomFlatCombo::CloseList() {
    // Only a capture that one of our own parts holds, and only while our list is open: any
    // other capture belongs to a click that must go on (a button being pressed, say).
    if (ListShown()) {
        TControl* capture = GetCaptureControl();
        if (capture && OwnsPart(capture)) capture->Perform(WM_CANCELMODE);
        if (capture && OwnsPart(capture) && GetCaptureControl() == capture)
            SetCaptureControl(nullptr);
    }
    HideList();
}

void TCustomFlatCombo::HideList() {
    if (list_) {
        list_->Hide();
        if (list_->Parent() != this && !ComponentState().Contains(csDestroying))
            list_->SetParent(this);
    }
    if (textArea_) textArea_->Invalidate();
}

void TCustomFlatCombo::ToggleList(TObject* sender) {
    if (ListShown()) {
        HideList();
        return;
    }
    if (style_ == 1) {
        if (!Focused() && CanFocus()) SetFocus();
    } else if (!edit_->Focused() && edit_->CanFocus()) {
        edit_->SetFocus();
    }
    (void)sender;
    textArea_->Invalidate();
    ShowList();
}

// Alt+Up/Down and F4 open the list, or accept its row as Enter does when it is open.
void TCustomFlatCombo::ToggleListByKey() {
    if (ListShown()) {
        int enter = VK_RETURN;
        ComboKeyDown(enter, TShiftState{});
    } else {
        ShowList();
    }
}

void TCustomFlatCombo::FocusList() {
    if (ListShown() && list_->CanFocus()) list_->SetFocus();
}

void TCustomFlatCombo::TextAreaMouseDown() {
    if (!edit_->Visible()) ToggleList(textArea_);
}

void TCustomFlatCombo::AcceptItem(TObject* sender) {
    const int row = list_->ItemIndex();
    if (row < 0) return;
    const std::string item = list_->Items()->Strings(row);
    edit_->SetText(item);
    SetText(item);
    edit_->SelectAll();
    textArea_->Invalidate();
    if (sender) CloseList();
    if (OnClick) OnClick(this);
}

bool TCustomFlatCombo::ComboKeyDown(int& key, TShiftState shift) {
    if (OnKeyDown) OnKeyDown(this, key, shift);
    if (ListShown()) {
        if (key == VK_RIGHT) key = VK_DOWN;
        if (key == VK_LEFT) key = VK_UP;
    }
    const bool alt = shift.Contains(ssAlt);
    const bool plain = !alt && !shift.Contains(ssShift);
    switch (key) {
    case VK_RETURN:
        if (!ListShown()) return false;
        if (list_->ItemIndex() >= 0 && list_->Items()->Strings(list_->ItemIndex()) != Text())
            AcceptItem(edit_);
        else
            CloseList();
        return true;
    case VK_PRIOR:
    case VK_NEXT:
    case VK_END:
    case VK_HOME: {
        auto click = list_->OnClick;
        auto close = list_->OnCloseRequest;
        list_->OnClick = nullptr;
        list_->OnCloseRequest = nullptr;
        list_->Perform(WM_KEYDOWN, key, 0);
        list_->OnClick = click;
        list_->OnCloseRequest = close;
        return false;
    }
    case VK_UP:
    case VK_DOWN:
        if (alt) {
            if (style_ == 2) return false;
            ToggleListByKey();
            return true;
        }
        if (plain) {
            const int count = list_->Items()->Count();
            if (count == 0) return true;
            int row = list_->ItemIndex() + (key == VK_DOWN ? 1 : -1);
            row = std::clamp(row, 0, count - 1);
            list_->SetItemIndex(row);
            AcceptItem(nullptr);
            return true;
        }
        return false;
    case VK_F4:
        if (style_ == 2) return false;
        ToggleListByKey();
        return true;
    default:
        return false;
    }
}

void TCustomFlatCombo::ComboKeyPress(char32_t& key) {
    if (OnKeyPress) OnKeyPress(this, key);
    if (!ListShown() || key == 0) return;
    auto click = list_->OnClick;
    auto close = list_->OnCloseRequest;
    list_->OnClick = nullptr;
    list_->OnCloseRequest = nullptr;
    list_->Perform(WM_CHAR, static_cast<std::intptr_t>(key), 0);
    list_->OnClick = click;
    list_->OnCloseRequest = close;
}

// The combo holds the focus itself only in style 1, in the edit's place. Otherwise a key here is
// one the edit left (the edit's handlers have seen it already): it goes on up untouched.
bool TCustomFlatCombo::DoKeyDown(int& key, TShiftState shift) {
    if (!Focused()) return false;
    if (ComboKeyDown(key, shift)) key = 0;
    return key == 0;
}

bool TCustomFlatCombo::DoKeyPress(char32_t& key) {
    if (!Focused()) return false;
    ComboKeyPress(key);
    return key == 0;
}

void TCustomFlatCombo::CMCancelMode(TMessage& m) {
    auto* named = reinterpret_cast<TControl*>(m.LParam);
    // A press in the edit does close the list.
    if (named && named != edit_ && OwnsPart(named)) return;
    CloseList();
    hot_ = true; // SetHot(false) clears it unless the focus stays inside
    SetHot(false);
    if (lostFocusAtCancel_ && named) {
        auto* win = dynamic_cast<TWinControl*>(named);
        if (!win) win = named->Parent();
        if (win && win->CanFocus()) win->SetFocus();
    }
}

void TCustomFlatCombo::Dispatch(TMessage& m) {
    switch (m.Msg) {
    case CM_MOUSEENTER:
        SetHot(true);
        TCustomPanel::Dispatch(m);
        return;
    case CM_MOUSELEAVE:
        SetHot(false);
        TCustomPanel::Dispatch(m);
        return;
    case CM_ENTER:
        SetHot(true);
        if (style_ != 1 && edit_->CanFocus()) {
            if (!edit_->Focused()) edit_->SetFocus();
            edit_->SelectAll();
        }
        TCustomPanel::Dispatch(m);
        return;
    case CM_EXIT:
        CloseList();
        if (style_ == 1) SetHot(false);
        TCustomPanel::Dispatch(m);
        return;
    case CM_CANCELMODE:
        CMCancelMode(m);
        return;
    case CM_ENABLEDCHANGED:
        TCustomPanel::Dispatch(m);
        edit_->SetEnabled(Enabled());
        button_->SetEnabled(Enabled());
        CloseList();
        return;
    case CM_FONTCHANGED:
        TCustomPanel::Dispatch(m);
        list_->SetItemHeight(std::abs(Font()->Height()) + 1);
        ApplyAutoSize();
        return;
    case CM_TEXTCHANGED:
        TCustomPanel::Dispatch(m);
        if (!syncing_) {
            syncing_ = true;
            edit_->SetText(Text());
            syncing_ = false;
        }
        if (list_->ItemIndex() >= 0 && list_->Items()->Strings(list_->ItemIndex()) != Text())
            list_->SetItemIndex(-1);
        textArea_->Invalidate();
        return;
    case CM_CTL3DCHANGED:
        TCustomPanel::Dispatch(m);
        button_->SetFlat(Ctl3D());
        if (style_ != 2) button_->SetWidth(GetButtonWidth() + (Ctl3D() ? 0 : 2));
        LayoutParts();
        Invalidate();
        return;
    default:
        TCustomPanel::Dispatch(m);
    }
}

// ---- the path field ----------------------------------------------------------------------

TFlatReferEdit::TFlatReferEdit(TComponent* owner) : TCustomFlatCombo(owner) {
    SetStyle(0);
    MakeReferMark(button_->Glyph());
    button_->SetWidth(GetButtonWidth());
    button_->SetMargin((button_->Width() - button_->Glyph()->Width()) / 2 - 1);
    button_->OnClick = [this](TObject*) { ReferButtonClick(); };
    LayoutParts();
}

void TFlatReferEdit::ReferButtonClick() {
    if (OnClick) OnClick(this);
}

} // namespace sv
