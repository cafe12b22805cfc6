#include "app/mode_frame.h"

#include "app/forms.h"
#include "app/job_frame.h"
#include "app/log_form.h"
#include "app/main_form.h"
#include "app/mode_forms.h"
#include "app/modes.h"
#include "app/program_paths.h"
#include "controls/control_hook.h"
#include "controls/grad_box.h"
#include "controls/shine_button.h"
#include "controls/vorsa_button.h"
#include "framework/canvas.h"
#include "framework/comctrls.h"
#include "framework/dialogs.h"
#include "framework/extctrls.h"
#include "framework/ini_file.h"
#include "framework/media_player.h"
#include "framework/menus.h"
#include "framework/messages.h"
#include "platform/file_ops.h"

#include <ctime>
#include <exception>

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

TLabel* MakeLabel(TComponent* owner, TWinControl* parent, const char* name, const char* caption,
                  int left, int top) {
    auto* label = MakeControl<TLabel>(owner, parent, name, left, top, 60, 12);
    label->SetCaption(caption);
    return label;
}

TVorsaButton* MakePushButton(TModeForm* form, TWinControl* parent, const char* name,
                             const char* caption, int left, int top, int width, int height,
                             TNotifyEvent click) {
    auto* b = MakeControl<TVorsaButton>(form, parent, name, left, top, width, height);
    b->SetCaption(caption);
    b->SetColor(kPushButtonColor);
    b->OnClick = std::move(click);
    b->OnMouseEnter = [form](TObject* sender) { form->Btn_Ent(sender); };
    b->OnMouseLeave = [form](TObject* sender) { form->Btn_Lve(sender); };
    return b;
}

std::tuple<TPanel*, TGradBox*, TLabel*> MakeModeTitle(TModeForm* form) {
    auto* panel = MakeControl<TPanel>(form, form, "Panel1", 0, 0, 732, 25);
    panel->SetAlign(alTop);
    panel->SetCaption("");
    auto* grad = MakeControl<TGradBox>(form, panel, "GradBox1", 0, 0, 732, 25);
    grad->SetAlign(alClient);
    grad->SetStartColor(clBlack);
    grad->SetEndColor(clWhite);
    grad->SetGradStep(128);
    grad->SetDirection(gdHorizontal);
    TLabel* label = MakeLabel(form, panel, "lstr1", "", 8, 6);
    label->Font()->SetColor(clAqua);
    label->Font()->SetHeight(-13);
    label->SetTransparent(true);
    return {panel, grad, label};
}

std::tuple<TPopupMenu*, TMenuItem*, TMenuItem*, TMenuItem*, TMenuItem*>
MakePreviewMenu(TModeForm* form, TCustomListBox* list, const TNotifyEvent& click) {
    auto* pop = new TPopupMenu(form);
    pop->SetName("Pop");
    auto item = [&](const char* name, const char* caption, int tag, bool enabled) {
        auto* i = new TMenuItem(form);
        i->SetName(name);
        i->SetCaption(caption);
        i->SetTag(tag);
        i->SetEnabled(enabled);
        i->OnClick = click;
        pop->Items()->Add(i);
        return i;
    };
    TMenuItem* play = item("pop_saisei", kPlayCaption, 1, true);
    TMenuItem* pause = item("pop_ichiji", "一時停止(&R)", 2, false);
    TMenuItem* stop = item("pop_teisi", "停止(&C)", 3, false);
    TMenuItem* remove = item("pop_del", "削除(&D)", 4, true);
    list->SetPopupMenu(pop);
    return {pop, play, pause, stop, remove};
}

TProgressBar* MakeProgressBar(TModeForm* form, TWinControl* parent, int left, int top, int width) {
    auto* bar = MakeControl<TProgressBar>(form, parent, "prog_main", left, top, width, 18);
    bar->SetMin(0);
    bar->SetMax(100);
    bar->SetSmooth(true);
    return bar;
}

std::tuple<TLabel*, TLabel*, TLabel*, TLabel*, TLabel*, TLabel*>
MakeInfoLabels(TModeForm* form, TWinControl* parent, const char* setting1, const char* setting2,
               int left, int valueLeft, int top, int step) {
    const std::tuple<TLabel*, TLabel*, TLabel*, TLabel*, TLabel*, TLabel*> labels{
        MakeLabel(form, parent, "lbl_filename1", "FileName:", left, top),
        MakeLabel(form, parent, "lbl_filename2", "aFileName", valueLeft, top),
        MakeLabel(form, parent, "lbl_bitrate1", setting1, left, top + step),
        MakeLabel(form, parent, "lbl_bitrate2", "iBitRate", valueLeft, top + step),
        MakeLabel(form, parent, "lbl_enctype1", setting2, left, top + 2 * step),
        MakeLabel(form, parent, "lbl_enctype2", "iEncType", valueLeft, top + 2 * step)};
    std::apply([](auto*... label) { (label->SetVisible(false), ...); }, labels);
    return labels;
}

std::tuple<TDropDst*, TOpenDialog*> MakeFileInputs(TModeForm* form, TCustomListBox* list,
                                                   TFileDropEvent onDrop) {
    auto* drop = new TDropDst(form);
    drop->SetName("drop");
    drop->SetControl(list);
    drop->SetTarget(htControl);
    drop->OnFileDrop = std::move(onDrop);
    auto* dialog = new TOpenDialog(form);
    dialog->SetName("open_dlg");
    dialog->Options = {ofHideReadOnly, ofAllowMultiSelect};
    return {drop, dialog};
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
    try {
        c.media_play->SetFileName(c.list->Items()->Get(index));
        c.media_play->Open();
        c.media_play->Play();
    } catch (...) {
        // Nothing plays, so nothing may look as if it did; the application shows the message.
        PreviewStop(c);
        throw;
    }
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

namespace {
int TagOf(TObject* sender) {
    auto* component = dynamic_cast<TComponent*>(sender);
    return component ? static_cast<int>(component->Tag()) : 0;
}
} // namespace

void PreviewButtonClick(const ModeFrameControls& c, TObject* sender,
                        const std::function<void()>& play) {
    const int tag = TagOf(sender);
    if (tag == 1)
        play();
    else if (tag == 2)
        PreviewStop(c);
    else
        c.media_play->Close();
}

void PreviewMenuClick(const ModeFrameControls& c, TObject* sender,
                      const std::function<void()>& play, const std::function<void()>& remove) {
    switch (TagOf(sender)) {
    case 1:
        if (c.pop_saisei->Caption() == kPlayCaption)
            play();
        else
            PreviewPlayOrResume(c);
        break;
    case 2:
        PreviewPause(c);
        break;
    case 3:
        PreviewStop(c);
        break;
    case 4:
        remove();
        break;
    default:
        break;
    }
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

void FitListExtent(TCustomListBox* list, TForm* form) {
    int width = 0;
    form->Canvas()->Font()->Assign(form->Font());
    for (int i = 0; i < list->Count(); ++i)
        width = std::max(width, form->Canvas()->TextWidth(list->Items()->Get(i)));
    list->SetHorizontalExtent(width + 10);
}

void MoveSelectedItems(TCustomListBox* list, bool up) {
    const int count = list->Count();
    if (up) {
        for (int i = 1; i < count; ++i) {
            if (!list->Selected(i)) continue;
            list->Items()->Exchange(i - 1, i);
            list->SetSelected(i - 1, true);
        }
    } else {
        for (int i = count - 2; i >= 0; --i) {
            if (!list->Selected(i)) continue;
            list->Items()->Exchange(i, i + 1);
            list->SetSelected(i + 1, true);
        }
    }
}

std::string TotalTimeCaption(unsigned seconds, int count) {
    if (count <= 0) return {};
    return Format("%02u:%02u", seconds / 60, seconds % 60);
}

void ShowEncodeProgress(TProgressBar* bar, int nowFrames, int allFrames) {
    if (allFrames > 0) bar->SetPosition(static_cast<int>(int64_t{nowFrames} * 100 / allFrames));
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
    if (c.clearListAfterJob) {
        c.list->Clear();
        FitListExtent(c.list, c.form);
    }
}

} // namespace

void RunModeJob(const ModeFrameControls& c, const std::function<void()>& job) {
    std::exception_ptr raised;
    std::vector<std::string> failures;
    bool ending = false;
    {
        JobRunningScope running;
        DisableForJob(c);
        try {
            job();
        } catch (...) {
            raised = std::current_exception();
        }
        RestoreAfterJob(c);
        failures = running.Failures();
        ending = running.EndsProgram();
    }
    // A drive that came or went during the job changes the restored form, not the job. After a
    // hand-over the program is ending, and a show of the CD form would disarm the hand-over that
    // Trelvik is about to read.
    if (FmMain && !ending) FmMain->ApplyHeldDeviceChanges();
    ShowJobFailures(failures);
    if (raised) std::rethrow_exception(raised);
}

bool RefuseWrite(const std::optional<std::string>& why) {
    if (!why) return false;
    Application->MessageBox(*why, "error msg", MB_OK | MB_ICONEXCLAMATION);
    return true;
}

bool RefuseLongHandOver(const WriterChoice& choice, const std::vector<std::string>& items,
                        const std::vector<std::string>& created, std::string_view mode) {
    return RefuseWrite(CheckHandOver(ProgramDir(), DiscWavs(items),
                                     BuildHandOver(ProgramDir(), choice, items, created, mode)));
}

bool RefuseWhileWriting() {
    return RefuseWrite(CheckNoWriteRunning());
}

bool HandOverWrite(const WriterChoice& choice, const std::vector<std::string>& items,
                   const std::vector<std::string>& created, std::string_view mode,
                   BasicJobView& view) {
    // Known now, not after the countdown: Trelvik would run a cut command, and the writer would
    // refuse the file only once the disc is in. A running Trelvik reads the section until it
    // has cleaned up, and another one would refuse to start.
    if (RefuseWhileWriting() || RefuseLongHandOver(choice, items, created, mode) ||
        RefuseWrite(CheckDiscWavs(DiscWavs(items))))
        return false;
    const HandOver handOver = BuildHandOver(ProgramDir(), choice, items, created, mode);
    {
        TIniFile ini(IniPath());
        WriteHandOver(ini, handOver);
    }
    if (!StartTrelvik(ProgramDir(), handOver,
                      [&view](const std::string& line) { view.WriteLog(line); }))
        return false;
    MarkJobEndsProgram();
    return true;
}

WriteWorkFiles::~WriteWorkFiles() {
    if (!handedOver_)
        for (const std::string& file : files) platform::Files().DeleteFile(file);
}

} // namespace sv::app
