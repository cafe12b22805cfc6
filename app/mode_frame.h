#pragma once
// What the three mode forms do alike, written once: the log line, the list rows, the hover
// colours, the preview player with its pop-up menu, the total time, deleting items, and the
// frame around a job.
#include "app/job_frame.h"
#include "app/mode_forms.h"
#include "app/writer_command.h"
#include "controls/control_hook.h"
#include "framework/control.h"
#include "framework/forms.h"
#include "framework/stdctrls.h"

#include <cstdio>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <tuple>
#include <vector>

namespace sv {
class TDropDst;
class TGradBox;
class TOpenDialog;
class TMediaPlayer;
class TMenuItem;
class TPanel;
class TPopupMenu;
class TProgressBar;
class TVorsaButton;
} // namespace sv

namespace sv::app {

// Text made from a printf-style pattern, as the log lines have it.
template <class... Values> std::string Format(const char* pattern, Values... values) {
    const int length = std::snprintf(nullptr, 0, pattern, values...);
    if (length <= 0) return {};
    std::string text(static_cast<std::size_t>(length), '\0');
    std::snprintf(text.data(), text.size() + 1, pattern, values...);
    return text;
}

// Colours of the push buttons and the rows.
inline constexpr TColor kPushButtonColor = 0x00CBECB5;
inline constexpr TColor kPushButtonHoverColor = 0x009EEBED;
inline constexpr TColor kSelectedRowColor = 0x00FF8000;
inline constexpr TColor kWavMp3RowColor = 0x00E9D2FF;
inline constexpr TColor kMp3CdRowColor = 0x0074CFE7;
inline constexpr TColor kCdWavRowColor = 0x00E1E1E1;

inline constexpr const char* kPlayCaption = "再生(&S)";
inline constexpr const char* kResumeCaption = "再開(&S)";

// The controls of a mode form that the shared behaviour works on; the form fills it in.
struct ModeFrameControls {
    TForm* form = nullptr;
    TCustomListBox* list = nullptr;
    TVorsaButton* btn_saisei = nullptr;
    TVorsaButton* btn_teisi = nullptr;
    TVorsaButton* btn_execute = nullptr;
    TLabel* lbl_msg = nullptr;
    TLabel* lbl_track = nullptr;
    TProgressBar* prog_main = nullptr;
    TMenuItem* pop_saisei = nullptr;
    TMenuItem* pop_ichiji = nullptr;
    TMenuItem* pop_teisi = nullptr;
    TMediaPlayer* media_play = nullptr;
    // The file forms empty their list after a job; the CD form reads its disc again instead.
    bool clearListAfterJob = true;
};

// Building the mode forms' controls as their descriptions have them.
template <class T>
T* MakeControl(TComponent* owner, TWinControl* parent, const char* name, int left, int top,
               int width, int height) {
    T* control = new T(owner);
    control->SetName(name);
    control->SetParent(parent);
    control->SetBounds(left, top, width, height);
    return control;
}
TLabel* MakeLabel(TComponent* owner, TWinControl* parent, const char* name, const char* caption,
                  int left, int top);
// A push button in the push-button colour with the form's hover handlers.
TVorsaButton* MakePushButton(TModeForm* form, TWinControl* parent, const char* name,
                             const char* caption, int left, int top, int width, int height,
                             TNotifyEvent click);
// The title strip: Panel1 with the gradient GradBox1 and the mode's description lstr1.
std::tuple<TPanel*, TGradBox*, TLabel*> MakeModeTitle(TModeForm* form);
// The pop-up menu of the list and its items play, pause, stop and delete, all with `click`:
// Pop, pop_saisei, pop_ichiji, pop_teisi, pop_del.
std::tuple<TPopupMenu*, TMenuItem*, TMenuItem*, TMenuItem*, TMenuItem*>
MakePreviewMenu(TModeForm* form, TCustomListBox* list, const TNotifyEvent& click);
// The job's progress bar, 0 to 100.
TProgressBar* MakeProgressBar(TModeForm* form, TWinControl* parent, int left, int top, int width);
// Hidden until a job shows them, the label pairs of the file name and of two settings
// (captions `setting1` and `setting2`), in rows `step` apart from `top`: lbl_filename1,
// lbl_filename2, lbl_bitrate1, lbl_bitrate2, lbl_enctype1, lbl_enctype2.
std::tuple<TLabel*, TLabel*, TLabel*, TLabel*, TLabel*, TLabel*>
MakeInfoLabels(TModeForm* form, TWinControl* parent, const char* setting1, const char* setting2,
               int left, int valueLeft, int top, int step);
// What feeds a file list besides its add button: the drop target `drop` on the list and the
// add dialog `open_dlg`, which takes several files.
std::tuple<TDropDst*, TOpenDialog*> MakeFileInputs(TModeForm* form, TCustomListBox* list,
                                                   TFileDropEvent onDrop);

// Appends "mm/dd  hh:mm:ss  " + mode tag + " " + message to the log window's memo; returns
// the line.
std::string WriteModeLog(const std::string& modeTag, const std::string& message);
// The same for a line that says an item failed: the running job shows it when it ends.
void WriteModeFailureLog(const std::string& modeTag, const std::string& message);

// A mode form as its job loops see it (`View`): log lines with the form's mode tag, failure
// lines that the running job gathers, and the message pump.
template <class View> class TModeJobForm : public TModeForm, public View {
public:
    using TModeForm::TModeForm;
    void WriteLog(const std::string& message) override { TModeForm::WriteLog(message); }
    void WriteFailureLog(const std::string& message) override {
        WriteModeFailureLog(ModeTag, message);
    }
    void PumpMessages() override { Application->ProcessMessages(); }
};

// Paints one row: selected rows in the selection colour, every second row in `oddColor`.
void DrawModeListRow(TCustomListBox* list, int index, const TRect& rect, TOwnerDrawState state,
                     TColor oddColor);

// Hover colours of a push button (the sender).
void PushButtonEnter(TObject* sender);
void PushButtonLeave(TObject* sender);

// The preview: play the caret item, stop, pause, resume; the state shows in the stop button and
// the pop-up items.
void PreviewPlay(const ModeFrameControls& c);
void PreviewStop(const ModeFrameControls& c);
void PreviewPause(const ModeFrameControls& c);
// The pop-up's first item: play, or resume while paused.
void PreviewPlayOrResume(const ModeFrameControls& c);
// Ends a playing or paused preview when the form is shown again.
void EndPreviewForShow(const ModeFrameControls& c);
// The preview buttons by the sender's tag: 1 `play`, 2 stop, any other closes the player.
void PreviewButtonClick(const ModeFrameControls& c, TObject* sender,
                        const std::function<void()>& play);
// The pop-up items by the sender's tag: 1 `play` or resume, 2 pause, 3 stop, 4 `remove`.
void PreviewMenuClick(const ModeFrameControls& c, TObject* sender,
                      const std::function<void()>& play, const std::function<void()>& remove);

// Removes the selected items.
void DeleteSelectedItems(TCustomListBox* list);
// Sets the list's horizontal extent to its widest item in `form`'s font; run after every change
// of the items, since a narrower extent is also what brings a scrolled list's rows back.
void FitListExtent(TCustomListBox* list, TForm* form);
// ▲ and ▼: each selected item trades places with its neighbour, selected or not, and stays
// selected; the neighbour loses its selection.
void MoveSelectedItems(TCustomListBox* list, bool up);

// "mm:ss" of a total in seconds (minutes not limited to two digits); empty for an empty list.
std::string TotalTimeCaption(unsigned seconds, int count);

// The encoder's progress on the bar: frames done of all frames, when all is known.
void ShowEncodeProgress(TProgressBar* bar, int nowFrames, int allFrames);

// The frame around a job: disables the main window's mode buttons and menus and the form,
// shows the progress controls, runs `job`, then restores all of it (and clears the list when
// the form asks for it), also when `job` raises (the exception goes on). Drive changes that
// came meanwhile are applied then. The failure lines the job logged are shown in one box before
// it returns (before the form's closing message) or before the exception goes on. While it
// runs, JobRunning() is true.
void RunModeJob(const ModeFrameControls& c, const std::function<void()>& job);

// Shows why a disc write is refused, in an "error msg" box; false when nothing refuses it.
bool RefuseWrite(const std::optional<std::string>& why);

// Refuses, and tells, a hand-over of `items` that would reach Trelvik cut (known before any WAV
// is made); false when it fits.
bool RefuseLongHandOver(const WriterChoice& choice, const std::vector<std::string>& items,
                        const std::vector<std::string>& created, std::string_view mode);

// Refuses, and tells, a disc-write job while a disc is being written; false when none is.
bool RefuseWhileWriting();

// The hand-over of a disc write, as every disc-writing page makes it: refused (and told) while a
// disc is being written, when a WORK value would reach Trelvik cut or a WAV of `items` is not
// one the writer takes; otherwise section WORK is armed with `created` as the files to delete
// after the write, and Trelvik is started while the program is asked to end. True only then: a
// refusal arms nothing, and a Trelvik that cannot be started is told and the section disarmed
// again. A section that cannot be written raises the settings' write error.
bool HandOverWrite(const WriterChoice& choice, const std::vector<std::string>& items,
                   const std::vector<std::string>& created, std::string_view mode,
                   BasicJobView& view);

// The files a disc-write job makes for its write only (decoded WAVs, a copy's work files).
// Unless they were handed over they go again, whatever ended the job: nothing else would remove
// them, and a WAV left beside its MP3 would pass for the user's own in a later job.
class WriteWorkFiles {
public:
    WriteWorkFiles() = default;
    explicit WriteWorkFiles(std::vector<std::string> made) : files(std::move(made)) {}
    WriteWorkFiles(const WriteWorkFiles&) = delete;
    WriteWorkFiles& operator=(const WriteWorkFiles&) = delete;
    ~WriteWorkFiles();
    void HandedOver() { handedOver_ = true; }

    std::vector<std::string> files;

private:
    bool handedOver_ = false;
};

} // namespace sv::app
