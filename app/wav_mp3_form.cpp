#include "app/wav_mp3_form.h"

#include "app/conv_paths.h"
#include "app/form_style.h"
#include "app/modes.h"
#include "app/program_paths.h"
#include "controls/control_hook.h"
#include "controls/flat_combo.h"
#include "controls/grad_box.h"
#include "controls/shine_button.h"
#include "controls/vorsa_button.h"
#include "encoder/gogo_tea.h"
#include "framework/canvas.h"
#include "framework/comctrls.h"
#include "framework/dialogs.h"
#include "framework/extctrls.h"
#include "framework/ini_file.h"
#include "framework/media_player.h"
#include "framework/menus.h"
#include "platform/settings_keys.h"
#include "platform/text.h"

#include <algorithm>

namespace sv::app {

namespace {

constexpr std::string_view kWavMp3Tag = "[WAV_MP3]";
constexpr std::string_view kMp3WavTag = "[MP3_WAV]";

struct ModeTexts {
    const char* lstr1;
    const char* lstr2;
    const char* gstr2;
};
constexpr ModeTexts kWavMp3Texts{"WAV→MP3　　・・・WAVデータをMP3に変換します。",
                                 "１．WAVデータをエクスプローラからドラッグして下さい。",
                                 "４．エンコード開始"};
constexpr ModeTexts kMp3WavTexts{"MP3→WAV　　・・・MP3データをWAVに変換します。",
                                 "１．MP3データをエクスプローラからドラッグして下さい。",
                                 "４．デコード開始"};

} // namespace

TFmWAV_MP3::TFmWAV_MP3(TComponent* owner)
    : TModeJobForm(owner, kFmWAV_MP3), media_play(std::make_unique<TMediaPlayer>()) {
    BeginLoading();
    OnShow = [this](TObject* sender) { FormShow(sender); };
    CreateControls();
    EndLoading();
}

TFmWAV_MP3::~TFmWAV_MP3() {
    BeginDestruction();
}

void TFmWAV_MP3::CreateControls() {
    std::tie(Panel1, GradBox1, lstr1) = MakeModeTitle(this);

    gstr1 = MakeControl<TGroupBox>(this, this, "gstr1", 8, 32, 560, 250);
    gstr1->SetCaption("変換データ");
    lstr2 = MakeLabel(this, gstr1, "lstr2", "", 12, 18);
    lst_wav = MakeControl<TListBox>(this, gstr1, "lst_wav", 12, 36, 448, 204);
    lst_wav->SetStyle(lbOwnerDrawFixed);
    lst_wav->SetItemHeight(12);
    lst_wav->SetMultiSelect(true);
    lst_wav->SetSorted(true);
    lst_wav->OnDrawItem = [this](TWinControl* c, int index, TRect rect, TOwnerDrawState state) {
        lst_wavDrawItem(c, index, rect, state);
    };
    lst_wav->OnKeyDown = [this](TObject* sender, int& key, TShiftState shift) {
        lst_wavKeyDown(sender, key, shift);
    };

    btn_add = MakePushButton(this, gstr1, "btn_add", "追加", 472, 36, 76, 25,
                             [this](TObject* sender) { btn_addClick(sender); });
    btn_del = MakePushButton(this, gstr1, "btn_del", "削除", 472, 66, 76, 25,
                             [this](TObject* sender) { btn_delClick(sender); });
    btn_saisei = MakePushButton(this, gstr1, "btn_saisei", "再生", 472, 120, 76, 25,
                                [this](TObject* sender) { btn_saiseiClick(sender); });
    btn_saisei->SetTag(1);
    btn_teisi = MakePushButton(this, gstr1, "btn_teisi", "停止", 472, 150, 76, 25,
                               [this](TObject* sender) { btn_saiseiClick(sender); });
    btn_teisi->SetTag(2);
    btn_teisi->SetEnabled(false);

    lstr3 = MakeLabel(this, this, "lstr3", "２．保存先", 576, 36);
    edt_save = MakeControl<TFlatReferEdit>(this, this, "edt_save", 576, 54, 148, 21);
    edt_save->SetReadonly(true);
    edt_save->SetBorderColor(clSilver);
    edt_save->SetLostFocusAtCancel(false);
    edt_save->OnClick = [this](TObject* sender) { edt_saveClick(sender); };

    auto option = [this](const char* name, const char* caption, int top, int group) {
        auto* b = MakeControl<TShineSpeedButton>(this, this, name, 576, top, 148, 25);
        b->SetCaption(caption);
        b->SetGroupIndex(group);
        b->SetAllowAllUp(true);
        b->Colors()->SetColor(0x00D9DEC7);
        b->PressedColors()->SetColor(0x009EEBED);
        SetDesignFont(b->Font());
        SetDesignFont(b->ActiveFont());
        b->ActiveFont()->SetStyle({fsBold});
        b->ActiveFont()->SetColor(clHighlight);
        return b;
    };
    btn_onaji = option("btn_onaji", "同じ場所に保存する", 80, 1);
    lstr4 = MakeLabel(this, this, "lstr4", "３．変換後処理", 576, 120);
    btn_moto_del = option("btn_moto_del", "元のファイルは削除する", 138, 2);

    gstr2 = MakeControl<TGroupBox>(this, this, "gstr2", 8, 288, 716, 82);
    btn_execute = MakePushButton(this, gstr2, "btn_execute", "実　行", 16, 22, 120, 44,
                                 [this](TObject* sender) { btn_executeClick(sender); });
    SetDesignFont(btn_execute->Font(), -15);
    lbl_msg = MakeLabel(this, gstr2, "lbl_msg", "xxx", 150, 18);
    lbl_msg->SetAutoSize(false);
    lbl_msg->SetWidth(300);
    lbl_msg->SetAlignment(taCenter);
    lbl_track = MakeLabel(this, gstr2, "lbl_track", "XX / XX", 150, 60);
    prog_main = MakeProgressBar(this, gstr2, 150, 36, 300);
    std::tie(lbl_filename1, lbl_filename2, lbl_bitrate1, lbl_bitrate2, lbl_enctype1, lbl_enctype2) =
        MakeInfoLabels(this, gstr2, "BitRate:", "EncodeType:", 470, 550, 18, 18);
    for (TControl* c : {static_cast<TControl*>(prog_main), static_cast<TControl*>(lbl_msg),
                        static_cast<TControl*>(lbl_track)})
        c->SetVisible(false);
    SetProgressControls({lbl_track, prog_main, lbl_filename1, lbl_filename2, lbl_bitrate1,
                         lbl_bitrate2, lbl_enctype1, lbl_enctype2});

    std::tie(Pop, pop_saisei, pop_ichiji, pop_teisi, pop_del) =
        MakePreviewMenu(this, lst_wav, [this](TObject* sender) { migiClick(sender); });

    std::tie(drop, open_dlg) =
        MakeFileInputs(this, lst_wav, [this](TObject* sender, TStrings* files, int x, int y) {
            dropFileDrop(sender, files, x, y);
        });

    GogoTea = new TGogoTea(this);
    GogoTea->SetName("GogoTea");
    GogoTea->OnProgress = [this](TObject* sender, int now, int all) {
        GogoTeaProgress(sender, now, all);
    };
}

ModeFrameControls TFmWAV_MP3::Frame() {
    return {this,      lst_wav,   btn_saisei, btn_teisi,  btn_execute, lbl_msg,
            lbl_track, prog_main, pop_saisei, pop_ichiji, pop_teisi,   media_play.get()};
}

void TFmWAV_MP3::FormShow(TObject* /*sender*/) {
    UpdateModeTag();
    PrepareForm();
}

void TFmWAV_MP3::PrepareForm() {
    EndPreviewForShow(Frame());
    lst_wav->Clear();
    ItemsChanged();
    const bool encoding = ModeTag == kWavMp3Tag;
    const bool decoding = ModeTag == kMp3WavTag;
    {
        TIniFile ini(IniPath());
        const std::string_view section = encoding   ? settings::kWavMp3
                                         : decoding ? settings::kMp3Wav
                                                    : std::string_view();
        if (!section.empty()) {
            edt_save->SetText(ini.ReadString(section, settings::kSaveDir, ""));
            btn_onaji->SetDown(
                ini.ReadInteger(section, settings::kSameFolder, settings::kButtonDefault) != 0);
            btn_moto_del->SetDown(
                ini.ReadInteger(section, settings::kDeleteSource, settings::kButtonDefault) != 0);
        }
        if (encoding) {
            BITRATE = ini.ReadInteger(section, settings::kBitRate, settings::kBitRateDefault);
            ENCODETYPE =
                ini.ReadInteger(section, settings::kEncodeType, settings::kEncodeTypeDefault);
        } else if (decoding) {
            CONVERT = ini.ReadInteger(section, settings::kConvert, settings::kConvertDefault);
            FREQLIMIT = ini.ReadInteger(section, settings::kFreqLimit, settings::kFreqLimitDefault);
            DECWAIT = ini.ReadInteger(section, settings::kDecWait, settings::kDecWaitDefault);
        }
    }
    if (!encoding && !decoding) return;
    const ModeTexts& texts = encoding ? kWavMp3Texts : kMp3WavTexts;
    lstr1->SetCaption(texts.lstr1);
    lstr2->SetCaption(texts.lstr2);
    lstr3->SetCaption("２．保存先");
    lstr4->SetCaption("３．変換後処理");
    gstr1->SetCaption("変換データ");
    gstr2->SetCaption(texts.gstr2);
    SetInfoVisible(false);
}

bool TFmWAV_MP3::Listed(const std::string& path) const {
    for (int i = 0; i < lst_wav->Count(); ++i)
        if (lst_wav->Items()->Get(i) == path) return true;
    return false;
}

void TFmWAV_MP3::dropFileDrop(TObject* /*sender*/, TStrings* files, int /*x*/, int /*y*/) {
    for (int i = 0; i < files->Count(); ++i) {
        const std::string name = files->Get(i);
        const std::string ext = PathExtension(platform::ToLowerAscii(name));
        if (ModeTag == kWavMp3Tag && ext != ".wav") continue;
        if (ModeTag == kMp3WavTag && ext != ".mp3") continue;
        if (Listed(name)) continue;
        lst_wav->Items()->Add(name);
    }
    ItemsChanged();
}

void TFmWAV_MP3::btn_addClick(TObject* /*sender*/) {
    if (ModeTag == kWavMp3Tag) open_dlg->Filter = "wavファイル|*.wav";
    if (ModeTag == kMp3WavTag) open_dlg->Filter = "mp3ファイル|*.mp3";
    if (open_dlg->Execute()) {
        TStrings* files = open_dlg->Files();
        for (int i = 0; i < files->Count(); ++i)
            if (!Listed(files->Get(i))) lst_wav->Items()->Add(files->Get(i));
    }
    ItemsChanged();
}

void TFmWAV_MP3::ItemsChanged() {
    FitListExtent(lst_wav, this);
}

void TFmWAV_MP3::edt_saveClick(TObject* /*sender*/) {
    std::string folder;
    if (!SelectDirectory("ディレクトリ選択", "", folder)) return;
    edt_save->SetText(folder + "/");
}

ConvSettings TFmWAV_MP3::Settings() const {
    return {BITRATE, ENCODETYPE, CONVERT, FREQLIMIT, DECWAIT, btn_onaji->Down(), edt_save->Text()};
}

void TFmWAV_MP3::btn_executeClick(TObject* /*sender*/) {
    if (!CheckFileJob(lst_wav->Count(), edt_save->Text(), btn_onaji->Down())) return;
    std::vector<std::string> items;
    for (int i = 0; i < lst_wav->Count(); ++i) items.push_back(lst_wav->Items()->Get(i));
    RunModeJob(Frame(), [&] {
        if (ModeTag == kWavMp3Tag) {
            lbl_msg->SetCaption("Now Encoding to MP3...");
            TeaEncoder encoder(*GogoTea);
            EncodeList(items, Settings(), encoder, *this);
        } else if (ModeTag == kMp3WavTag) {
            lbl_msg->SetCaption("Now Decoding to WAV...");
            DecodeList(items, Settings(), *this);
        }
    });
    ShowMessage("Complete");
}

void TFmWAV_MP3::GogoTeaProgress(TObject* /*sender*/, int nowFrames, int allFrames) {
    ShowEncodeProgress(prog_main, nowFrames, allFrames);
}

void TFmWAV_MP3::lst_wavDrawItem(TWinControl* /*control*/, int index, TRect rect,
                                 TOwnerDrawState state) {
    DrawModeListRow(lst_wav, index, rect, state, kWavMp3RowColor);
}

void TFmWAV_MP3::lst_wavKeyDown(TObject* /*sender*/, int& key, TShiftState /*shift*/) {
    if (key == VK_DELETE) btn_delClick(this);
}

void TFmWAV_MP3::btn_delClick(TObject* /*sender*/) {
    DeleteSelectedItems(lst_wav);
    ItemsChanged();
}

void TFmWAV_MP3::btn_saiseiClick(TObject* sender) {
    PreviewButtonClick(Frame(), sender, [this] { PreviewPlay(Frame()); });
}

void TFmWAV_MP3::migiClick(TObject* sender) {
    PreviewMenuClick(
        Frame(), sender, [this] { PreviewPlay(Frame()); }, [this] { btn_delClick(lst_wav); });
}

bool TFmWAV_MP3::DeleteSourceDown() const {
    return btn_moto_del->Down();
}

} // namespace sv::app
