#pragma once
// The standard controls: labels and panels painted by the framework, edits, buttons, check
// and radio buttons and combo boxes on Qt widgets, and a list box painted by the framework so
// that owner-drawn rows go through a canvas.
#include "framework/control.h"
#include "framework/forms.h"
#include "framework/strings.h"

#include <memory>
#include <string>
#include <vector>

class QScrollBar;

namespace sv {

enum class TAlignment { taLeftJustify, taRightJustify, taCenter };
using enum TAlignment;
enum class TTextLayout { tlTop, tlCenter, tlBottom };
using enum TTextLayout;
enum class TBevelCut { bvNone, bvLowered, bvRaised, bvSpace };
using enum TBevelCut;

// The DrawText flag of an alignment: DT_LEFT, DT_RIGHT or DT_CENTER.
unsigned AlignFlag(TAlignment alignment);

// A string list that tells its control after every change.
class TControlStrings : public TStringList {
public:
    explicit TControlStrings(std::function<void()> changed) : changed_(std::move(changed)) {
        OnChange = [this](TObject*) {
            if (changed_) changed_();
        };
    }

private:
    std::function<void()> changed_;
};

// ---- label -------------------------------------------------------------------------------

class TLabel : public TGraphicControl {
public:
    explicit TLabel(TComponent* owner);
    ~TLabel() override;
    std::string ClassName() const override { return "TLabel"; }

    bool AutoSize() const { return autoSize_; }
    void SetAutoSize(bool v);
    TAlignment Alignment() const { return alignment_; }
    void SetAlignment(TAlignment a);
    TTextLayout Layout() const { return layout_; }
    void SetLayout(TTextLayout l);
    bool WordWrap() const { return wordWrap_; }
    void SetWordWrap(bool v);
    bool Transparent() const { return !controlStyle_.Contains(csOpaque); }
    void SetTransparent(bool v);
    bool ShowAccelChar() const { return showAccelChar_; }
    void SetShowAccelChar(bool v);
    TWinControl* FocusControl() const { return focusControl_.Get(); }
    void SetFocusControl(TWinControl* c) { focusControl_ = c; }

protected:
    void Paint() override;
    void Dispatch(TMessage& message) override;
    void Loaded() override;
    // Draws (or with DT_CALCRECT measures) the caption as the label does.
    void DoDrawText(TCanvas* canvas, TRect& rect, unsigned flags);
    void AdjustBounds();

private:
    bool autoSize_ = true;
    TAlignment alignment_ = taLeftJustify;
    TTextLayout layout_ = tlTop;
    bool wordWrap_ = false;
    bool showAccelChar_ = true;
    TGuardedRef<TWinControl> focusControl_;
};

// ---- panel -------------------------------------------------------------------------------

class TCustomPanel : public TCustomControl {
public:
    explicit TCustomPanel(TComponent* owner);
    ~TCustomPanel() override;
    std::string ClassName() const override { return "TCustomPanel"; }

    TBevelCut BevelInner() const { return bevelInner_; }
    void SetBevelInner(TBevelCut v);
    TBevelCut BevelOuter() const { return bevelOuter_; }
    void SetBevelOuter(TBevelCut v);
    int BevelWidth() const { return bevelWidth_; }
    void SetBevelWidth(int v);
    int BorderWidth() const { return borderWidth_; }
    void SetBorderWidth(int v);
    TBorderStyle BorderStyle() const { return borderStyle_; }
    void SetBorderStyle(TBorderStyle v);
    TAlignment Alignment() const { return alignment_; }
    void SetAlignment(TAlignment v);
    TRect ClientRect() const override;

protected:
    void Paint() override;
    void AdjustClientRect(TRect& rect) const override;
    void Dispatch(TMessage& message) override;
    void PaintWindow(TCanvas* canvas) override;

private:
    void Changed();
    TBevelCut bevelInner_ = bvNone;
    TBevelCut bevelOuter_ = bvRaised;
    int bevelWidth_ = 1;
    int borderWidth_ = 0;
    TBorderStyle borderStyle_ = bsNone;
    TAlignment alignment_ = taCenter;
};

class TPanel : public TCustomPanel {
public:
    explicit TPanel(TComponent* owner) : TCustomPanel(owner) {}
    std::string ClassName() const override { return "TPanel"; }
};

class TGroupBox : public TCustomControl {
public:
    explicit TGroupBox(TComponent* owner);
    std::string ClassName() const override { return "TGroupBox"; }

protected:
    void Paint() override;
    void AdjustClientRect(TRect& rect) const override;
};

// ---- edits -------------------------------------------------------------------------------

class TCustomEdit : public TWinControl {
public:
    explicit TCustomEdit(TComponent* owner);
    ~TCustomEdit() override;
    bool ReadOnly() const { return readOnly_; }
    void SetReadOnly(bool v);
    int MaxLength() const { return maxLength_; }
    void SetMaxLength(int v);
    TBorderStyle BorderStyle() const { return borderStyle_; }
    void SetBorderStyle(TBorderStyle v);
    void SelectAll();
    void Clear() { SetText(""); }
    TNotifyEvent OnChange;

protected:
    bool FrameworkPaints() const override { return false; }
    void Dispatch(TMessage& message) override;
    virtual void Change();
    bool readOnly_ = false;
    int maxLength_ = 0;
    TBorderStyle borderStyle_ = bsSingle;
    bool settingText_ = false;
};

class TEdit : public TCustomEdit {
public:
    explicit TEdit(TComponent* owner);
    std::string ClassName() const override { return "TEdit"; }
    char32_t PasswordChar() const { return passwordChar_; }
    void SetPasswordChar(char32_t c);

protected:
    QWidget* CreateWidget() override;
    void InitWidget() override;
    std::string GetText() const override;
    void SetTextValue(const std::string& text) override;

private:
    char32_t passwordChar_ = 0;
};

enum class TScrollStyle { ssNone, ssHorizontal, ssVertical, ssBoth };
using enum TScrollStyle;

class TMemo : public TCustomEdit {
public:
    explicit TMemo(TComponent* owner);
    ~TMemo() override;
    std::string ClassName() const override { return "TMemo"; }
    TStrings* Lines() const { return lines_.get(); }
    void SetLines(const TStrings* lines) { lines_->Assign(lines); }
    TScrollStyle ScrollBars() const { return scrollBars_; }
    void SetScrollBars(TScrollStyle s);
    bool WordWrap() const { return wordWrap_; }
    void SetWordWrap(bool v);

protected:
    QWidget* CreateWidget() override;
    void InitWidget() override;
    std::string GetText() const override;
    void SetTextValue(const std::string& text) override;

private:
    void LinesChanged();
    void ApplyOptions();
    std::unique_ptr<TControlStrings> lines_;
    TScrollStyle scrollBars_ = ssNone;
    bool wordWrap_ = true;
    bool syncing_ = false;
    int shownLines_ = 0;
};

// ---- buttons -----------------------------------------------------------------------------

// What an owner-drawn control gets with CN_DRAWITEM (LParam points to it).
struct TDrawItemStruct {
    unsigned CtlType = 0;
    unsigned CtlID = 0;
    int itemID = 0;
    unsigned itemAction = 0;
    unsigned itemState = 0;
    TWinControl* hwndItem = nullptr;
    TCanvas* hDC = nullptr;
    TRect rcItem;
    void* itemData = nullptr;
};

// With CN_MEASUREITEM.
struct TMeasureItemStruct {
    unsigned CtlType = 0;
    unsigned CtlID = 0;
    int itemID = 0;
    int itemWidth = 0;
    int itemHeight = 0;
    void* itemData = nullptr;
};

class TButtonControl : public TWinControl {
public:
    explicit TButtonControl(TComponent* owner);

protected:
    bool FrameworkPaints() const override { return false; }
    // Runs a click coming from Qt, with exceptions shown.
    void ClickFromWidget();
};

class TButton : public TButtonControl {
public:
    explicit TButton(TComponent* owner);
    std::string ClassName() const override { return "TButton"; }
    bool Default() const { return default_; }
    void SetDefault(bool v);
    bool Cancel() const { return cancel_; }
    void SetCancel(bool v) { cancel_ = v; }
    TModalResult ModalResult() const { return modalResult_; }
    void SetModalResult(TModalResult r) { modalResult_ = r; }
    void Click() override;
    // Whether the button shows as the active default one; owner-drawn buttons paint it.
    virtual void SetButtonStyle(bool isDefault);
    // The pressed look (mouse held on it, or the space key).
    bool IsPressed() const;

protected:
    QWidget* CreateWidget() override;
    void InitWidget() override;
    void SetTextValue(const std::string& text) override;
    void Dispatch(TMessage& message) override;
    bool FrameworkPaints() const override;
    void PaintWindow(TCanvas* canvas) override;

private:
    bool default_ = false;
    bool cancel_ = false;
    TModalResult modalResult_ = mrNone;
};

enum class TCheckBoxState { cbUnchecked, cbChecked, cbGrayed };
using enum TCheckBoxState;

class TCheckBox : public TButtonControl {
public:
    explicit TCheckBox(TComponent* owner);
    std::string ClassName() const override { return "TCheckBox"; }
    bool Checked() const { return state_ == cbChecked; }
    // A change fires OnClick, whoever made it.
    void SetChecked(bool v) { SetState(v ? cbChecked : cbUnchecked); }
    TCheckBoxState State() const { return state_; }
    void SetState(TCheckBoxState s);
    bool AllowGrayed() const { return allowGrayed_; }
    void SetAllowGrayed(bool v) { allowGrayed_ = v; }

protected:
    QWidget* CreateWidget() override;
    void InitWidget() override;
    void SetTextValue(const std::string& text) override;

private:
    TCheckBoxState state_ = cbUnchecked;
    bool allowGrayed_ = false;
};

class TRadioButton : public TButtonControl {
public:
    explicit TRadioButton(TComponent* owner);
    std::string ClassName() const override { return "TRadioButton"; }
    bool Checked() const { return checked_; }
    // Checking one unchecks the other radio buttons of the same parent.
    void SetChecked(bool v);

protected:
    QWidget* CreateWidget() override;
    void InitWidget() override;
    void SetTextValue(const std::string& text) override;

private:
    bool checked_ = false;
};

// ---- combo box ---------------------------------------------------------------------------

enum class TComboBoxStyle { csDropDown, csSimple, csDropDownList };
using enum TComboBoxStyle;

class TComboBox : public TWinControl {
public:
    explicit TComboBox(TComponent* owner);
    ~TComboBox() override;
    std::string ClassName() const override { return "TComboBox"; }
    TStrings* Items() const { return items_.get(); }
    void SetItems(const TStrings* items) { items_->Assign(items); }
    // -1 after filling until set.
    int ItemIndex() const;
    void SetItemIndex(int index);
    TComboBoxStyle Style() const { return style_; }
    void SetStyle(TComboBoxStyle s);
    int DropDownCount() const { return dropDownCount_; }
    void SetDropDownCount(int n);
    // Only the user's changes fire it.
    TNotifyEvent OnChange;

protected:
    QWidget* CreateWidget() override;
    void InitWidget() override;
    bool FrameworkPaints() const override { return false; }
    std::string GetText() const override;
    void SetTextValue(const std::string& text) override;

private:
    void ItemsChanged();
    void UserChanged();
    std::unique_ptr<TControlStrings> items_;
    TComboBoxStyle style_ = csDropDown;
    int itemIndex_ = -1;
    int dropDownCount_ = 8;
    bool syncing_ = false;
};

// ---- list box ----------------------------------------------------------------------------

enum class TListBoxStyle { lbStandard, lbOwnerDrawFixed, lbOwnerDrawVariable };
using enum TListBoxStyle;
enum class TOwnerDrawStateItem {
    odSelected,
    odGrayed,
    odDisabled,
    odChecked,
    odFocused,
    odDefault
};
using enum TOwnerDrawStateItem;
using TOwnerDrawState = TSet<TOwnerDrawStateItem>;
using TDrawItemEvent =
    std::function<void(TWinControl* control, int index, TRect rect, TOwnerDrawState state)>;

class TCustomListBox;

// The items of a list box: each keeps its own selection, so inserting and deleting move it.
class TListBoxStrings : public TStrings {
public:
    explicit TListBoxStrings(TCustomListBox* box) : box_(box) {}
    int Count() const override { return static_cast<int>(items_.size()); }
    std::string Get(int index) const override;
    void Put(int index, const std::string& s) override;
    void* GetObject(int index) const override;
    void PutObject(int index, void* object) override;
    void Insert(int index, const std::string& s) override;
    int Add(const std::string& s) override;
    void Delete(int index) override;
    void Clear() override;
    // The caret stays on its item; both items lose their selection.
    void Exchange(int a, int b) override;
    int IndexOf(const std::string& s) const override;

protected:
    void SetUpdateState(bool updating) override;

private:
    friend class TCustomListBox;
    struct Item {
        std::string text;
        void* object = nullptr;
        bool selected = false;
    };
    void Changed();
    TCustomListBox* box_;
    std::vector<Item> items_;
};

class TCustomListBox : public TCustomControl {
public:
    explicit TCustomListBox(TComponent* owner);
    ~TCustomListBox() override;
    std::string ClassName() const override { return "TCustomListBox"; }

    TStrings* Items() const { return items_.get(); }
    void SetItems(const TStrings* items) { items_->Assign(items); }
    int Count() const { return items_->Count(); }
    void Clear() { items_->Clear(); }
    // The caret item (the one with the focus rectangle); with one selection, the selected one.
    int ItemIndex() const;
    void SetItemIndex(int index);
    bool Selected(int index) const;
    void SetSelected(int index, bool selected);
    int SelCount() const;
    bool MultiSelect() const { return multiSelect_; }
    void SetMultiSelect(bool v);
    bool ExtendedSelect() const { return extendedSelect_; }
    void SetExtendedSelect(bool v) { extendedSelect_ = v; }
    // Case-insensitive order; switching it on sorts the items.
    bool Sorted() const { return sorted_; }
    void SetSorted(bool v);
    TListBoxStyle Style() const { return style_; }
    void SetStyle(TListBoxStyle s);
    int ItemHeight() const;
    void SetItemHeight(int h);
    int TopIndex() const { return topIndex_; }
    void SetTopIndex(int index);
    // How wide the rows may be drawn; wider than the rows' space, a horizontal scroll bar
    // shifts them.
    int HorizontalExtent() const { return horizontalExtent_; }
    void SetHorizontalExtent(int v);
    // The item at a client point, -1 if none (or the nearest with `existing` false).
    int ItemAtPos(TPoint p, bool existing) const;
    TRect ItemRect(int index) const;
    TBorderStyle BorderStyle() const { return borderStyle_; }
    void SetBorderStyle(TBorderStyle s);

    TDrawItemEvent OnDrawItem;

protected:
    void Paint() override;
    void Dispatch(TMessage& message) override;
    QWidget* CreateWidget() override;
    virtual void DrawItem(int index, TRect rect, TOwnerDrawState state);
    TPoint KeyboardPopupPoint() const override;

private:
    friend class TListBoxStrings;
    void ItemsChanged();
    void SelectFromUser(int index, TShiftState shift);
    void MoveCaret(int index, TShiftState shift);
    void ScrollIntoView(int index);
    void SetHorizontalPosition(int x);
    void UpdateScrollBar();
    int VisibleRows() const;
    // The client area inside the border; Inner() is that without the scroll bars.
    TRect InsideBorder() const;
    TRect Inner() const;

    std::unique_ptr<TListBoxStrings> items_;
    QScrollBar* scrollBar_ = nullptr;
    QScrollBar* hScrollBar_ = nullptr;
    int caret_ = -1;
    int anchor_ = -1;
    int topIndex_ = 0;
    int itemHeight_ = 16;
    int horizontalExtent_ = 0;
    int horizontalPos_ = 0;
    bool multiSelect_ = false;
    bool extendedSelect_ = true;
    bool sorted_ = false;
    TListBoxStyle style_ = lbStandard;
    TBorderStyle borderStyle_ = bsSingle;
};

class TListBox : public TCustomListBox {
public:
    explicit TListBox(TComponent* owner) : TCustomListBox(owner) {}
    std::string ClassName() const override { return "TListBox"; }
};

} // namespace sv
