// The controls together on one form, as the main program's forms use them.
#include "controls/flat_combo.h"
#include "controls/grad_box.h"
#include "controls/shine_button.h"
#include "controls/vorsa_button.h"
#include "tests/framework/test_helpers.h"

#include <gtest/gtest.h>

#include <memory>
#include <vector>

namespace sv {
namespace {

using test::PixelAt;

using test::Px;

TEST(ControlsOnOneForm, RenderTogether) {
    auto form = std::make_unique<TForm>(Application);
    form->BeginLoading();
    form->SetClientWidth(400);
    form->SetClientHeight(160);
    form->SetColor(clBtnFace);

    auto* title = new TGradBox(form.get());
    title->SetParent(form.get());
    title->SetBounds(0, 0, 400, 20);
    title->SetDirection(gdHorizontal);
    title->SetStartColor(0x00FF8000);
    title->SetEndColor(clWhite);

    std::vector<TShineSpeedButton*> modes;
    for (int i = 0; i < 4; ++i) {
        auto* b = new TShineSpeedButton(form.get());
        b->SetParent(form.get());
        b->SetBounds(10 + i * 60, 30, 56, 24);
        b->SetGroupIndex(1);
        b->Colors()->SetColor(0x00D9DEC7);
        b->PressedColors()->SetColor(0x009EEBED);
        modes.push_back(b);
    }

    auto* path = new TFlatReferEdit(form.get());
    path->SetParent(form.get());
    path->SetBounds(10, 70, 250, 18);
    path->SetBorderColor(clSilver);
    path->SetReadonly(true);

    auto* run = new TVorsaButton(form.get());
    run->SetParent(form.get());
    run->SetBounds(10, 100, 75, 25);
    run->SetColor(0x00CBECB5);
    run->SetCaption("実行");
    form->EndLoading();
    form->Show();

    modes[1]->SetDown(true);
    auto shot = test::RenderControl(form.get());

    // Title bar: the start colour at the left, the bands move toward white.
    EXPECT_EQ(PixelAt(*shot, 0, 10), 0x0080FFu);
    EXPECT_GT(PixelAt(*shot, 399, 10) >> 16, 0xE0u);
    // Mode buttons: raised frames on the up ones, the pressed face on the down one.
    EXPECT_EQ(PixelAt(*shot, 10, 30), Px(clBtnHighlight));
    EXPECT_EQ(PixelAt(*shot, 10 + 20, 30 + 20), Px(0x00D9DEC7));
    EXPECT_EQ(PixelAt(*shot, 70, 30), Px(clWindowFrame));
    EXPECT_EQ(PixelAt(*shot, 70 + 20, 30 + 20), Px(0x009EEBED));
    // Path field: the flat frame in its border colour.
    EXPECT_EQ(PixelAt(*shot, 10, 70), 0xC0C0C0u);
    EXPECT_EQ(PixelAt(*shot, 259, 87), 0xC0C0C0u);
    // Push button: raised edge and its face.
    EXPECT_EQ(PixelAt(*shot, 10, 100), Px(clBtnHighlight));
    EXPECT_EQ(PixelAt(*shot, 84, 124), Px(clWindowFrame));
    EXPECT_EQ(PixelAt(*shot, 13, 103), Px(0x00CBECB5));
}

} // namespace
} // namespace sv
