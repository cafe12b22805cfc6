// The memory-input ring: capacity, wrap-around, all-or-nothing and partial reads.
#include "encoder/gogo_tea.h"

#include <gtest/gtest.h>
#include <numeric>

namespace sv {
namespace {

class GogoTeaRing : public ::testing::Test {
protected:
    GogoTeaRing() { tea.SetEncodeMode(_MEMORY); }

    static std::vector<char> Pattern(size_t size, int seed) {
        std::vector<char> v(size);
        for (size_t i = 0; i < size; ++i) v[i] = static_cast<char>((i * 7 + seed) & 0xFF);
        return v;
    }

    TGogoTea tea{nullptr};
};

constexpr int kRing = 1 << 20;

TEST_F(GogoTeaRing, CapacityLeavesTwoBytesFree) {
    std::vector<char> big(kRing);
    EXPECT_FALSE(tea.WriteBuffer(big.data(), kRing - 1)); // exactly the free space
    EXPECT_TRUE(tea.WriteBuffer(big.data(), kRing - 2));
    EXPECT_FALSE(tea.WriteBuffer(big.data(), 1));
    char two[2];
    EXPECT_TRUE(tea.ReadBuffer(two, 1));
    EXPECT_FALSE(tea.WriteBuffer(big.data(), 2));
    EXPECT_TRUE(tea.WriteBuffer(big.data(), 1));
    EXPECT_TRUE(tea.ReadBuffer(two, 2));
    EXPECT_FALSE(tea.WriteBuffer(big.data(), 3));
    EXPECT_TRUE(tea.WriteBuffer(big.data(), 2));
}

TEST_F(GogoTeaRing, WrapsAroundWithoutLosingBytes) {
    std::vector<char> first = Pattern(1000000, 1);
    ASSERT_TRUE(tea.WriteBuffer(first.data(), static_cast<int>(first.size())));
    std::vector<char> out(first.size());
    ASSERT_TRUE(tea.ReadBuffer(out.data(), static_cast<int>(out.size())));
    EXPECT_EQ(out, first);

    std::vector<char> second = Pattern(100000, 5); // crosses the end of the block
    ASSERT_TRUE(tea.WriteBuffer(second.data(), static_cast<int>(second.size())));
    std::vector<char> back(second.size());
    ASSERT_TRUE(tea.ReadBuffer(back.data(), 60000));
    ASSERT_TRUE(tea.ReadBuffer(back.data() + 60000, 40000));
    EXPECT_EQ(back, second);
    char none;
    EXPECT_FALSE(tea.ReadBuffer(&none, 1));
}

TEST_F(GogoTeaRing, ReadBufferIsAllOrNothingAndReadBufferExPadsWithZeros) {
    std::vector<char> data = Pattern(30, 9);
    ASSERT_TRUE(tea.WriteBuffer(data.data(), 30));
    // No target takes nothing, rather than writing through a null pointer.
    EXPECT_FALSE(tea.ReadBuffer(nullptr, 10));
    EXPECT_EQ(tea.ReadBufferEx(nullptr, 10), 0);
    std::vector<char> target(100, '#');
    EXPECT_FALSE(tea.ReadBuffer(target.data(), 100));
    EXPECT_EQ(target, std::vector<char>(100, '#'));
    EXPECT_TRUE(tea.ReadBuffer(target.data(), 0));

    EXPECT_EQ(tea.ReadBufferEx(target.data(), 100), 30);
    EXPECT_TRUE(std::equal(data.begin(), data.end(), target.begin()));
    EXPECT_EQ(std::vector<char>(target.begin() + 30, target.end()), std::vector<char>(70, 0));
    EXPECT_EQ(tea.ReadBufferEx(target.data(), 10), 0);
    EXPECT_EQ(tea.ReadBufferEx(target.data(), 0), 0);
}

TEST_F(GogoTeaRing, EndOfInputAndEmptyWritesAreAccepted) {
    EXPECT_TRUE(tea.WriteBuffer(nullptr, 0));
    EXPECT_TRUE(tea.WriteBuffer("abc", 0));
    EXPECT_TRUE(tea.WriteBuffer("abc", -5));
    char c;
    EXPECT_FALSE(tea.ReadBuffer(&c, 1));
}

TEST_F(GogoTeaRing, FileModeIgnoresTheRing) {
    tea.SetEncodeMode(_FILE);
    EXPECT_TRUE(tea.WriteBuffer("abc", 3));
    char out[3] = {'x', 'x', 'x'};
    EXPECT_TRUE(tea.ReadBuffer(out, 3));
    EXPECT_EQ(out[0], 'x');
    EXPECT_EQ(tea.ReadBufferEx(out, 3), 0);
    tea.SetEncodeMode(_MEMORY);
    EXPECT_FALSE(tea.ReadBuffer(out, 1));
}

TEST_F(GogoTeaRing, InitializeEmptiesTheRing) {
    ASSERT_TRUE(tea.WriteBuffer("abc", 3));
    tea.Initialize();
    tea.SetEncodeMode(_MEMORY);
    char c;
    EXPECT_FALSE(tea.ReadBuffer(&c, 1));
}

} // namespace
} // namespace sv
