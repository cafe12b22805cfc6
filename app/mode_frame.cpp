#include "app/mode_frame.h"

#include "app/forms.h"
#include "app/job_frame.h"
#include "app/log_form.h"
#include "app/main_form.h"
#include "app/modes.h"
#include "controls/shine_button.h"
#include "controls/vorsa_button.h"
#include "framework/canvas.h"
#include "framework/comctrls.h"
#include "framework/dialogs.h"
#include "framework/media_player.h"
#include "framework/menus.h"

#include <cstdio>
#include <ctime>

namespace sv::app {

std::string WriteModeLog(const std::string& modeTag, const std::string& message) {
    const std::time_t now = std::time(nullptr);
    std::tm local{};
    localtime_r(&now, &local);
    char stamp[32];
    std::strftime(stamp, sizeof stamp, "%m/%d  %H:%M:%S  ", &local);
    std::string line = stamp + modeTag + " " + message;
    if (FmLogMsg && FmLogMsg->Log) FmLogMsg->Log->Lines()->Add(line);
    return line;
}

void WriteModeFailureLog(const std::string& modeTag, const std::string& message) {
    RecordJobFailure(WriteModeLog(modeTag, message));
}

void DrawModeListRow(TCustomListBox* list, int index, const TRect& rect, TOwnerDrawState state,
                     TColor oddColor) {
    TCanvas* canvas = list->Canvas();
    if (state.Contains(odSelected)) {
        canvas->Brush()->SetColor(kSelectedRowColor);
        canvas->Font()->SetColor(clWhite);
    } else {
        canvas->Brush()->SetColor(index % 2 == 1 ? oddColor : clWhite);
        canvas->Font()->SetColor(clBlack);
    }
    canvas->FillRect(rect);
    canvas->TextOut(rect.Left, rect.Top, list->Items()->Get(index));
}

void PushButtonEnter(TObject* sender) {
    if (auto* control = dynamic_cast<TControl*>(sender)) control->SetColor(kPushButtonHoverColor);
}

void PushButtonLeave(TObject* sender) {
    if (auto* control = dynamic_cast<TControl*>(sender)) control->SetColor(kPushButtonColor);
}

namespace {

void SetPreviewControls(const ModeFrameControls& c, bool playing) {
    c.btn_teisi->SetEnabled(playing);
    c.pop_ichiji->SetEnabled(playing);
    c.pop_teisi->SetEnabled(playing);
}

} // namespace

void PreviewPlay(const ModeFrameControls& c) {
    if (c.list->Count() == 0) {
        ShowMessage("サウンドデータが選択されていません");
        return;
    }
    if (c.btn_teisi->Enabled()) {
        c.media_play->Stop();
        c.media_play->Close();
        Application->ProcessMessages();
    }
    // A list whose caret was never placed has it on the first item.
    const int index = c.list->ItemIndex() < 0 ? 0 : c.list->ItemIndex();
    c.media_play->SetFileName(c.list->Items()->Get(index));
    c.media_play->Open();
    c.media_play->Play();
    SetPreviewControls(c, true);
}

void PreviewStop(const ModeFrameControls& c) {
    c.media_play->Stop();
    c.media_play->Close();
    c.pop_saisei->SetCaption(kPlayCaption);
    SetPreviewControls(c, false);
}

void PreviewPause(const ModeFrameControls& c) {
    c.media_play->Pause();
    c.pop_saisei->SetCaption(kResumeCaption);
    c.pop_ichiji->SetEnabled(false);
    c.pop_teisi->SetEnabled(true);
}

void PreviewPlayOrResume(const ModeFrameControls& c) {
    const std::string& caption = c.pop_saisei->Caption();
    if (caption == kPlayCaption) {
        PreviewPlay(c);
    } else if (caption == kResumeCaption) {
        c.media_play->Resume();
        c.pop_saisei->SetCaption(kPlayCaption);
        SetPreviewControls(c, true);
    }
}

void EndPreviewForShow(const ModeFrameControls& c) {
    if (c.btn_teisi->Enabled()) PreviewStop(c);
}

void DeleteSelectedItems(TCustomListBox* list) {
    int i = 0;
    while (i < list->Count()) {
        if (list->Selected(i))
            list->Items()->Delete(i);
        else
            ++i;
    }
}

std::string TotalTimeCaption(unsigned seconds, int count) {
    if (count <= 0) return {};
    char text[32];
    std::snprintf(text, sizeof text, "%02u:%02u", seconds / 60, seconds % 60);
    return text;
}

namespace {

// The main window's mode buttons and top-level menus.
void SetMainWindowEnabled(bool enabled) {
    if (!FmMain) return;
    if (enabled) {
        for (TMenuItem* menu : {FmMain->File1, FmMain->E1, FmMain->D1, FmMain->B1, FmMain->V1})
            if (menu) menu->SetEnabled(true);
        for (int i = 1; i <= kModeButtonCount; ++i)
            if (TShineSpeedButton* b = FmMain->ModeButton(i)) b->SetEnabled(true);
        return;
    }
    for (int i = 1; i <= kModeButtonCount; ++i)
        if (TShineSpeedButton* b = FmMain->ModeButton(i)) b->SetEnabled(false);
    for (TMenuItem* menu : {FmMain->File1, FmMain->E1, FmMain->D1, FmMain->B1, FmMain->V1})
        if (menu) menu->SetEnabled(false);
}

void DisableForJob(const ModeFrameControls& c) {
    if (c.btn_teisi->Enabled()) {
        c.media_play->Stop();
        c.media_play->Close();
    }
    SetMainWindowEnabled(false);
    c.form->SetEnabled(false);
    c.btn_saisei->SetEnabled(false);
    c.btn_teisi->SetEnabled(false);
    c.btn_execute->SetVisible(false);
    c.lbl_track->SetVisible(true);
    c.prog_main->SetVisible(true);
    c.lbl_msg->SetVisible(true);
}

void RestoreAfterJob(const ModeFrameControls& c) {
    c.lbl_msg->SetVisible(false);
    c.lbl_track->SetVisible(false);
    c.prog_main->SetVisible(false);
    c.btn_execute->SetVisible(true);
    c.btn_saisei->SetEnabled(true);
    c.form->SetEnabled(true);
    SetMainWindowEnabled(true);
    c.list->Clear();
}

} // namespace

void RunModeJob(const ModeFrameControls& c, const std::function<void()>& job) {
    JobRunningScope running;
    DisableForJob(c);
    try {
        job();
    } catch (...) {
        RestoreAfterJob(c);
        ShowJobFailures(running.Failures());
        throw;
    }
    RestoreAfterJob(c);
    ShowJobFailures(running.Failures());
}

} // namespace sv::app
