#pragma once
// The CD form made as the start makes it, over the real reader on a generated disc image (a
// data track, then three audio tracks of known PCM) or over the scripted reader.
#include "app/cd_wav_form.h"
#include "app/cdda_reader.h"
#include "app/forms.h"
#include "app/job_frame.h"
#include "app/log_form.h"
#include "app/main_form.h"
#include "controls/flat_combo.h"
#include "controls/shine_button.h"
#include "controls/vorsa_button.h"
#include "framework/comctrls.h"
#include "framework/stdctrls.h"
#include "framework/strings.h"
#include "tests/app/app_fixture.h"
#include "tests/outside/cd_images.h"

#include <cstdlib>
#include <dlfcn.h>
#include <optional>
#include <string>
#include <vector>

namespace sv::apptest {

using Strings = std::vector<std::string>;

class CdForm : public SonvaleTest {
protected:
    void SetUp() override {
        SonvaleTest::SetUp();
        // An application of its own: a disc copy's hand-over asks it to end.
        savedApp_ = Application;
        Application = &app_;
        out_ = dir_ / "out";
        std::filesystem::create_directories(out_);
        // A Trelvik that says it was started.
        std::ofstream(dir_ / "Trelvik") << "#!/bin/sh\ntouch '" << Started().string() << "'\n";
        std::filesystem::permissions(dir_ / "Trelvik", std::filesystem::perms::owner_all);
        if (const char* old = std::getenv("CDDA_EX_IMAGES")) savedImages_ = old;
        tracks_ = {svtest::DataTrack(300), svtest::AudioTrack(225, svtest::Pcm::Noise, 1),
                   svtest::AudioTrack(160, svtest::Pcm::Quiet, 2),
                   svtest::AudioTrack(75, svtest::Pcm::Tone, 3)};
        cue_ = svtest::WriteCdImage(dir_, "disc", tracks_);
        setenv("CDDA_EX_IMAGES", cue_.c_str(), 1);
        WriteIni("[MAIN]\nTITLE=Sonvale\nVERSION=1.00\n[CD_WAV]\nSAVEDIR=/out/\n");
        CreateSonvaleForms();
        form_ = FmCD_WAV;
    }
    void TearDown() override {
        if (fake_) dlclose(fake_);
        UnloadCddaReader();
        if (savedImages_)
            setenv("CDDA_EX_IMAGES", savedImages_->c_str(), 1);
        else
            unsetenv("CDDA_EX_IMAGES");
        SonvaleTest::TearDown();
        Application = savedApp_;
    }

    std::filesystem::path Started() const { return dir_ / "started"; }
    // A file in the save folder "out" of the jobs.
    std::string Out(const std::string& name) const { return (out_ / name).string(); }

    // Shows the form in a mode and reads the image (the machine's own drives come first).
    void Show(const std::string& formTag = "FmCD_WAV") {
        form_->SetCaption(formTag);
        form_->FormShow(form_);
        const int image = form_->cmb_drive->Items()->IndexOf("disc.cue (I:0:0)");
        ASSERT_GE(image, 0);
        if (image != form_->cmb_drive->ItemIndex()) {
            form_->cmb_drive->SetItemIndex(image);
            form_->cmb_driveChange(form_->cmb_drive);
        }
    }
    // Binds the scripted reader instead of the real one.
    void UseFake() {
        const std::string path = std::string(SV_BIN_DIR) + "/../tests/fakes/libcdda_ex_fake.so";
        ASSERT_EQ(LoadCddaReaderFile(path), 1);
        fake_ = dlopen(path.c_str(), RTLD_NOW | RTLD_NOLOAD);
        ASSERT_NE(fake_, nullptr);
        Call<void (*)()>("fakecdda_reset")();
    }
    template <class F> F Call(const char* name) { return reinterpret_cast<F>(dlsym(fake_, name)); }
    void FakeTracks(std::vector<int32_t> types, std::vector<int32_t> starts) {
        Call<void (*)(int32_t, const int32_t*, const int32_t*)>("fakecdda_set_tracks")(
            static_cast<int32_t>(types.size()), types.data(), starts.data());
    }
    // The scripted reader with audio tracks starting at `starts` (the last is the lead-out),
    // shown in a mode.
    void ShowFake(std::vector<int32_t> starts, int32_t chunkSectors = 10,
                  const std::string& formTag = "FmCD_WAV") {
        UseFake();
        FakeTracks(std::vector<int32_t>(starts.size() - 1, 1), starts);
        Call<void (*)(int32_t)>("fakecdda_set_chunk_sectors")(chunkSectors);
        form_->SetCaption(formTag);
        form_->FormShow(form_);
        Call<void (*)()>("fakecdda_clear_log")();
    }
    // Reading track `index` (from 0) fails at chunk `chunk` (from 1).
    void FakeReadError(int32_t index, int32_t chunk) {
        Call<void (*)(int32_t, int32_t, int32_t)>("fakecdda_set_read_error")(index, chunk, -180);
    }
    // Every prepare fails with `status`, as with the disc taken out after the listing.
    void FakePrepareFails(int32_t status) {
        Call<void (*)(int32_t)>("fakecdda_set_prepare_status")(status);
    }
    // What the scripted reader delivers for `sectors` sectors of track `index`.
    std::vector<uint8_t> FakePcm(int32_t index, int sectors) {
        auto byte = Call<uint8_t (*)(int32_t, int64_t)>("fakecdda_byte");
        std::vector<uint8_t> b(static_cast<size_t>(sectors) * svtest::kCdSectorBytes);
        for (size_t k = 0; k < b.size(); ++k) b[k] = byte(index, static_cast<int64_t>(k));
        return b;
    }
    std::string FakeCalls() {
        std::string calls(4096, '\0');
        calls.resize(Call<size_t (*)(char*, size_t)>("fakecdda_log")(calls.data(), calls.size()));
        return calls;
    }
    // Runs the job with base name `base` into `folder`.
    void Run(const std::string& base, const std::string& folder) {
        form_->edt_save->SetText(folder);
        form_->rdo_base->SetChecked(true);
        form_->edt_base->SetText(base);
        form_->btn_execute->Click();
    }
    // The frame gave everything back.
    void ExpectRestored() {
        EXPECT_TRUE(form_->Enabled());
        EXPECT_TRUE(form_->btn_execute->Visible());
        EXPECT_FALSE(form_->prog_main->Visible());
        EXPECT_TRUE(FmMain->ModeButton(1)->Enabled());
        EXPECT_FALSE(JobRunning());
    }

    Strings Items() const {
        Strings r;
        for (int i = 0; i < form_->lst_cd->Count(); ++i)
            r.push_back(form_->lst_cd->Items()->Get(i));
        return r;
    }
    std::vector<int> States() const {
        std::vector<int> r;
        for (int i = 0; i < 5; ++i) r.push_back(form_->TrackTable[i].State);
        return r;
    }
    // The log lines after their time stamp.
    Strings Log() const {
        Strings r;
        TStrings* lines = FmLogMsg->Log->Lines();
        for (int i = 0; i < lines->Count(); ++i) r.push_back(lines->Get(i).substr(17));
        return r;
    }
    void Select(std::initializer_list<int> items, int caret) {
        for (int i = 0; i < form_->lst_cd->Count(); ++i) form_->lst_cd->SetSelected(i, false);
        form_->lst_cd->SetItemIndex(caret);
        for (int i : items) form_->lst_cd->SetSelected(i, true);
    }

    TApplication app_{nullptr};
    TApplication* savedApp_ = nullptr;
    TFmCD_WAV* form_ = nullptr;
    std::vector<svtest::CdImageTrack> tracks_;
    std::filesystem::path cue_, out_;
    std::optional<std::string> savedImages_;
    void* fake_ = nullptr;
};

} // namespace sv::apptest
