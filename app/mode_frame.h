#pragma once
// What the three mode forms do alike, written once: the log line, the list rows, the hover
// colours, the preview player with its pop-up menu, the total time, deleting items, and the
// frame around a job.
#include "framework/control.h"
#include "framework/stdctrls.h"

#include <functional>
#include <string>

namespace sv {
class TMediaPlayer;
class TMenuItem;
class TProgressBar;
class TVorsaButton;
} // namespace sv

namespace sv::app {

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
};

// Appends "mm/dd  hh:mm:ss  " + mode tag + " " + message to the log window's memo; returns
// the line.
std::string WriteModeLog(const std::string& modeTag, const std::string& message);
// The same for a line that says an item failed: the running job shows it when it ends.
void WriteModeFailureLog(const std::string& modeTag, const std::string& message);

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

// Removes the selected items.
void DeleteSelectedItems(TCustomListBox* list);

// "mm:ss" of a total in seconds (minutes not limited to two digits); empty for an empty list.
std::string TotalTimeCaption(unsigned seconds, int count);

// The frame around a job: disables the main window's mode buttons and menus and the form,
// shows the progress controls, runs `job`, then restores all of it and clears the list, also
// when `job` raises (the exception goes on). The failure lines the job logged are shown in one
// box before it returns (before the form's closing message) or before the exception goes on.
// While it runs, JobRunning() is true.
void RunModeJob(const ModeFrameControls& c, const std::function<void()>& job);

} // namespace sv::app
