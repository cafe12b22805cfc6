#include "widget_test.h"
#include "writer/widgets/bmpanel.h"

namespace sv::test {
namespace {

// Ten 16 x 16 cells, cell v in colour 0x0000v0 + 1 so each is known by its pixels.
std::uint32_t CellColor(int v) {
    return static_cast<std::uint32_t>(0x000010 * v + 1);
}
std::unique_ptr<TBitmap> Digits() {
    auto s = std::make_unique<TBitmap>(160, 16);
    for (int v = 0; v < 10; ++v) {
        const std::uint32_t c = CellColor(v);
        s->Canvas()->Brush()->SetColor(RGB(static_cast<int>(c >> 16),
                                           static_cast<int>(c >> 8) & 0xFF,
                                           static_cast<int>(c & 0xFF)));
        s->Canvas()->FillRect(Rect(v * 16, 0, v * 16 + 16, 16));
    }
    return s;
}

using CellList = std::vector<std::pair<int, int>>;

class BmpanelTest : public WidgetTest {
protected:
    void SetUp() override {
        WidgetTest::SetUp();
        p = Make<TBmpanel>();
        p->SetBounds(0, 0, 200, 30);
        p->SetCaption("");
        p->SetColor(clWhite);
        p->SetGlyph(Digits().get());
    }
    // The left edges of the cells shown on row 5, by colour.
    CellList Cells() {
        auto bmp = RenderControl(p);
        CellList cells;
        for (int x = 0; x < 200; ++x)
            for (int v = 0; v < 10; ++v)
                if (PixelAt(*bmp, x, 5) == CellColor(v) &&
                    (x == 0 || PixelAt(*bmp, x - 1, 5) != CellColor(v)))
                    cells.emplace_back(x, v);
        return cells;
    }
    TBmpanel* p = nullptr;
};

TEST_F(BmpanelTest, CellsSitAfterTheSpacingStretchedToTheInnerHeight) {
    EXPECT_EQ(p->GlyphNum(), 10);
    EXPECT_EQ(Cells(), CellList{});
    p->SetArrayData(0, 3);
    p->SetArrayData(1, 7);
    EXPECT_EQ(Cells(), (CellList{{2, 3}, {20, 7}}));
    auto bmp = RenderControl(p);
    EXPECT_EQ(PixelAt(*bmp, 17, 1), CellColor(3));
    EXPECT_EQ(PixelAt(*bmp, 17, 28), CellColor(3));
    EXPECT_EQ(PixelAt(*bmp, 18, 5), 0xFFFFFFu);
    EXPECT_EQ(PixelAt(*bmp, 2, 0), 0xFFFFFFu); // the raised bevel's light edge
}

TEST_F(BmpanelTest, ZerosAndValuesWithoutACellKeepTheirPlace) {
    p->SetOneData(0, 3, 0);
    p->SetOneData(1, 0, 0);
    p->SetOneData(2, 12, 0);
    p->SetOneData(3, -1, 0);
    p->SetOneData(4, 7, 1);
    EXPECT_EQ(Cells(), (CellList{{2, 3}, {74, 7}}));
    p->SetDispZero(true);
    CellList all = Cells();
    // Elements 2 and 3 have no cell; from element 11 on the places lie beyond the face.
    EXPECT_EQ(all.size(), 9u);
    EXPECT_EQ(all[1], (std::pair{20, 0}));
}

TEST_F(BmpanelTest, ArrayBoundsAndLength) {
    p->SetArrayData(2, 5);
    EXPECT_EQ(p->GetArrayData(2), 5);
    EXPECT_EQ(p->GetArrayData(-1), 0);
    EXPECT_EQ(p->GetArrayData(16), 0);
    p->SetArrayData(16, 9);
    p->SetArrayData(-1, 9);
    p->SetArrayNum(0);
    p->SetArrayNum(-4);
    EXPECT_EQ(p->ArrayNum(), 16);
    EXPECT_EQ(p->GetArrayData(2), 5);
    p->SetArrayNum(5);
    EXPECT_EQ(p->ArrayNum(), 5);
    EXPECT_EQ(p->GetArrayData(2), 0);
}

TEST_F(BmpanelTest, LoadingClearsTheData) {
    p->BeginLoading();
    p->SetArrayNum(4);
    p->SetArrayData(1, 6);
    p->EndLoading();
    EXPECT_EQ(p->ArrayNum(), 4);
    EXPECT_EQ(p->GetArrayData(1), 0);
}

TEST_F(BmpanelTest, CaptionPlacedByBothAlignments) {
    FixedText text;
    p->SetCaption("AB");
    const std::pair<TCaptionAlign, int> rows[] = {{caTop, 1}, {caCenter, 9}, {caBottom, 17}};
    for (auto [align, top] : rows) {
        p->SetCaptionAlign(align);
        EXPECT_EQ(BoundsOf(*RenderControl(p), 0x000000), Bounds(92, top, 15, 11));
    }
    p->SetAlignment(taLeftJustify);
    EXPECT_EQ(BoundsOf(*RenderControl(p), 0x000000).Left, 1);
    p->SetAlignment(taRightJustify);
    EXPECT_EQ(BoundsOf(*RenderControl(p), 0x000000).Right, 198);
}

} // namespace
} // namespace sv::test
