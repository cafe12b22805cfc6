// The encode loop on the real encoder component and the real encoder library: a job is over
// when its finish event came, and a failed one is told apart from a good one.
#include "app/conv_jobs.h"
#include "encoder/gogo_tea.h"
#include "tests/framework/test_helpers.h"
#include "tests/outside/audio_files.h"

#include <gtest/gtest.h>

#include <csignal>
#include <fstream>
#include <sys/resource.h>

namespace {

using namespace sv::app;
using svtest::ScratchDir;
namespace fs = std::filesystem;

class NullView : public JobView {
public:
    void WriteLog(const std::string& message) override { log.push_back(message); }
    void PumpMessages() override {}
    void Pause(int) override {}
    bool DeleteSourceDown() const override { return true; }
    void SetProgress(int) override {}
    void ShowItem(int, int, const std::string&) override {}
    void ShowInfo(const std::string&, const std::string&, const std::string&) override {}
    void SetInfoValue2(const std::string&) override {}
    void HideInfo() override {}
    std::vector<std::string> log;
};

// Files written while this lives fail beyond the size, as on a full disk.
class FileSizeLimit {
public:
    explicit FileSizeLimit(rlim_t bytes) {
        std::signal(SIGXFSZ, SIG_IGN);
        getrlimit(RLIMIT_FSIZE, &saved_);
        rlimit limit = saved_;
        limit.rlim_cur = bytes;
        setrlimit(RLIMIT_FSIZE, &limit);
    }
    ~FileSizeLimit() { Lift(); }
    void Lift() { setrlimit(RLIMIT_FSIZE, &saved_); }

private:
    rlimit saved_{};
};

TEST(TeaEncoder, FailedEncodeKeepsTheSourceAndTheNextOneRuns) {
    ScratchDir dir;
    svtest::WriteWav(dir.Path("1.wav"), 44100, 2, 22050);
    svtest::WriteWav(dir.Path("2.wav"), 44100, 2, 441000);
    svtest::WriteWav(dir.Path("3.wav"), 44100, 2, 22050);
    // No file may grow past 40000 bytes: the long second MP3 fails part way.
    FileSizeLimit limit(40000);

    sv::TGogoTea tea(nullptr);
    TeaEncoder encoder(tea);
    NullView view;
    ConvSettings settings{.sameFolder = true, .saveFolder = {}};
    const std::vector<std::string> items{dir.Path("1.wav").string(), dir.Path("2.wav").string(),
                                         dir.Path("3.wav").string()};
    EncodeList(items, settings, encoder, view);

    EXPECT_FALSE(fs::exists(items[0]));
    EXPECT_TRUE(fs::exists(items[1]));
    EXPECT_FALSE(fs::exists(items[2]));
    ASSERT_EQ(view.log.size(), 6u);
    EXPECT_EQ(view.log[3].rfind("■■■■■" + items[1] + "エンコード失敗", 0), 0u) << view.log[3];
    EXPECT_EQ(view.log[5], items[2] + "エンコード成功");
    limit.Lift();
    EXPECT_EQ(dir.ReferenceSamples("3.mp3"), 22050u);
}

// A file the encoder refuses for what it is (a folder or a text named ".wav") fails alone: the
// user learns which one, and the rest of the list is still done.
TEST(TeaEncoder, RefusedSourceFailsAloneAndTheNextOneRuns) {
    ScratchDir dir;
    fs::create_directory(dir.Path("folder.wav"));
    std::ofstream(dir.Path("text.wav")) << "not sound\n";
    svtest::WriteWav(dir.Path("good.wav"), 44100, 2, 22050);

    sv::TGogoTea tea(nullptr);
    TeaEncoder encoder(tea);
    NullView view;
    ConvSettings settings{.sameFolder = true, .saveFolder = {}};
    const std::vector<std::string> items{dir.Path("folder.wav").string(),
                                         dir.Path("text.wav").string(),
                                         dir.Path("good.wav").string()};
    EncodeList(items, settings, encoder, view);

    ASSERT_EQ(view.log.size(), 4u);
    for (int k : {0, 1})
        EXPECT_EQ(
            view.log[k].rfind("■■■■■" + items[k] + "エンコード失敗(WAVファイルを読み込めません", 0),
            0u)
            << view.log[k];
    EXPECT_EQ(view.log[3], items[2] + "エンコード成功");
    EXPECT_TRUE(fs::is_directory(items[0]));
    EXPECT_TRUE(fs::exists(items[1]));
    EXPECT_FALSE(fs::exists(items[2]));
    EXPECT_FALSE(fs::exists(dir.Path("folder.mp3")));
    EXPECT_FALSE(fs::exists(dir.Path("text.mp3")));
    // Nothing of the refused items is left behind.
    EXPECT_EQ(std::distance(fs::directory_iterator(dir.Path("")), fs::directory_iterator{}), 3);
    EXPECT_EQ(dir.ReferenceSamples("good.mp3"), 22050u);
}

} // namespace
