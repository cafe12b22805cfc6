#include "controls/grad_box.h"

#include "tests/framework/test_helpers.h"

#include <gtest/gtest.h>

#include <memory>

namespace sv {
namespace {

using test::PixelAt;
using test::RenderControl;

std::uint32_t Px(int r, int g, int b) {
    return test::Px(RGB(r, g, b));
}

class GradBoxTest : public ::testing::Test {
protected:
    void SetUp() override {
        form = std::make_unique<TForm>(Application);
        form->SetBounds(0, 0, 800, 200);
        box = new TGradBox(form.get());
        box->SetParent(form.get());
    }
    std::unique_ptr<TForm> form;
    TGradBox* box = nullptr;
};

TEST_F(GradBoxTest, DefaultsOfANewBox) {
    EXPECT_EQ(box->Width(), 128);
    EXPECT_EQ(box->Height(), 128);
    EXPECT_EQ(box->GradStep(), 128);
    EXPECT_EQ(box->Direction(), gdVertical);
    EXPECT_EQ(box->StartColor(), clWhite);
    EXPECT_EQ(box->EndColor(), clBlack);
}

TEST_F(GradBoxTest, MainWindowTitleBar728) {
    box->SetBounds(0, 0, 728, 20);
    box->SetDirection(gdHorizontal);
    box->SetStartColor(0x00FF8000);
    box->SetEndColor(clWhite);
    auto bmp = RenderControl(box);
    // Band = 6; band 1 starts at 6; band 121 covers 726 and 727.
    EXPECT_EQ(PixelAt(*bmp, 0, 0), Px(0, 128, 255));
    EXPECT_EQ(PixelAt(*bmp, 5, 19), Px(0, 128, 255));
    EXPECT_EQ(PixelAt(*bmp, 6, 0), Px(2, 129, 255));
    EXPECT_EQ(PixelAt(*bmp, 727, 10), Px(239, 247, 255));
    EXPECT_EQ(PixelAt(*bmp, 726, 10), Px(239, 247, 255));
    EXPECT_EQ(PixelAt(*bmp, 725, 10), Px(237, 246, 255));
}

TEST_F(GradBoxTest, TitleBar679FillsTheRestWithTheEndColour) {
    box->SetBounds(0, 0, 679, 10);
    box->SetDirection(gdHorizontal);
    box->SetStartColor(clBlack);
    box->SetEndColor(clWhite);
    auto bmp = RenderControl(box);
    // Band = 5; band 129 (the end colour) covers 645..649; 650..678 are filled after the loop.
    EXPECT_EQ(PixelAt(*bmp, 0, 0), 0u);
    EXPECT_EQ(PixelAt(*bmp, 644, 0), Px(253, 253, 253));
    EXPECT_EQ(PixelAt(*bmp, 645, 0), 0xFFFFFFu);
    EXPECT_EQ(PixelAt(*bmp, 678, 9), 0xFFFFFFu);
}

TEST_F(GradBoxTest, StepZeroNarrowBoxAndVertical) {
    box->SetBounds(0, 0, 50, 40);
    box->SetGradStep(0);
    box->SetStartColor(clRed);
    box->SetEndColor(clBlue);
    auto one = RenderControl(box);
    EXPECT_EQ(PixelAt(*one, 0, 0), 0xFF0000u);
    EXPECT_EQ(PixelAt(*one, 49, 39), 0xFF0000u) << "only the start colour shows";

    // 40 rows, 129 bands: band 1 each, the end colour never drawn.
    box->SetGradStep(128);
    box->SetStartColor(clBlack);
    box->SetEndColor(RGB(129, 129, 129));
    auto thin = RenderControl(box);
    EXPECT_EQ(PixelAt(*thin, 10, 0), 0u);
    EXPECT_EQ(PixelAt(*thin, 10, 39), Px(39, 39, 39));

    box->SetGradStep(300);
    EXPECT_EQ(box->GradStep(), 300 & 0xFF) << "a byte";
}

TEST_F(GradBoxTest, SystemColourIsResolvedBeforeTheArithmetic) {
    box->SetBounds(0, 0, 10, 10);
    box->SetGradStep(0);
    box->SetStartColor(clBtnFace);
    auto bmp = RenderControl(box);
    EXPECT_EQ(PixelAt(*bmp, 5, 5), Px(212, 208, 200));
}

TEST_F(GradBoxTest, ChangeNotifications) {
    int changes = 0;
    box->OnChange = [&](TObject* s) {
        EXPECT_EQ(s, box);
        ++changes;
    };
    box->SetStartColor(box->StartColor());
    EXPECT_EQ(changes, 1) << "an unchanged colour still announces";
    box->SetGradStep(box->GradStep());
    EXPECT_EQ(changes, 2);
    box->SetDirection(box->Direction());
    EXPECT_EQ(changes, 2) << "an unchanged direction does nothing";
    box->SetDirection(gdHorizontal);
    EXPECT_EQ(changes, 3);
}

} // namespace
} // namespace sv
