#include "app/form_style.h"

namespace sv::app {

void SetDesignFont(TFont* font, int height) {
    font->SetName("ＭＳ Ｐゴシック");
    font->SetHeight(height);
    font->SetCharset(SHIFTJIS_CHARSET);
}

} // namespace sv::app
