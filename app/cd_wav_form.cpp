#include "app/cd_wav_form.h"

#include "app/conv_jobs.h"
#include "app/form_style.h"
#include "app/forms.h"
#include "app/modes.h"
#include "app/mp3_cd_form.h"
#include "app/program_paths.h"
#include "app/writer_command.h"
#include "controls/flat_combo.h"
#include "controls/grad_box.h"
#include "controls/vorsa_button.h"
#include "encoder/gogo_tea.h"
#include "framework/comctrls.h"
#include "framework/dialogs.h"
#include "framework/extctrls.h"
#include "framework/ini_file.h"
#include "framework/media_player.h"
#include "framework/menus.h"
#include "framework/stdctrls.h"
#include "platform/file_ops.h"
#include "platform/settings_keys.h"

#include <algorithm>
#include <map>

namespace sv::app {

namespace {

constexpr std::string_view kCdWavTag = "[CD_WAV]";
constexpr std::string_view kCdMp3Tag = "[CD_MP3]";
constexpr std::string_view kCdCdTag = "[CD_CD]";

constexpr std::size_t kPairingChars = 13;

struct ModeTexts {
    const char* lstr1;
    const char* lstr3;
    const char* lstr4;
    const char* lstr5;
    const char* gstr2;
    const char* gstr3;
};

constexpr const char* kNamingNote =
    "※ 別々にファイル名を指定する場合は、左側のCDデ　　ータ内をダブルクリックして名前を指定して"
    "下さい。　　尚、全曲に名前を指定して下さい。";
constexpr const char* kDeleteNote = "２．必要のない曲を削除することが出来ます。";

constexpr ModeTexts kCdWavTexts{"CD→WAV　　・・・CD内の曲データを取り込み、WAVに変換します。",
                                kDeleteNote,
                                "３．保存先",
                                kNamingNote,
                                "４．WAV変換後のファイル名",
                                "５．WAV変換開始"};
constexpr ModeTexts kCdMp3Texts{"CD→MP3　　・・・CD内の曲データを取り込み、MP3に変換します。",
                                kDeleteNote,
                                "３．保存先",
                                kNamingNote,
                                "４．MP3変換後のファイル名",
                                "５．MP3変換開始"};
constexpr ModeTexts kCdCdTexts{
    "CD→CD　　・・・CD内の曲データをバックアップします。曲順の変更が可能です。",
    "２．曲順の変更及び削除が可能です。",
    "",
    "",
    "",
    "４．書込み開始"};

} // namespace

bool TrackPairs(const std::string& item, const std::string& listText) {
    return !item.empty() && !listText.empty() &&
           item.substr(0, kPairingChars) == listText.substr(0, kPairingChars);
}

std::string TrackListText(int trackNo, int seconds) {
    return Format("Audio track%02d    < %02d:%02d > %dsec", trackNo, seconds / 60,
                  seconds - 60 * (seconds / 60), seconds);
}

TFmCD_WAV::TFmCD_WAV(TComponent* owner)
    : TModeJobForm(owner, kFmCD_WAV), media_play(std::make_unique<TMediaPlayer>()) {
    BeginLoading();
    OnShow = [this](TObject* sender) { FormShow(sender); };
    CreateControls();
    EndLoading();
    FormCreate(this);
}

TFmCD_WAV::~TFmCD_WAV() {
    BeginDestruction();
}

void TFmCD_WAV::CreateControls() {
    auto button = [this](TWinControl* parent, const char* name, const char* caption, int left,
                         int top, int width, int height, TNotifyEvent click) {
        return MakePushButton(this, parent, name, caption, left, top, width, height,
                              std::move(click));
    };

    std::tie(Panel1, GradBox1, lstr1) = MakeModeTitle(this);

    gstr1 = MakeControl<TGroupBox>(this, this, "gstr1", 8, 32, 404, 338);
    gstr1->SetCaption("CDデータ");
    lstr2 = MakeLabel(this, gstr1, "lstr2", "１．ドライブ", 12, 18);
    cmb_drive = MakeControl<TComboBox>(this, gstr1, "cmb_drive", 12, 34, 297, 20);
    cmb_drive->SetStyle(csDropDownList);
    cmb_drive->OnChange = [this](TObject* sender) { cmb_driveChange(sender); };
    btn_reload = button(gstr1, "btn_reload", "再読込", 318, 32, 76, 25,
                        [this](TObject* sender) { cmb_driveChange(sender); });
    lstr3 = MakeLabel(this, gstr1, "lstr3", "", 12, 64);
    lst_cd = MakeControl<TListBox>(this, gstr1, "lst_cd", 8, 82, 297, 244);
    lst_cd->SetStyle(lbOwnerDrawFixed);
    lst_cd->SetItemHeight(14);
    lst_cd->SetMultiSelect(true);
    lst_cd->OnDblClick = [this](TObject* sender) { lst_cdDblClick(sender); };
    lst_cd->OnDrawItem = [this](TWinControl* c, int index, TRect rect, TOwnerDrawState state) {
        lst_cdDrawItem(c, index, rect, state);
    };
    lst_cd->OnKeyDown = [this](TObject* sender, int& key, TShiftState shift) {
        lst_cdKeyDown(sender, key, shift);
    };
    auto move = [this](TObject* sender) { btn_ueClick(sender); };
    btn_ue = button(gstr1, "btn_ue", "▲", 4, 82, 18, 120, move);
    btn_sita = button(gstr1, "btn_sita", "▼", 4, 206, 18, 120, move);
    btn_del = button(gstr1, "btn_del", "削除", 318, 82, 76, 25,
                     [this](TObject* sender) { btn_delClick(sender); });
    auto preview = [this](TObject* sender) { btn_saiseiClick(sender); };
    btn_saisei = button(gstr1, "btn_saisei", "再生", 318, 136, 76, 25, preview);
    btn_saisei->SetTag(1);
    btn_teisi = button(gstr1, "btn_teisi", "停止", 318, 166, 76, 25, preview);
    btn_teisi->SetTag(2);
    btn_teisi->SetEnabled(false);
    pnl_size = MakeControl<TPanel>(this, gstr1, "pnl_size", 318, 300, 76, 26);
    pnl_size->SetColor(clWhite);
    pnl_size->Font()->SetStyle({fsBold});
    pnl_size->SetCaption("NN:NN");

    lstr4 = MakeLabel(this, this, "lstr4", "３．保存先", 420, 36);
    edt_save = MakeControl<TFlatReferEdit>(this, this, "edt_save", 420, 52, 304, 21);
    edt_save->SetReadonly(true);
    edt_save->SetBorderColor(clSilver);
    edt_save->SetLostFocusAtCancel(false);
    edt_save->OnClick = [this](TObject* sender) { edt_saveClick(sender); };
    lbl_speed = MakeLabel(this, this, "lbl_speed", "３．書込み速度", 420, 36);
    cmb_speed = MakeControl<TComboBox>(this, this, "cmb_speed", 420, 52, 150, 20);
    cmb_speed->SetStyle(csDropDownList);
    for (const WriterSpeedItem& speed : kWriterSpeeds)
        cmb_speed->Items()->Add(std::string(speed.text));

    gstr2 = MakeControl<TGroupBox>(this, this, "gstr2", 420, 80, 304, 160);
    rdo_base = MakeControl<TRadioButton>(this, gstr2, "rdo_base", 12, 20, 90, 18);
    rdo_base->SetCaption("ベース名");
    rdo_base->SetChecked(true);
    rdo_base->OnClick = [this](TObject* sender) { rdo_baseClick(sender); };
    edt_base = MakeControl<TEdit>(this, gstr2, "edt_base", 104, 19, 188, 20);
    rdo_betu = MakeControl<TRadioButton>(this, gstr2, "rdo_betu", 12, 46, 150, 18);
    rdo_betu->SetCaption("曲別に指定する");
    Panel2 = MakeControl<TPanel>(this, gstr2, "Panel2", 8, 70, 288, 80);
    Panel2->SetCaption("");
    lstr5 = MakeLabel(this, Panel2, "lstr5", "", 6, 6);
    lstr5->SetAutoSize(false);
    lstr5->SetBounds(6, 6, 278, 68);
    lstr5->SetWordWrap(true);

    gstr3 = MakeControl<TGroupBox>(this, this, "gstr3", 420, 248, 304, 122);
    btn_execute = button(gstr3, "btn_execute", "実　行", 12, 22, 120, 44,
                         [this](TObject* sender) { btn_executeClick(sender); });
    SetDesignFont(btn_execute->Font(), -15);
    lbl_msg = MakeLabel(this, gstr3, "lbl_msg", "xxx", 12, 74);
    lbl_track = MakeLabel(this, gstr3, "lbl_track", "トラックXX", 150, 30);
    prog_main = MakeProgressBar(this, gstr3, 12, 92, 280);
    for (TControl* c : {static_cast<TControl*>(prog_main), static_cast<TControl*>(lbl_msg),
                        static_cast<TControl*>(lbl_track)})
        c->SetVisible(false);

    std::tie(Pop, pop_saisei, pop_ichiji, pop_teisi, pop_del) =
        MakePreviewMenu(this, lst_cd, [this](TObject* sender) { migiclick(sender); });

    GogoTea = new TGogoTea(this);
    GogoTea->SetName("GogoTea");
    GogoTea->SetFrequency(100);
    GogoTea->SetEncodeMode(_FILE);
    GogoTea->SetBitrate(128);
    GogoTea->SetEncodeType(_JOINT);
    GogoTea->OnProgress = [this](TObject* sender, int now, int all) {
        GogoTeaProgress(sender, now, all);
    };

    media_play->SetDeviceType(dtCDAudio);
}

ModeFrameControls TFmCD_WAV::Frame() {
    return {this,
            lst_cd,
            btn_saisei,
            btn_teisi,
            btn_execute,
            lbl_msg,
            lbl_track,
            prog_main,
            pop_saisei,
            pop_ichiji,
            pop_teisi,
            media_play.get(),
            /*clearListAfterJob=*/false};
}

void TFmCD_WAV::FormCreate(TObject* /*sender*/) {
    if (LoadCddaReader() == 1)
        Cdda.ReaderInit(&CddaCtx);
    else
        ShowMessage("CDDA_EX.DLLファイルが見つかりません。中止します。");
}

void TFmCD_WAV::FormShow(TObject* /*sender*/) {
    UpdateModeTag();
    PrepareForm();
}

void TFmCD_WAV::PrepareForm() {
    EndPreviewForShow(Frame());
    {
        TIniFile ini(IniPath());
        if (ModeTag == kCdWavTag) {
            edt_save->SetText(ini.ReadString(settings::kCdWav, settings::kSaveDir, ""));
        } else if (ModeTag == kCdMp3Tag) {
            edt_save->SetText(ini.ReadString(settings::kCdMp3, settings::kSaveDir, ""));
            CdMp3BitRate =
                ini.ReadInteger(settings::kCdMp3, settings::kBitRate, settings::kBitRateDefault);
            CdMp3EncodeType = ini.ReadInteger(settings::kCdMp3, settings::kEncodeType,
                                              settings::kEncodeTypeDefault);
        } else if (ModeTag == kCdCdTag) {
            cmb_speed->SetItemIndex(
                ini.ReadInteger(settings::kCdCd, settings::kSpeed, settings::kSpeedDefault));
            CdCdBurnProof =
                ini.ReadInteger(settings::kCdCd, settings::kBurnProof, settings::kBurnProofDefault);
            ForgetHandOver(ini);
        }
    }
    ApplyModeTexts();
    ApplyModeLayout();
    try {
        ScanDrives();
    } catch (...) {
        ClearTrackTable();
        lst_cd->Clear();
    }
}

void TFmCD_WAV::ApplyModeTexts() {
    const ModeTexts* texts = ModeTag == kCdWavTag   ? &kCdWavTexts
                             : ModeTag == kCdMp3Tag ? &kCdMp3Texts
                             : ModeTag == kCdCdTag  ? &kCdCdTexts
                                                    : nullptr;
    if (!texts) return;
    lstr1->SetCaption(texts->lstr1);
    lstr2->SetCaption("１．ドライブ");
    lstr3->SetCaption(texts->lstr3);
    lstr4->SetCaption(texts->lstr4);
    lstr5->SetCaption(texts->lstr5);
    gstr1->SetCaption("CDデータ");
    gstr2->SetCaption(texts->gstr2);
    gstr3->SetCaption(texts->gstr3);
}

void TFmCD_WAV::ApplyModeLayout() {
    const bool files = ModeTag == kCdWavTag || ModeTag == kCdMp3Tag;
    const bool disc = ModeTag == kCdCdTag;
    if (!files && !disc) return;
    for (TControl* c :
         std::initializer_list<TControl*>{lstr4, edt_save, gstr2, rdo_base, rdo_betu, edt_base})
        c->SetVisible(files);
    for (TControl* c :
         std::initializer_list<TControl*>{lbl_speed, cmb_speed, btn_ue, btn_sita, pnl_size})
        c->SetVisible(disc);
    gstr3->SetTop(files ? 248 : 96);
    lst_cd->SetLeft(files ? 8 : 24);
    lst_cd->SetWidth(files ? 297 : 281);
}

void TFmCD_WAV::ScanDrives() {
    Cdda.ReaderScanDrives(&CddaCtx);
    WriteLog(Format("CD-ROM Device Num = %d", CddaCtx.DriveCount));
    LogCddaScanNotes(CddaCtx, ModeTag);
    if (CheckCddaStatus(CddaCtx.Status, ModeTag) == 1) {
        Cdda.ReaderRelease(&CddaCtx);
        return;
    }
    cmb_drive->Items()->Clear();
    for (int k = 0; k < CddaCtx.DriveCount && k < CDDA_EX_MAX_DRIVES; ++k) {
        // The name is the library's: never read past its record, even without a zero byte.
        const std::string name(CddaCtx.DriveName[k],
                               strnlen(CddaCtx.DriveName[k], CDDA_EX_DRIVE_NAME_SIZE));
        WriteLog(Format("find_drive%02d %s", k, name.c_str()));
        cmb_drive->Items()->Add(name);
    }
    cmb_drive->SetItemIndex(0);
    if (FmMP3_CD) FmMP3_CD->SetDriveNames(DriveNames());
    ReadTrackList();
}

std::vector<std::string> TFmCD_WAV::DriveNames() const {
    std::vector<std::string> names;
    for (int k = 0; k < cmb_drive->Items()->Count(); ++k)
        names.push_back(cmb_drive->Items()->Get(k));
    return names;
}

void TFmCD_WAV::ClearTrackTable() {
    for (TrackRecord& r : TrackTable) r = TrackRecord{};
}

void TFmCD_WAV::ReadTrackList() {
    ClearTrackTable();
    Cdda.ReaderSelectDrive(&CddaCtx, cmb_drive->ItemIndex());
    Cdda.ReaderReadToc(&CddaCtx);
    WriteLog("TOC ok");
    if (CddaCtx.MultiSession != 0) {
        Cdda.ReaderSessionInfo(&CddaCtx);
        if (CddaCtx.SessionFirst != CddaCtx.SessionLast) {
            WriteLog("CD-TYPE = Multi Session");
            WriteLog(Format("Session %d-%d", CddaCtx.SessionFirst, CddaCtx.SessionLast));
            WriteLog(Format("Session change track %d", CddaCtx.SessionChangeTrack));
            WriteLog(Format("Session address %x", CddaCtx.SessionAddress));
        }
    }
    lst_cd->Clear();
    for (int i = 0; i < CddaCtx.TrackCount && i < kTrackRecords; ++i) {
        const int64_t bytes =
            (int64_t{CddaCtx.TrackStart[i + 1]} - CddaCtx.TrackStart[i]) * CDDA_EX_SECTOR_BYTES;
        const auto seconds = static_cast<int32_t>(bytes / 176400);
        WriteLog(Format("%08x %02d ", static_cast<unsigned>(CddaCtx.TrackStart[i]), i + 1));
        if (CddaCtx.TrackType[i] == CDDA_EX_TRACK_AUDIO) {
            const std::string text = TrackListText(i + 1, seconds);
            lst_cd->Items()->Add(text);
            WriteLog(text);
            TrackTable[i] = TrackRecord{TrackRecord::Listed, i + 1, seconds, "", "", text};
        }
        if (seconds < 0) {
            ClearTrackTable();
            lst_cd->Clear();
            return;
        }
    }
    ShowTotalTime();
}

void TFmCD_WAV::ShowTotalTime() {
    unsigned total = 0;
    for (const TrackRecord& r : TrackTable)
        if (r.State == TrackRecord::Listed) total += static_cast<unsigned>(r.Seconds);
    pnl_size->SetCaption(TotalTimeCaption(total, lst_cd->Count()));
}

void TFmCD_WAV::cmb_driveChange(TObject* /*sender*/) {
    ReadTrackList();
}

TrackRecord* TFmCD_WAV::RecordOfItem(int index) {
    // No item at the caret while the list has items counts as no item.
    if (index < 0 || index >= lst_cd->Count()) return nullptr;
    const std::string item = lst_cd->Items()->Get(index);
    for (TrackRecord& r : TrackTable)
        if (TrackPairs(item, r.ListText)) return &r;
    return nullptr;
}

void TFmCD_WAV::lst_cdDblClick(TObject* /*sender*/) {
    const int index = lst_cd->ItemIndex();
    if (TrackRecord* r = RecordOfItem(index)) {
        std::string name = r->FileName;
        const bool answered = InputQuery(r->ListText, "ファイル名", name);
        // A drive that came or went while the question was open has changed the list: the answer
        // belongs to a line that is no longer there.
        if (RecordOfItem(index) == r) {
            if (answered) r->FileName = name;
            lst_cd->Items()->Put(index, r->FileName.empty()
                                            ? r->ListText
                                            : r->ListText + "   [" + r->FileName + "]");
        }
    }
    rdo_betu->SetChecked(true);
}

void TFmCD_WAV::lst_cdDrawItem(TWinControl* /*control*/, int index, TRect rect,
                               TOwnerDrawState state) {
    DrawModeListRow(lst_cd, index, rect, state, kCdWavRowColor);
}

void TFmCD_WAV::lst_cdKeyDown(TObject* /*sender*/, int& key, TShiftState /*shift*/) {
    if (key == VK_DELETE) btn_delClick(this);
}

void TFmCD_WAV::btn_delClick(TObject* /*sender*/) {
    DeleteSelectedItems(lst_cd);
    for (TrackRecord& r : TrackTable) {
        r.State = TrackRecord::Removed;
        for (int i = 0; i < lst_cd->Count(); ++i) {
            if (TrackPairs(lst_cd->Items()->Get(i), r.ListText)) {
                r.State = TrackRecord::Listed;
                break;
            }
        }
    }
    ShowTotalTime();
}

void TFmCD_WAV::btn_ueClick(TObject* sender) {
    if (auto* control = dynamic_cast<TControl*>(sender)) {
        if (control->Caption() == "▲") MoveSelectedItems(lst_cd, true);
        if (control->Caption() == "▼") MoveSelectedItems(lst_cd, false);
    }
}

void TFmCD_WAV::rdo_baseClick(TObject* /*sender*/) {
    edt_base->SetFocus();
}

void TFmCD_WAV::edt_saveClick(TObject* /*sender*/) {
    std::string folder;
    if (!SelectDirectory("ディレクトリ選択", "", folder)) return;
    edt_save->SetText(folder + "/");
}

void TFmCD_WAV::PlayTrack() {
    // No item at the caret is no item, as an empty list is.
    if (lst_cd->Count() == 0 || lst_cd->ItemIndex() < 0) {
        ShowMessage("サウンドデータが選択されていません");
        return;
    }
    if (btn_teisi->Enabled()) {
        media_play->Stop();
        media_play->Close();
    }
    try {
        media_play->SetDeviceType(dtCDAudio);
        media_play->SetFileName(cmb_drive->Text());
        media_play->Open();
        if (const TrackRecord* r = RecordOfItem(lst_cd->ItemIndex()))
            media_play->SetStartPos(media_play->TrackPosition(r->TrackNo));
        media_play->Play();
    } catch (...) {
        PreviewStop(Frame());
        throw;
    }
    btn_teisi->SetEnabled(true);
    pop_ichiji->SetEnabled(true);
    pop_teisi->SetEnabled(true);
}

void TFmCD_WAV::btn_saiseiClick(TObject* sender) {
    PreviewButtonClick(Frame(), sender, [this] { PlayTrack(); });
}

void TFmCD_WAV::migiclick(TObject* sender) {
    PreviewMenuClick(
        Frame(), sender, [this] { PlayTrack(); }, [this] { btn_delClick(lst_cd); });
}

void TFmCD_WAV::AssignTrackNames() {
    for (TrackRecord& r : TrackTable) {
        if (r.State != TrackRecord::Listed) continue;
        if (ModeTag == kCdCdTag)
            r.FileName = Format("Audiotrack%02d", r.TrackNo);
        else if ((ModeTag == kCdWavTag || ModeTag == kCdMp3Tag) && rdo_base->Checked())
            r.FileName = edt_base->Text() + "_" + Format("%02d", r.TrackNo);
    }
}

bool TFmCD_WAV::CheckTrackNames() {
    // Two tracks of one name would be written into one file, the second over the first.
    std::map<std::string, int32_t> first;
    for (const TrackRecord& r : TrackTable) {
        if (r.State != TrackRecord::Listed) continue;
        // A "/" would put the file outside the save folder ("../x") or into a folder that need
        // not be there ("AC/DC"): refused here, before the disc is read.
        if (r.FileName.find('/') != std::string::npos) {
            ShowMessage(Format("トラック%02dのファイル名に「/」は使えません。", r.TrackNo) +
                        "別の名前を指定して下さい。");
            return false;
        }
        // A name the file system cannot take would be found only once the track was read.
        const std::string path = TrackWavPath(r.FileName, ModeTag, edt_save->Text());
        const std::string name = path.substr(path.rfind('/') + 1);
        if (name.size() > kMaxFileNameBytes) {
            // The name itself would stretch the box past the screen: its length tells why.
            ShowMessage(Format("トラック%02dのファイル名が長すぎます(", r.TrackNo) +
                        std::to_string(name.size()) + "バイト、" +
                        std::to_string(kMaxFileNameBytes) +
                        "バイトまで)。短い名前を指定して下さい。");
            return false;
        }
        const auto [at, added] = first.emplace(r.FileName, r.TrackNo);
        if (added) continue;
        ShowMessage(Format("トラック%02dとトラック%02dのファイル名", at->second, r.TrackNo) + "「" +
                    r.FileName + "」が同じです。別々の名前を指定して下さい。");
        return false;
    }
    return true;
}

bool TFmCD_WAV::CheckJob() {
    const bool files = ModeTag != kCdCdTag;
    const int count = lst_cd->Count();
    if (count == 0) return CheckListJob(count);
    if (files && edt_save->Text().empty()) {
        ShowMessage("保存先が未入力です");
        return false;
    }
    if (files && rdo_base->Checked() && edt_base->Text().empty()) {
        ShowMessage("ベース名が未入力です");
        return false;
    }
    if (!CheckListJob(count)) return false;
    if (files && rdo_betu->Checked()) {
        for (const TrackRecord& r : TrackTable) {
            if (r.State != TrackRecord::Listed || !r.FileName.empty()) continue;
            ShowMessage(r.ListText + "のファイル名が未入力です");
            return false;
        }
    }
    return true;
}

void TFmCD_WAV::btn_executeClick(TObject* /*sender*/) {
    if (!CheckJob()) return;
    AssignTrackNames();
    if (!CheckTrackNames()) return;
    // A copy that could not be handed over is refused before a whole disc is read for nothing;
    // while a disc is written, its work files are the ones the rip would write.
    if (ModeTag == kCdCdTag &&
        (RefuseWhileWriting() ||
         RefuseLongHandOver(Choice(), WorkFiles(), WorkFiles(), settings::kModeCdCd)))
        return;
    // A folder that cannot be made shows when the first file cannot be opened.
    if (ModeTag != kCdCdTag && !FolderExists(edt_save->Text()))
        platform::Files().CreateDirectory(edt_save->Text());
    try {
        RunModeJob(Frame(), [this] { RunJob(); });
    } catch (...) {
        // The records hold the paths of this job: names and deletions go as after any job.
        ReadTrackList();
        throw;
    }
    if (ModeTag != kCdCdTag) ShowMessage("Complete");
    ReadTrackList();
}

void TFmCD_WAV::RunJob() {
    lbl_msg->SetCaption("Now Ripping...");
    const RipResult ripped = RipTracks(CddaCtx, TrackTable, ModeTag, edt_save->Text(), *this);
    if (ModeTag == kCdMp3Tag) {
        lbl_msg->SetCaption("Now Encoding to MP3...");
        EncodeTracks(ripped.ripped);
    }
    if (ModeTag == kCdCdTag) StartWriter(ripped);
}

void TFmCD_WAV::EncodeTracks(const std::vector<int>& ripped) {
    TeaEncoder encoder(*GogoTea);
    EncodeRippedTracks(TrackTable, ripped, CdMp3BitRate, CdMp3EncodeType, encoder, *this);
}

std::vector<std::string> TFmCD_WAV::WorkFiles() const {
    // Every item begins with "Audio track" and its number: "Audiotrack" and the number is the
    // name the track's work file gets.
    std::vector<std::string> files;
    for (int i = 0; i < lst_cd->Count(); ++i) {
        const std::string item = lst_cd->Items()->Get(i);
        files.push_back(WorkFilePath(item.substr(0, 5) +
                                     item.substr(std::min<std::size_t>(6, item.size()), 7)));
    }
    return files;
}

WriterChoice TFmCD_WAV::Choice() const {
    return {cmb_drive->Text(), cmb_speed->ItemIndex(), CdCdBurnProof};
}

void TFmCD_WAV::StartWriter(const RipResult& ripped) {
    // The tracks this job ripped go again unless they are handed over: hidden in the program
    // folder, nothing else would ever remove them.
    WriteWorkFiles made;
    for (const int index : ripped.ripped)
        made.files.push_back(TrackTable[static_cast<std::size_t>(index)].FileName);
    // A copy with a track missing or cut is no copy of the disc; the user was told what failed.
    if (ripped.stopped) return;
    made.files = WorkFiles();
    if (HandOverWrite(Choice(), made.files, made.files, settings::kModeCdCd, *this))
        made.HandedOver();
}

void TFmCD_WAV::GogoTeaProgress(TObject* /*sender*/, int nowFrames, int allFrames) {
    ShowEncodeProgress(prog_main, nowFrames, allFrames);
}

void TFmCD_WAV::SetProgress(int position) {
    prog_main->SetPosition(position);
}

void TFmCD_WAV::ShowTrack(int32_t trackNo) {
    lbl_track->SetCaption("トラック" + std::to_string(trackNo));
}

} // namespace sv::app
