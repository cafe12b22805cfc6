// The conversion jobs outside the form: path rules, checks, questions and both loops, with a
// recording view, a scripted encoder and decoder, and the scripted dialogs.
#include "app/conv_jobs.h"
#include "app/conv_paths.h"
#include "app/decoder.h"
#include "platform/file_ops.h"
#include "tests/framework/test_helpers.h"
#include "tests/outside/audio_files.h"

#include <gtest/gtest.h>

#include <functional>
#include <map>
#include <set>

namespace {

using namespace sv::app;
using sv::test::ScriptedDialogs;
using svtest::ScratchDir;
namespace fs = std::filesystem;

TEST(ConvPaths, NameFolderAndExtension) {
    EXPECT_EQ(PathFileName("/in/song.wav"), "song.wav");
    EXPECT_EQ(PathFolder("/in/song.wav"), "/in");
    EXPECT_EQ(PathFolder("/song.wav"), "/");
    EXPECT_EQ(PathExtension("/in/SONG.WAV"), ".WAV");
    EXPECT_EQ(PathExtension("/in.d/song"), "");
    EXPECT_EQ(PathExtension("/music/folder"), "");
    EXPECT_EQ(ChangePathExtension("/in.d/song", ".mp3"), "/in.d/song.mp3");
    EXPECT_EQ(ChangePathExtension("/in/a.b.wav", ".mp3"), "/in/a.b.mp3");
    EXPECT_EQ(ChangePathExtension("/曲/歌.wav", ".mp3"), "/曲/歌.mp3");
}

TEST(ConvPaths, Destination) {
    EXPECT_EQ(ConvertedPath("/in/song.wav", ".mp3", false, "/out/"), "/out/song.mp3");
    EXPECT_EQ(ConvertedPath("/in/song.wav", ".mp3", true, "/out/"), "/in/song.mp3");
    // A save folder stored without its "/" still holds the file.
    EXPECT_EQ(ConvertedPath("/in/song.wav", ".mp3", false, "/out"), "/out/song.mp3");
    EXPECT_EQ(ConvertedPath("/song.mp3", ".wav", true, ""), "/song.wav");
}

// A view that records what the loops show and log.
class RecordingView : public JobView {
public:
    void WriteLog(const std::string& message) override { log.push_back(message); }
    void WriteFailureLog(const std::string& message) override {
        log.push_back(message);
        failures.push_back(message);
    }
    void PumpMessages() override {
        ++pumps;
        if (onPump) onPump();
    }
    void Pause(int milliseconds) override { pauses.push_back(milliseconds); }
    bool DeleteSourceDown() const override { return deleteSource; }
    void SetProgress(int position) override { progress.push_back(position); }
    void ShowItem(int number, int count, const std::string& fileName) override {
        items.push_back(std::to_string(number) + " / " + std::to_string(count) + " " + fileName);
    }
    void ShowInfo(const std::string& l1, const std::string& v1, const std::string& l2) override {
        info = {l1, v1, l2, info[3]};
        infoShown = true;
    }
    void SetInfoValue2(const std::string& value) override { info[3] = value; }
    void HideInfo() override { infoShown = false; }

    std::vector<std::string> log, failures, items;
    std::vector<int> progress, pauses;
    std::array<std::string, 4> info{"", "", "", "iEncType"};
    bool infoShown = false;
    bool deleteSource = false;
    int pumps = 0;
    std::function<void()> onPump;
};

// Writes a part of the destination, then the rest unless the source is in `failing`; raises
// at the start for the sources in `refused`, as the component does for a job it refuses.
class ScriptedEncoder : public ItemEncoder {
public:
    void Configure(int bitRate, int encodeType) override {
        configured = std::to_string(bitRate) + "/" + std::to_string(encodeType);
    }
    void Start(const std::string& source, const std::string& destination) override {
        if (refused.count(source)) throw std::runtime_error("refused");
        started.push_back(source);
        written.push_back(destination);
        current = source;
        std::ofstream(destination) << (failing.count(source) ? "mp" : "mp3");
    }
    EncodeOutcome WaitForFinish() override {
        if (failing.count(current)) return {false, -7};
        return {true, 0};
    }
    std::set<std::string> failing, refused;
    std::vector<std::string> started, written;
    std::string current, configured;
};

// File operations that fail for chosen paths, and a trace of the deletions and renames.
class RefusingFileOps : public sv::platform::FileOps {
public:
    explicit RefusingFileOps(std::vector<std::string>* trace = nullptr) : trace_(trace) {
        sv::platform::SetFileOps(this);
    }
    ~RefusingFileOps() override { sv::platform::SetFileOps(nullptr); }
    bool DeleteFile(const std::string& path) override {
        if (trace_) trace_->push_back("delete " + path);
        return !refused.count(path) && FileOps::DeleteFile(path);
    }
    bool CreateDirectory(const std::string& path) override {
        return !refused.count(path) && FileOps::CreateDirectory(path);
    }
    bool Rename(const std::string& from, const std::string& to) override {
        if (trace_) trace_->push_back("rename to " + to);
        return !refused.count(to) && FileOps::Rename(from, to);
    }
    bool SyncFile(const std::string& path) override { return !unsynced && FileOps::SyncFile(path); }
    std::set<std::string> refused;
    bool unsynced = false;

private:
    std::vector<std::string>* trace_;
};

// The files of a folder, by name.
std::set<std::string> FilesIn(const fs::path& folder) {
    std::set<std::string> names;
    for (const auto& entry : fs::directory_iterator(folder))
        names.insert(entry.path().filename().string());
    return names;
}

class ConvJobs : public ::testing::Test {
protected:
    std::string Wav(const std::string& name) {
        const auto path = dir.Path(name);
        std::ofstream(path) << "wav";
        return path.string();
    }
    std::string In(const std::string& name) const { return dir.Path(name).string(); }

    ScratchDir dir;
    ScriptedDialogs dialogs;
    RecordingView view;
    ScriptedEncoder encoder;
    ConvSettings settings{.sameFolder = true, .saveFolder = {}};
};

TEST_F(ConvJobs, ChecksComeInOrder) {
    EXPECT_FALSE(CheckFileJob(0, "", false));
    EXPECT_FALSE(CheckFileJob(1, "", false));
    EXPECT_FALSE(CheckFileJob(101, "", true));
    EXPECT_TRUE(CheckFileJob(100, "", true));
    EXPECT_EQ(dialogs.Texts(),
              (std::vector<std::string>{"データがありません。中止します。", "保存先が未入力です",
                                        "100曲以上は対応していません。中止します。"}));
    EXPECT_EQ(dialogs.Calls[2].Caption, "error msg");
    EXPECT_EQ(dialogs.Calls[2].Flags, 0x30u);
}

TEST_F(ConvJobs, SaveFolderIsMadeOneLevelDeep) {
    EXPECT_TRUE(CheckFileJob(1, In("out"), false));
    EXPECT_TRUE(fs::is_directory(dir.Path("out")));
    EXPECT_FALSE(CheckFileJob(1, In("a/b"), false));
    ASSERT_EQ(dialogs.Calls.size(), 1u);
    EXPECT_EQ(dialogs.Calls[0].Text, In("a/b") + "を作成できませんでした。中止します。");
}

TEST_F(ConvJobs, OverwriteNoSkipsOneItem) {
    const std::vector<std::string> items{Wav("1.wav"), Wav("2.wav"), Wav("3.wav")};
    std::ofstream(dir.Path("2.mp3")) << "old";
    dialogs.Answers = {sv::IDNO};
    EncodeList(items, settings, encoder, view);
    EXPECT_EQ(encoder.started, (std::vector<std::string>{items[0], items[2]}));
    EXPECT_EQ(dialogs.Calls.at(0).Text, In("2.mp3") + " はすでに存在します。上書きしますか？");
    EXPECT_EQ(dialogs.Calls.at(0).Caption, "確認");
    EXPECT_EQ(dialogs.Calls.at(0).Flags, 0x23u);
    EXPECT_EQ(svtest::ReadAll(dir.Path("2.mp3")).size(), 3u);
    EXPECT_FALSE(view.infoShown);
}

TEST_F(ConvJobs, OverwriteYesReplacesAndCancelEnds) {
    const std::vector<std::string> items{Wav("1.wav"), Wav("2.wav")};
    std::ofstream(dir.Path("1.mp3")) << "old1";
    std::ofstream(dir.Path("2.mp3")) << "old2";
    dialogs.Answers = {sv::IDYES, sv::IDCANCEL};
    EncodeList(items, settings, encoder, view);
    EXPECT_EQ(encoder.started, std::vector<std::string>{items[0]});
    EXPECT_EQ(svtest::ReadAll(dir.Path("1.mp3")).size(), 3u);
    EXPECT_TRUE(view.infoShown); // an early return leaves the labels
}

TEST_F(ConvJobs, OverwriteWhenTheOldFileCannotGo) {
    RefusingFileOps files;
    files.refused.insert(In("1.mp3"));
    std::ofstream(dir.Path("1.mp3")) << "old";
    dialogs.Answers = {sv::IDYES};
    const std::vector<std::string> items{Wav("1.wav"), Wav("2.wav")};
    view.deleteSource = true;
    EncodeList(items, settings, encoder, view);
    EXPECT_EQ(encoder.started, std::vector<std::string>{items[0]});
    EXPECT_EQ(dialogs.Texts("ShowMessage"),
              std::vector<std::string>{In("1.mp3") + "を削除できませんでした。処理を中止します。"});
    EXPECT_EQ(FilesIn(dir.Path("")), (std::set<std::string>{"1.mp3", "1.wav", "2.wav"}));
    EXPECT_EQ(svtest::ReadAll(dir.Path("1.mp3")).size(), 3u);
}

// Until an output is complete its final name holds nothing new: the old file stays, and a cut
// or unflushed output goes, whatever ended it.
TEST_F(ConvJobs, TheFinalNameOnlyEverHoldsACompleteFile) {
    RefusingFileOps files;
    const std::vector<std::string> items{Wav("1.wav"), Wav("2.wav"), Wav("3.wav")};
    std::ofstream(dir.Path("1.mp3")) << "good old mp3";
    encoder.failing = {items[0]};
    view.deleteSource = true;
    dialogs.Answers = {sv::IDYES};
    dialogs.OnMessage = [&](const sv::test::DialogCall&) {
        // Asked before anything is written: the old file is still there.
        EXPECT_EQ(svtest::ReadAll(dir.Path("1.mp3")).size(), 12u);
    };
    EncodeList(items, settings, encoder, view);
    EXPECT_EQ(svtest::ReadAll(dir.Path("1.mp3")).size(), 12u);
    EXPECT_TRUE(fs::exists(items[0]));
    // Each output was written beside its final name under a name of its own.
    ASSERT_EQ(encoder.written.size(), 3u);
    for (std::size_t k = 0; k < 3; ++k) {
        const fs::path written = encoder.written[k];
        EXPECT_EQ(written.parent_path(), dir.Path("").parent_path());
        EXPECT_EQ(written.filename().string().rfind(std::to_string(k + 1) + ".mp3.", 0), 0u);
        EXPECT_EQ(written.extension(), ".part");
    }

    // An output that cannot be flushed to the disk is no output.
    files.unsynced = true;
    EncodeList({Wav("4.wav")}, settings, encoder, view);
    EXPECT_EQ(FilesIn(dir.Path("")),
              (std::set<std::string>{"1.mp3", "1.wav", "2.mp3", "3.mp3", "4.wav"}));
    EXPECT_EQ(view.failures,
              (std::vector<std::string>{"■■■■■" + items[0] + "エンコード失敗(エラーコード -7)",
                                        "■■■■■" + In("4.wav") +
                                            "エンコード失敗(MP3ファイルに書き込めません)"}));

    // A job the encoder refuses raises; its output goes with it.
    files.unsynced = false;
    encoder.refused = {In("5.wav")};
    EXPECT_THROW(EncodeList({Wav("5.wav")}, settings, encoder, view), std::runtime_error);
    EXPECT_EQ(FilesIn(dir.Path("")).count("5.mp3"), 0u);
    EXPECT_EQ(FilesIn(dir.Path("")).size(), 6u);
}

TEST_F(ConvJobs, DeleteSourceAndItsQuestion) {
    RefusingFileOps files;
    const std::vector<std::string> items{Wav("1.wav"), Wav("2.wav"), Wav("3.wav")};
    files.refused = {items[1], items[2]};
    view.deleteSource = true;
    dialogs.Answers = {sv::IDYES, sv::IDNO};
    EncodeList(items, settings, encoder, view);
    EXPECT_FALSE(fs::exists(items[0]));
    EXPECT_EQ(view.log, (std::vector<std::string>{
                            items[0] + "エンコード開始", items[0] + "エンコード成功",
                            items[1] + "エンコード開始", "■■■■■" + items[1] + "削除失敗",
                            "処理続行", items[1] + "エンコード成功", items[2] + "エンコード開始",
                            "■■■■■" + items[2] + "削除失敗", "処理中断"}));
    EXPECT_EQ(dialogs.Calls.at(0).Text, items[1] + "削除失敗しました。処理を続けますか？");
    EXPECT_EQ(dialogs.Calls.at(0).Caption, "Error Msg");
    EXPECT_EQ(dialogs.Calls.at(0).Flags, 0x34u);
}

TEST_F(ConvJobs, FailedEncodeKeepsTheSourceAndGoesOn) {
    const std::vector<std::string> items{Wav("1.wav"), Wav("2.wav")};
    encoder.failing = {items[0]};
    view.deleteSource = true;
    EncodeList(items, settings, encoder, view);
    EXPECT_TRUE(fs::exists(items[0]));
    EXPECT_FALSE(fs::exists(items[1]));
    EXPECT_EQ(view.log,
              (std::vector<std::string>{items[0] + "エンコード開始",
                                        "■■■■■" + items[0] + "エンコード失敗(エラーコード -7)",
                                        items[1] + "エンコード開始", items[1] + "エンコード成功"}));
}

// A file added through the dialog may already carry the target extension.
TEST_F(ConvJobs, NeverConvertsOntoItself) {
    const std::string mp3 = Wav("song.mp3");
    EncodeList({mp3}, settings, encoder, view);
    EXPECT_TRUE(dialogs.Calls.empty());
    EXPECT_TRUE(encoder.started.empty());
    EXPECT_EQ(svtest::ReadAll(mp3).size(), 3u);
    ASSERT_EQ(view.log.size(), 1u);
    EXPECT_NE(view.log[0].find(mp3), std::string::npos);
}

TEST_F(ConvJobs, EncodeLabels) {
    settings.bitRate = 192;
    settings.encodeType = 3;
    EncodeList({Wav("1.wav")}, settings, encoder, view);
    EXPECT_EQ(view.info,
              (std::array<std::string, 4>{"BitRate:", "192Kbps", "EncodeType:", "MSステレオ"}));
    EXPECT_EQ(encoder.configured, "192/3");
    EXPECT_EQ(view.items, std::vector<std::string>{"1 / 1 1.wav"});
}

// A decoder that writes a WAV of its own and reports what the test chose.
class ScriptedDecoder : public sv::DecoderLibrary {
public:
    explicit ScriptedDecoder(std::vector<std::string>* trace = nullptr)
        : calls(trace ? *trace : own_) {
        sv::SetDecoder(this);
    }
    ~ScriptedDecoder() override { sv::SetDecoder(nullptr); }
    void StartUp() override { calls.push_back("StartUp"); }
    void CloseFile() override { calls.push_back("CloseFile"); }
    bool OpenFile(const std::string& path, DecoderFileInfo& info) override {
        calls.push_back("OpenFile");
        info.totalFrames = total;
        return !unreadable.count(path);
    }
    bool SetOutput(const DecoderOutputOptions& o) override {
        calls.push_back("SetOutput " + std::to_string(o.reserved) + "," +
                        std::to_string(o.convert) + "," + std::to_string(o.sampleRate));
        return !refuseOutput;
    }
    bool BeginWave(const std::string& path) override {
        calls.push_back("BeginWave");
        if (refuseWave) {
            lastError = DECODER_ERROR_CREATE_WAVE;
            return false;
        }
        std::ofstream(path) << "wav";
        step = 0;
        return true;
    }
    bool Step(int32_t& position) override {
        position = ++step * 10;
        return step < 4;
    }
    void ShutDown() override { calls.push_back("ShutDown"); }
    int LastError() override { return lastError; }

private:
    std::vector<std::string> own_;

public:
    std::vector<std::string>& calls;
    std::set<std::string> unreadable;
    int32_t total = 40;
    int step = 0;
    int lastError = DECODER_OK;
    bool refuseOutput = false;
    bool refuseWave = false;
};

TEST_F(ConvJobs, DecodeCallsProgressAndLabels) {
    ScriptedDecoder decoder;
    settings.convert = 2;
    settings.decWait = -5;
    const std::string source = Wav("a.mp3");
    DecodeList({source}, settings, view);
    EXPECT_EQ(decoder.calls,
              (std::vector<std::string>{"StartUp", "CloseFile", "OpenFile", "SetOutput 0,2,44100",
                                        "CloseFile", "OpenFile", "BeginWave", "ShutDown"}));
    EXPECT_EQ(view.progress, (std::vector<int>{0, 25, 50, 75, 100}));
    EXPECT_EQ(view.info,
              (std::array<std::string, 4>{"SamplingRate:", "44.1kHz", "Convert:", "???"}));
    EXPECT_EQ(view.pauses, std::vector<int>{0}); // a negative DECWAIT waits nothing
    EXPECT_TRUE(fs::exists(dir.Path("a.wav")));
    EXPECT_EQ(view.log,
              (std::vector<std::string>{source + "デコード開始", source + "デコード成功"}));
}

TEST_F(ConvJobs, DecodeWithoutATotalLeavesTheBar) {
    ScriptedDecoder decoder;
    decoder.total = 0;
    DecodeList({Wav("a.mp3")}, settings, view);
    EXPECT_EQ(view.progress, std::vector<int>{0});
}

TEST_F(ConvJobs, UnreadableSourceEndsTheDecodeJob) {
    ScriptedDecoder decoder;
    const std::vector<std::string> items{Wav("a.mp3"), Wav("b.mp3"), Wav("c.mp3")};
    decoder.unreadable = {items[1]};
    DecodeList(items, settings, view);
    EXPECT_EQ(dialogs.Calls.back(),
              (sv::test::DialogCall{"MessageBox", items[1] + " File Open Error!!", "ErrorMessage",
                                    0x30}));
    EXPECT_TRUE(fs::exists(dir.Path("a.wav")));
    EXPECT_FALSE(fs::exists(dir.Path("c.wav")));
    EXPECT_EQ(std::count(decoder.calls.begin(), decoder.calls.end(), "ShutDown"), 0);
    // The user hears of it again with the job's other failures.
    ASSERT_EQ(view.failures.size(), 1u);
    EXPECT_EQ(view.failures[0].rfind("■■■■■" + items[1] + "デコード失敗(", 0), 0u);
}

TEST_F(ConvJobs, ShortWavKeepsTheSource) {
    ScriptedDecoder decoder;
    decoder.lastError = DECODER_ERROR_DECODE;
    view.deleteSource = true;
    const std::string source = Wav("a.mp3");
    DecodeList({source}, settings, view);
    EXPECT_TRUE(fs::exists(source));
    ASSERT_EQ(view.log.size(), 2u);
    EXPECT_EQ(view.log[1].rfind("■■■■■" + source + "デコード失敗", 0), 0u) << view.log[1];
}

// A hand-edited rate the decoder refuses would leave it at its earlier output settings.
TEST_F(ConvJobs, RefusedOutputSettingsDecodeNothing) {
    ScriptedDecoder decoder;
    decoder.refuseOutput = true;
    decoder.lastError = DECODER_ERROR_ARGUMENT;
    view.deleteSource = true;
    settings.freqLimit = 4000;
    const std::vector<std::string> items{Wav("a.mp3"), Wav("b.mp3")};
    DecodeList(items, settings, view);
    EXPECT_TRUE(fs::exists(items[0]));
    EXPECT_TRUE(fs::exists(items[1]));
    EXPECT_FALSE(fs::exists(dir.Path("a.wav")));
    EXPECT_EQ(std::count(decoder.calls.begin(), decoder.calls.end(), "BeginWave"), 0);
    EXPECT_EQ(decoder.calls.back(), "ShutDown");
    EXPECT_EQ(view.log, (std::vector<std::string>{
                            "■■■■■" + items[0] + "デコード失敗(デコーダへの指定が不正です)",
                            "■■■■■" + items[1] + "デコード失敗(デコーダへの指定が不正です)"}));
    EXPECT_TRUE(dialogs.Calls.empty());
}

// A hand-edited wait must not lock the window for days.
TEST_F(ConvJobs, DecodeWaitIsAtMostAMinute) {
    ScriptedDecoder decoder;
    settings.decWait = 2147483647;
    DecodeList({Wav("a.mp3")}, settings, view);
    settings.decWait = 60000;
    DecodeList({Wav("b.mp3")}, settings, view);
    EXPECT_EQ(view.pauses, (std::vector<int>{60000, 60000}));
}

TEST_F(ConvJobs, DecodeErrorEndsTheJobAndLeavesNothing) {
    ScriptedDecoder decoder;
    decoder.refuseWave = true;
    const std::vector<std::string> items{Wav("a.mp3"), Wav("b.mp3")};
    DecodeList(items, settings, view);
    const std::vector<sv::test::DialogCall> boxes{
        {"MessageBox", items[0] + " Decode Error!!", "ErrorMessage", 0x30}};
    EXPECT_EQ(dialogs.Calls, boxes);
    EXPECT_EQ(view.failures, std::vector<std::string>{"■■■■■" + items[0] +
                                                      "デコード失敗(WAVファイルを作成できません)"});
    EXPECT_EQ(std::count(decoder.calls.begin(), decoder.calls.end(), "BeginWave"), 1);
    EXPECT_EQ(std::count(decoder.calls.begin(), decoder.calls.end(), "ShutDown"), 0);
    EXPECT_EQ(FilesIn(dir.Path("")), (std::set<std::string>{"a.mp3", "b.mp3"}));
}

// The source goes only once its WAV is in place and the decoder has let go of it.
TEST_F(ConvJobs, DecodeDeletesTheSourceLast) {
    std::vector<std::string> trace;
    ScriptedDecoder decoder(&trace);
    RefusingFileOps files(&trace);
    view.deleteSource = true;
    const std::string source = Wav("a.mp3");
    DecodeList({source}, settings, view);
    const std::vector<std::string> tail(trace.end() - 4, trace.end());
    EXPECT_EQ(tail, (std::vector<std::string>{"rename to " + In("a.wav"), "CloseFile",
                                              "delete " + source, "ShutDown"}));
    EXPECT_EQ(FilesIn(dir.Path("")), std::set<std::string>{"a.wav"});
}

// With the real decoder: a joined file and one with junk in its middle decode to their end before
// their source goes; one cut short while it is read fails and stays.
TEST_F(ConvJobs, OddMp3sDecodeWholeOrStay) {
    ASSERT_EQ(sv::BindDecoderLibrary(), "");
    dir.MakeMp3("a.mp3", 44100, 2, 44100 * 3);
    dir.MakeMp3("b.mp3", 44100, 2, 44100 * 4);
    dir.MakeMp3("long.mp3", 44100, 2, 44100 * 10);
    dir.Join("joined.mp3", {"a.mp3", "b.mp3"});
    dir.InsertJunk("junk.mp3", "long.mp3", 4096);
    fs::copy_file(dir.Path("long.mp3"), dir.Path("cut.mp3"));
    const uint64_t joined = dir.ReferenceSamples("joined.mp3");
    const uint64_t junk = dir.ReferenceSamples("junk.mp3", "--resync-limit -1");
    const std::vector<std::string> items{In("joined.mp3"), In("junk.mp3"), In("cut.mp3")};
    bool cut = false;
    view.onPump = [&] {
        if (cut || view.log.back() != items[2] + "デコード開始") return;
        fs::resize_file(items[2], fs::file_size(items[2]) / 2);
        cut = true;
    };
    view.deleteSource = true;
    DecodeList(items, settings, view);
    EXPECT_EQ(svtest::ReadWav(dir.Path("joined.wav")).Samples(), joined);
    EXPECT_EQ(svtest::ReadWav(dir.Path("junk.wav")).Samples(), junk);
    EXPECT_FALSE(fs::exists(items[0]));
    EXPECT_FALSE(fs::exists(items[1]));
    EXPECT_TRUE(fs::exists(items[2]));
    EXPECT_FALSE(fs::exists(dir.Path("cut.wav")));
    EXPECT_EQ(view.failures,
              std::vector<std::string>{"■■■■■" + items[2] +
                                       "デコード失敗(デコードが途中で失敗しました)"});
}

// The temporary name: never a file that is there already, and within the file systems' limit
// of 255 bytes for a name however long the final one is.
// However many items failed, the box of failures keeps its OK button on the screen: the first
// lines as the log has them, then how many more there were.
TEST_F(ConvJobs, ManyFailuresAreCountedBeyondTheFirstLines) {
    std::vector<std::string> lines;
    for (int i = 1; i <= 12; ++i) lines.push_back("line " + std::to_string(i));
    ShowJobFailures({lines.begin(), lines.begin() + 10});
    ShowJobFailures(lines);
    std::string first10;
    for (int i = 0; i < 10; ++i) first10 += (i ? "\n" : "") + lines[static_cast<size_t>(i)];
    ASSERT_EQ(dialogs.Calls.size(), 2u);
    EXPECT_EQ(dialogs.Calls[0],
              (sv::test::DialogCall{"MessageBox", first10, "Error Msg", sv::MB_ICONERROR}));
    EXPECT_EQ(dialogs.Calls[1].Text, first10 + "\nほか2件の処理に失敗しました。");
}

TEST(JobOutputName, TakesNoExistingFileAndFitsTheNameLimit) {
    ScratchDir dir;
    struct TakenOnce : sv::platform::FileOps {
        int OpenForWrite(const std::string& path, bool createNew) override {
            if (tried.empty()) {
                tried.push_back(path);
                errno = EEXIST;
                return -1;
            }
            tried.push_back(path);
            return FileOps::OpenForWrite(path, createNew);
        }
        std::vector<std::string> tried;
    } taken;
    sv::platform::SetFileOps(&taken);
    std::string name = "a", kept = "a";
    for (int i = 0; i < 83; ++i) name += "曲";
    for (int i = 0; i < 80; ++i) kept += "曲";
    name += ".mp3"; // 254 bytes
    {
        JobOutput output(dir.Path(name).string());
        ASSERT_TRUE(output.Create());
        ASSERT_EQ(taken.tried.size(), 2u);
        EXPECT_EQ(output.Path(), taken.tried[1]);
        const fs::path temp = output.Path();
        // Cut between characters, never inside one.
        const std::string written = temp.filename().string();
        EXPECT_EQ(written.size(), kept.size() + 12);
        EXPECT_EQ(written.substr(0, kept.size() + 1), kept + ".");
        EXPECT_EQ(temp.extension(), ".part");
        EXPECT_TRUE(fs::exists(temp));
    }
    sv::platform::SetFileOps(nullptr);
    EXPECT_TRUE(fs::is_empty(dir.Path("")));
}

} // namespace
