#pragma once
// Trelvik's one window: asks for a blank disc, counts down or waits for OK, runs the writer
// command Sonvale left in main.ini, reports, removes the work files, clears the hand-over and
// starts Sonvale again.
#include "framework/forms.h"
#include "platform/instance_lock.h"

#include <cstdint>
#include <memory>
#include <optional>
#include <string>

namespace sv {
class TLabel;
class TPanel;
class TTimer;
class TVorsaButton;
} // namespace sv

namespace sv::writer {

// How long a restart waits for the old Sonvale to let go of its single-instance lock.
inline constexpr int kLockWaitMs = 5000;

class TFmDialog : public TForm {
public:
    // `programDir`: the folder of main.ini, the writer's log and Sonvale. `instanceLock`: the
    // lock that keeps a second Trelvik from writing too; let go just before Sonvale starts
    // again, so that a Trelvik which it starts finds us gone.
    TFmDialog(TComponent* owner, std::string programDir,
              std::unique_ptr<platform::InstanceLock> instanceLock = nullptr);
    ~TFmDialog() override;
    std::string ClassName() const override { return "TFmDialog"; }

    TLabel* lbl1 = nullptr;
    TLabel* lbl_sec = nullptr;
    TLabel* lbl3 = nullptr;
    TVorsaButton* btn_ok = nullptr;
    TVorsaButton* btn_cancel = nullptr;
    TPanel* Panel2 = nullptr;
    TLabel* Label1 = nullptr;
    TLabel* lbl_size = nullptr;
    TLabel* Label3 = nullptr;
    TTimer* Timer = nullptr;

    // Seconds left; 64 bits so no hand-edited WAIT can make the countdown wrap.
    std::int64_t CountDown = 0;

    void FormShow(TObject* sender);
    void TimerTimer(TObject* sender);
    void btn_okClick(TObject* sender);
    void FormClose(TObject* sender, TCloseAction& action);
    void btn_Ent(TObject* sender);
    void btn_Lve(TObject* sender);

    // Runs the writer with this window blocked, reports, cleans up, restarts Sonvale, ends.
    void RunWriteCommand(const std::string& commandLine);
    // Deletes the DELDIR files that WRITEDIR hands to the writer as WAV files (asking on each
    // failure) and empties the four WORK keys.
    void CleanUpWork();

    std::string IniPath() const;
    // <folder>/cdrecord.log, the writer's output of the last write.
    std::string WriterLogPath() const;

private:
    class Ending;

    void CreateControls();
    std::string RestartPath() const;
    void RestartSonvale(const std::string& path);
    // The writer's exit code; nothing when it could not run or did not end by itself.
    std::optional<int> RunWriter(const std::string& commandLine);

    std::string programDir_;
    std::unique_ptr<platform::InstanceLock> instanceLock_;
    // Set while the dialog cleans up and ends: clicks that pile up meanwhile (behind the message
    // boxes, or the restart's wait) reach it afterwards and must start nothing more.
    bool ending_ = false;
};

} // namespace sv::writer
