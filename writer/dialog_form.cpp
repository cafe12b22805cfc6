#include "writer/dialog_form.h"

#include "controls/vorsa_button.h"
#include "framework/dialogs.h"
#include "framework/extctrls.h"
#include "framework/ini_file.h"
#include "framework/stdctrls.h"
#include "framework/strings.h"
#include "platform/file_ops.h"
#include "platform/instance_lock.h"
#include "platform/lock_wait.h"
#include "platform/process.h"
#include "platform/profile.h"
#include "platform/program_folder.h"
#include "platform/settings_keys.h"
#include "platform/text.h"

#include <algorithm>
#include <chrono>
#include <exception>
#include <fstream>
#include <sys/stat.h>
#include <unistd.h>

namespace sv::writer {

namespace {

constexpr TColor kButtonColor = 0x008CFF8C;
constexpr TColor kButtonHoverColor = 0x00AAF9F7;
constexpr int kTagOk = 1;
constexpr int kTagCancel = 2;
constexpr int kNoCountDown = 999;
constexpr int kOtherModeCountDown = 60;
constexpr const char* kResultCaption = "書込み処理";

void SetDesignFont(TFont* font, int height) {
    font->SetName("ＭＳ Ｐゴシック");
    font->SetHeight(height);
    font->SetCharset(SHIFTJIS_CHARSET);
}

TLabel* MakeLabel(TForm* form, TWinControl* parent, const char* name, const char* caption, int left,
                  int top) {
    auto* label = new TLabel(form);
    label->SetName(name);
    label->SetParent(parent);
    label->SetLeft(left);
    label->SetTop(top);
    label->SetCaption(caption);
    return label;
}

// A right-aligned bold number.
TLabel* MakeFigure(TForm* form, TWinControl* parent, const char* name, const char* caption,
                   TRect bounds, TColor color) {
    TLabel* label = MakeLabel(form, parent, name, caption, bounds.Left, bounds.Top);
    label->SetAutoSize(false);
    label->SetBounds(bounds.Left, bounds.Top, bounds.Right - bounds.Left,
                     bounds.Bottom - bounds.Top);
    label->SetAlignment(taRightJustify);
    SetDesignFont(label->Font(), -13);
    label->Font()->SetStyle({fsBold});
    label->Font()->SetColor(color);
    return label;
}

// Low 32 bits of each file's size, added in 32 bits: the total is only ever a rough figure.
std::uint32_t TotalSize(const std::string& list) {
    TStringList names;
    names.SetCommaText(list);
    std::uint32_t total = 0;
    for (int i = 0; i < names.Count(); ++i) {
        struct stat st {};
        if (stat(names[i].c_str(), &st) == 0)
            total += static_cast<std::uint32_t>(static_cast<std::uint64_t>(st.st_size));
    }
    return total;
}

// Whether a value read from main.ini has the reader's full length, and so may have lost its end.
bool MayBeCut(const std::string& value) {
    return platform::CodePointCount(value) >= platform::kProfileValueLimit;
}

// The WAV files a writer command line names, as the writer gets them: the operands after its
// switches that have a ".wav" name. Where the line may have lost its end, its last operand may
// have lost its own, and counts for nothing.
std::vector<std::string> WavOperands(const std::string& commandLine) {
    const std::vector<std::string> args =
        platform::SplitCommandLine(commandLine, platform::IsRunnableProgram).arguments;
    const std::vector<std::string> switches = platform::SplitArguments(settings::kWriterSwitches);
    const auto at = std::search(args.begin(), args.end(), switches.begin(), switches.end());
    if (at == args.end()) return {};
    std::vector<std::string> wavs(at + static_cast<std::ptrdiff_t>(switches.size()), args.end());
    if (MayBeCut(commandLine) && !wavs.empty()) wavs.pop_back();
    std::erase_if(wavs, [](const std::string& arg) {
        return arg.size() <= 4 || platform::ToLowerAscii(arg.substr(arg.size() - 4)) != ".wav";
    });
    return wavs;
}

} // namespace

// Marks the dialog as ending for its scope: the countdown goes and the buttons, which would do
// nothing now, no longer look live. A failure on the way (main.ini that cannot be written) leaves
// the dialog open, and usable again.
class TFmDialog::Ending {
public:
    explicit Ending(TFmDialog& dialog) : dialog_(dialog), failures_(std::uncaught_exceptions()) {
        dialog_.lbl_sec->SetVisible(false);
        dialog_.lbl3->SetVisible(false);
        Enable(false);
    }
    ~Ending() {
        if (std::uncaught_exceptions() > failures_) Enable(true);
    }
    Ending(const Ending&) = delete;
    Ending& operator=(const Ending&) = delete;

private:
    void Enable(bool usable) {
        dialog_.ending_ = !usable;
        dialog_.btn_ok->SetEnabled(usable);
        dialog_.btn_cancel->SetEnabled(usable);
    }

    TFmDialog& dialog_;
    int failures_;
};

TFmDialog::TFmDialog(TComponent* owner, std::string programDir,
                     std::unique_ptr<platform::InstanceLock> instanceLock)
    : TForm(owner), programDir_(std::move(programDir)), instanceLock_(std::move(instanceLock)) {
    BeginLoading();
    SetName("FmDialog");
    SetCaption("書込み開始確認");
    SetBorderStyle(bsDialog);
    SetBorderIcons({});
    SetDesignFont(Font(), -12);
    SetWidth(386);
    SetHeight(134);
    OnShow = [this](TObject* sender) { FormShow(sender); };
    OnClose = [this](TObject* sender, TCloseAction& action) { FormClose(sender, action); };
    CreateControls();
    EndLoading();
}

TFmDialog::~TFmDialog() {
    BeginDestruction();
}

void TFmDialog::CreateControls() {
    const int width = ClientWidth();
    lbl1 = MakeLabel(this, this, "lbl1",
                     "書込みを開始します。ブランクメディアは挿入されていますか？", 0, 14);
    lbl1->SetAutoSize(false);
    lbl1->SetBounds(0, 14, width, 16);
    lbl1->SetAlignment(taCenter);
    SetDesignFont(lbl1->Font(), -13);

    lbl_sec = MakeFigure(this, this, "lbl_sec", "NN", Rect(96, 42, 156, 58), clRed);
    lbl3 = MakeLabel(this, this, "lbl3", "秒後に自動実行されます。", 160, 43);

    Panel2 = new TPanel(this);
    Panel2->SetName("Panel2");
    Panel2->SetParent(this);
    Panel2->SetBounds(8, 76, 170, 25);
    Panel2->SetVisible(false);
    Panel2->SetColor(0x00F0F0F0);
    Panel2->SetBevelInner(bvRaised);
    Panel2->SetBevelOuter(bvLowered);
    Panel2->SetCaption("");
    Label1 = MakeLabel(this, Panel2, "Label1", "合計書込みサイズ", 8, 6);
    lbl_size = MakeFigure(this, Panel2, "lbl_size", "", Rect(100, 5, 140, 21), clTeal);
    Label3 = MakeLabel(this, Panel2, "Label3", "MB", 146, 6);

    auto button = [this](const char* name, const char* caption, int tag, int left) {
        auto* b = new TVorsaButton(this);
        b->SetName(name);
        b->SetParent(this);
        b->SetBounds(left, 72, 90, 25);
        b->SetCaption(caption);
        b->SetTag(tag);
        b->SetColor(kButtonColor);
        b->OnClick = [this](TObject* sender) { btn_okClick(sender); };
        b->OnMouseEnter = [this](TObject* sender) { btn_Ent(sender); };
        b->OnMouseLeave = [this](TObject* sender) { btn_Lve(sender); };
        return b;
    };
    btn_ok = button("btn_ok", "OK", kTagOk, 92);
    btn_cancel = button("btn_cancel", "キャンセル", kTagCancel, 198);

    Timer = new TTimer(this);
    Timer->SetName("Timer");
    Timer->SetEnabled(false);
    Timer->OnTimer = [this](TObject* sender) { TimerTimer(sender); };
}

std::string TFmDialog::IniPath() const {
    return platform::JoinPath(programDir_, "main.ini");
}

std::string TFmDialog::WriterLogPath() const {
    return platform::JoinPath(programDir_, "cdrecord.log");
}

std::string TFmDialog::RestartPath() const {
    TIniFile ini(IniPath());
    return platform::JoinPath(
        programDir_, ini.ReadString(settings::kMain, settings::kTitle, settings::kTitleDefault));
}

void TFmDialog::FormShow(TObject* /*sender*/) {
    TIniFile ini(IniPath());
    const std::string mode = ini.ReadString(settings::kWork, settings::kMode, "");
    if (mode.empty()) {
        Application->Terminate();
        return;
    }
    bool countDown = true;
    if (mode == settings::kModeMp3Cd || mode == settings::kModeCdCd) {
        const int wait = ini.ReadInteger(mode, settings::kWait, settings::kWaitDefault);
        if (wait == kNoCountDown) {
            countDown = false;
            lbl_sec->SetVisible(false);
            lbl3->SetVisible(false);
            lbl1->SetCaption("書込みを開始します。ブランクディスクを挿入してください。");
        } else {
            CountDown = std::max(wait, 0);
        }
    } else {
        CountDown = kOtherModeCountDown;
    }
    if (countDown) {
        lbl_sec->SetCaption(std::to_string(CountDown));
        Application->ProcessMessages();
        lbl_sec->SetVisible(true);
        Timer->SetEnabled(true);
    }
    lbl_size->SetCaption(std::to_string(
        TotalSize(ini.ReadString(settings::kWork, settings::kSize, "")) / 1000 / 1000));
    SetTop(Screen->Height() / 2 - Height() / 2);
    SetLeft(Screen->Width() / 2 - Width() / 2);
}

void TFmDialog::TimerTimer(TObject* /*sender*/) {
    CountDown -= 1;
    lbl_sec->SetCaption(std::to_string(CountDown));
    if (CountDown >= 0) return;
    lbl_sec->SetCaption("0");
    Timer->SetEnabled(false);
    TIniFile ini(IniPath());
    RunWriteCommand(ini.ReadString(settings::kWork, settings::kWriteDir, ""));
}

void TFmDialog::btn_okClick(TObject* sender) {
    if (ending_) return;
    // First of all: the message boxes below keep dispatching timer ticks.
    Timer->SetEnabled(false);
    const std::string restart = RestartPath();
    const auto* button = dynamic_cast<TComponent*>(sender);
    const std::intptr_t tag = button ? button->Tag() : 0;
    if (tag == kTagOk) {
        TIniFile ini(IniPath());
        const std::string command = ini.ReadString(settings::kWork, settings::kWriteDir, "");
        if (!command.empty())
            RunWriteCommand(command);
        else
            ShowMessage("コマンドがありません。中止します。");
    } else if (tag == kTagCancel) {
        Ending ending(*this);
        CleanUpWork();
        RestartSonvale(restart);
        Application->Terminate();
    }
}

void TFmDialog::FormClose(TObject* /*sender*/, TCloseAction& /*action*/) {
    // Closing gives the write up; a deletion question below would otherwise let the tick in
    // that starts it.
    Timer->SetEnabled(false);
    CleanUpWork();
}

void TFmDialog::btn_Ent(TObject* sender) {
    if (auto* b = dynamic_cast<TVorsaButton*>(sender)) b->SetColor(kButtonHoverColor);
}

void TFmDialog::btn_Lve(TObject* sender) {
    if (auto* b = dynamic_cast<TVorsaButton*>(sender)) b->SetColor(kButtonColor);
}

void TFmDialog::RunWriteCommand(const std::string& commandLine) {
    Ending ending(*this);
    const std::string restart = RestartPath();
    Application->Minimize();
    Application->ProcessMessages();
    try {
        // This window stays blocked until the writer has ended, as the user was told.
        const std::optional<int> code = RunWriter(commandLine);
        Application->Restore();
        if (code == 0)
            Application->MessageBox("正常終了しました。", kResultCaption, MB_OK);
        else
            Application->MessageBox("異常終了しました。", kResultCaption, MB_ICONEXCLAMATION);
    } catch (...) {
        CleanUpWork();
        throw;
    }
    CleanUpWork();
    RestartSonvale(restart);
    Application->Terminate();
}

std::optional<int> TFmDialog::RunWriter(const std::string& commandLine) {
    // The log takes all the writer says; our own output only what it takes without waiting, so
    // an output nobody reads can hold neither the writer nor us.
    std::ofstream log(WriterLogPath(), std::ios::binary | std::ios::trunc);
    const platform::OutputCopy out(STDOUT_FILENO);
    auto echo = [&log, &out](std::string_view text) {
        if (log) log.write(text.data(), static_cast<std::streamsize>(text.size())).flush();
        out.Write(text);
    };
    if (platform::TrimBlanks(commandLine).empty()) {
        echo("Trelvik: 書込みコマンドがありません。\n");
        return std::nullopt;
    }
    // A command of the reader's full length may have lost its end.
    if (MayBeCut(commandLine)) {
        echo("Trelvik: 書込みコマンドが長すぎて途中で切れている可能性があるため、実行しませんでし"
             "た。\n");
        return std::nullopt;
    }
    // The writer holds our lock with us, so that a write goes on counting as one also when we
    // are killed meanwhile: no second write starts, and its files stay its own.
    const std::optional<int> code =
        platform::RunAndWait(commandLine, echo, instanceLock_ ? instanceLock_->Descriptor() : -1);
    if (!code) echo("Trelvik: 書込みコマンドを実行できないか、途中で止められました。\n");
    return code;
}

void TFmDialog::CleanUpWork() {
    TIniFile ini(IniPath());
    const platform::OutputCopy errors(STDERR_FILENO);
    const std::string list = ini.ReadString(settings::kWork, settings::kDelDir, "");
    TStringList names;
    // A list of the reader's full length may end in a name cut short: another file's name.
    if (MayBeCut(list))
        errors.Write("Trelvik: 作業ファイルの一覧（DELDIR）が長すぎて途中で切れている"
                     "可能性があるため、何も削除しませんでした。\n");
    else
        names.SetCommaText(list);
    // A job puts there only the WAV files it hands to the writer; any other name (a damaged
    // main.ini) is not the job's to delete.
    const std::vector<std::string> wavs =
        WavOperands(ini.ReadString(settings::kWork, settings::kWriteDir, ""));
    for (int i = 0; i < names.Count(); ++i) {
        if (std::find(wavs.begin(), wavs.end(), names[i]) == wavs.end()) {
            errors.Write("Trelvik: " + names[i] +
                         " は書込みコマンドのWAVファイルではないため、削除しませんでした。\n");
            continue;
        }
        // Sonvale lists full paths; any other name would be taken from wherever we were started.
        const bool deleted = names[i].starts_with('/') && platform::Files().DeleteFile(names[i]);
        Application->ProcessMessages();
        if (!deleted &&
            Application->MessageBox(names[i] + "削除失敗しました。処理を続けますか？", "Error Msg",
                                    MB_YESNO | MB_ICONEXCLAMATION) != IDYES)
            return;
    }
    for (std::string_view key :
         {settings::kWriteDir, settings::kDelDir, settings::kSize, settings::kMode})
        ini.WriteString(settings::kWork, key, "");
}

void TFmDialog::RestartSonvale(const std::string& path) {
    // A Sonvale started while the old one still holds the lock would end silently at once.
    platform::WaitUntilLockFree(platform::kSonvaleInstanceLock,
                                std::chrono::milliseconds(kLockWaitMs));
    // Everything of this write is done; the next one, which this Sonvale may hand over, is free.
    instanceLock_.reset();
    platform::StartProgram(path);
}

} // namespace sv::writer
