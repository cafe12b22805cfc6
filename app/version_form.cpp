#include "app/version_form.h"

#include "app/form_style.h"
#include "app/modes.h"
#include "app/program_paths.h"
#include "framework/bitmap.h"
#include "framework/canvas.h"
#include "framework/extctrls.h"
#include "framework/ini_file.h"
#include "framework/stdctrls.h"
#include "platform/settings_keys.h"

#include <memory>

namespace sv::app {

namespace {

// The components this build runs in place of the outside ones, with their makers.
struct Credit {
    const char* heading;
    const char* text;
};
constexpr Credit kCredits[] = {
    {"cdrecord.exe", "wodim 1.1.11\r\nthe cdrkit project"},
    {"cdda_ex.dll", "libcdio-paranoia 10.2+2.0.1\r\nthe GNU libcdio project"},
    {"vbmp3.dll", "libmpg123 1.31.2\r\nthe mpg123 project"},
    {"gogo.dll", "libmp3lame 3.100\r\nthe LAME project"},
};

constexpr TColor kHeadingColor = clGreen;

// The program's icon: a disc.
std::unique_ptr<TBitmap> ProgramIconPicture() {
    auto icon = std::make_unique<TBitmap>(32, 32);
    TCanvas* c = icon->Canvas();
    c->Brush()->SetColor(clBtnFace);
    c->FillRect(Rect(0, 0, 32, 32));
    c->Pen()->SetColor(clGray);
    c->Brush()->SetColor(clSilver);
    c->Ellipse(1, 1, 31, 31);
    c->Brush()->SetColor(0x00FF8000);
    c->Ellipse(9, 9, 23, 23);
    c->Brush()->SetColor(clWhite);
    c->Ellipse(13, 13, 19, 19);
    return icon;
}

} // namespace

TFmVersion::TFmVersion(TComponent* owner) : TForm(owner) {
    BeginLoading();
    SetName(std::string(kFmVersion));
    SetCaption("バージョン情報");
    SetBorderStyle(bsDialog);
    SetPosition(poScreenCenter);
    SetDesignFont(Font());
    SetClientWidth(569);
    SetClientHeight(273);
    OnShow = [this](TObject* sender) { FormShow(sender); };

    Panel1 = new TPanel(this);
    Panel1->SetName("Panel1");
    Panel1->SetParent(this);
    Panel1->SetBounds(8, 8, 553, 222);
    Panel1->SetBevelInner(bvRaised);
    Panel1->SetBevelOuter(bvLowered);
    Panel1->SetParentColor(true);
    Panel1->SetCaption("");

    ProgramIcon = new TImage(this);
    ProgramIcon->SetName("ProgramIcon");
    ProgramIcon->SetParent(Panel1);
    ProgramIcon->SetBounds(12, 12, 32, 32);
    ProgramIcon->SetPicture(ProgramIconPicture().get());
    ProgramIcon->SetStretch(true);
    ProgramIcon->SetAutoSize(true);

    ProductName = AddLabel("ProductName", "Product Name", 60, 12);
    SetDesignFont(ProductName->Font(), -16);
    Version = AddLabel("Version", "Version", 60, 36);
    SetDesignFont(Version->Font(), -16);
    Label8 = AddLabel("Label8", "Sonvale  CD・WAV・MP3 変換ツール", 250, 24);
    SetDesignFont(Label8->Font(), -16);

    TLabel** headings[] = {&Label4, &Label5, &Label6, &Label7};
    TLabel** texts[] = {&Label9, &Label10, &Label11, &Label12};
    for (int i = 0; i < 4; ++i) {
        int left = 12 + (i % 2) * 272;
        int top = 68 + (i / 2) * 56;
        *headings[i] =
            AddLabel(("Label" + std::to_string(4 + i)).c_str(), kCredits[i].heading, left, top);
        (*headings[i])->Font()->SetColor(kHeadingColor);
        TLabel* text = AddLabel(("Label" + std::to_string(9 + i)).c_str(), kCredits[i].text,
                                left + 8, top + 16);
        text->SetAutoSize(false);
        text->SetWordWrap(true);
        text->SetBounds(left + 8, top + 16, 256, 32);
        *texts[i] = text;
    }

    Label3 = AddLabel("Label3",
                      "このソフトウェアにより生じたあらゆる障害において、作者は一切責任を負いませ"
                      "ん。       ご自分の責任においてご利用下さい。",
                      12, 182);
    Label3->SetAutoSize(false);
    Label3->SetWordWrap(true);
    Label3->SetBounds(12, 182, 529, 30);
    Label3->Font()->SetColor(clRed);

    OKButton = new TButton(this);
    OKButton->SetName("OKButton");
    OKButton->SetParent(this);
    OKButton->SetBounds(247, 240, 75, 25);
    OKButton->SetCaption("OK");
    OKButton->SetDefault(true);
    OKButton->SetModalResult(mrOk);
    EndLoading();
}

TFmVersion::~TFmVersion() {
    BeginDestruction();
}

TLabel* TFmVersion::AddLabel(const char* name, const std::string& caption, int left, int top) {
    auto* label = new TLabel(this);
    label->SetName(name);
    label->SetParent(Panel1);
    label->SetLeft(left);
    label->SetTop(top);
    label->SetCaption(caption);
    return label;
}

void TFmVersion::FormShow(TObject* /*sender*/) {
    SetTop(Screen->Height() / 2 - Height() / 2);
    SetLeft(Screen->Width() / 2 - Width() / 2);
    TIniFile ini(IniPath());
    ProductName->SetCaption(
        ini.ReadString(settings::kMain, settings::kTitle, settings::kTitleDefault));
    Version->SetCaption("Version " + ini.ReadString(settings::kMain, settings::kVersion,
                                                    settings::kVersionDefault));
}

} // namespace sv::app
