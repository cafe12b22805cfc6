#include "framework/buttons.h"
#include "framework/comctrls.h"
#include "framework/dropfiles.h"
#include "framework/extctrls.h"
#include "framework/menus.h"
#include "framework/stdctrls.h"
#include "tests/framework/test_helpers.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QScrollBar>
#include <algorithm>
#include <chrono>
#include <gtest/gtest.h>
#include <thread>

using namespace sv;
using namespace sv::test;

namespace {

// A small form built in code as a form description would: label, edit, owner-drawn list,
// panel and button.
class TFmExample : public TForm {
public:
    TLabel* lbl_title;
    TEdit* edt_path;
    TListBox* lst_files;
    TPanel* pnl_info;
    TButton* btn_ok;
    std::vector<std::string> loaded;

    explicit TFmExample(TComponent* owner) : TForm(owner) {
        BeginLoading();
        SetName("FmExample");
        SetCaption("例");
        SetBorderStyle(bsSingle);
        SetClientWidth(300);
        SetClientHeight(200);
        lbl_title = new TLabel(this);
        lbl_title->SetName("lbl_title");
        lbl_title->SetParent(this);
        lbl_title->SetBounds(8, 8, 100, 12);
        lbl_title->SetCaption("ファイル");
        edt_path = new TEdit(this);
        edt_path->SetName("edt_path");
        edt_path->SetParent(this);
        edt_path->SetBounds(8, 24, 200, 21);
        edt_path->SetText("/tmp/a.wav");
        lst_files = new TListBox(this);
        lst_files->SetName("lst_files");
        lst_files->SetParent(this);
        lst_files->SetBounds(8, 52, 200, 100);
        lst_files->SetStyle(lbOwnerDrawFixed);
        lst_files->SetItemHeight(16);
        lst_files->SetMultiSelect(true);
        lst_files->OnDrawItem = [this](TWinControl*, int index, TRect r, TOwnerDrawState state) {
            lst_filesDrawItem(index, r, state);
        };
        pnl_info = new TPanel(this);
        pnl_info->SetName("pnl_info");
        pnl_info->SetParent(this);
        pnl_info->SetBounds(216, 52, 76, 40);
        pnl_info->SetCaption("");
        btn_ok = new TButton(this);
        btn_ok->SetName("btn_ok");
        btn_ok->SetParent(this);
        btn_ok->SetBounds(216, 160, 75, 25);
        btn_ok->SetCaption("OK");
        btn_ok->SetModalResult(mrOk);
        EndLoading();
    }

    void lst_filesDrawItem(int index, TRect r, TOwnerDrawState state) {
        TCanvas* c = lst_files->Canvas();
        if (state.Contains(odSelected)) {
            c->Brush()->SetColor(0x00FF8000);
            c->Font()->SetColor(clWhite);
        } else if (index % 2 == 1) {
            c->Brush()->SetColor(0x00E9D2FF);
            c->Font()->SetColor(clBlack);
        } else {
            c->Brush()->SetColor(clWhite);
            c->Font()->SetColor(clBlack);
        }
        c->FillRect(r);
        c->TextOut(r.Left, r.Top, lst_files->Items()->Get(index));
    }

protected:
    void Loaded() override {
        loaded.push_back(ComponentState().Contains(csLoading) ? "form loading" : "form loaded");
        TForm::Loaded();
    }
};

} // namespace

TEST(ExampleForm, BuiltInCodeShowsAndRendersAsExpected) {
    FixedText text;
    TFmExample form(nullptr);
    EXPECT_EQ(form.loaded, (std::vector<std::string>{"form loading"}));
    EXPECT_FALSE(form.lst_files->ComponentState().Contains(csLoading));
    EXPECT_EQ(form.Width(), 306);
    for (auto f : {"x0.wav", "x1.wav", "x2.wav"}) form.lst_files->Items()->Add(f);
    form.lst_files->SetSelected(2, true);
    form.Show();
    Application->ProcessMessages();
    EXPECT_EQ(form.edt_path->Text(), "/tmp/a.wav");

    auto bmp = RenderControl(&form);
    ASSERT_EQ(bmp->Width(), 300);
    ASSERT_EQ(bmp->Height(), 200);
    // List rows: inside the 2-pixel sunken frame, 16 pixels each; text boxes start at the left.
    int lx = 8 + 2, ly = 52 + 2;
    EXPECT_EQ(PixelAt(*bmp, lx + 150, ly + 5), 0xFFFFFFu);           // row 0 white
    EXPECT_EQ(PixelAt(*bmp, lx + 150, ly + 16 + 5), Px(0x00E9D2FF)); // row 1 the form's colour
    EXPECT_EQ(PixelAt(*bmp, lx + 150, ly + 32 + 5), Px(0x00FF8000)); // row 2 selected
    EXPECT_EQ(PixelAt(*bmp, lx + 1, ly + 32 + 1), 0xFFFFFFu);        // white text box on it
    EXPECT_EQ(PixelAt(*bmp, lx + 1, ly + 1), 0x000000u);             // black text box on row 0
    EXPECT_EQ(PixelAt(*bmp, lx + 150, ly + 48 + 5), Px(clWindow));   // below the rows
    // The list's sunken frame: shadow outside top-left.
    EXPECT_EQ(PixelAt(*bmp, 8, 60), Px(clBtnShadow));
    // The panel's raised bevel: highlight top-left, shadow bottom-right, face inside.
    EXPECT_EQ(PixelAt(*bmp, 216, 60), Px(clBtnHighlight));
    EXPECT_EQ(PixelAt(*bmp, 216 + 75, 60), Px(clBtnShadow));
    EXPECT_EQ(PixelAt(*bmp, 216 + 30, 70), Px(clBtnFace));
    // The label's caption: four double-width characters in the font colour on the form.
    EXPECT_EQ(PixelAt(*bmp, 8 + 1, 8 + 1), Px(clWindowText));
    EXPECT_EQ(PixelAt(*bmp, 8 + 64 + 2, 8 + 1), Px(clBtnFace));
    EXPECT_EQ(form.lbl_title->Width(), 64); // auto-sized to its caption
    // The form's face where nothing is.
    EXPECT_EQ(PixelAt(*bmp, 250, 120), Px(clBtnFace));
}

// A path wider than the list: its extent brings a horizontal scroll bar, and scrolling moves the
// rows that the form's handler draws, not the rows' selection.
TEST(ListBox, AnExtentWiderThanTheRowsBringsAScrollBarThatShiftsTheOwnerDrawnRows) {
    FixedText text;
    TFmExample form(nullptr);
    TListBox* lst = form.lst_files;
    lst->Items()->Add(std::string(30, 'p')); // 240 pixels, the rows have 196
    for (auto f : {"x1.wav", "x2.wav", "x3.wav", "x4.wav", "x5.wav"}) lst->Items()->Add(f);
    form.Show();
    Application->ProcessMessages();
    QScrollBar *across = nullptr, *down = nullptr;
    for (QScrollBar* bar : lst->Handle()->findChildren<QScrollBar*>())
        (bar->orientation() == Qt::Horizontal ? across : down) = bar;
    ASSERT_TRUE(across && down);

    // An extent within the rows changes nothing: six rows fit without a bar.
    lst->SetHorizontalExtent(150);
    EXPECT_TRUE(across->isHidden());
    EXPECT_TRUE(down->isHidden());
    EXPECT_EQ(lst->ItemRect(0), Rect(2, 2, 198, 18));

    lst->SetHorizontalExtent(250);
    ASSERT_FALSE(across->isHidden());
    EXPECT_FALSE(down->isHidden()) << "the bar hides the sixth row";
    EXPECT_EQ(across->maximum(), 250 - (196 - down->sizeHint().width()));
    int lx = 8 + 2, ly = 52 + 2;
    auto before = RenderControl(&form);
    EXPECT_EQ(PixelAt(*before, lx + 150, ly + 5), 0x000000u); // the long path, cut by the edge
    EXPECT_EQ(PixelAt(*before, lx + 1, ly + 16 + 5), 0x000000u);

    across->setValue(across->maximum()); // as the user drags it
    int shift = across->maximum();
    EXPECT_EQ(lst->ItemRect(1), Rect(2 - shift, 18, 198 - down->sizeHint().width(), 34));
    auto after = RenderControl(&form);
    // The path's last character is in view; the short name went left, and its row's colour
    // still reaches the right edge.
    EXPECT_EQ(PixelAt(*after, lx + 240 - shift - 4, ly + 5), 0x000000u);
    EXPECT_EQ(PixelAt(*after, lx + 240 - shift + 2, ly + 5), 0xFFFFFFu);
    EXPECT_EQ(PixelAt(*after, lx + 1, ly + 16 + 5), Px(0x00E9D2FF));
    EXPECT_EQ(PixelAt(*after, lx + 170, ly + 16 + 5), Px(0x00E9D2FF));
    ClickAt(lst, 100, 2 + 16 + 5);
    EXPECT_EQ(lst->ItemIndex(), 1);
    EXPECT_TRUE(lst->Selected(1));

    // Narrowed again, the bars go and the rows come back to their place.
    lst->SetHorizontalExtent(10);
    EXPECT_TRUE(across->isHidden());
    EXPECT_TRUE(down->isHidden());
    EXPECT_EQ(lst->ItemRect(0), Rect(2, 2, 198, 18));
}

TEST(ExampleForm, ButtonWithModalResultEndsTheModalShow) {
    ScriptedDialogs dialogs;
    TFmExample form(nullptr);
    dialogs.OnModal = [](TForm* f) { static_cast<TFmExample*>(f)->btn_ok->Click(); };
    EXPECT_EQ(form.ShowModal(), mrOk);
    EXPECT_EQ(dialogs.Calls.at(0).Kind, "ShowModal");
    EXPECT_EQ(dialogs.Calls.at(0).Text, "FmExample");
}

TEST(ListBox, ExchangeKeepsTheCaretOnItsItemAndDropsBothSelections) {
    TForm form(nullptr);
    TListBox lst(&form);
    lst.SetParent(&form);
    lst.SetMultiSelect(true);
    for (auto s : {"a", "b", "c", "d"}) lst.Items()->Add(s);
    lst.SetSelected(1, true);
    lst.SetSelected(3, true);
    lst.SetSelected(2, true);
    lst.SetItemIndex(1);
    EXPECT_EQ(lst.ItemIndex(), 1); // the caret
    lst.Items()->Exchange(1, 3);
    EXPECT_EQ(lst.Items()->Get(1), "d");
    EXPECT_EQ(lst.ItemIndex(), 3); // still on "b"
    EXPECT_FALSE(lst.Selected(1));
    EXPECT_FALSE(lst.Selected(3));
    EXPECT_TRUE(lst.Selected(2));
    // Deleting above moves selections and caret with their items.
    lst.Items()->Delete(0);
    EXPECT_TRUE(lst.Selected(1));
    EXPECT_EQ(lst.ItemIndex(), 2);
    EXPECT_EQ(lst.SelCount(), 1);
}

TEST(ListBox, SortedOrderIsCaseInsensitiveAndClicksSelect) {
    TForm form(nullptr);
    form.SetBounds(0, 300, 300, 200);
    auto* lst = new TListBox(&form);
    lst->SetParent(&form);
    lst->SetSorted(true);
    for (auto s : {"b.wav", "C.wav", "a.wav", "B.wav"}) lst->Items()->Add(s);
    EXPECT_EQ(lst->Items()->Text(), "a.wav\r\nb.wav\r\nB.wav\r\nC.wav\r\n");
    EXPECT_EQ(lst->ItemIndex(), -1);
    form.Show();
    int clicks = 0;
    lst->OnClick = [&](TObject*) { ++clicks; };
    TRect r = lst->ItemRect(2);
    ClickAt(lst, r.Left + 3, r.Top + 2);
    EXPECT_EQ(lst->ItemIndex(), 2);
    EXPECT_TRUE(lst->Selected(2));
    EXPECT_EQ(clicks, 1);
}

TEST(ComboBox, ChangeEventsComeOnlyFromTheUser) {
    TForm form(nullptr);
    auto* cmb = new TComboBox(&form);
    cmb->SetParent(&form);
    cmb->SetStyle(csDropDownList);
    int changes = 0;
    cmb->OnChange = [&](TObject*) { ++changes; };
    for (auto s : {"128", "192", "256"}) cmb->Items()->Add(s);
    form.Show();
    EXPECT_EQ(cmb->ItemIndex(), -1);
    cmb->SetItemIndex(1);
    EXPECT_EQ(cmb->Text(), "192");
    EXPECT_EQ(changes, 0);
    auto* q = static_cast<QComboBox*>(cmb->Handle());
    q->setCurrentIndex(2);
    emit q->activated(2);
    EXPECT_EQ(changes, 1);
    EXPECT_EQ(cmb->ItemIndex(), 2);
}

TEST(ComboBox, AListWithoutAChoiceShowsNoTextAndItsPopUpLeavesNoCapture) {
    TForm form(nullptr);
    form.SetBounds(0, 0, 300, 200);
    auto* cmb = new TComboBox(&form);
    cmb->SetParent(&form);
    cmb->SetBounds(8, 8, 100, 21);
    cmb->SetStyle(csDropDownList);
    for (auto s : {"ステレオ", "モノラル"}) cmb->Items()->Add(s);
    cmb->SetItemIndex(1);
    cmb->SetItemIndex(-1);
    EXPECT_EQ(cmb->Text(), "");
    cmb->SetItemIndex(0);
    cmb->SetItemIndex(5); // outside the list: no choice
    EXPECT_EQ(cmb->ItemIndex(), -1);
    EXPECT_EQ(cmb->Text(), "");

    auto* btn = new TButton(&form);
    btn->SetParent(&form);
    btn->SetBounds(8, 100, 75, 25);
    int clicks = 0;
    btn->OnClick = [&](TObject*) { ++clicks; };
    form.Show();
    EXPECT_EQ(cmb->Text(), "");

    // The press opens Qt's list, which takes the release and closes after the choice.
    Press(cmb, 5, 5);
    static_cast<QComboBox*>(cmb->Handle())->hidePopup();
    EXPECT_EQ(GetCaptureControl(), nullptr);
    ClickAt(btn, 5, 5);
    EXPECT_EQ(clicks, 1) << "the first click after the list reaches its control";
}

TEST(ProgressBar, PositionIsClampedToTheRange) {
    TProgressBar bar(nullptr);
    bar.SetPosition(150);
    EXPECT_EQ(bar.Position(), 100);
    bar.SetPosition(-5);
    EXPECT_EQ(bar.Position(), 0);
    bar.SetPosition(70);
    bar.SetMax(50);
    EXPECT_EQ(bar.Position(), 50);
}

TEST(StatusBar, SimpleTextIsKeptWhileTheSimplePanelIsHidden) {
    TStatusBar bar(nullptr);
    bar.SetSimplePanel(true);
    bar.SetSimpleText(" 設定・・・設定を変更します。");
    bar.SetSimplePanel(false);
    bar.SetSimplePanel(true);
    EXPECT_EQ(bar.SimpleText(), " 設定・・・設定を変更します。");
}

TEST(SpeedButton, GroupMembersOfOneParentAreExclusive) {
    TForm form(nullptr);
    form.SetBounds(0, 500, 300, 100);
    auto* p1 = new TPanel(&form);
    p1->SetParent(&form);
    auto* p2 = new TPanel(&form);
    p2->SetParent(&form);
    std::vector<TSpeedButton*> b;
    for (int i = 0; i < 3; ++i) {
        b.push_back(new TSpeedButton(&form));
        b.back()->SetParent(p1);
        b.back()->SetBounds(i * 30, 0, 25, 25);
        b.back()->SetGroupIndex(1);
    }
    auto* other = new TSpeedButton(&form);
    other->SetParent(p2);
    other->SetGroupIndex(1);
    other->SetDown(true);
    form.Show();
    int clicks = 0;
    b[1]->OnClick = [&](TObject*) { ++clicks; };
    b[0]->SetDown(true);
    ClickAt(b[1], 5, 5);
    EXPECT_EQ(clicks, 1);
    EXPECT_TRUE(b[1]->Down());
    EXPECT_FALSE(b[0]->Down());
    EXPECT_TRUE(other->Down()); // another parent
    b[1]->SetDown(false);       // the down member of an exclusive group stays down
    EXPECT_TRUE(b[1]->Down());
    ClickAt(b[1], 5, 5); // clicking it again keeps it down and clicks
    EXPECT_TRUE(b[1]->Down());
    EXPECT_EQ(clicks, 2);
    // A switch: one member, all up allowed.
    b[2]->SetGroupIndex(7);
    b[2]->SetAllowAllUp(true);
    ClickAt(b[2], 5, 5);
    EXPECT_TRUE(b[2]->Down());
    ClickAt(b[2], 5, 5);
    EXPECT_FALSE(b[2]->Down());
    // Outside a group Down never goes true.
    auto* lone = new TSpeedButton(&form);
    lone->SetParent(p1);
    lone->SetDown(true);
    EXPECT_FALSE(lone->Down());
}

TEST(Buttons, OwnerDrawnButtonsPaintThroughTheDrawItemNotification) {
    struct Owned : TButton {
        std::vector<unsigned> states;
        explicit Owned(TComponent* o) : TButton(o) {}
        void CreateParams(TCreateParams& p) override {
            TButton::CreateParams(p);
            p.Style |= BS_OWNERDRAW;
        }
        void Dispatch(TMessage& m) override {
            if (m.Msg == CN_DRAWITEM) {
                auto* dis = reinterpret_cast<TDrawItemStruct*>(m.LParam);
                states.push_back(dis->itemState);
                dis->hDC->Brush()->SetColor(0x008CFF8C);
                dis->hDC->FillRect(dis->rcItem);
                return;
            }
            TButton::Dispatch(m);
        }
    };
    TForm form(nullptr);
    auto* b = new Owned(&form);
    b->SetParent(&form);
    b->SetEnabled(false);
    auto bmp = RenderControl(b);
    EXPECT_EQ(PixelAt(*bmp, 10, 10), Px(0x008CFF8C));
    ASSERT_FALSE(b->states.empty());
    EXPECT_TRUE(b->states.back() & ODS_DISABLED);
}

TEST(Buttons, FocusTellsTheButtonsWhichOneIsTheDefault) {
    struct Styled : TButton {
        std::vector<bool> styles;
        explicit Styled(TComponent* o) : TButton(o) {}
        void SetButtonStyle(bool d) override { styles.push_back(d); }
    };
    TForm form(nullptr);
    auto* edit = new TEdit(&form);
    edit->SetParent(&form);
    auto* def = new Styled(&form);
    def->SetParent(&form);
    def->SetDefault(true);
    auto* other = new Styled(&form);
    other->SetParent(&form);
    form.Show();
    edit->SetFocus();
    EXPECT_EQ(def->styles.back(), true);
    EXPECT_EQ(other->styles.back(), false);
    other->SetFocus();
    EXPECT_EQ(def->styles.back(), false);
    EXPECT_EQ(other->styles.back(), true);
}

TEST(Timer, TestsCanFireItAndErrorsAreShown) {
    ScriptedDialogs dialogs;
    TTimer timer(nullptr);
    timer.SetEnabled(false);
    int ticks = 0;
    timer.OnTimer = [&](TObject*) {
        if (++ticks == 2) throw Exception("タイマー");
    };
    timer.Fire();
    timer.Fire();
    EXPECT_EQ(ticks, 2);
    EXPECT_EQ(dialogs.Texts(), (std::vector<std::string>{"タイマー"}));
}

TEST(DropFiles, ADropReachesTheWindowProcWithEveryFullPath) {
    TForm form(nullptr);
    auto* lst = new TListBox(&form);
    lst->SetParent(&form);
    std::vector<std::string> got;
    TPoint at;
    HDROP seen = nullptr;
    auto old = lst->WindowProc;
    lst->WindowProc = [&](TMessage& m) {
        if (m.Msg == WM_DROPFILES) {
            seen = reinterpret_cast<HDROP>(m.WParam);
            for (int i = 0; i < DragQueryFileCount(seen); ++i)
                got.push_back(DragQueryFile(seen, i));
            at = DragQueryPoint(seen);
            return; // not finished here: the framework finishes it
        }
        old(m);
    };
    std::string longPath = "/tmp/" + std::string(300, 'x') + ".wav";
    EXPECT_FALSE(DeliverDrop(lst, {"/a.wav"}, Point(1, 1))); // not registered
    DragAcceptFiles(lst, true);
    EXPECT_TRUE(DeliverDrop(lst, {"/a.wav", longPath, "/c.mp3"}, Point(12, 34)));
    EXPECT_EQ(got, (std::vector<std::string>{"/a.wav", longPath, "/c.mp3"}));
    EXPECT_EQ(at, Point(12, 34));
    EXPECT_EQ(DragQueryFileCount(seen), 0); // finished: the handle is gone
}

TEST(Menus, ItemsClickWithThemselvesAsSenderAndMergeShowsTheOthersItems) {
    TMainMenu main(nullptr), page(nullptr);
    auto* file = new TMenuItem(&main);
    file->SetCaption("ファイル(&F)");
    main.Items()->Add(file);
    auto* exit = new TMenuItem(&main);
    exit->SetCaption("アプリケーションの終了(&C)");
    exit->SetTag(99);
    file->Add(exit);
    TObject* sender = nullptr;
    exit->OnClick = [&](TObject* s) { sender = s; };
    exit->Click();
    EXPECT_EQ(sender, exit);
    sender = nullptr;
    exit->SetEnabled(false);
    exit->Click();
    EXPECT_EQ(sender, nullptr);
    main.Merge(&page);
    EXPECT_EQ(main.MergedCount(), 1);
    main.Unmerge(&page);
    EXPECT_EQ(main.MergedCount(), 0);
    EXPECT_EQ(StripHotkey("R&&D(&S)"), "R&D(S)");
}

TEST(Dialogs, OpenDialogGoesThroughTheServiceAndFiltersTranslateForQt) {
    ScriptedDialogs dialogs;
    TOpenDialog dlg(nullptr);
    dlg.Filter = "WAVファイル|*.wav|すべて|*.wav;*.mp3";
    dlg.Options.Include(ofAllowMultiSelect);
    dialogs.Files.push_back({"/m/a.wav", "/m/b.wav"});
    ASSERT_TRUE(dlg.Execute());
    EXPECT_EQ(dlg.Files()->Count(), 2);
    EXPECT_TRUE(dialogs.OpenRequests.at(0).MultiSelect);
    EXPECT_FALSE(dlg.Execute()); // nothing scripted: cancelled
    EXPECT_EQ(FilterToQt(dlg.Filter),
              (std::vector<std::string>{"WAVファイル (*.wav)", "すべて (*.wav *.mp3)"}));
    dialogs.Answers.push_back(IDNO);
    EXPECT_EQ(Application->MessageBox("上書きしますか？", "確認", MB_YESNOCANCEL | MB_ICONQUESTION),
              IDNO);
    EXPECT_EQ(dialogs.Calls.back(), (DialogCall{"MessageBox", "上書きしますか？", "確認", 0x23}));
}

TEST(Hints, AControlsHintShowsAfterThePauseAndAClickHidesIt) {
    struct KeepOnKeys : THintWindow {
        using THintWindow::THintWindow;
        bool IsHintMsg(const TMessage& m) override {
            if (m.Msg >= WM_KEYDOWN && m.Msg <= 0x0108) return false;
            return THintWindow::IsHintMsg(m);
        }
    };
    FixedText text;
    Application->SetHintWindowClass([](TComponent* o) { return new KeepOnKeys(o); });
    Application->SetHintPause(0);
    TForm form(nullptr);
    form.SetBounds(600, 0, 200, 100);
    auto* b = new TSpeedButton(&form);
    b->SetParent(&form);
    b->SetHint("ヒント");
    b->SetShowHint(true);
    form.Show();
    MoveCursorTo(b, 3, 3);
    Application->ProcessMessages();
    THintWindow* w = Application->HintWindow();
    ASSERT_NE(w, nullptr);
    EXPECT_TRUE(w->Visible());
    EXPECT_EQ(w->Caption(), "ヒント");
    EXPECT_EQ(w->Width(), 3 * 16 + 6); // three double-width cells and the margin
    Application->HintMouseMessage(TMessage{WM_KEYDOWN, 'A', 0, 0});
    EXPECT_TRUE(w->Visible());
    Press(b, 3, 3);
    EXPECT_FALSE(w->Visible());
    Release(b, 3, 3);
    Application->SetHintWindowClass(nullptr);
    Application->SetHintPause(500);
}

TEST(Buttons, ReturnAndEscapeClickTheDefaultAndCancelButtonsAnywhereOnTheForm) {
    TForm form(nullptr);
    auto* panel = new TPanel(&form);
    panel->SetParent(&form);
    auto* ok = new TButton(&form);
    ok->SetParent(panel);
    ok->SetDefault(true);
    ok->SetModalResult(mrOk);
    auto* cancel = new TButton(&form);
    cancel->SetParent(&form);
    cancel->SetCancel(true);
    std::vector<std::string> log;
    ok->OnClick = [&](TObject*) { log.push_back("ok"); };
    cancel->OnClick = [&](TObject*) { log.push_back("cancel"); };
    form.Show();
    form.Perform(WM_KEYDOWN, VK_RETURN);
    form.Perform(WM_KEYDOWN, VK_ESCAPE);
    EXPECT_EQ(log, (std::vector<std::string>{"ok", "cancel"}));
    EXPECT_EQ(form.ModalResult(), mrOk);
    ok->SetEnabled(false);
    form.Perform(WM_KEYDOWN, VK_RETURN);
    EXPECT_EQ(log.size(), 2u);
}

TEST(Forms, AFormEmbeddedInAPanelKeepsItsControlsAndComesBackWhole) {
    TForm host(nullptr);
    host.SetBounds(0, 0, 400, 300);
    auto* pnl = new TPanel(&host);
    pnl->SetParent(&host);
    pnl->SetAlign(alClient);
    TFmExample page(nullptr);
    int shows = 0;
    page.OnShow = [&](TObject*) { ++shows; };
    host.Show();
    page.Show();
    page.edt_path->SetText("/keep/me.wav");
    page.Hide();
    page.SetBorderStyle(bsNone);
    page.SetParent(pnl);
    page.SetBounds(1, 1, pnl->Width() - 2, pnl->Height() - 2);
    page.Show();
    EXPECT_EQ(shows, 2);
    EXPECT_EQ(page.ClientWidth(), pnl->Width() - 2); // no frame while embedded
    EXPECT_EQ(page.Handle()->parentWidget(), pnl->Handle());
    EXPECT_EQ(page.edt_path->Text(), "/keep/me.wav");
    // The control under a point of the panel is the embedded form's.
    MoveCursorTo(page.lst_files, 5, 5);
    EXPECT_EQ(Application->MouseControl(), page.lst_files);
    page.Hide();
    page.SetParent(nullptr);
    page.SetBorderStyle(bsSingle);
    EXPECT_NE(page.Window(), nullptr);
    EXPECT_EQ(page.Handle()->parentWidget(), page.Window());
    EXPECT_EQ(page.edt_path->Text(), "/keep/me.wav");
    page.Show();
    EXPECT_EQ(shows, 3);
    MoveCursorAway();
}

TEST(Edit, ChangeFiresForEveryTextChangeWithOrWithoutAWidget) {
    TForm form(nullptr);
    auto* e = new TEdit(&form);
    e->SetParent(&form);
    int changes = 0;
    e->OnChange = [&](TObject*) { ++changes; };
    e->SetText("a");
    EXPECT_EQ(changes, 1);
    form.Show();
    EXPECT_EQ(e->Text(), "a");
    e->SetText("b");
    e->SetText("b");
    EXPECT_EQ(changes, 2);
    e->SetReadOnly(true);
    EXPECT_TRUE(static_cast<QLineEdit*>(e->Handle())->isReadOnly());
}

TEST(Memo, LinesAppendAndTheUsersTextComesBack) {
    TForm form(nullptr);
    auto* m = new TMemo(&form);
    m->SetParent(&form);
    m->SetReadOnly(true);
    m->Lines()->Add("one");
    form.Show();
    m->Lines()->Add("two");
    auto* q = static_cast<QPlainTextEdit*>(m->Handle());
    EXPECT_EQ(q->toPlainText().toStdString(), "one\ntwo");
    q->setPlainText("x\ny\nz");
    EXPECT_EQ(m->Lines()->Count(), 3);
    EXPECT_EQ(m->Lines()->Get(2), "z");
    m->Lines()->Clear();
    EXPECT_TRUE(q->toPlainText().isEmpty());
}

TEST(CheckAndRadio, CheckingFiresClickAndRadioButtonsAreExclusivePerParent) {
    TForm form(nullptr);
    auto* p1 = new TPanel(&form);
    p1->SetParent(&form);
    auto* p2 = new TPanel(&form);
    p2->SetParent(&form);
    auto* r1 = new TRadioButton(&form);
    r1->SetParent(p1);
    auto* r2 = new TRadioButton(&form);
    r2->SetParent(p1);
    auto* r3 = new TRadioButton(&form);
    r3->SetParent(p2);
    r1->SetChecked(true);
    r3->SetChecked(true);
    r2->SetChecked(true);
    EXPECT_FALSE(r1->Checked());
    EXPECT_TRUE(r2->Checked());
    EXPECT_TRUE(r3->Checked());
    auto* c = new TCheckBox(&form);
    c->SetParent(&form);
    int clicks = 0;
    c->OnClick = [&](TObject*) { ++clicks; };
    c->SetChecked(true);
    c->SetChecked(true);
    EXPECT_EQ(clicks, 1);
    form.Show();
    static_cast<QCheckBox*>(c->Handle())->click();
    EXPECT_FALSE(c->Checked());
    EXPECT_EQ(clicks, 2);
}

TEST(ListBox, KeysMoveTheCaretAndSingleSelectionFollowsIt) {
    TForm form(nullptr);
    auto* lst = new TListBox(&form);
    lst->SetParent(&form);
    for (auto s : {"a", "b", "c"}) lst->Items()->Add(s);
    form.Show();
    lst->SetFocus();
    lst->SetItemIndex(0);
    lst->Perform(WM_KEYDOWN, VK_DOWN);
    EXPECT_EQ(lst->ItemIndex(), 1);
    EXPECT_TRUE(lst->Selected(1));
    EXPECT_FALSE(lst->Selected(0));
    lst->Perform(WM_KEYDOWN, VK_END);
    EXPECT_EQ(lst->ItemIndex(), 2);
    lst->Perform(WM_KEYDOWN, VK_DOWN); // stays on the last
    EXPECT_EQ(lst->ItemIndex(), 2);
    lst->Items()->Delete(2);
    EXPECT_EQ(lst->ItemIndex(), -1); // the selected row went; the caret row is not selected
    lst->SetMultiSelect(true);
    lst->SetSelected(0, true);
    lst->SetItemIndex(1); // moves the caret only
    EXPECT_TRUE(lst->Selected(0));
    EXPECT_EQ(lst->ItemIndex(), 1);
    EXPECT_THROW(lst->Selected(5), EStringListError);
}

TEST(Timer, TicksFromTheEventLoopWhileEnabled) {
    TTimer timer(nullptr);
    timer.SetInterval(5);
    int ticks = 0;
    timer.OnTimer = [&](TObject*) {
        if (++ticks == 2) timer.SetEnabled(false);
    };
    for (int i = 0; i < 200 && ticks < 2; ++i) Application->HandleMessage();
    EXPECT_EQ(ticks, 2);
    Application->ProcessMessages();
    EXPECT_EQ(ticks, 2);
}

// Milliseconds since `start`, with a fraction.
double MsSince(std::chrono::steady_clock::time_point start) {
    return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start)
        .count();
}

// Tick times are measured against the schedule: a tick is never early, and lateness (a loaded
// machine's) does not carry over to the next tick.
TEST(Timer, TicksKeepToTheScheduleFromTheirStart) {
    using namespace std::chrono_literals;
    constexpr double kLate = 45; // a busy machine's delay of one tick, below the drifts
    TTimer timer(nullptr);
    timer.SetEnabled(false);
    timer.SetInterval(100);
    std::vector<double> at;
    auto start = std::chrono::steady_clock::now();
    auto runTo = [&](std::size_t ticks) {
        while (at.size() < ticks) Application->HandleMessage();
    };
    timer.OnTimer = [&](TObject*) { at.push_back(MsSince(start)); };
    timer.SetEnabled(true);
    runTo(10);
    std::vector<double> late;
    for (std::size_t k = 0; k < at.size(); ++k) {
        EXPECT_GE(at[k], 100.0 * (k + 1) - 1) << k; // never early
        late.push_back(at[k] - 100.0 * (k + 1));
    }
    std::sort(late.begin(), late.end());
    EXPECT_LE(late[late.size() / 2], 15); // lateness does not add up

    // A handler busy for two and a half intervals gets one late tick at once; then the ticks
    // are back on the schedule.
    at.clear();
    timer.OnTimer = [&](TObject*) {
        at.push_back(MsSince(start));
        if (at.size() == 2) std::this_thread::sleep_for(260ms);
    };
    timer.SetInterval(50);
    timer.SetInterval(100); // a new interval starts a new schedule
    start = std::chrono::steady_clock::now();
    runTo(5);
    EXPECT_LE(at[2], 200 + 260 + kLate);
    // A timer that counted from the late tick would come at 560 and 660.
    EXPECT_GE(at[3], 499);
    EXPECT_LE(at[3], 500 + kLate);
    EXPECT_GE(at[4], 599);
    EXPECT_LE(at[4], 600 + kLate);

    // Enabled again, it counts from then.
    at.clear();
    timer.SetEnabled(false);
    std::this_thread::sleep_for(50ms);
    start = std::chrono::steady_clock::now();
    timer.SetEnabled(true);
    runTo(1);
    EXPECT_GE(at[0], 99);
}

TEST(Forms, ScreenCentreUsesTruncatingHalves) {
    TForm form(nullptr);
    form.SetBorderStyle(bsSingle);
    form.SetClientWidth(732);
    form.SetPosition(poScreenCenter);
    form.Show();
    EXPECT_EQ(form.Width(), 738);
    EXPECT_EQ(form.Left(), 1024 / 2 - 738 / 2);
}
