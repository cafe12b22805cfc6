#pragma once
// The flat combo family: a thin-framed combo that turns hot (a sunken frame in shades of its
// BorderColor) under the cursor or with the focus, and the read-only path field with a browse
// button built on it.
#include "framework/buttons.h"
#include "framework/extctrls.h"
#include "framework/stdctrls.h"

namespace sv {

class TCustomFlatCombo;

// The combo's edit: selects everything on entry, closes the list when it loses the focus and
// hands cancel-mode notices to the combo.
class TFlatComboText : public TEdit {
public:
    explicit TFlatComboText(TComponent* owner) : TEdit(owner) {}
    std::string ClassName() const override { return "TFlatComboText"; }
    void Dispatch(TMessage& message) override;

protected:
    void DoEnter() override;
    void DoExit() override;

private:
    TCustomFlatCombo* Combo() const;
};

// The right-hand button: the speed button's face plus a hot edge.
class TFlatComboDropDown : public TSpeedButton {
public:
    explicit TFlatComboDropDown(TComponent* owner) : TSpeedButton(owner) {}
    std::string ClassName() const override { return "TFlatComboDropDown"; }

protected:
    void Paint() override;
    void MouseMove(TShiftState shift, int x, int y) override;
};

// The pop-up list: hot-tracks the row under the cursor and asks to be closed by a press
// outside it.
class TPopListBox : public TCustomListBox {
public:
    explicit TPopListBox(TComponent* owner) : TCustomListBox(owner) {}
    std::string ClassName() const override { return "TPopListBox"; }
    TNotifyEvent OnCloseRequest;

protected:
    void MouseMove(TShiftState shift, int x, int y) override;
    void MouseDown(TMouseButton button, TShiftState shift, int x, int y) override;
    void MouseUp(TMouseButton button, TShiftState shift, int x, int y) override;
};

class TCustomFlatCombo : public TCustomPanel {
public:
    explicit TCustomFlatCombo(TComponent* owner);
    ~TCustomFlatCombo() override;
    std::string ClassName() const override { return "TCustomFlatCombo"; }

    TColor BorderColor() const { return borderColor_; }
    void SetBorderColor(TColor v);
    bool LostFocusAtCancel() const { return lostFocusAtCancel_; }
    void SetLostFocusAtCancel(bool v) { lostFocusAtCancel_ = v; }
    int MaxLength() const { return maxLength_; }
    void SetMaxLength(int v);
    bool Sorted() const { return sorted_; }
    void SetSorted(bool v);
    bool Readonly() const;
    void SetReadonly(bool v);
    bool TabStop() const { return ownTabStop_; }
    void SetTabStop(bool v);
    bool AutoSize() const { return autoSize_; }
    void SetAutoSize(bool v);
    int DropDownCount() const { return dropDownCount_; }
    void SetDropDownCount(int v) { dropDownCount_ = v; }
    int ListWidth() const { return listWidth_; }
    void SetListWidth(int v) { listWidth_ = v; }

    TNotifyEvent OnChange;
    TNotifyEvent OnDropDown;

    // Parts, for the form and for tests.
    TFlatComboText* EditPart() const { return edit_; }
    TFlatComboDropDown* ButtonPart() const { return button_; }
    TPaintBox* TextAreaPart() const { return textArea_; }
    TPopListBox* ListPart() const { return list_; }
    bool Hot() const { return hot_; }
    bool ListShown() const;
    // Height that auto size gives: the font's character height plus 6.
    int AutoHeight() const;

    virtual int GetButtonWidth() const { return 12; }
    virtual void ShowList();
    void CloseList();
    // Whether the control is the combo or one of its parts.
    bool OwnsPart(const TControl* control) const;

    void Dispatch(TMessage& message) override;
    void SetBounds(int left, int top, int width, int height) override;
    void Click() override {} // a click on the panel itself fires nothing

protected:
    void Loaded() override;
    void Paint() override;
    void SetStyle(int style);
    void LayoutParts();
    void SetHot(bool hot);
    void ToggleList(TObject* sender);
    void ToggleListByKey();
    void FocusList();
    void AcceptItem(TObject* sender);
    void TextAreaMouseDown();
    // Returns true when the key was consumed.
    bool ComboKeyDown(int& key, TShiftState shift);
    void ComboKeyPress(char32_t& key);
    bool HasFocusInside() const;
    bool CursorOver() const;
    int FindRow(const std::string& text) const;
    bool DoKeyDown(int& key, TShiftState shift) override;
    bool DoKeyPress(char32_t& key) override;

    TFlatComboDropDown* button_ = nullptr;
    TFlatComboText* edit_ = nullptr;
    TPaintBox* textArea_ = nullptr;
    TPopListBox* list_ = nullptr;

private:
    friend class TFlatComboText;
    friend class TFlatComboDropDown;
    void CMCancelMode(TMessage& m);
    void HideList();
    void PaintTextArea();
    void EditChanged();
    void ApplyAutoSize();

    int style_ = -1;
    bool highlight_ = true;
    int dropDownCount_ = 8;
    int maxLength_ = 0;
    bool sorted_ = false;
    int listWidth_ = 0;
    TColor borderColor_ = clBtnFace;
    bool lostFocusAtCancel_ = false;
    bool ownTabStop_ = true;
    bool autoSize_ = true;
    bool hot_ = false;
    bool syncing_ = false;
};

// The read-only path field: its browse button focuses the field and fires the field's
// OnClick with the field as Sender; the list is never shown.
class TFlatReferEdit : public TCustomFlatCombo {
public:
    explicit TFlatReferEdit(TComponent* owner);
    std::string ClassName() const override { return "TFlatReferEdit"; }
    int GetButtonWidth() const override { return 15; }
    void ShowList() override {}

private:
    void ReferButtonClick();
};

// Lightens (or darkens) each channel by 96, clamped.
TColor ShiftColor(TColor color, bool darken);

// The two marks of the buttons, black on white: a downward triangle (7 x 4) and an
// ellipsis (10 x 4).
void MakeDropDownMark(TBitmap* bitmap);
void MakeReferMark(TBitmap* bitmap);

} // namespace sv
