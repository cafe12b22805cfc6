#include "controls/grad_bands.h"
#include "controls/shine_effects.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace sv {
namespace {

// A small glyph drawn from text: '.' is the transparent colour, letters map to colours.
struct Glyph {
    int w = 0, h = 0;
    std::vector<std::uint32_t> px;

    static Glyph From(const std::vector<std::string>& rows) {
        Glyph g;
        g.h = static_cast<int>(rows.size());
        g.w = static_cast<int>(rows[0].size());
        for (const auto& row : rows)
            for (char c : row) g.px.push_back(c == '.' ? 0x808000u : c == '#' ? 0x102030u : 0x0u);
        return g;
    }
    PixelRows Rows() { return {px.data(), w, h, w}; }
    ConstPixelRows CRows() const { return {px.data(), w, h, w}; }
    std::uint32_t At(int x, int y) const { return px[static_cast<std::size_t>(y * w + x)]; }
    // Marks pixels equal to `c` with 'S', others with '.' or '#' as stored in `orig`.
    std::vector<std::string> Show(std::uint32_t c, const Glyph& orig) const {
        std::vector<std::string> out;
        for (int y = 0; y < h; ++y) {
            std::string row;
            for (int x = 0; x < w; ++x)
                row += At(x, y) == c ? 'S' : orig.At(x, y) == 0x808000u ? '.' : '#';
            out.push_back(row);
        }
        return out;
    }
};

constexpr std::uint32_t kShine = 0x00FFFF;

TEST(ShineLayout, GlyphLeftCentresBlockAndAddsSpacingOnlyWithBoth) {
    ShineLayoutInput in;
    in.glyphWidth = 16, in.glyphHeight = 10, in.glyphEmpty = false;
    in.hasCaption = true;
    in.textRight = 30, in.textBottom = 12;
    in.clientWidth = 100, in.clientHeight = 40;
    auto r = CalcLayout(in);
    // Block 16 + 4 + 30 = 50 wide, 12 high.
    EXPECT_EQ(r.glyphX, 25);
    EXPECT_EQ(r.glyphY, 14 + 1);
    EXPECT_EQ(r.textLeft, 25 + 20);
    EXPECT_EQ(r.textTop, 14);
    EXPECT_EQ(r.textRight - r.textLeft, 30);

    in.margin = 0;
    r = CalcLayout(in);
    EXPECT_EQ(r.glyphX, 0) << "margin 0 puts the glyph against the left edge";

    in.glyphEmpty = true, in.glyphWidth = 0, in.glyphHeight = 0, in.margin = -1;
    r = CalcLayout(in);
    EXPECT_EQ(r.textLeft, 35) << "no spacing without a glyph";
}

TEST(ShineLayout, GlyphTopCountsSpacingEvenWithoutGlyph) {
    ShineLayoutInput in;
    in.layout = TShineLayout::GlyphTop;
    in.hasCaption = true;
    in.textRight = 20, in.textBottom = 13;
    in.clientWidth = 60, in.clientHeight = 41;
    auto r = CalcLayout(in);
    EXPECT_EQ(r.textTop, (41 - (4 + 13)) / 2 + 4);
    EXPECT_EQ(r.textLeft, 20);
}

TEST(ShineLayout, RightAndBottomWithMarginAndNegativeHalves) {
    ShineLayoutInput in;
    in.glyphWidth = 8, in.glyphHeight = 8, in.glyphEmpty = false;
    in.layout = TShineLayout::GlyphRight;
    in.margin = 3;
    in.clientWidth = 40, in.clientHeight = 5; // block higher than the client
    auto r = CalcLayout(in);
    EXPECT_EQ(r.glyphX, 40 - 8 - 3);
    EXPECT_EQ(r.glyphY, -1) << "half of -3 truncates toward zero";

    in.layout = TShineLayout::GlyphBottom;
    in.clientHeight = 30;
    in.hasCaption = true;
    in.textRight = 10, in.textBottom = 12;
    r = CalcLayout(in);
    // Block: caption 12, spacing 4, glyph 8 = 24 high, placed 3 above the bottom.
    EXPECT_EQ(r.textTop, 30 - 24 - 3);
    EXPECT_EQ(r.glyphY, 30 - 24 - 3 + 16);
    EXPECT_EQ(r.glyphX, (40 - 10) / 2 + 1);
}

TEST(ShineGradation, EndsExactAndTruncatesTowardZero) {
    const auto s = GradationStrip(0xC8C8C8, 0x646464); // 200 down to 100
    EXPECT_EQ(s[0], 0xC8C8C8u);
    EXPECT_EQ(s[255], 0x646464u);
    EXPECT_EQ(s[1], 0xC8C8C8u);
    EXPECT_EQ(s[128], 0x969696u);
    const auto t = GradationStrip(0x102030, 0xFF0000);
    EXPECT_EQ(t[0], 0x102030u);
    EXPECT_EQ(t[255], 0xFF0000u);
}

TEST(ShineEffects, ColourEffectsChangeOnlyOpaquePixels) {
    Glyph g = Glyph::From({"#.", ".."});
    auto run = [&](TActiveImageType t) {
        Glyph r = g;
        ApplyActiveImage(t, g.CRows(), r.Rows(), 0x40FF10);
        EXPECT_EQ(r.At(1, 0), 0x808000u);
        return r.At(0, 0);
    };
    EXPECT_EQ(run(aiNormal), 0x102030u);
    EXPECT_EQ(run(aiXorLight), 0x102030u ^ 0x40FF10u);
    EXPECT_EQ(run(aiHalfLight), ((0x40 + 0x10) / 2u << 16) | ((0xFF + 0x20) / 2u << 8) | 0x20u);
    EXPECT_EQ(run(aiQuaterLight), 0x34C718u);
    EXPECT_EQ(run(aiAddLight), (0x50u << 16) | (0xFFu << 8) | 0x40u);

    auto dis = [&](TDisabledImageType t) {
        Glyph r = g;
        ApplyDisabledImage(t, g.CRows(), r.Rows(), 0xD4D0C8);
        return r.At(0, 0);
    };
    EXPECT_EQ(dis(diGrayscale), 0x202020u);
    EXPECT_EQ(dis(diAlphaHalfTrans),
              ((0xD4 + 0x10) / 2u << 16) | ((0xD0 + 0x20) / 2u << 8) | ((0xC8 + 0x30) / 2u));
}

TEST(ShineEffects, CheckerFollowsHeightParity) {
    // Width and height even: checkerboard.
    Glyph even = Glyph::From({"####", "####", "####", "...."});
    Glyph r = even;
    ApplyActiveImage(aiMaskLight, even.CRows(), r.Rows(), kShine);
    EXPECT_EQ(r.Show(kShine, even), (std::vector<std::string>{"#S#S", "S#S#", "#S#S", "...."}));
    // Width even, height odd: vertical stripes.
    Glyph odd = Glyph::From({"####", "####", "...."});
    r = odd;
    ApplyActiveImage(aiMaskLight, odd.CRows(), r.Rows(), kShine);
    EXPECT_EQ(r.Show(kShine, odd), (std::vector<std::string>{"#S#S", "#S#S", "...."}));
    // diMaskTrans writes the transparent colour instead.
    r = even;
    ApplyDisabledImage(diMaskTrans, even.CRows(), r.Rows(), 0);
    EXPECT_EQ(r.At(1, 0), 0x808000u);
    EXPECT_EQ(r.At(0, 0), 0x102030u);
}

TEST(ShineEffects, OutlinesOneAndTwoPixels) {
    Glyph g = Glyph::From({".....", ".....", "..#..", ".....", "....."});
    Glyph r = g;
    ApplyActiveImage(aiFrameLight, g.CRows(), r.Rows(), kShine);
    EXPECT_EQ(r.Show(kShine, g),
              (std::vector<std::string>{".....", "..S..", ".S#S.", "..S..", "....."}));
    r = g;
    ApplyActiveImage(aiFrameLight2, g.CRows(), r.Rows(), kShine);
    EXPECT_EQ(r.Show(kShine, g),
              (std::vector<std::string>{"..S..", ".SSS.", "SS#SS", ".SSS.", "..S.."}));
}

TEST(ShineEffects, OutlineCanMarkTheTransparentCorner) {
    Glyph g = Glyph::From({"..", ".#"});
    Glyph r = g;
    ApplyActiveImage(aiFrameLight, g.CRows(), r.Rows(), kShine);
    EXPECT_EQ(r.At(0, 1), kShine) << "the corner then carries the shine colour";
}

TEST(ShineEffects, EdgeMaskMarksDiagonalDifferences) {
    Glyph g = Glyph::From({"....", ".##.", ".##.", "...."});
    Glyph r = g;
    ApplyDisabledImage(diDefault, g.CRows(), r.Rows(), 0);
    std::vector<std::string> got;
    for (int y = 0; y < 4; ++y) {
        std::string row;
        for (int x = 0; x < 4; ++x) row += r.At(x, y) == 0xFFFFFFu ? 'W' : r.At(x, y) ? '?' : 'B';
        got.push_back(row);
    }
    EXPECT_EQ(got, (std::vector<std::string>{"WWWB", "WBWB", "WWWB", "BBBB"}));
}

TEST(GradBands, RoundHalfEvenExactly) {
    EXPECT_EQ(RoundHalfEven(5, 2), 2);
    EXPECT_EQ(RoundHalfEven(7, 2), 4);
    EXPECT_EQ(RoundHalfEven(-5, 2), -2);
    EXPECT_EQ(RoundHalfEven(-7, 2), -4);
    EXPECT_EQ(RoundHalfEven(-8, 3), -3);
    EXPECT_EQ(RoundHalfEven(679, 129), 5);
    EXPECT_EQ(RoundHalfEven(728, 129), 6);
    EXPECT_EQ(GradBandSize(40, 129), 1);
    EXPECT_EQ(GradBandSize(0, 1), 1);
}

TEST(GradBands, ChannelsOfTheTitleBarExample) {
    EXPECT_EQ(GradBandChannel(0, 255, 121, 129), 239);
    EXPECT_EQ(GradBandChannel(128, 255, 121, 129), 247);
    EXPECT_EQ(GradBandChannel(0, 255, 1, 129), 2);
    EXPECT_EQ(GradBandChannel(128, 255, 1, 129), 129);
    EXPECT_EQ(GradBandChannel(255, 0, 129, 129), 0);
    // 1 * 129 / 2 = 64.5 exactly: the even neighbour.
    EXPECT_EQ(GradBandChannel(0, 129, 1, 2), 64);
    EXPECT_EQ(GradBandChannel(0, 131, 1, 2), 66);
}

} // namespace
} // namespace sv
