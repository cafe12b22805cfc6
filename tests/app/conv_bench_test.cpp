// Speed of the conversion form, and of a rip and a CD→MP3 job through the CD form, against the
// reference tools (the rip against their library in this process); benchmarks, not checks. Run
// with
//   build/tests/sv_app_tests --gtest_also_run_disabled_tests --gtest_filter='*ConvBench*'
//   build/tests/sv_app_tests --gtest_also_run_disabled_tests --gtest_filter='*RipBench*'
//   build/tests/sv_app_tests --gtest_also_run_disabled_tests --gtest_filter='*CdMp3Bench*'
#include "app/cd_wav_form.h"
#include "app/forms.h"
#include "app/program_paths.h"
#include "app/wav_mp3_form.h"
#include "controls/vorsa_button.h"
#include "framework/stdctrls.h"
#include "framework/strings.h"
#include "tests/framework/test_helpers.h"
#include "tests/outside/audio_files.h"
#include "tests/outside/cd_images.h"

#include <cdio/cdio.h>
#include <cdio/paranoia/cdda.h>
#include <cdio/paranoia/paranoia.h>
#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>

namespace {

using namespace sv;
using namespace sv::app;
using Clock = std::chrono::steady_clock;
namespace fs = std::filesystem;

double Seconds(Clock::time_point start) {
    return std::chrono::duration<double>(Clock::now() - start).count();
}

TEST(ConvBench, DISABLED_TenFilesOfThirtySeconds) {
    constexpr int kFiles = 10;
    constexpr int kDecWait = 300;
    svtest::ScratchDir dir;
    sv::test::ScriptedDialogs dialogs;
    SetProgramDirForTests(dir.Path("").string());
    fs::create_directories(dir.Path("wav"));
    fs::create_directories(dir.Path("mp3"));
    fs::create_directories(dir.Path("ref"));
    std::ofstream(dir.Path("main.ini")) << "[WAV_MP3]\nSAVEDIR=" << dir.Path("mp3").string()
                                        << "/\n[MP3_WAV]\nSAVEDIR=" << dir.Path("out").string()
                                        << "/\nDECWAIT=" << kDecWait << "\n";
    TStringList wavs, mp3s;
    for (int i = 0; i < kFiles; ++i) {
        const auto name = "wav/" + std::to_string(i) + ".wav";
        svtest::WriteWav(dir.Path(name), 44100, 2, 44100 * 30);
        wavs.Add(dir.Path(name).string());
        mp3s.Add(dir.Path("mp3/" + std::to_string(i) + ".mp3").string());
    }
    CreateSonvaleForms();

    FmWAV_MP3->SetCaption("FmWAV_MP3");
    FmWAV_MP3->FormShow(FmWAV_MP3);
    FmWAV_MP3->dropFileDrop(FmWAV_MP3, &wavs, 0, 0);
    auto start = Clock::now();
    FmWAV_MP3->btn_execute->Click();
    const double formEncode = Seconds(start);

    // The same settings as the form's encoder: 128 kbit/s joint stereo, quality 5, no gain
    // analysis.
    start = Clock::now();
    for (int i = 0; i < kFiles; ++i)
        svtest::Shell("lame --quiet --noreplaygain -q 5 -b 128 -m j " +
                      dir.Quoted("wav/" + std::to_string(i) + ".wav") + " " +
                      dir.Quoted("ref/" + std::to_string(i) + ".mp3"));
    const double lameEncode = Seconds(start);

    FmWAV_MP3->SetCaption("FmMP3_WAV");
    FmWAV_MP3->FormShow(FmWAV_MP3);
    FmWAV_MP3->dropFileDrop(FmWAV_MP3, &mp3s, 0, 0);
    start = Clock::now();
    FmWAV_MP3->btn_execute->Click();
    const double formDecode = Seconds(start);

    start = Clock::now();
    for (int i = 0; i < kFiles; ++i)
        svtest::Shell("mpg123 -q -w " + dir.Quoted("ref/" + std::to_string(i) + ".wav") + " " +
                      dir.Quoted("mp3/" + std::to_string(i) + ".mp3"));
    const double mpg123Decode = Seconds(start) + kFiles * kDecWait / 1000.0;

    std::printf("WAV->MP3, %d x 30 s: form %.2f s, lame %.2f s, ratio %.3f\n", kFiles, formEncode,
                lameEncode, formEncode / lameEncode);
    std::printf("MP3->WAV, %d x 30 s: form %.2f s, mpg123 + DECWAIT %.2f s, ratio %.3f\n", kFiles,
                formDecode, mpg123Decode, formDecode / mpg123Decode);
    EXPECT_EQ(dialogs.Texts(), (std::vector<std::string>{"Complete", "Complete"}));
    FreeSonvaleForms();
    SetProgramDirForTests("");
}

std::string Bytes(const fs::path& path, std::streamoff from) {
    std::ifstream in(path, std::ios::binary);
    in.seekg(from);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

// The CD form in a mode on a generated 10-minute image, the save folder "out", base name "ten".
void ShowTenMinuteImage(const svtest::ScratchDir& dir, const char* formTag, const char* section) {
    SetProgramDirForTests(dir.Path("").string());
    const fs::path cue = svtest::WriteCdImage(
        dir.Path(""), "ten", {svtest::AudioTrack(10 * 60 * 75, svtest::Pcm::Tone, 7)});
    setenv("CDDA_EX_IMAGES", cue.c_str(), 1);
    std::ofstream(dir.Path("main.ini"))
        << "[" << section << "]\nSAVEDIR=" << dir.Path("out").string() << "/\n";
    CreateSonvaleForms();
    FmCD_WAV->SetCaption(formTag);
    FmCD_WAV->FormShow(FmCD_WAV);
    FmCD_WAV->cmb_drive->SetItemIndex(FmCD_WAV->cmb_drive->Items()->IndexOf("ten.cue (I:0:0)"));
    FmCD_WAV->cmb_driveChange(FmCD_WAV->cmb_drive);
    FmCD_WAV->edt_base->SetText("ten");
}

void CloseTenMinuteImage() {
    FreeSonvaleForms();
    SetProgramDirForTests("");
    unsetenv("CDDA_EX_IMAGES");
}

// The best of three runs of each, so that other work on the machine counts less.
template <class Form, class Reference>
std::pair<double, double> BestOfThree(Form form, Reference ref) {
    double formTime = 1e9, refTime = 1e9;
    for (int run = 0; run < 3; ++run) {
        auto start = Clock::now();
        form();
        formTime = std::min(formTime, Seconds(start));
        start = Clock::now();
        ref();
        refTime = std::min(refTime, Seconds(start));
    }
    return {formTime, refTime};
}

// What cd-paranoia does for "-c -r" with its default checking, inside this process: track 1 of
// the image read through libcdio-paranoia (full checking, skips allowed, little-endian samples)
// into a raw file.
void ParanoiaReadTrackOne(const fs::path& cue, const fs::path& raw) {
    cdrom_drive_t* drive = cdio_cddap_identify_cdio(cdio_open(cue.c_str(), DRIVER_BINCUE),
                                                    CDDA_MESSAGE_FORGETIT, nullptr);
    ASSERT_NE(drive, nullptr);
    ASSERT_EQ(cdio_cddap_open(drive), 0);
    drive->bigendianp = 0;
    cdrom_paranoia_t* paranoia = cdio_paranoia_init(drive);
    cdio_paranoia_modeset(paranoia, PARANOIA_MODE_FULL ^ PARANOIA_MODE_NEVERSKIP);
    const lsn_t first = cdio_cddap_track_firstsector(drive, 1);
    const lsn_t last = cdio_cddap_track_lastsector(drive, 1);
    cdio_paranoia_seek(paranoia, first, SEEK_SET);
    std::FILE* out = std::fopen(raw.c_str(), "wb");
    for (lsn_t sector = first; sector <= last; ++sector)
        std::fwrite(cdio_paranoia_read(paranoia, nullptr), 1, CDIO_CD_FRAMESIZE_RAW, out);
    std::fclose(out);
    cdio_paranoia_free(paranoia);
    cdio_cddap_close(drive);
}

// A rip of a 10-minute image through the form against libcdio-paranoia reading it with the same
// checking, both in this process, so that neither pays for starting a program.
TEST(RipBench, DISABLED_TenMinuteImage) {
    svtest::ScratchDir dir;
    sv::test::ScriptedDialogs dialogs;
    ShowTenMinuteImage(dir, "FmCD_WAV", "CD_WAV");
    const auto [form, ref] =
        BestOfThree([] { FmCD_WAV->btn_execute->Click(); },
                    [&] { ParanoiaReadTrackOne(dir.Path("ten.cue"), dir.Path("ref.raw")); });
    EXPECT_TRUE(Bytes(dir.Path("out/ten_01.wav"), 44) == Bytes(dir.Path("ref.raw"), 0));
    std::printf("form %.2f s, libcdio-paranoia %.2f s, ratio %.2f\n", form, ref, form / ref);
    CloseTenMinuteImage();
}

// CD→MP3 of a 10-minute image against cd-paranoia and then lame at the form's settings.
TEST(CdMp3Bench, DISABLED_TenMinuteImage) {
    svtest::ScratchDir dir;
    sv::test::ScriptedDialogs dialogs;
    ShowTenMinuteImage(dir, "FmCD_MP3", "CD_MP3");
    const auto [form, ref] =
        BestOfThree([] { FmCD_WAV->btn_execute->Click(); },
                    [&] {
                        svtest::Shell("cd-paranoia -q -c -d " + dir.Quoted("ten.cue") + " 1 " +
                                      dir.Quoted("ref.wav"));
                        svtest::Shell("lame --quiet --noreplaygain -q 5 -b 128 -m j " +
                                      dir.Quoted("ref.wav") + " " + dir.Quoted("ref.mp3"));
                        fs::remove(dir.Path("ref.wav"));
                    });
    EXPECT_FALSE(fs::exists(dir.Path("out/ten_01.wav")));
    EXPECT_EQ(fs::file_size(dir.Path("out/ten_01.mp3")) / 1000,
              fs::file_size(dir.Path("ref.mp3")) / 1000);
    std::printf("form %.2f s, cd-paranoia -c then lame %.2f s, ratio %.2f\n", form, ref,
                form / ref);
    CloseTenMinuteImage();
}

} // namespace
