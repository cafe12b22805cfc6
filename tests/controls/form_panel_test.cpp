#include "controls/control_hook.h"
#include "controls/form_panel.h"

#include "framework/dropfiles.h"
#include "framework/menus.h"
#include "framework/strings.h"
#include "tests/framework/test_helpers.h"

#include <gtest/gtest.h>

#include <memory>

namespace sv {
namespace {

class FormPanelTest : public ::testing::Test {
protected:
    void SetUp() override {
        host = std::make_unique<TForm>(Application);
        host->SetName("FmHost");
        host->SetBounds(0, 0, 500, 400);
        panel = new TFormPanel(host.get());
        panel->SetParent(host.get());
        panel->SetBounds(0, 0, 300, 200);
        panel->SetBevelOuter(bvLowered);
        a = MakeForm("FmA", "FmCD_WAV");
        b = MakeForm("FmB", "FmWAV_MP3");
    }
    std::unique_ptr<TForm> MakeForm(const std::string& name, const std::string& caption) {
        auto f = std::make_unique<TForm>(Application);
        f->SetName(name);
        f->SetCaption(caption);
        f->SetBorderStyle(bsSingle);
        f->SetBorderIcons(TBorderIcons{biSystemMenu});
        f->SetBounds(10, 10, 200, 100);
        return f;
    }
    std::unique_ptr<TForm> host;
    TFormPanel* panel = nullptr;
    std::unique_ptr<TForm> a, b;
};

TEST_F(FormPanelTest, EmbedsFitsAndRestoresOnSwitch) {
    const std::uint32_t style = a->GetWindowLong(GWL_STYLE);
    int shows = 0;
    a->OnShow = [&](TObject*) { ++shows; };
    panel->SetFormName("FmA");
    ASSERT_EQ(panel->EmbeddedForm(), a.get());
    EXPECT_EQ(a->Parent(), panel);
    EXPECT_EQ(a->BorderStyle(), bsNone);
    EXPECT_TRUE(a->BorderIcons().Empty());
    EXPECT_EQ(a->GetWindowLong(GWL_STYLE) & ~WS_VISIBLE, WS_CHILD);
    EXPECT_TRUE(a->Visible());
    EXPECT_EQ(a->BoundsRect(), Rect(1, 1, 299, 199)) << "inset 1 for the lowered bevel";
    EXPECT_EQ(shows, 1);
    EXPECT_EQ(panel->FormName(), "FmA");

    panel->SetFormName("FmA");
    EXPECT_EQ(shows, 2) << "the same name detaches and embeds again";

    for (int i = 0; i < 3; ++i) {
        panel->SetFormName("FmB");
        EXPECT_EQ(panel->EmbeddedForm(), b.get());
        EXPECT_FALSE(a->Visible());
        EXPECT_EQ(a->Parent(), nullptr);
        EXPECT_EQ(a->BorderStyle(), bsSingle);
        EXPECT_EQ(a->BorderIcons(), TBorderIcons{biSystemMenu});
        EXPECT_EQ(a->FormStyle(), fsNormal);
        EXPECT_EQ(a->GetWindowLong(GWL_STYLE), style);
        panel->SetFormName("FmA");
        EXPECT_EQ(b->Parent(), nullptr);
    }

    panel->SetBounds(0, 0, 400, 300);
    EXPECT_EQ(a->BoundsRect(), Rect(1, 1, 399, 299));
}

TEST_F(FormPanelTest, LookupRulesAndEmptyName) {
    panel->SetFormName("fma");
    EXPECT_EQ(panel->EmbeddedForm(), nullptr) << "case-sensitive";
    EXPECT_EQ(panel->FormName(), "fma") << "the stored name is kept";

    auto twin = MakeForm("FmTwin", "FmCD_WAV");
    panel->SetFormCaption("FmCD_WAV");
    EXPECT_EQ(panel->EmbeddedForm(), twin.get()) << "the later form in the screen's list";

    panel->SetFormName("");
    EXPECT_EQ(panel->EmbeddedForm(), nullptr);
    EXPECT_EQ(panel->FormName(), "");
    EXPECT_EQ(panel->FormCaption(), "");
    EXPECT_FALSE(twin->Visible());
}

TEST_F(FormPanelTest, FreedFormIsForgottenAndPanelDestructionRestores) {
    panel->SetFormName("FmB");
    b.reset();
    EXPECT_EQ(panel->EmbeddedForm(), nullptr);
    panel->SetFormName("FmA"); // must not touch the freed form
    EXPECT_EQ(panel->EmbeddedForm(), a.get());
    delete panel;
    panel = nullptr;
    EXPECT_EQ(a->Parent(), nullptr);
    EXPECT_FALSE(a->Visible());
    EXPECT_EQ(a->BorderStyle(), bsSingle);
}

TEST_F(FormPanelTest, MenuMergeAndAnOwnerThatIsNoForm) {
    auto* menu = new TMainMenu(a.get());
    menu->SetAutoMerge(true);
    a->SetMenu(menu);
    panel->SetFormName("FmA");
    EXPECT_EQ(host->Menu(), menu) << "the host had no menu: the form's becomes it";
    EXPECT_EQ(a->Menu(), nullptr);
    panel->SetFormName("FmA");
    EXPECT_EQ(host->Menu(), menu) << "embedding the same form again keeps its menu merged";
    panel->SetFormName("");
    EXPECT_EQ(host->Menu(), nullptr);
    EXPECT_EQ(a->Menu(), menu);

    // A host with a menu of its own shows the form's after its own, once, however often the
    // same form is embedded.
    auto* own = new TMainMenu(host.get());
    host->SetMenu(own);
    panel->SetFormName("FmA");
    panel->SetFormName("FmA");
    EXPECT_EQ(host->Menu(), own);
    EXPECT_EQ(own->MergedCount(), 1);
    panel->SetFormName("FmB");
    EXPECT_EQ(own->MergedCount(), 0);
    EXPECT_EQ(a->Menu(), menu);
    host->SetMenu(nullptr);

    // A panel owned by something that is not a form refuses before touching anything.
    TComponent owner(nullptr);
    auto* loose = new TFormPanel(&owner);
    loose->SetParent(host.get());
    EXPECT_THROW(loose->SetFormName("FmA"), Exception);
    EXPECT_EQ(a->Parent(), nullptr);
    EXPECT_EQ(a->Menu(), menu);
    EXPECT_EQ(host->ControlCount(), 2) << "no cover panel left behind";
}

TEST_F(FormPanelTest, PendingAttachWhileLoadingRunsFromTheEventLoop) {
    host->BeginLoading();
    auto* late = new TFormPanel(host.get());
    late->SetParent(host.get());
    late->SetFormName("FmLater");
    EXPECT_TRUE(late->AttachPending());
    host->EndLoading();
    auto later = MakeForm("FmLater", "x");
    QApplication::processEvents();
    EXPECT_EQ(late->EmbeddedForm(), later.get());
    EXPECT_FALSE(late->AttachPending());
}

TEST_F(FormPanelTest, DropOntoAListStillWorksAfterItsFormIsEmbedded) {
    a->BeginLoading();
    auto* list = new TListBox(a.get());
    list->SetParent(a.get());
    list->SetBounds(5, 5, 100, 60);
    auto* drop = new TDropDst(a.get());
    drop->SetControl(list);
    a->EndLoading();
    std::vector<std::string> got;
    drop->OnFileDrop = [&got](TObject*, TStrings* files, int, int) {
        for (int i = 0; i < files->Count(); ++i) got.push_back(files->Strings(i));
    };
    panel->SetFormName("FmA");
    panel->SetFormName("FmB");
    panel->SetFormName("FmA");
    EXPECT_TRUE(DeliverDrop(list, {"/music/a.wav"}, Point(3, 3)));
    EXPECT_EQ(got, std::vector<std::string>{"/music/a.wav"});
    drop->OnFileDrop = nullptr;
}

} // namespace
} // namespace sv
