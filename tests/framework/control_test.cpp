#include "framework/control.h"
#include "framework/forms.h"
#include "framework/menus.h"
#include "tests/framework/test_helpers.h"

#include <QCoreApplication>
#include <QTimer>
#include <gtest/gtest.h>
#include <string>
#include <vector>

using namespace sv;
using namespace sv::test;

namespace {

std::vector<std::string> events;

std::string Hex(unsigned v) {
    char b[16];
    snprintf(b, sizeof b, "%X", v);
    return b;
}

// Records the notifications it gets, with the name of the control a child passed up.
template <class Base> class Probe : public Base {
public:
    explicit Probe(TComponent* owner, const std::string& name) : Base(owner) {
        this->SetName(name);
    }

protected:
    void Dispatch(TMessage& m) override {
        if (m.Msg == CM_MOUSEENTER || m.Msg == CM_MOUSELEAVE || m.Msg == CM_ENABLEDCHANGED ||
            m.Msg == CM_CANCELMODE) {
            std::string from;
            if (m.LParam) from = "<" + reinterpret_cast<TComponent*>(m.LParam)->Name();
            events.push_back(this->Name() + " " + Hex(m.Msg) + from);
        }
        Base::Dispatch(m);
    }
};

using GraphicProbe = Probe<TGraphicControl>;
using PanelProbe = Probe<TCustomControl>;

struct Scene {
    TForm* form;
    PanelProbe* panel;
    GraphicProbe* a;
    GraphicProbe* b;
    explicit Scene(int left) {
        form = new TForm(nullptr);
        form->SetName("Form");
        form->SetBorderStyle(bsNone);
        form->SetBounds(left, 100, 200, 100);
        panel = new PanelProbe(form, "Panel");
        panel->SetParent(form);
        panel->SetBounds(10, 10, 150, 60);
        a = new GraphicProbe(panel, "A");
        a->SetParent(panel);
        a->SetBounds(0, 0, 40, 40);
        b = new GraphicProbe(panel, "B");
        b->SetParent(panel);
        b->SetBounds(50, 0, 40, 40);
        MoveCursorAway(); // an earlier test may have left the cursor where B now is
        form->Show();
        events.clear();
    }
    ~Scene() { delete form; }
};

} // namespace

TEST(EnterLeave, IdlePassSendsLeaveThenEnterAndChildrenPassThemUp) {
    Scene s(40);
    MoveCursorTo(s.a, 5, 5);
    EXPECT_EQ(events, (std::vector<std::string>{"A B013", "Panel B013<A"}));
    events.clear();
    s.b->SetEnabled(false); // disabled controls count for enter and leave
    events.clear();
    MoveCursorTo(s.b, 5, 5);
    EXPECT_EQ(events,
              (std::vector<std::string>{"A B014", "Panel B014<A", "B B013", "Panel B013<B"}));
    events.clear();
    MoveCursorTo(s.b, 6, 6); // same control: nothing
    EXPECT_TRUE(events.empty());
    MoveCursorTo(s.panel, 120, 50);
    EXPECT_EQ(events, (std::vector<std::string>{"B B014", "Panel B014<B", "Panel B013"}));
    events.clear();
    MoveCursorAway();
    EXPECT_EQ(events, (std::vector<std::string>{"Panel B014"}));
}

TEST(EnterLeave, WhileAControlHoldsTheCaptureOnlyItCounts) {
    Scene s(300);
    MoveCursorTo(s.a, 5, 5);
    events.clear();
    Press(s.a, 5, 5);
    EXPECT_EQ(GetCaptureControl(), s.a);
    events.clear();
    MouseMoveOn(s.b, 5, 5, Qt::LeftButton); // routed to A through the capture
    EXPECT_EQ(events, (std::vector<std::string>{"A B014", "Panel B014<A"}));
    events.clear();
    MouseMoveOn(s.panel, 120, 50, Qt::LeftButton); // neither old nor new holds the capture
    EXPECT_TRUE(events.empty());
    MouseMoveOn(s.a, 5, 5, Qt::LeftButton);
    EXPECT_EQ(events, (std::vector<std::string>{"A B013", "Panel B013<A"}));
    Release(s.a, 5, 5);
    EXPECT_EQ(GetCaptureControl(), nullptr);
}

TEST(Controls, CaptureIsReleasedBeforeMouseUpAndAPressCancelsTheFocusedControl) {
    Scene s(560);
    auto* edit = new PanelProbe(s.form, "Focus");
    edit->SetParent(s.form);
    edit->SetBounds(170, 10, 20, 20);
    edit->SetFocus();
    bool capturedInUp = true;
    s.a->OnMouseUp = [&](TObject*, TMouseButton, TShiftState, int, int) {
        capturedInUp = s.a->MouseCapture();
    };
    events.clear();
    Press(s.a, 3, 3);
    ASSERT_FALSE(events.empty());
    EXPECT_EQ(events[0], "Focus B004<A"); // before anything else, the idle pass's enter included
    Release(s.a, 3, 3);
    EXPECT_FALSE(capturedInUp);
}

TEST(Controls, EnabledIsTheControlsOwnFlag) {
    Scene s(40);
    s.panel->SetEnabled(false);
    EXPECT_EQ(events, (std::vector<std::string>{"Panel B00C"}));
    EXPECT_TRUE(s.a->Enabled());
    events.clear();
    s.panel->SetEnabled(false); // unchanged: no notice
    s.a->SetEnabled(true);
    EXPECT_TRUE(events.empty());
    s.panel->SetEnabled(true);
    EXPECT_EQ(events, (std::vector<std::string>{"Panel B00C"}));
}

TEST(Controls, TextChangeIsAnnouncedOnlyWhenTheTextDiffers) {
    Scene s(40);
    int notices = 0;
    struct Counter : TGraphicControl {
        int* n;
        Counter(TComponent* o, int* c) : TGraphicControl(o), n(c) {}
        void Dispatch(TMessage& m) override {
            if (m.Msg == CM_TEXTCHANGED) ++*n;
            TGraphicControl::Dispatch(m);
        }
    };
    auto* c = new Counter(s.form, &notices);
    c->SetCaption("x");
    c->SetCaption("x");
    c->SetCaption("y");
    EXPECT_EQ(notices, 2);
}

TEST(Controls, BroadcastStopsAtTheFirstNonZeroResultAndSurvivesRemoval) {
    Scene s(40);
    std::vector<std::string> seen;
    struct Answer : TGraphicControl {
        std::vector<std::string>* seen;
        int result;
        TControl* removeOnCall = nullptr;
        Answer(TComponent* o, std::vector<std::string>* s, int r)
            : TGraphicControl(o), seen(s), result(r) {}
        void Dispatch(TMessage& m) override {
            if (m.Msg == WM_USER) {
                seen->push_back(Name());
                if (removeOnCall) removeOnCall->SetParent(nullptr);
                m.Result = result;
                return;
            }
            TGraphicControl::Dispatch(m);
        }
    };
    auto* x = new Answer(s.form, &seen, 0);
    x->SetName("X");
    auto* y = new Answer(s.form, &seen, 0);
    y->SetName("Y");
    auto* z = new Answer(s.form, &seen, 1);
    z->SetName("Z");
    auto* w = new Answer(s.form, &seen, 0);
    w->SetName("W");
    for (auto* c : {x, y, z, w}) c->SetParent(s.form);
    x->removeOnCall = y; // the snapshot still lists Y, but Y has left: skipped
    TMessage m{WM_USER, 0, 0, 0};
    s.form->Broadcast(m);
    EXPECT_EQ(seen, (std::vector<std::string>{"X", "Z"}));
    EXPECT_EQ(m.Result, 1);
}

TEST(Controls, ControlAtPosFindsTheTopmostAndDisabledOnlyWhenAsked) {
    Scene s(40);
    s.b->SetBounds(20, 0, 40, 40); // overlaps A, later in z-order
    EXPECT_EQ(s.panel->ControlAtPos(Point(25, 5), false), s.b);
    s.b->SetEnabled(false);
    EXPECT_EQ(s.panel->ControlAtPos(Point(25, 5), false), s.a);
    EXPECT_EQ(s.panel->ControlAtPos(Point(25, 5), true), s.b);
}

TEST(Controls, AlignPlacesChildrenInTheParentsClientArea) {
    TForm form(nullptr);
    form.SetBorderStyle(bsNone);
    form.SetBounds(0, 0, 200, 100);
    auto* top = new TCustomControl(&form);
    top->SetParent(&form);
    top->SetHeight(20);
    top->SetAlign(alTop);
    auto* bottom = new TCustomControl(&form);
    bottom->SetParent(&form);
    bottom->SetHeight(10);
    bottom->SetAlign(alBottom);
    auto* client = new TCustomControl(&form);
    client->SetParent(&form);
    client->SetAlign(alClient);
    EXPECT_EQ(top->BoundsRect(), Rect(0, 0, 200, 20));
    EXPECT_EQ(bottom->BoundsRect(), Rect(0, 90, 200, 100));
    EXPECT_EQ(client->BoundsRect(), Rect(0, 20, 200, 90));
    form.SetBounds(0, 0, 300, 150);
    EXPECT_EQ(client->BoundsRect(), Rect(0, 20, 300, 140));

    // Built as if read from a description, and never moved afterwards.
    TForm loaded(nullptr);
    loaded.BeginLoading();
    loaded.SetBorderStyle(bsNone);
    loaded.SetBounds(0, 0, 200, 100);
    auto* panel = new TCustomControl(&loaded);
    panel->SetParent(&loaded);
    panel->SetAlign(alClient);
    auto* bar = new TCustomControl(&loaded);
    bar->SetParent(panel);
    bar->SetHeight(20);
    bar->SetAlign(alTop);
    loaded.EndLoading();
    EXPECT_EQ(panel->BoundsRect(), Rect(0, 0, 200, 100));
    EXPECT_EQ(bar->BoundsRect(), Rect(0, 0, 200, 20));
}

TEST(Controls, OwnerFreesOwnedControlsBeforeQtParenthoodCouldDeleteThem) {
    bool parentAliveWhenFreed = false;
    struct Child : TCustomControl {
        bool* flag;
        Child(TComponent* o, bool* f) : TCustomControl(o), flag(f) {}
        ~Child() override {
            BeginDestruction();
            *flag = Parent() != nullptr && Parent()->HandleAllocated();
        }
    };
    auto* form = new TForm(nullptr);
    auto* panel = new TCustomControl(form);
    panel->SetParent(form);
    auto* child = new Child(form, &parentAliveWhenFreed);
    child->SetParent(panel);
    form->Show();
    ASSERT_TRUE(child->HandleAllocated());
    delete form;
    EXPECT_TRUE(parentAliveWhenFreed);
    Application->ProcessMessages(); // the widgets go later; nothing may touch the controls
}

TEST(Controls, FocusMovesExitAndEnterAlongTheChainOfWindowedAncestors) {
    TForm form(nullptr);
    std::vector<std::string> log;
    auto make = [&](TWinControl* parent, const std::string& name) {
        auto* c = new TCustomControl(&form);
        c->SetName(name);
        c->SetParent(parent);
        c->OnEnter = [&log, c](TObject*) { log.push_back("enter " + c->Name()); };
        c->OnExit = [&log, c](TObject*) { log.push_back("exit " + c->Name()); };
        return c;
    };
    auto* p1 = make(&form, "P1");
    auto* e1 = make(p1, "E1");
    auto* p2 = make(&form, "P2");
    auto* e2 = make(p2, "E2");
    auto* e3 = make(p2, "E3");
    form.Show();
    e1->SetFocus();
    EXPECT_EQ(log, (std::vector<std::string>{"enter P1", "enter E1"}));
    log.clear();
    e2->SetFocus();
    EXPECT_EQ(log, (std::vector<std::string>{"exit E1", "exit P1", "enter P2", "enter E2"}));
    log.clear();
    e3->SetFocus();
    EXPECT_EQ(log, (std::vector<std::string>{"exit E2", "enter E3"}));
    EXPECT_EQ(form.ActiveControl(), e3);
}

// ---- forms and the application -----------------------------------------------------------

TEST(Forms, OuterSizeIsClientSizePlusFixedBorderMetrics) {
    TForm form(nullptr);
    form.SetBorderStyle(bsSingle);
    form.SetClientWidth(732);
    form.SetClientHeight(423);
    EXPECT_EQ(form.Width(), 738);
    EXPECT_EQ(form.Height(), 423 + 6 + kFormCaption);
    EXPECT_EQ(form.ClientWidth(), 732);
    EXPECT_EQ(form.ClientHeight(), 423);
}

TEST(Forms, OnShowFiresForEachShowTheProgramAsksForNotForARestore) {
    TForm form(nullptr);
    int shows = 0, hides = 0;
    form.OnShow = [&](TObject*) { ++shows; };
    form.OnHide = [&](TObject*) { ++hides; };
    form.Show();
    form.Show(); // already visible
    form.Hide();
    form.Show();
    EXPECT_EQ(shows, 2);
    EXPECT_EQ(hides, 1);
    form.SetWindowState(wsMinimized);
    form.SetWindowState(wsNormal);
    Application->ProcessMessages();
    EXPECT_EQ(shows, 2);
}

TEST(Forms, PositionReadsBackAsSetAfterShowing) {
    // The main window saves Left/Top at close and restores them at start: any drift would creep.
    TForm form(nullptr);
    auto* menu = new TMainMenu(&form);
    auto* file = new TMenuItem(&form);
    file->SetCaption("ファイル(&F)");
    menu->Items()->Add(file);
    form.SetMenu(menu);
    form.SetBorderStyle(bsSingle);
    form.SetClientWidth(732);
    form.SetClientHeight(423);
    form.SetLeft(143);
    form.SetTop(-20);
    form.Show();
    for (int i = 0; i < 5; ++i) Application->ProcessMessages();
    EXPECT_EQ(form.Left(), 143);
    EXPECT_EQ(form.Top(), -20);
    form.SetLeft(10);
    Application->ProcessMessages();
    EXPECT_EQ(form.Left(), 10);
    EXPECT_EQ(form.Width(), 738);
    EXPECT_EQ(form.ClientHeight(), 423);
    form.SetLeft(2147483647); // a hand-edited position: kept within what a window can have
    Application->ProcessMessages();
    EXPECT_LE(form.Left(), 32767);
}

TEST(Forms, ScreenListsFormsInCreationOrder) {
    int before = Screen->FormCount();
    TForm a(nullptr), b(nullptr);
    ASSERT_EQ(Screen->FormCount(), before + 2);
    EXPECT_EQ(Screen->Forms(before), &a);
    EXPECT_EQ(Screen->Forms(before + 1), &b);
}

namespace {

class MainForm : public TForm {
public:
    std::vector<std::string>* log;
    MainForm(TComponent* owner, std::vector<std::string>* l) : TForm(owner), log(l) {}

protected:
    void Dispatch(TMessage& m) override {
        if (m.Msg == WM_USER) {
            Application->Terminate();
            log->push_back("handler ran on");
            return;
        }
        if (m.Msg == WM_USER + 1) throw Exception("失敗しました");
        if (m.Msg == WM_USER + 2) {
            log->push_back("loop went on");
            Close();
            return;
        }
        TForm::Dispatch(m);
    }
};

// A private application object, so that the test's main form does not outlive it.
struct OwnApplication {
    TApplication* saved = Application;
    TApplication app{nullptr};
    OwnApplication() { Application = &app; }
    ~OwnApplication() { Application = saved; }
};

} // namespace

TEST(Application, TerminateLetsTheHandlerFinishAndRunsNoCloseHandler) {
    std::vector<std::string> log;
    {
        OwnApplication own;
        auto* form = new MainForm(&own.app, &log);
        form->OnClose = [&](TObject*, TCloseAction&) { log.push_back("close"); };
        own.app.RegisterForm(form);
        PostMessage(form, WM_USER, 0, 0);
        own.app.Run();
        EXPECT_TRUE(own.app.Terminated());
    }
    EXPECT_EQ(log, (std::vector<std::string>{"handler ran on"}));
}

TEST(Application, AnEndedApplicationsTerminateDoesNotEndTheNextOne) {
    {
        OwnApplication first;
        first.app.Terminate(); // gone before its posted call runs
    }
    OwnApplication second;
    Application->ProcessMessages();
    EXPECT_FALSE(second.app.Terminated());
    second.app.Terminate();
    Application->ProcessMessages();
    EXPECT_TRUE(second.app.Terminated());
}

// The real message boxes and file dialogs take their button and field texts from Qt.
TEST(Application, StandardDialogTextsAreJapaneseWhateverTheLocale) {
    EXPECT_EQ(QCoreApplication::translate("QPlatformTheme", "Cancel").toStdString(), "キャンセル");
    EXPECT_EQ(QCoreApplication::translate("QFileDialog", "Look in:").toStdString(), "アドレス:");
}

TEST(Application, AnExceptionInAHandlerIsShownAndTheLoopGoesOn) {
    ScriptedDialogs dialogs;
    std::vector<std::string> log;
    {
        OwnApplication own;
        own.app.SetTitle("Sonvale");
        auto* form = new MainForm(&own.app, &log);
        own.app.RegisterForm(form);
        PostMessage(form, WM_USER + 1, 0, 0);
        PostMessage(form, WM_USER + 2, 0, 0);
        own.app.Run();
    }
    EXPECT_EQ(log, (std::vector<std::string>{"loop went on"}));
    ASSERT_EQ(dialogs.Calls.size(), 1u);
    EXPECT_EQ(dialogs.Calls[0].Text, "失敗しました");
    EXPECT_EQ(dialogs.Calls[0].Caption, "Sonvale");
}

TEST(Application, AnExceptionInAMouseHandlerIsShown) {
    ScriptedDialogs dialogs;
    Scene s(40);
    int clicks = 0;
    s.a->OnClick = [&](TObject*) {
        if (++clicks == 1) throw Exception("一回目");
    };
    ClickAt(s.a, 2, 2);
    ClickAt(s.a, 2, 2);
    EXPECT_EQ(clicks, 2);
    EXPECT_EQ(dialogs.Texts("MessageBox"), (std::vector<std::string>{"一回目"}));
}

TEST(Forms, ClosingTheMainFormRunsOnCloseAndAFailingHandlerKeepsItOpen) {
    ScriptedDialogs dialogs;
    std::vector<std::string> log;
    OwnApplication own;
    auto* form = new MainForm(&own.app, &log);
    own.app.RegisterForm(form);
    int attempts = 0;
    form->OnClose = [&](TObject*, TCloseAction&) {
        if (++attempts == 1) throw Exception("/x/main.ini に書き込めません");
    };
    form->Show();
    form->WindowCloseRequested(); // the close box
    Application->ProcessMessages();
    EXPECT_FALSE(own.app.Terminated());
    EXPECT_TRUE(form->Visible());
    EXPECT_EQ(dialogs.Texts(), (std::vector<std::string>{"/x/main.ini に書き込めません"}));
    form->WindowCloseRequested();
    Application->ProcessMessages();
    EXPECT_TRUE(own.app.Terminated());
    EXPECT_EQ(attempts, 2);
}

TEST(Forms, TheRealModalLoopEndsWithTheModalResultAfterOnClose) {
    TForm dlg(nullptr);
    std::vector<std::string> log;
    dlg.OnClose = [&](TObject*, TCloseAction& a) {
        log.push_back("close");
        if (log.size() == 1) { // refused once: the loop goes on until the result is set
            a = caNone;
            QTimer::singleShot(0, [&] { dlg.SetModalResult(mrOk); });
        }
    };
    PostMessage(&dlg, WM_CLOSE, 0, 0); // Close on a modal form sets mrCancel
    EXPECT_EQ(dlg.ShowModal(), mrOk);
    EXPECT_EQ(log, (std::vector<std::string>{"close", "close"}));
    EXPECT_FALSE(dlg.Visible());
}

TEST(Controls, RecreateWndSendsDestroyThenCreate) {
    std::vector<std::string> log;
    struct Logged : TCustomControl {
        std::vector<std::string>* log;
        Logged(TComponent* o, std::vector<std::string>* l) : TCustomControl(o), log(l) {}
        void Dispatch(TMessage& m) override {
            if (m.Msg == WM_CREATE) log->push_back("create");
            if (m.Msg == WM_DESTROY) log->push_back("destroy");
            TCustomControl::Dispatch(m);
        }
    };
    TForm form(nullptr);
    auto* c = new Logged(&form, &log);
    c->SetParent(&form);
    c->SetWindowStyle(c->WindowStyle() | 0x0B);
    form.Show();
    c->RecreateWnd();
    EXPECT_EQ(log, (std::vector<std::string>{"create", "destroy", "create"}));
    EXPECT_EQ(c->GetWindowLong(GWL_STYLE) & 0x0F, 0x0Bu);
}

TEST(Controls, AControlFreedWhileHoldingTheHoverCaptureLeavesNoGrab) {
    Scene s(820);
    SetCaptureControl(s.a); // no button held: the panel's window grabs the mouse for it
    ASSERT_EQ(QWidget::mouseGrabber(), s.panel->Handle());
    delete s.a;
    EXPECT_EQ(GetCaptureControl(), nullptr);
    EXPECT_EQ(QWidget::mouseGrabber(), nullptr);
}
