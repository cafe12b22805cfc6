#pragma once
// The look every Sonvale form is designed with.
#include "framework/graphics.h"

namespace sv::app {

// "ＭＳ Ｐゴシック" of the given height, Shift-JIS character set.
void SetDesignFont(TFont* font, int height = -12);

} // namespace sv::app
