#include "framework/cp932.h"

#include <gtest/gtest.h>

namespace {

TEST(Cp932, RoundTripAndUnencodableCharacters) {
    EXPECT_EQ(sv::Utf8ToCp932("１２３"), "\x82\x50\x82\x51\x82\x52");
    EXPECT_EQ(sv::Utf8ToCp932("\xEF\xBD\xA5"), "\xA5"); // half-width middle dot
    EXPECT_EQ(sv::Cp932ToUtf8(sv::Utf8ToCp932("数値 -1.5")), "数値 -1.5");
    EXPECT_EQ(sv::Utf8ToCp932("a😀b"), "a?b");
}

} // namespace
