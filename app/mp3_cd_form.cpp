#include "app/mp3_cd_form.h"

#include "app/cd_wav_form.h"
#include "app/conv_paths.h"
#include "app/decoder.h"
#include "app/form_style.h"
#include "app/forms.h"
#include "app/modes.h"
#include "app/program_paths.h"
#include "controls/control_hook.h"
#include "controls/grad_box.h"
#include "controls/vorsa_button.h"
#include "framework/canvas.h"
#include "framework/comctrls.h"
#include "framework/dialogs.h"
#include "framework/extctrls.h"
#include "framework/ini_file.h"
#include "framework/media_player.h"
#include "framework/menus.h"
#include "framework/messages.h"
#include "framework/stdctrls.h"
#include "outside/include/vbmp3.h"
#include "platform/file_ops.h"
#include "platform/settings_keys.h"
#include "platform/text.h"

#include <algorithm>

namespace sv::app {

namespace {

constexpr std::string_view kMp3CdTag = "[MP3_CD]";
constexpr std::string_view kWavCdTag = "[WAV_CD]";

struct ModeTexts {
    const char* lstr1;
    const char* lstr2;
    const char* filter;
};
constexpr ModeTexts kMp3CdTexts{
    "MP3→CD　　・・・MP3データをWAVに変換後、CD-Rに書き込みます。 ※WAVも可能です。",
    "１．MP3データをエクスプローラからドラッグして下さい。",
    "mp3ファイル|*.mp3|wavファイル|*.wav|mp3,wavファイル|*.mp3;*.wav"};
constexpr ModeTexts kWavCdTexts{"WAV→CD　　・・・WAVデータCD-Rに書き込みます。 ※MP3も可能です。",
                                "１．WAVデータをエクスプローラからドラッグして下さい。",
                                "wavファイル|*.wav|mp3ファイル|*.mp3|wav,mp3ファイル|*.wav;*.mp3"};

const ModeTexts* TextsOf(std::string_view modeTag) {
    if (modeTag == kMp3CdTag) return &kMp3CdTexts;
    if (modeTag == kWavCdTag) return &kWavCdTexts;
    return nullptr;
}

constexpr const char* kWarning =
    "※ 演奏時間がCD-Rのサイズを超えない様注意して下さ　　　　い。書込み失敗の原因になります。"
    "また、書込み速度は　　　できるだけ低速の方が成功率が上がります。";

// The WAV a list item is decoded to: only an ".mp3" item whose WAV is not there yet.
std::optional<std::string> WavToMake(const std::string& item) {
    if (platform::ToLowerAscii(PathExtension(item)) != ".mp3") return std::nullopt;
    std::string wav = ChangePathExtension(item, ".wav");
    if (platform::Files().FileExists(wav)) return std::nullopt;
    return wav;
}

// Output settings of the decoder that give no WAV a disc takes, named as the settings page
// shows them: the decoder would make every WAV only for the write to refuse them all.
std::optional<std::string> CheckDecodeSettings(int convert, int freqLimit) {
    const std::string where = "設定「MP3→CD , WAV→CD」のデコード設定の";
    auto key = [](std::string_view name, int value) {
        return "（[" + std::string(settings::kMp3Cd) + "] " + std::string(name) + "=" +
               std::to_string(value) + "）";
    };
    if (convert != DECODER_CONVERT_STEREO)
        return where + "コンバートがステレオではありません" + key(settings::kConvert, convert) +
               "。CDにはステレオのWAVしか書き込めないため、MP3を変換できません。"
               "ステレオにして保存して下さい。中止します。";
    if (freqLimit != settings::kFreqLimitDefault)
        return where + "サンプリングレートが44.1kHzではありません" +
               key(settings::kFreqLimit, freqLimit) +
               "。CDには44.1kHzのWAVしか書き込めないため、MP3を変換できません。"
               "設定を保存し直して下さい。中止します。";
    return std::nullopt;
}

} // namespace

TFmMP3_CD::TFmMP3_CD(TComponent* owner)
    : TModeJobForm(owner, kFmMP3_CD), media_play(std::make_unique<TMediaPlayer>()) {
    BeginLoading();
    OnShow = [this](TObject* sender) { FormShow(sender); };
    CreateControls();
    EndLoading();
}

TFmMP3_CD::~TFmMP3_CD() {
    BeginDestruction();
}

void TFmMP3_CD::CreateControls() {
    std::tie(Panel1, GradBox1, lstr1) = MakeModeTitle(this);

    GroupBox1 = MakeControl<TGroupBox>(this, this, "GroupBox1", 8, 32, 388, 338);
    GroupBox1->SetCaption("書込みデータ");
    lstr2 = MakeLabel(this, GroupBox1, "lstr2", "", 12, 18);
    auto move = [this](TObject* sender) { btn_updownClick(sender); };
    btn_ue = MakePushButton(this, GroupBox1, "btn_ue", "▲", 6, 36, 18, 124, move);
    btn_sita = MakePushButton(this, GroupBox1, "btn_sita", "▼", 6, 164, 18, 124, move);
    lst_mp3 = MakeControl<TListBox>(this, GroupBox1, "lst_mp3", 26, 36, 270, 252);
    lst_mp3->SetStyle(lbOwnerDrawFixed);
    lst_mp3->SetItemHeight(12);
    lst_mp3->SetMultiSelect(true);
    lst_mp3->OnDrawItem = [this](TWinControl* c, int index, TRect rect, TOwnerDrawState state) {
        lst_mp3DrawItem(c, index, rect, state);
    };
    lst_mp3->OnKeyDown = [this](TObject* sender, int& key, TShiftState shift) {
        lst_mp3KeyDown(sender, key, shift);
    };
    btn_add = MakePushButton(this, GroupBox1, "btn_add", "追加", 304, 36, 76, 25,
                             [this](TObject* sender) { btn_addClick(sender); });
    btn_del = MakePushButton(this, GroupBox1, "btn_del", "削除", 304, 66, 76, 25,
                             [this](TObject* sender) { btn_delClick(sender); });
    auto preview = [this](TObject* sender) { btn_saiseiClick(sender); };
    btn_saisei = MakePushButton(this, GroupBox1, "btn_saisei", "再生", 304, 120, 76, 25, preview);
    btn_saisei->SetTag(1);
    btn_teisi = MakePushButton(this, GroupBox1, "btn_teisi", "停止", 304, 150, 76, 25, preview);
    btn_teisi->SetTag(2);
    btn_teisi->SetEnabled(false);
    Label3 = MakeLabel(this, GroupBox1, "Label3", "演奏時間", 304, 246);
    pnl_size = MakeControl<TPanel>(this, GroupBox1, "pnl_size", 304, 262, 76, 26);
    pnl_size->SetColor(clWhite);
    pnl_size->Font()->SetStyle({fsBold});
    pnl_size->SetCaption("NN:NN");
    Label4 = MakeLabel(this, GroupBox1, "Label4", "※演奏時間に注意して下さい", 26, 300);
    Label4->Font()->SetColor(clRed);

    Label1 = MakeLabel(this, this, "Label1", "２．CD-Rドライブ", 404, 36);
    cmb_drive = MakeControl<TComboBox>(this, this, "cmb_drive", 404, 52, 320, 20);
    cmb_drive->SetStyle(csDropDownList);
    Label6 = MakeLabel(this, this, "Label6", "３．書込み速度", 404, 84);
    cmb_speed = MakeControl<TComboBox>(this, this, "cmb_speed", 404, 100, 150, 20);
    cmb_speed->SetStyle(csDropDownList);
    for (const WriterSpeedItem& speed : kWriterSpeeds)
        cmb_speed->Items()->Add(std::string(speed.text));
    Label9 = MakeLabel(this, this, "Label9", kWarning, 404, 132);
    Label9->SetAutoSize(false);
    Label9->SetBounds(404, 132, 308, 52);
    Label9->SetWordWrap(true);

    gstr2 = MakeControl<TGroupBox>(this, this, "gstr2", 404, 192, 320, 178);
    gstr2->SetCaption("４．書込み開始");
    btn_execute = MakePushButton(this, gstr2, "btn_execute", "実　行", 100, 24, 120, 44,
                                 [this](TObject* sender) { btn_executeClick(sender); });
    SetDesignFont(btn_execute->Font(), -15);
    lbl_msg = MakeLabel(this, gstr2, "lbl_msg", "xxx", 12, 20);
    lbl_msg->SetAutoSize(false);
    lbl_msg->SetWidth(296);
    lbl_msg->SetAlignment(taCenter);
    prog_main = MakeProgressBar(this, gstr2, 12, 38, 296);
    lbl_track = MakeLabel(this, gstr2, "lbl_track", "XX / XX", 12, 62);
    std::tie(lbl_filename1, lbl_filename2, lbl_bitrate1, lbl_bitrate2, lbl_enctype1, lbl_enctype2) =
        MakeInfoLabels(this, gstr2, "SamplingRate:", "Convert:", 12, 100, 90, 20);
    for (TControl* c : {static_cast<TControl*>(prog_main), static_cast<TControl*>(lbl_msg),
                        static_cast<TControl*>(lbl_track)})
        c->SetVisible(false);
    SetProgressControls({lbl_track, prog_main, lbl_filename1, lbl_filename2, lbl_bitrate1,
                         lbl_bitrate2, lbl_enctype1, lbl_enctype2});

    std::tie(Pop, pop_saisei, pop_ichiji, pop_teisi, pop_del) =
        MakePreviewMenu(this, lst_mp3, [this](TObject* sender) { migiClick(sender); });

    std::tie(drop, open_dlg) =
        MakeFileInputs(this, lst_mp3, [this](TObject* sender, TStrings* files, int x, int y) {
            dropFileDrop(sender, files, x, y);
        });
}

ModeFrameControls TFmMP3_CD::Frame() {
    return {this,      lst_mp3,   btn_saisei, btn_teisi,  btn_execute, lbl_msg,
            lbl_track, prog_main, pop_saisei, pop_ichiji, pop_teisi,   media_play.get()};
}

void TFmMP3_CD::FormShow(TObject* /*sender*/) {
    UpdateModeTag();
    InitForm();
}

void TFmMP3_CD::InitForm() {
    EndPreviewForShow(Frame());
    lst_mp3->Clear();
    {
        TIniFile ini(IniPath());
        CONVERT = ini.ReadInteger(settings::kMp3Cd, settings::kConvert, settings::kConvertDefault);
        FREQLIMIT =
            ini.ReadInteger(settings::kMp3Cd, settings::kFreqLimit, settings::kFreqLimitDefault);
        DECWAIT = ini.ReadInteger(settings::kMp3Cd, settings::kDecWait, settings::kDecWaitDefault);
        cmb_speed->SetItemIndex(
            ini.ReadInteger(settings::kMp3Cd, settings::kSpeed, settings::kSpeedDefault));
        BURNPROOF =
            ini.ReadInteger(settings::kMp3Cd, settings::kBurnProof, settings::kBurnProofDefault);
        ForgetHandOver(ini);
    }
    if (const ModeTexts* texts = TextsOf(ModeTag)) {
        lstr1->SetCaption(texts->lstr1);
        lstr2->SetCaption(texts->lstr2);
    }
    // The CD form's showing scans the drives and fills this form's drive combo too.
    if (FmCD_WAV) FmCD_WAV->FormShow(FmCD_WAV);
    ItemsChanged();
}

void TFmMP3_CD::SetDriveNames(const std::vector<std::string>& names) {
    cmb_drive->Items()->Clear();
    for (const std::string& name : names) cmb_drive->Items()->Add(name);
    cmb_drive->SetItemIndex(0);
}

std::vector<std::string> TFmMP3_CD::Items() const {
    std::vector<std::string> items;
    for (int i = 0; i < lst_mp3->Count(); ++i) items.push_back(lst_mp3->Items()->Get(i));
    return items;
}

bool TFmMP3_CD::Listed(const std::string& path) const {
    for (int i = 0; i < lst_mp3->Count(); ++i)
        if (lst_mp3->Items()->Get(i) == path) return true;
    return false;
}

void TFmMP3_CD::AddItem(const std::string& path) {
    if (!Listed(path)) lst_mp3->Items()->Add(path);
}

void TFmMP3_CD::dropFileDrop(TObject* /*sender*/, TStrings* files, int /*x*/, int /*y*/) {
    for (int i = 0; i < files->Count(); ++i) {
        const std::string name = files->Get(i);
        const std::string ext = platform::ToLowerAscii(PathExtension(name));
        if (ext == ".wav" || ext == ".mp3") AddItem(name);
    }
    ItemsChanged();
}

void TFmMP3_CD::btn_addClick(TObject* /*sender*/) {
    if (const ModeTexts* texts = TextsOf(ModeTag)) open_dlg->Filter = texts->filter;
    if (open_dlg->Execute()) {
        TStrings* files = open_dlg->Files();
        for (int i = 0; i < files->Count(); ++i) AddItem(files->Get(i));
    }
    ItemsChanged();
}

void TFmMP3_CD::ItemsChanged() {
    FitListExtent(lst_mp3, this);
    ShowTotalTime();
}

void TFmMP3_CD::btn_updownClick(TObject* sender) {
    if (auto* control = dynamic_cast<TControl*>(sender)) {
        if (control->Caption() == "▲") MoveSelectedItems(lst_mp3, true);
        if (control->Caption() == "▼") MoveSelectedItems(lst_mp3, false);
    }
}

void TFmMP3_CD::ShowTotalTime() {
    media_play->SetTimeFormat(tfMilliseconds);
    uint32_t total = 0;
    for (const std::string& item : Items()) {
        if (!platform::Files().FileExists(item)) continue;
        media_play->Close();
        media_play->SetFileName(item);
        // A file the player cannot read (the add dialog takes any name) adds nothing, as a
        // missing one does; the job tells what is wrong with it.
        try {
            media_play->Open();
        } catch (const Exception&) {
            continue;
        }
        total += static_cast<uint32_t>(media_play->Length());
    }
    pnl_size->SetCaption(TotalTimeCaption(total / 1000, lst_mp3->Count()));
}

void TFmMP3_CD::lst_mp3DrawItem(TWinControl* /*control*/, int index, TRect rect,
                                TOwnerDrawState state) {
    DrawModeListRow(lst_mp3, index, rect, state, kMp3CdRowColor);
}

void TFmMP3_CD::lst_mp3KeyDown(TObject* /*sender*/, int& key, TShiftState /*shift*/) {
    if (key == VK_DELETE) btn_delClick(this);
}

void TFmMP3_CD::btn_delClick(TObject* /*sender*/) {
    DeleteSelectedItems(lst_mp3);
    ItemsChanged();
}

void TFmMP3_CD::btn_saiseiClick(TObject* sender) {
    PreviewButtonClick(Frame(), sender, [this] { PreviewPlay(Frame()); });
}

void TFmMP3_CD::migiClick(TObject* sender) {
    PreviewMenuClick(
        Frame(), sender, [this] { PreviewPlay(Frame()); }, [this] { btn_delClick(lst_mp3); });
}

ConvSettings TFmMP3_CD::Settings() const {
    ConvSettings s;
    s.convert = CONVERT;
    s.freqLimit = FREQLIMIT;
    s.decWait = DECWAIT;
    return s;
}

WriterChoice TFmMP3_CD::Choice() const {
    return {cmb_drive->Text(), cmb_speed->ItemIndex(), BURNPROOF};
}

bool TFmMP3_CD::CheckDiscJob(const std::vector<std::string>& items) {
    if (RefuseWhileWriting()) return false;
    const std::vector<std::string> wavs = DiscWavs(items);
    // Files of other names are never written: a list of only those is an empty one.
    if (wavs.empty()) {
        ShowMessage("データがありません。中止します。");
        return false;
    }
    if (RefuseWrite(CheckDiscTwins(items))) return false;
    std::vector<std::string> mp3s, toMake, present;
    for (const std::string& item : items) {
        if (auto wav = WavToMake(item)) {
            mp3s.push_back(item);
            toMake.push_back(*wav);
        }
    }
    for (const std::string& wav : wavs)
        if (std::find(toMake.begin(), toMake.end(), wav) == toMake.end()) present.push_back(wav);
    // Known before anything is decoded: settings that make no WAV a disc takes, a list too long
    // to hand over, a file that is not there, or a WAV the writer would refuse only after the
    // countdown.
    if (!toMake.empty() && RefuseWrite(CheckDecodeSettings(CONVERT, FREQLIMIT))) return false;
    return !RefuseLongHandOver(Choice(), items, toMake, settings::kModeMp3Cd) &&
           !RefuseWrite(CheckReadable(mp3s)) && !RefuseWrite(CheckDiscWavs(present));
}

void TFmMP3_CD::btn_executeClick(TObject* /*sender*/) {
    if (!CheckListJob(lst_mp3->Count())) return;
    const std::vector<std::string> items = Items();
    if (!CheckDiscJob(items)) return;
    auto job = [&] {
        WriteWorkFiles made;
        if (DecodeToWav(items, made.files) && StartWriter(items, made.files)) made.HandedOver();
    };
    // The frame empties the list, also when the job raises.
    try {
        RunModeJob(Frame(), job);
    } catch (...) {
        ItemsChanged();
        throw;
    }
    ItemsChanged();
}

bool TFmMP3_CD::DecodeToWav(const std::vector<std::string>& items, std::vector<std::string>& made) {
    DecoderLibrary& decoder = Decoder();
    decoder.StartUp();
    const ConvSettings settings = Settings();
    ShowDecodeInfo(settings, *this);
    int count = 0;
    for (const std::string& item : items)
        if (WavToMake(item)) ++count;
    lbl_msg->SetCaption("Now Decoding to WAV");
    int number = 0;
    for (std::size_t i = 0; i < items.size(); ++i) {
        const std::string& source = items[i];
        const std::optional<std::string> wav = WavToMake(source);
        if (!wav) continue;
        ShowItem(++number, count, PathFileName(source));
        PumpMessages();
        if (DecodeItem(decoder, source, *wav, settings, *this) != DecodeOutcome::Done) {
            // No write with a track missing.
            decoder.ShutDown();
            HideInfo();
            return false;
        }
        made.push_back(*wav);
        WriteLog(source + "デコード成功");
        PumpMessages();
        if (count >= 1)
            SetProgress(static_cast<int>((i * 100 + 100) / static_cast<std::size_t>(count)));
    }
    HideInfo();
    decoder.ShutDown();
    return true;
}

bool TFmMP3_CD::StartWriter(const std::vector<std::string>& items,
                            const std::vector<std::string>& made) {
    return HandOverWrite(Choice(), items, made, settings::kModeMp3Cd, *this);
}

} // namespace sv::app
