#include "writer/widgets/kst_edit.h"

#include "framework/canvas.h"
#include "framework/caret.h"
#include "framework/cp932.h"
#include "framework/forms.h"

#include <algorithm>
#include <cinttypes>
#include <cstdio>
#include <limits>

namespace sv {

namespace {

constexpr char kMiddleDot = '\xA5'; // half-width middle dot in code page 932
constexpr TColor kShade = 0x00808080;
constexpr TColor kLight = 0x00FFFFFF;

bool IsDigit(char c) {
    return c >= '0' && c <= '9';
}

bool IsEntryChar(char c) {
    return IsDigit(c) || c == '+' || c == '-' || c == '.';
}

// Signed decimal text of `value`, zero-padded to `width` places after any sign.
std::string Decimal(std::int64_t value, bool zeroPadded, int width) {
    // Room for the widest field (63 places) and any 64-bit value.
    char text[96];
    if (zeroPadded)
        std::snprintf(text, sizeof text, "%0*" PRId64, width, value);
    else
        std::snprintf(text, sizeof text, "%" PRId64, value);
    return text;
}

} // namespace

TKstEdit::TKstEdit(TComponent* owner) : TCustomControl(owner) {
    SetBounds(0, 0, 121, 25);
    SetTabStop(true);
    SetParentColor(false);
    SetParentFont(true);
    keybf_.assign(static_cast<std::size_t>(maxLength_), FillByte());
    background_ = enterColor_;
}

TKstEdit::~TKstEdit() {
    BeginDestruction();
    DestroyCaret(this);
}

char TKstEdit::FillByte() const {
    return fillChar_ == fcPoint ? kMiddleDot : ' ';
}

int TKstEdit::UsableLength() const {
    const int l = maxLength_;
    if (!girderEnabled_ || l < 4) return l;
    return l - l / 4 + (l % 4 == 0 ? 1 : 0);
}

// ---- properties ----------------------------------------------------------------------------

void TKstEdit::SetBackground(TColor color) {
    background_ = color;
    Invalidate();
}

void TKstEdit::BackgroundByFocus() {
    SetBackground(Focused() ? enterColor_ : exitColor_);
}

void TKstEdit::SetEnterColor(TColor color) {
    if (color == clBlack) return;
    enterColor_ = color;
    if (caretType_ == ctCaret) SetBackground(color);
}

void TKstEdit::SetExitColor(TColor color) {
    if (color == clBlack) return;
    exitColor_ = color;
    Invalidate();
}

void TKstEdit::SetMaxLength(int length) {
    if (length < 1 || length > 63) return;
    maxLength_ = length;
    // A shorter or longer buffer holds none of the old entry: start clean, count and bits too.
    clearbuf();
}

void TKstEdit::SetMargin(int margin) {
    margin_ = margin;
    if (!Text().empty()) Invalidate();
}

void TKstEdit::SetFillChar(TFillChar fill) {
    if (fill != fcPoint && fill != fcBlank) return;
    fillChar_ = fill;
    Clear();
}

void TKstEdit::SetEchoBack(TEchoBack echo) {
    if (echo != ebAscii && echo != ebKanji) return;
    echoBack_ = echo;
}

void TKstEdit::SetModified(bool v) {
    modified_ = v;
    typed_ = 0;
}

void TKstEdit::SetCaretType(TCaretType type) {
    if (type == caretType_) return;
    caretType_ = type;
    // A bar left from the caret look would stand in the field for good.
    if (type != ctCaret) DestroyCaret(this);
    SetBackground(type == ctCaret ? enterColor_ : exitColor_);
}

// ---- the key buffer ------------------------------------------------------------------------

void TKstEdit::clearbuf() {
    keybf_.assign(static_cast<std::size_t>(maxLength_), FillByte());
    typed_ = 0;
    modified_ = false;
    stateWord_ = 0;
    Invalidate();
}

void TKstEdit::setkey(char c) {
    if (typed_ == 0) clearbuf();
    const char fill = FillByte();
    for (std::size_t i = 0; i + 1 < keybf_.size(); ++i) {
        char moved = keybf_[i + 1];
        if (!zeroSuppress_ && moved == fill) moved = '0';
        keybf_[i] = moved;
    }
    keybf_.back() = c;
}

void TKstEdit::relkey() {
    if (typed_ <= 0) return;
    for (std::size_t i = keybf_.size() - 1; i > 0; --i) keybf_[i] = keybf_[i - 1];
    keybf_[0] = FillByte();
}

bool TKstEdit::Enter(char c, int bits) {
    // A full buffer would push its first character out: the key is refused instead.
    if (typed_ >= UsableLength()) return false;
    setkey(c);
    ++typed_;
    stateWord_ |= bits;
    return true;
}

void TKstEdit::RecountSignBits() {
    stateWord_ &= ~(kContent | kMinus | kPlus | kPoint | kFull);
    const std::size_t n = std::min<std::size_t>(static_cast<std::size_t>(typed_), keybf_.size());
    for (std::size_t i = keybf_.size() - n; i < keybf_.size(); ++i) {
        if (keybf_[i] == '-') stateWord_ |= kMinus;
        if (keybf_[i] == '+') stateWord_ |= kPlus;
        if (keybf_[i] == '.') stateWord_ |= kPoint;
    }
    if (typed_ > 0) stateWord_ |= kContent;
}

void TKstEdit::Clear() {
    clearbuf();
    BackgroundByFocus();
}

std::string TKstEdit::GetKeybf() const {
    std::string copy = keybf_;
    std::replace(copy.begin(), copy.end(), FillByte(), ' ');
    return copy;
}

void TKstEdit::SetKeybf(const std::string& text) {
    // Counted in code page 932 bytes, as the buffer holds them.
    const std::string bytes = Utf8ToCp932(text);
    const char fill = FillByte();
    keybf_.assign(static_cast<std::size_t>(maxLength_), fill);
    const std::size_t n = std::min(bytes.size(), keybf_.size());
    const std::size_t start = keybf_.size() - n;
    for (std::size_t i = 0; i < n; ++i) keybf_[start + i] = IsEntryChar(bytes[i]) ? bytes[i] : fill;
    modified_ = true;
    typed_ = 0;
    stateWord_ = 0;
    BackgroundByFocus();
}

void TKstEdit::CopyToClipboard() {
    Perform(WM_COPY);
}

void TKstEdit::CutToClipboard() {
    Perform(WM_CUT);
}

void TKstEdit::PasteFromClipboard() {
    Perform(WM_PASTE);
}

// ---- display helpers -----------------------------------------------------------------------

std::string TKstEdit::Digit3(const std::string& text) const {
    const char fill = FillByte();
    const std::size_t point = std::min(text.find('.'), text.size());
    // Right to left: the point and what follows it as they are, separators in the integer
    // part after every third digit, only between two digits.
    std::string reversed;
    int run = 0;
    for (std::size_t i = text.size(); i-- > 0;) {
        const char c = text[i];
        if (i >= point || !IsDigit(c)) {
            reversed += c;
            run = 0;
            continue;
        }
        if (run == 3) {
            reversed += ',';
            run = 0;
        }
        reversed += c;
        ++run;
    }
    std::string shown(reversed.rbegin(), reversed.rend());
    // Too long for the field: the padding on the left goes first (fill characters, and zeros
    // that only pad); a separator goes rather than a digit or sign.
    const std::size_t width = static_cast<std::size_t>(maxLength_);
    while (shown.size() > width) {
        const char first = shown[0];
        const bool paddingZero =
            first == '0' && shown.size() > 1 && (IsDigit(shown[1]) || shown[1] == ',');
        if (first == fill || first == ',' || paddingZero) {
            shown.erase(0, 1);
            continue;
        }
        const std::size_t comma = shown.find(',');
        if (comma == std::string::npos) break;
        shown.erase(comma, 1);
    }
    if (shown.size() < width) shown.insert(0, width - shown.size(), fill);
    return shown;
}

std::string TKstEdit::Str2Knj(const std::string& text) {
    static const std::string from = std::string(1, kMiddleDot) + " +-0123456789,.";
    static const std::string to = Utf8ToCp932("・　＋－０１２３４５６７８９，．");
    std::string out;
    for (char c : text) {
        const std::size_t at = from.find(c);
        if (at != std::string::npos) out += to.substr(at * 2, 2);
    }
    return out;
}

// ---- painting ------------------------------------------------------------------------------

void TKstEdit::Paint() {
    TCanvas* c = Canvas();
    TRect r = ClientRect();
    c->Font()->Assign(Font());
    if (borderLine_ == blSingle) {
        c->Brush()->SetColor(clBlack);
        c->Brush()->SetStyle(bsSolid);
        c->FrameRect(r);
        InflateRect(r, -1, -1);
    }
    auto bevel = [&](TBevelType type) {
        if (type == btLowered) c->Frame3D(r, kShade, kLight, bevelWidth_);
        if (type == btRaised) c->Frame3D(r, kLight, kShade, bevelWidth_);
    };
    bevel(outerType_);
    bevel(innerType_);
    c->Brush()->SetColor(background_);
    c->Brush()->SetStyle(bsSolid);
    c->FillRect(r);
    // The inverse of a system colour is taken from its current value.
    c->Font()->SetColor(ColorToRGB(background_) ^ 0x00FFFFFF);
    c->Brush()->SetStyle(bsClear);

    TRect t = r;
    unsigned format = DT_SINGLELINE | DT_VCENTER | DT_NOCLIP;
    switch (halign_) {
    case THalign::haRight:
        if (static_cast<long long>(t.Right) - margin_ >= t.Left) t.Right -= margin_;
        format |= DT_RIGHT;
        break;
    case THalign::haCenter:
        format |= DT_CENTER;
        break;
    case THalign::haLeft:
        if (static_cast<long long>(t.Left) + margin_ <= t.Right) t.Left += margin_;
        format |= DT_LEFT;
        break;
    }
    if (!ComponentState().Contains(csDesigning)) {
        std::string shown = keybf_;
        if (girderEnabled_) shown = Digit3(shown);
        if (echoBack_ == ebKanji) shown = Str2Knj(shown);
        SetText(Cp932ToUtf8(shown));
    }
    const std::string text = Text();
    TRect drawn = t;
    c->DrawText(text, drawn, format);

    if (caretType_ == ctCaret && GetCaretInfo().Owner == this) {
        const int tw = c->TextWidth(text);
        int x = t.Right;
        if (halign_ == THalign::haCenter)
            x = static_cast<int>((0LL + t.Left + t.Right + tw) / 2);
        else if (halign_ == THalign::haLeft)
            x = t.Left + tw;
        SetCaretPos(x, t.Top);
        ShowCaret(this);
    }
}

// ---- focus and keys ------------------------------------------------------------------------

void TKstEdit::Click() {
    if (CanFocus()) SetFocus();
    TCustomControl::Click();
}

void TKstEdit::DoEnter() {
    TCustomControl::DoEnter();
    if (Focused() && caretType_ == ctCaret) {
        const int height = ClientHeight() - (borderLine_ == blSingle ? 2 : 0) - 4 * bevelWidth_;
        CreateCaret(this, 1, height); // no caret when nothing is left of the height
    }
    BackgroundByFocus();
}

void TKstEdit::DoExit() {
    TCustomControl::DoExit();
    if (caretType_ == ctCaret)
        DestroyCaret(this);
    else
        background_ = exitColor_;
    Invalidate();
}

bool TKstEdit::DoKeyDown(int& key, TShiftState shift) {
    if (TCustomControl::DoKeyDown(key, shift)) return true;
    switch (key) {
    case VK_UP:
    case VK_DOWN:
        if (TForm* form = GetParentForm(this)) form->Perform(WM_NEXTDLGCTL, key == VK_UP ? 1 : 0);
        key = 0;
        return true;
    case VK_DELETE:
        clearbuf();
        modified_ = true;
        return false;
    case VK_BACK:
    case VK_RETURN: {
        // These keys bring no typed character here: the field makes its own, as the
        // platform's key translation did.
        TGuardedRef<TKstEdit> self(this);
        Perform(WM_CHAR, key == VK_BACK ? 8 : 13);
        if (!self) return true;
        return false;
    }
    default:
        return false;
    }
}

bool TKstEdit::DoKeyPress(char32_t& key) {
    stateWord_ &= ~kEnter;
    bool accepted = false;
    switch (key) {
    case 8:
        if (typed_ > 0) {
            relkey();
            --typed_;
            modified_ = true;
            RecountSignBits();
        } else {
            clearbuf();
        }
        break;
    case 13:
        stateWord_ |= kEnter;
        break;
    case '*':
        stateWord_ |= kStar;
        break;
    case '+':
        if (typed_ == 0 && !(stateWord_ & kPlus)) accepted = Enter('+', kPlus | kContent);
        break;
    case '-': {
        const bool allowed = minusEnabled_ ? typed_ == 0 && !(stateWord_ & kMinus)
                                           : !pointEnabled_ && typed_ > 0 && !(stateWord_ & kMinus);
        if (allowed) accepted = Enter('-', kMinus | kContent);
        break;
    }
    case '.':
        if (pointEnabled_ && !(stateWord_ & kPoint)) {
            accepted = Enter('.', kPoint | kContent);
        } else {
            // A point that cannot be one stands for three zeros.
            for (int i = 0; i < 3 && Enter('0', kContent); ++i) {
            }
            stateWord_ |= kContent;
            accepted = true;
        }
        break;
    default:
        if (key >= '0' && key <= '9') accepted = Enter(static_cast<char>(key), kContent);
        break;
    }
    if (accepted) {
        modified_ = true;
        if (autoExit_ && typed_ >= UsableLength()) stateWord_ |= kFull;
    }
    const bool result = TCustomControl::DoKeyPress(key);
    Invalidate();
    return result;
}

void TKstEdit::Dispatch(TMessage& m) {
    if (m.Msg == CM_TEXTCHANGED) {
        // The text follows the key buffer while painting; only the designer's text repaints.
        if (ComponentState().Contains(csDesigning)) Invalidate();
        return;
    }
    // CN_KEYDOWN takes the framework's way: offered to the parents as a child key first.
    TCustomControl::Dispatch(m);
}

// ---- values --------------------------------------------------------------------------------

template <class T> T TKstEdit::ReadValue(bool fromStart) {
    dataInError_ = false;
    if (!modified_) return 0;
    const std::string text = GetKeybf();
    if (text.empty()) return 0;
    const char last = text.back();
    if (last == ' ') return 0;
    if (last == '-' || last == '.' || last == kMiddleDot) {
        dataInError_ = true;
        return 0;
    }
    // The magnitude, at most the type's lowest value's; beyond that it is held there.
    constexpr std::uint64_t kCap = static_cast<std::uint64_t>(std::numeric_limits<T>::max()) + 1;
    std::uint64_t magnitude = 0;
    bool negative = false;
    bool capped = false;
    auto addDigit = [&](char c) {
        const auto d = static_cast<std::uint64_t>(c - '0');
        if (capped || magnitude > (kCap - d) / 10) {
            capped = true;
            magnitude = kCap;
            return;
        }
        magnitude = magnitude * 10 + d;
    };
    if (fromStart) {
        std::size_t i = 0;
        while (i < text.size() && text[i] == ' ') ++i;
        if (i < text.size() && (text[i] == '+' || text[i] == '-')) negative = text[i++] == '-';
        while (i < text.size() && IsDigit(text[i])) addDigit(text[i++]);
    } else {
        bool fraction = false;
        for (char c : text) {
            if (c == '-') negative = true;
            if (c == '.') fraction = true;
            if (IsDigit(c) && !fraction) addDigit(c);
        }
    }
    T value;
    if (negative) {
        value = magnitude == kCap ? std::numeric_limits<T>::min()
                                  : static_cast<T>(-static_cast<std::int64_t>(magnitude));
    } else {
        if (magnitude == kCap) capped = true;
        value = capped ? std::numeric_limits<T>::max() : static_cast<T>(magnitude);
    }
    if (capped) dataInError_ = true;
    if (!(lowValue_ == 0 && highValue_ == 0) && (value < lowValue_ || value > highValue_))
        dataInError_ = true;
    return value;
}

int TKstEdit::Value() {
    return ReadValue<int>(false);
}

std::int64_t TKstEdit::LongValue() {
    return ReadValue<std::int64_t>(true);
}

template <class T> void TKstEdit::WriteValue(T value) {
    if (value < 0 && !minusEnabled_) return;
    const std::string text = Decimal(value, !zeroSuppress_, maxLength_);
    // A value whose text does not fit would read back as another number.
    if (text.size() > static_cast<std::size_t>(maxLength_)) return;
    if constexpr (sizeof(T) == sizeof(int))
        lastValue_ = value;
    else
        lastLongValue_ = value;
    SetKeybf(text);
}

void TKstEdit::SetValue(int value) {
    WriteValue<int>(value);
}

void TKstEdit::SetLongValue(std::int64_t value) {
    WriteValue<std::int64_t>(value);
}

template <class T> int TKstEdit::Check() {
    dataInError_ = false;
    if (!modified_ || (lowValue_ == 0 && highValue_ == 0)) return -1;
    const T value = ReadValue<T>(sizeof(T) != sizeof(int));
    if (lowValue_ <= value && value <= highValue_) return 1;
    dataInError_ = true;
    return 0;
}

int TKstEdit::CheckValue() {
    return Check<int>();
}

int TKstEdit::CheckLongValue() {
    return Check<std::int64_t>();
}

} // namespace sv
