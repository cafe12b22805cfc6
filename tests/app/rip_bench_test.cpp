// Speed of a rip through the CD form against cd-paranoia reading the same image with the same
// checking; a benchmark, not a check. Run with
//   build/tests/sv_app_tests --gtest_also_run_disabled_tests --gtest_filter='*RipBench*'
#include "app/cd_wav_form.h"
#include "app/forms.h"
#include "app/program_paths.h"
#include "controls/vorsa_button.h"
#include "framework/stdctrls.h"
#include "tests/framework/test_helpers.h"
#include "tests/outside/audio_files.h"
#include "tests/outside/cd_images.h"

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

std::string Bytes(const fs::path& path, std::streamoff from) {
    std::ifstream in(path, std::ios::binary);
    in.seekg(from);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

TEST(RipBench, DISABLED_TenMinuteImage) {
    svtest::ScratchDir dir;
    sv::test::ScriptedDialogs dialogs;
    SetProgramDirForTests(dir.Path("").string());
    const fs::path cue = svtest::WriteCdImage(
        dir.Path(""), "ten", {svtest::AudioTrack(10 * 60 * 75, svtest::Pcm::Tone, 7)});
    setenv("CDDA_EX_IMAGES", cue.c_str(), 1);
    std::ofstream(dir.Path("main.ini"))
        << "[CD_WAV]\nSAVEDIR=" << dir.Path("out").string() << "/\n";
    CreateSonvaleForms();
    FmCD_WAV->SetCaption("FmCD_WAV");
    FmCD_WAV->FormShow(FmCD_WAV);
    FmCD_WAV->cmb_drive->SetItemIndex(FmCD_WAV->cmb_drive->Items()->IndexOf("ten.cue (I:0:0)"));
    FmCD_WAV->cmb_driveChange(FmCD_WAV->cmb_drive);
    FmCD_WAV->edt_base->SetText("ten");

    // The best of three runs each, so that other work on the machine counts less.
    double form = 1e9, ref = 1e9;
    for (int run = 0; run < 3; ++run) {
        auto start = Clock::now();
        FmCD_WAV->btn_execute->Click();
        form = std::min(form, Seconds(start));
        start = Clock::now();
        svtest::Shell("cd-paranoia -q -c -r -d " + dir.Quoted("ten.cue") + " 1 " +
                      dir.Quoted("ref.raw"));
        ref = std::min(ref, Seconds(start));
    }
    EXPECT_TRUE(Bytes(dir.Path("out/ten_01.wav"), 44) == Bytes(dir.Path("ref.raw"), 0));
    std::printf("form %.2f s, cd-paranoia -c %.2f s, ratio %.2f\n", form, ref, form / ref);
    FreeSonvaleForms();
    SetProgramDirForTests("");
    unsetenv("CDDA_EX_IMAGES");
}

} // namespace
