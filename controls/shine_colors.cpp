#include "controls/shine_colors.h"

namespace sv {

TShineBtnColors::TShineBtnColors() = default;

TShineBtnColors::~TShineBtnColors() {
    OnColorsChange = nullptr;
}

template <typename T> void TShineBtnColors::Store(T& field, T value) {
    if (field == value) return;
    field = value;
    Changed();
}

void TShineBtnColors::SetHighlight(TColor v) {
    Store(highlight_, v);
}
void TShineBtnColors::SetShadow(TColor v) {
    Store(shadow_, v);
}
void TShineBtnColors::SetDarkShadow(TColor v) {
    Store(darkShadow_, v);
}
void TShineBtnColors::SetGradColor(TColor v) {
    Store(gradColor_, v);
}
void TShineBtnColors::SetGradVertical(bool v) {
    Store(gradVertical_, v);
}
void TShineBtnColors::SetGradation(bool v) {
    Store(gradation_, v);
}
void TShineBtnColors::SetColor(TColor v) {
    Store(color_, v);
}

void TShineBtnColors::Changed() {
    if (OnColorsChange) OnColorsChange(this);
}

void TShineBtnColors::CopyFrom(const TShineBtnColors& other) {
    color_ = other.color_;
    highlight_ = other.highlight_;
    shadow_ = other.shadow_;
    darkShadow_ = other.darkShadow_;
    gradColor_ = other.gradColor_;
    gradVertical_ = other.gradVertical_;
    gradation_ = other.gradation_;
}

void TShineBtnColors::AssignTo(TPersistent* dest) const {
    auto* d = dynamic_cast<TShineBtnColors*>(dest);
    if (!d) {
        TPersistent::AssignTo(dest);
        return;
    }
    d->CopyFrom(*this);
    d->Changed();
}

void TShineBtnColors::Assign(const TPersistent* source) {
    const auto* s = dynamic_cast<const TShineBtnColors*>(source);
    if (!s) {
        AssignError(source);
        return;
    }
    CopyFrom(*s);
    // The source copies itself once more and calls our hook, then we announce once more:
    // two change calls, as the button's repaint does not mind.
    TPersistent::Assign(source);
    Changed();
}

} // namespace sv
