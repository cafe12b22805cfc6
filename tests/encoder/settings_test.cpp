// The configuration the component hands to the library, and its refusals.
#include "encoder/gogo_tea.h"
#include "tests/encoder/encoder_test_support.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

namespace sv {
namespace {

using ::testing::Contains;
using ::testing::ElementsAre;
using ::testing::ElementsAreArray;
using ::testing::Not;

class GogoTeaSettings : public ::testing::Test {
protected:
    GogoTeaSettings() {
        fake.Reset();
        fake.SetFrames(0);
        tea.SetSourceFile("/in/a.wav");
        tea.SetDestFile("/out/a.mp3");
    }

    // The calls up to the frame count, which ends the configuration.
    std::vector<std::string> Configuration() const {
        std::vector<std::string> log = fake.Log();
        auto end = std::find(log.begin(), log.end(), "getConfigure(15)");
        if (end != log.end()) ++end;
        return {log.begin(), end};
    }

    void ExpectRefused(const std::function<void()>& action, const std::string& message) {
        try {
            action();
            ADD_FAILURE() << "no refusal, expected " << message;
        } catch (const EGogoTeaError& e) {
            EXPECT_EQ(e.Message(), message);
        }
    }

    // Waits for the job that Execute started, so that the next one may start.
    void Finish() {
        ASSERT_TRUE(test::WaitFor([&] { return !tea.IsEncoding(); }));
    }

    TGogoTea tea{nullptr};
    test::FakeGogo fake;
};

const std::vector<std::string> kDefaultJob = {
    "initializeWork",
    "setConfigure(1,0,'/in/a.wav')",
    "setConfigure(2,0,'/out/a.mp3')",
    "setConfigure(8,0,0)",
    "setConfigure(4,128,0)",
    "setConfigure(9,0,0)",
    "setConfigure(10,1,0)",
    "setConfigure(11,1,0)",
    "setConfigure(12,1,0)",
    "setConfigure(13,1,0)",
    "setConfigure(14,0,0)",
    "setConfigure(15,0,0)",
    "setConfigure(17,0,0)",
    "setConfigure(3,2,0)",
    "setConfigure(19,1,0)",
    "setConfigure(26,0,0)",
    "detectConfigure",
    "getConfigure(15)",
};

TEST_F(GogoTeaSettings, FormsDefaultJob) {
    fake.SetFrames(250);
    tea.Execute();
    EXPECT_THAT(Configuration(), ElementsAreArray(kDefaultJob));
    EXPECT_EQ(tea.AllFrames(), 250);
    EXPECT_TRUE(tea.IsEncoding());
    Finish();
    EXPECT_THAT(fake.Log(), Contains("closeCoder"));
}

TEST_F(GogoTeaSettings, VersionGates) {
    tea.SetUseVBR(true);
    tea.SetVBRLevel(7);
    TExtFilter filter;
    filter.Enabled = true;
    tea.SetExtFilter(&filter);
    TVBRBitrate range;
    range.Enabled = true;
    range.Low = 64;
    range.High = 192;
    tea.SetVBRBitrate(&range);
    TMSSetting ms;
    ms.Enabled = true;
    tea.SetMSSetting(&ms);

    struct Case {
        unsigned version;
        bool gateA, gateB;
    };
    for (Case c : {Case{0x0230, true, true}, Case{0x0226, false, true}, Case{0x0301, false, false},
                   Case{0x0130, false, false}}) {
        SCOPED_TRACE(c.version);
        fake.ClearLog();
        fake.SetVersion(c.version);
        tea.Execute();
        std::vector<std::string> log = Configuration();
        EXPECT_THAT(log, Contains("setConfigure(18,7,0)"));
        auto gated = [&](const std::string& call, bool on) {
            if (on)
                EXPECT_THAT(log, Contains(call));
            else
                EXPECT_THAT(log, Not(Contains(call)));
        };
        gated("setConfigure(31,55,70)", c.gateA);
        gated("setConfigure(30,64,192)", c.gateA);
        gated("setConfigure(32,75,66)", c.gateA);
        gated("setConfigure(26,0,0)", c.gateB);
        Finish();
    }
    // Gate A's calls come in this order, between the processors and the container.
    fake.ClearLog();
    fake.SetVersion(0x0230);
    tea.Execute();
    std::vector<std::string> log = Configuration();
    auto at = std::find(log.begin(), log.end(), "setConfigure(19,1,0)");
    ASSERT_NE(at, log.end());
    EXPECT_THAT(std::vector<std::string>(at + 1, at + 5),
                ElementsAre("setConfigure(31,55,70)", "setConfigure(30,64,192)",
                            "setConfigure(32,75,66)", "setConfigure(26,0,0)"));
    Finish();
}

TEST_F(GogoTeaSettings, VbrRangeOnlyWithVbr) {
    TVBRBitrate range;
    range.Enabled = true;
    tea.SetVBRBitrate(&range);
    tea.Execute();
    for (const std::string& call : Configuration()) {
        EXPECT_NE(call.rfind("setConfigure(18,", 0), 0u) << call;
        EXPECT_NE(call.rfind("setConfigure(30,", 0), 0u) << call;
    }
    Finish();
}

TEST_F(GogoTeaSettings, UnitsTheProcessorLacksAreSwitchedOff) {
    fake.SetUnitStates(0x2);
    tea.SetSetOfUseUnit({_USE_MMX, _USE_3DNOW, _USE_KNI, _USE_EX_3DNOW, _USE_SPC1, _USE_SPC2});
    tea.Execute();
    std::vector<std::string> log = Configuration();
    auto at = std::find(log.begin(), log.end(), "setConfigure(10,1,0)");
    ASSERT_NE(at, log.end());
    EXPECT_THAT(std::vector<std::string>(at, at + 6),
                ElementsAre("setConfigure(10,1,0)", "setConfigure(11,0,0)", "setConfigure(12,0,0)",
                            "setConfigure(13,0,0)", "setConfigure(14,1,0)",
                            "setConfigure(15,1,0)"));
    Finish();
    // A failed unit query reads as no units at all.
    fake.ClearLog();
    fake.SetUnitStates(0x2E, 1);
    tea.Execute();
    EXPECT_THAT(Configuration(), Contains("setConfigure(10,0,0)"));
    Finish();
}

TEST_F(GogoTeaSettings, EnumerationsAndFlags) {
    tea.SetEmphasis(_CCITT_EMPH);
    tea.SetEncodeType(_MSSTEREO);
    tea.SetBitrate(320);
    tea.SetUsePsy(true);
    tea.SetUseLPF16(true);
    tea.SetProcessors(4);
    tea.Execute();
    std::vector<std::string> log = Configuration();
    for (const char* call : {"setConfigure(17,3,0)", "setConfigure(3,3,0)", "setConfigure(4,320,0)",
                             "setConfigure(8,1,0)", "setConfigure(9,1,0)", "setConfigure(19,4,0)"})
        EXPECT_THAT(log, Contains(call));
    Finish();
    fake.ClearLog();
    tea.SetEmphasis(_5015MS_EMPH);
    tea.Execute();
    EXPECT_THAT(Configuration(), Contains("setConfigure(17,1,0)"));
    Finish();
}

TEST_F(GogoTeaSettings, TagsGoWithTheirFormatOnceOnly) {
    const char a[] = "rmp-a", b[] = "rmp-b", id3[] = "ID3xx";
    tea.SetEncodeFormat(_FORMAT_OF_RIFF_WAVE);
    tea.AddRmpTagInfo({5, a});
    tea.AddRmpTagInfo({5, b});
    tea.SetID3TagInfo({5, id3});
    tea.Execute();
    std::vector<std::string> log = Configuration();
    auto at = std::find(log.begin(), log.end(), "setConfigure(26,1,0)");
    ASSERT_NE(at, log.end());
    EXPECT_THAT(std::vector<std::string>(at, at + 4),
                ElementsAre("setConfigure(26,1,0)", "setConfigure(27,5,'rmp-a')",
                            "setConfigure(27,5,'rmp-b')", "detectConfigure"));
    Finish();

    // The tags were used up; the next job carries none.
    fake.ClearLog();
    tea.SetEncodeFormat(_FORMAT_OF_MP3);
    tea.Execute();
    log = Configuration();
    EXPECT_THAT(log, Contains("setConfigure(26,0,0)"));
    for (const std::string& call : log) EXPECT_EQ(call.find("setConfigure(16,"), std::string::npos);
    Finish();

    fake.ClearLog();
    tea.SetID3TagInfo({5, id3});
    tea.Execute();
    EXPECT_THAT(Configuration(), Contains("setConfigure(16,5,'ID3xx')"));
    Finish();
}

TEST_F(GogoTeaSettings, TagsAreUsedUpEvenByARefusedJob) {
    const char a[] = "rmp-a";
    tea.SetEncodeFormat(_FORMAT_OF_RIFF_RMP);
    tea.AddRmpTagInfo({5, a});
    fake.SetDetectResult(3);
    ExpectRefused([&] { tea.Execute(); }, "設定に誤りがあります.");
    EXPECT_EQ(tea.EncodeResult(), 3);
    EXPECT_FALSE(tea.IsEncoding());
    fake.ClearLog();
    fake.SetDetectResult(0);
    tea.Execute();
    std::vector<std::string> log = Configuration();
    EXPECT_THAT(log, Contains("setConfigure(26,2,0)"));
    for (const std::string& call : log) EXPECT_EQ(call.find("setConfigure(27,"), std::string::npos);
    Finish();
}

TEST_F(GogoTeaSettings, MemoryInputRecord) {
    tea.SetEncodeMode(_MEMORY);
    tea.QuerySettings();
    EXPECT_EQ(Configuration().at(1), "setConfigure(1,2,mem{-1,16,44100,2})");
    // Prepared: a second configuration is refused until the job has run.
    ExpectRefused([&] { tea.QuerySettings(); }, "エンコード中に設定は変更できません.");
}

TEST_F(GogoTeaSettings, RangeChecks) {
    const std::string range = "値が範囲外です.";
    ExpectRefused([&] { tea.SetFrequency(0); }, range);
    EXPECT_EQ(tea.Frequency(), 100);
    tea.SetFrequency(1);
    ExpectRefused([&] { tea.SetVBRLevel(10); }, range);
    ExpectRefused([&] { tea.SetVBRLevel(-1); }, range);
    tea.SetVBRLevel(9);
    EXPECT_EQ(tea.VBRLevel(), 9);
    ExpectRefused([&] { tea.SetEmphasis(static_cast<TEmphasis>(3)); }, range);
    EXPECT_EQ(tea.Emphasis(), _NO_EMPH);

    TExtFilter filter;
    filter.High = 101;
    ExpectRefused([&] { tea.SetExtFilter(&filter); }, range);
    filter.High = 100;
    filter.Low = -1;
    ExpectRefused([&] { tea.SetExtFilter(&filter); }, range);
    EXPECT_EQ(tea.ExtFilter()->Low, 55);
    filter.Low = 0;
    filter.Enabled = true;
    tea.SetExtFilter(&filter);
    EXPECT_EQ(tea.ExtFilter()->High, 100);
    EXPECT_NE(tea.ExtFilter(), &filter);

    TVBRBitrate vbr;
    vbr.Low = -1;
    ExpectRefused([&] { tea.SetVBRBitrate(&vbr); }, range);
    TMSSetting ms;
    ms.Power = 101;
    ExpectRefused([&] { tea.SetMSSetting(&ms); }, range);
    ms.Power = 0;
    ms.Threshold = -1;
    ExpectRefused([&] { tea.SetMSSetting(&ms); }, range);

    const char bytes[] = "x";
    ExpectRefused([&] { tea.AddRmpTagInfo({0, bytes}); }, range);
    ExpectRefused([&] { tea.AddRmpTagInfo({1, nullptr}); }, range);
    ExpectRefused([&] { tea.SetID3TagInfo({-1, bytes}); }, range);
}

TEST_F(GogoTeaSettings, LibraryRefusals) {
    fake.SetInitializeResult(4);
    ExpectRefused([&] { tea.Execute(); }, "FPUがありません");
    EXPECT_EQ(tea.EncodeResult(), 4);
    EXPECT_FALSE(tea.IsEncoding());

    fake.SetInitializeResult(0);
    fake.SetDetectResult(-1); // throws inside the library
    ExpectRefused([&] { tea.Execute(); }, "設定に誤りがあります.");
    EXPECT_EQ(tea.EncodeResult(), 10);

    // Refused jobs leave the component ready for the next.
    fake.SetDetectResult(0);
    tea.Execute();
    EXPECT_TRUE(tea.IsEncoding());
    Finish();
}

TEST_F(GogoTeaSettings, ExecuteRightAfterQuerySettingsInFileMode) {
    tea.QuerySettings();
    ExpectRefused([&] { tea.Execute(); }, "エンコード中に設定は変更できません.");
}

TEST_F(GogoTeaSettings, NothingChangesWhileEncoding) {
    fake.SetFrames(1000000);
    fake.SetFrameDelayUs(1000);
    tea.Execute();
    ASSERT_TRUE(tea.IsEncoding());
    const std::string busy = "エンコード中に設定は変更できません.";
    ExpectRefused([&] { tea.SetBitrate(64); }, busy);
    ExpectRefused([&] { tea.SetSourceFile("x"); }, busy);
    ExpectRefused([&] { tea.SetFrequency(0); }, busy); // busy comes before the range
    ExpectRefused([&] { tea.SetEncodeMode(_MEMORY); }, busy);
    ExpectRefused([&] { tea.QuerySettings(); }, busy);
    ExpectRefused([&] { tea.Execute(); }, busy);
    ExpectRefused([&] { tea.Initialize(); }, busy);
    EXPECT_EQ(tea.BitRate(), 128);
    EXPECT_EQ(tea.SourceFile(), "/in/a.wav");
    tea.SetPriority(tpLower);
    EXPECT_EQ(tea.Priority(), tpLower);
    tea.AbortEncode();
    Finish();
    tea.SetBitrate(64);
    EXPECT_EQ(tea.BitRate(), 64);
}

TEST_F(GogoTeaSettings, VersionAndUnitsAskTheLibraryEachTime) {
    fake.SetVersion(0x0245, "fake 2.69");
    EXPECT_EQ(tea.VersionCode(), 0x0245u);
    EXPECT_EQ(tea.VersionString(), "fake 2.69");
    fake.SetVersion(0x0245, "broken", 1);
    EXPECT_EQ(tea.VersionCode(), 0u);
    EXPECT_EQ(tea.VersionString(), "");
    std::string longText(600, 'v');
    fake.SetVersion(0x0245, longText.c_str());
    EXPECT_EQ(tea.VersionString(), std::string(511, 'v'));
    fake.SetUnitStates(0x28);
    EXPECT_EQ(tea.UnitStates(), 0x28u);
}

} // namespace
} // namespace sv
