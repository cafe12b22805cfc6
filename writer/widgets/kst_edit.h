#pragma once
// A self-drawn entry field for numbers. The typed characters fill a key buffer from the right
// like a calculator display; signs and a decimal point are taken by rule, thousands separators
// and full-width digits are display options, special keys show in a state word, and the text
// reads back as a 32-bit or 64-bit value checked against optional limits.
#include "framework/control.h"

#include <cstdint>
#include <string>

namespace sv {

// Scoped: the owner-drawn push button's alignments use the same names.
enum class THalign { haRight, haCenter, haLeft };
enum class TFillChar { fcPoint, fcBlank };
using enum TFillChar;
enum class TEchoBack { ebAscii, ebKanji };
using enum TEchoBack;
enum class TBevelType { btNone, btLowered, btRaised };
using enum TBevelType;
enum class TBorderLine { blNone, blSingle };
using enum TBorderLine;
enum class TCaretType { ctColor, ctCaret };
using enum TCaretType;

class TKstEdit : public TCustomControl {
public:
    // Bits of the state word.
    static constexpr int kContent = 0x1;
    static constexpr int kMinus = 0x2;
    static constexpr int kPlus = 0x4;
    static constexpr int kPoint = 0x8;
    static constexpr int kStar = 0x2000;
    static constexpr int kEnter = 0x4000;
    static constexpr int kFull = 0x8000;

    explicit TKstEdit(TComponent* owner);
    ~TKstEdit() override;
    std::string ClassName() const override { return "TKstEdit"; }

    // Black is not taken for either colour.
    TColor EnterColor() const { return enterColor_; }
    void SetEnterColor(TColor color);
    TColor ExitColor() const { return exitColor_; }
    void SetExitColor(TColor color);
    TBevelType InnerType() const { return innerType_; }
    void SetInnerType(TBevelType type) { StoreAndRepaint(innerType_, type); }
    TBevelType OuterType() const { return outerType_; }
    void SetOuterType(TBevelType type) { StoreAndRepaint(outerType_, type); }
    int BevelWidth() const { return bevelWidth_; }
    void SetBevelWidth(int width) { StoreAndRepaint(bevelWidth_, width); }
    TBorderLine BorderLine() const { return borderLine_; }
    void SetBorderLine(TBorderLine line) { StoreAndRepaint(borderLine_, line); }
    // Places in the key buffer, 1 to 63; a new length clears the field.
    int MaxLength() const { return maxLength_; }
    void SetMaxLength(int length);
    THalign Halign() const { return halign_; }
    void SetHalign(THalign align) { StoreAndRepaint(halign_, align); }
    int Margin() const { return margin_; }
    void SetMargin(int margin);
    // Setting it clears the field.
    TFillChar FillChar() const { return fillChar_; }
    void SetFillChar(TFillChar fill);
    // ebKanji shows full-width characters.
    TEchoBack EchoBack() const { return echoBack_; }
    void SetEchoBack(TEchoBack echo);
    // Thousands separators in the display.
    bool GirderEnabled() const { return girderEnabled_; }
    void SetGirderEnabled(bool v) { girderEnabled_ = v; }
    bool MinusEnabled() const { return minusEnabled_; }
    void SetMinusEnabled(bool v) { minusEnabled_ = v; }
    bool PointEnabled() const { return pointEnabled_; }
    void SetPointEnabled(bool v) { pointEnabled_ = v; }
    // Setting it also makes the next key start a new entry.
    bool Modified() const { return modified_; }
    void SetModified(bool v);
    // Off: places left of the typed characters show zeros.
    bool ZeroSuppress() const { return zeroSuppress_; }
    void SetZeroSuppress(bool v) { zeroSuppress_ = v; }
    // On: a field typed full raises kFull in the state word.
    bool AutoExit() const { return autoExit_; }
    void SetAutoExit(bool v) { autoExit_ = v; }
    // Nothing typed since the field was last cleared or loaded.
    bool Empty() const { return typed_ == 0; }
    // The special-key bits (kStar, kEnter, kFull).
    int State() const { return stateWord_ & 0xE000; }
    TCaretType CaretType() const { return caretType_; }
    void SetCaretType(TCaretType type);
    // Set by the value getters and checks.
    bool DataInError() const { return dataInError_; }
    // Both 0: no limits. An int sign-extends.
    std::int64_t LowValue() const { return lowValue_; }
    void SetLowValue(std::int64_t value) { lowValue_ = value; }
    std::int64_t HighValue() const { return highValue_; }
    void SetHighValue(std::int64_t value) { highValue_ = value; }
    // The low 32 bits of a limit.
    int GetLowValue() const { return static_cast<int>(lowValue_); }
    int GetHighValue() const { return static_cast<int>(highValue_); }

    // '+' is skipped, a '-' anywhere makes it negative, digits after the first '.' do not count;
    // 0 when nothing was typed or the text ends in a sign or point (then DataInError). A value
    // beyond the int range reads as the nearest end, with DataInError.
    int Value();
    // Ignored when negative without MinusEnabled, or when its text does not fit MaxLength.
    void SetValue(int value);
    // Read as a number from the start: leading blanks, a sign, digits up to anything else.
    std::int64_t LongValue();
    void SetLongValue(std::int64_t value);
    // -1 without a typed value or without limits; 1 within them; 0 outside (DataInError).
    int CheckValue();
    int CheckLongValue();

    // All places back to the fill character; not modified.
    void Clear();
    // The field keeps no selection: these only send WM_COPY, WM_CUT and WM_PASTE to itself.
    void CopyToClipboard();
    void CutToClipboard();
    void PasteFromClipboard();
    // The key buffer with fill characters as blanks.
    std::string GetKeybf() const;
    // Loads the first MaxLength characters of `text` right-aligned; characters other than
    // "+-0123456789." leave their place at the fill character. Nothing counts as typed.
    void SetKeybf(const std::string& text);
    // The key buffer itself, in code page 932.
    const std::string& KeyBuffer() const { return keybf_; }
    // Display helpers on code page 932 text: thousands separators in the integer part, and
    // the full-width form of "･ +-0123456789,." (other characters are dropped).
    std::string Digit3(const std::string& text) const;
    static std::string Str2Knj(const std::string& text);
    // Digits that may be typed: with separators the display must hold them too.
    int UsableLength() const;

    void Click() override;

protected:
    void Paint() override;
    void Dispatch(TMessage& message) override;
    void DoEnter() override;
    void DoExit() override;
    bool DoKeyDown(int& key, TShiftState shift) override;
    bool DoKeyPress(char32_t& key) override;

private:
    template <class T> void StoreAndRepaint(T& field, T value) {
        field = value;
        Invalidate();
    }
    char FillByte() const;
    void clearbuf();
    void setkey(char c);
    void relkey();
    // Enters `c` when there is room; true when it went in.
    bool Enter(char c, int bits);
    void RecountSignBits();
    void BackgroundByFocus();
    void SetBackground(TColor color);
    template <class T> T ReadValue(bool fromStart);
    template <class T> void WriteValue(T value);
    template <class T> int Check();

    TColor enterColor_ = clWhite;
    TColor exitColor_ = clWhite;
    TBevelType innerType_ = btNone;
    TBevelType outerType_ = btLowered;
    int bevelWidth_ = 1;
    TBorderLine borderLine_ = blNone;
    int maxLength_ = 15;
    THalign halign_ = THalign::haRight;
    int margin_ = 2;
    TFillChar fillChar_ = fcPoint;
    TEchoBack echoBack_ = ebAscii;
    bool girderEnabled_ = false;
    bool minusEnabled_ = false;
    bool pointEnabled_ = false;
    bool modified_ = false;
    bool zeroSuppress_ = true;
    bool autoExit_ = false;
    TCaretType caretType_ = ctCaret;
    bool dataInError_ = false;
    std::int64_t lowValue_ = 0;
    std::int64_t highValue_ = 0;

    std::string keybf_;
    int typed_ = 0;
    int stateWord_ = 0;
    TColor background_ = clWhite;
    int lastValue_ = 0;
    std::int64_t lastLongValue_ = 0;
};

} // namespace sv
