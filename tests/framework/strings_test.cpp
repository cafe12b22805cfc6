#include "framework/strings.h"

#include <gtest/gtest.h>

using namespace sv;

namespace {
std::vector<std::string> Entries(const std::string& comma) {
    TStringList l;
    l.SetCommaText(comma);
    std::vector<std::string> r;
    for (int i = 0; i < l.Count(); ++i) r.push_back(l[i]);
    return r;
}
using V = std::vector<std::string>;
} // namespace

TEST(CommaText, CommasAndBlanksSeparateQuotesGroup) {
    EXPECT_EQ(Entries("a b,c"), (V{"a", "b", "c"}));
    EXPECT_EQ(Entries("CD→CD,なし,WAV→MP3"), (V{"CD→CD", "なし", "WAV→MP3"}));
    EXPECT_EQ(Entries("\"C:/a b/x.wav\" \"y.wav\""), (V{"C:/a b/x.wav", "y.wav"}));
    EXPECT_EQ(Entries("\"say \"\"hi\"\"\",z"), (V{"say \"hi\"", "z"}));
    EXPECT_EQ(Entries("  lead  ,  trail  "), (V{"lead", "trail"}));
    EXPECT_EQ(Entries("\"unterminated x"), (V{"unterminated x"}));
}

TEST(CommaText, EmptyEntries) {
    EXPECT_EQ(Entries(""), V{});
    EXPECT_EQ(Entries("\"\""), (V{""}));
    EXPECT_EQ(Entries("a,,b"), (V{"a", "", "b"}));
    EXPECT_EQ(Entries("a,"), (V{"a", ""}));
    EXPECT_EQ(Entries(",a"), (V{"", "a"}));
}

TEST(CommaText, WriterQuotesWhatTheReaderWouldSplitAndRoundTrips) {
    TStringList l;
    for (auto s : {"plain", "with blank", "q\"uote", "", "a,b"}) l.Add(s);
    EXPECT_EQ(l.CommaText(), "plain,\"with blank\",\"q\"\"uote\",,\"a,b\"");
    TStringList back;
    back.SetCommaText(l.CommaText());
    EXPECT_EQ(back.Text(), l.Text());
    TStringList one;
    one.Add("");
    EXPECT_EQ(one.CommaText(), "\"\"");
}

TEST(StringList, SortedListsKeepCaseInsensitiveOrderAndFindEntries) {
    TStringList l;
    l.SetSorted(true);
    for (auto s : {"b.wav", "A.wav", "c.wav", "a.wav"}) l.Add(s);
    EXPECT_EQ(l.Count(), 3); // duplicates ignored, compared without case
    EXPECT_EQ(l[0], "A.wav");
    EXPECT_EQ(l.IndexOf("C.WAV"), 2);
    EXPECT_THROW(l.Insert(0, "x"), EStringListError);
    EXPECT_THROW(l.Get(3), EStringListError);
}

TEST(StringList, TextSplitsAtAnyLineBreakAndChangeEventsFollowUpdates) {
    TStringList l;
    int changes = 0;
    l.OnChange = [&](TObject*) { ++changes; };
    l.SetText("one\r\ntwo\nthree\rfour");
    EXPECT_EQ(l.Count(), 4);
    EXPECT_EQ(changes, 1);
    EXPECT_EQ(l.Text(), "one\r\ntwo\r\nthree\r\nfour\r\n");
    TStringList other;
    EXPECT_THROW(l.Assign(nullptr), EConvertError);
    EXPECT_EQ(l.Count(), 4);
    l.Assign(&other);
    EXPECT_EQ(l.Count(), 0);
}
