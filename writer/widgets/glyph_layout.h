#pragma once
// Where a button's glyph sits beside, above or below its caption.
#include "framework/graphics.h"

namespace sv {

enum class TLayout { blBtnLeft, blBtnRight, blBtnTop, blBtnBottom };
using enum TLayout;

// Places a glyph w wide and h high at the layout's edge of `area`, `margin` pixels in (a margin
// that reaches past the area puts it at the edge; a negative one centres it on the layout's
// axis), centred across, and cut to the area. `area` keeps what is left for the caption.
TRect PlaceGlyph(TRect& area, TLayout layout, int margin, int w, int h);

} // namespace sv
