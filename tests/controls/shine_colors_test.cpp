#include "controls/shine_colors.h"

#include <gtest/gtest.h>

namespace sv {
namespace {

TEST(ShineBtnColors, DefaultsAndChangeHookOnlyOnRealChange) {
    TShineBtnColors c;
    EXPECT_EQ(c.Color(), clBtnFace);
    EXPECT_EQ(c.Highlight(), clBtnHighlight);
    EXPECT_EQ(c.Shadow(), clBtnShadow);
    EXPECT_EQ(c.DarkShadow(), clWindowFrame);
    EXPECT_EQ(c.GradColor(), clBlue);
    EXPECT_FALSE(c.Gradation());
    EXPECT_FALSE(c.GradVertical());
    int calls = 0;
    c.OnColorsChange = [&](TObject* sender) {
        EXPECT_EQ(sender, &c);
        ++calls;
    };
    c.SetColor(clBtnFace);
    EXPECT_EQ(calls, 0);
    c.SetColor(0x00D9DEC7);
    c.SetGradation(true);
    EXPECT_EQ(calls, 2);
}

TEST(ShineBtnColors, AssignCopiesAllAndRefusesOtherSources) {
    TShineBtnColors a, b;
    a.SetColor(0x00D9DEC7);
    a.SetHighlight(clRed);
    a.SetShadow(clGreen);
    a.SetDarkShadow(clNavy);
    a.SetGradColor(clYellow);
    a.SetGradVertical(true);
    a.SetGradation(true);
    int calls = 0, sourceCalls = 0;
    b.OnColorsChange = [&](TObject* sender) {
        EXPECT_EQ(sender, &b);
        ++calls;
    };
    a.OnColorsChange = [&](TObject*) { ++sourceCalls; };
    b.Assign(&a);
    EXPECT_EQ(b.Color(), 0x00D9DEC7u);
    EXPECT_EQ(b.Highlight(), clRed);
    EXPECT_EQ(b.Shadow(), clGreen);
    EXPECT_EQ(b.DarkShadow(), clNavy);
    EXPECT_EQ(b.GradColor(), clYellow);
    EXPECT_TRUE(b.GradVertical());
    EXPECT_TRUE(b.Gradation());
    EXPECT_EQ(calls, 2) << "once from the source's copy into it, once from its own assignment";
    EXPECT_EQ(sourceCalls, 0);

    TPersistent other;
    TShineBtnColors c;
    EXPECT_THROW(c.Assign(&other), EConvertError);
    EXPECT_THROW(c.Assign(nullptr), EConvertError);
    EXPECT_EQ(c.Color(), clBtnFace) << "nothing copied";
}

} // namespace
} // namespace sv
