#pragma once
// The CD form made as the start makes it, over the real reader on a generated disc image (a
// data track, then three audio tracks of known PCM) or over the scripted reader.
#include "app/cd_wav_form.h"
#include "app/cdda_reader.h"
#include "app/forms.h"
#include "app/log_form.h"
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
    }

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

    TFmCD_WAV* form_ = nullptr;
    std::vector<svtest::CdImageTrack> tracks_;
    std::filesystem::path cue_;
    std::optional<std::string> savedImages_;
    void* fake_ = nullptr;
};

} // namespace sv::apptest
