#include "controls/control_hook.h"

#include "framework/dropfiles.h"
#include "framework/strings.h"
#include "tests/framework/test_helpers.h"

#include <QWidget>
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

namespace sv {
namespace {

struct Dropped {
    std::vector<std::string> Files;
    int X = -1, Y = -1;
    int Calls = 0;
};

class HookTest : public ::testing::Test {
protected:
    void SetUp() override {
        // Built as a form description is read: Loaded registers the drop target.
        form = std::make_unique<TForm>(Application);
        form->BeginLoading();
        form->SetName("FmDrop");
        form->SetBounds(0, 0, 300, 200);
        list = new TCustomControl(form.get());
        list->SetName("lst_wav");
        list->SetParent(form.get());
        list->SetBounds(10, 10, 200, 120);
        drop = new TDropDst(form.get());
        drop->OnFileDrop = [this](TObject* sender, TStrings* files, int x, int y) {
            EXPECT_EQ(sender, drop);
            got.Files.clear();
            for (int i = 0; i < files->Count(); ++i) got.Files.push_back(files->Strings(i));
            got.X = x, got.Y = y;
            ++got.Calls;
        };
        drop->SetTarget(htControl);
        drop->SetControl(list);
        form->EndLoading();
    }
    void TearDown() override { form.reset(); }
    // Delivers a drop as the framework does; true when the drop was finished by the time the
    // control's handler returned (the framework would otherwise finish it afterwards).
    bool Drop(TWinControl* target, std::vector<std::string> files, TPoint p = Point(5, 6)) {
        bool finished = false;
        auto inner = target->WindowProc;
        target->WindowProc = [&finished, inner](TMessage& m) {
            inner(m);
            if (m.Msg == WM_DROPFILES)
                finished = DragQueryFileCount(reinterpret_cast<HDROP>(m.WParam)) == 0;
        };
        DeliverDrop(target, files, p);
        target->WindowProc = inner;
        return finished;
    }
    static bool Accepts(TWinControl* c) { return c->Handle()->acceptDrops(); }
    std::unique_ptr<TForm> form;
    TCustomControl* list = nullptr;
    TDropDst* drop = nullptr;
    Dropped got;
};

TEST_F(HookTest, ThreeFilesInOrderWithTheClientPoint) {
    EXPECT_EQ(drop->HookedControl(), list);
    EXPECT_TRUE(Accepts(list));
    EXPECT_TRUE(Drop(list, {"/a/1.wav", "/b/2.WAV", "/c/3.mp3"}, Point(17, 23)));
    EXPECT_EQ(got.Files, (std::vector<std::string>{"/a/1.wav", "/b/2.WAV", "/c/3.mp3"}));
    EXPECT_EQ(got.X, 17);
    EXPECT_EQ(got.Y, 23);
}

TEST_F(HookTest, LongPathsAreDeliveredWhole) {
    // A cut name could name another existing file that a later job would convert and delete.
    const std::string longPath = "/" + std::string(300, 'd') + "/track.wav";
    Drop(list, {longPath});
    ASSERT_EQ(got.Files.size(), 1u);
    EXPECT_EQ(got.Files[0], longPath);
}

TEST_F(HookTest, NoHandlerOrARaisingHandlerStillFinishesTheDrop) {
    drop->OnFileDrop = nullptr;
    EXPECT_TRUE(Drop(list, {"/a.wav"}));
    EXPECT_EQ(got.Calls, 0);

    test::ScriptedDialogs dialogs;
    drop->OnFileDrop = [](TObject*, TStrings*, int, int) { throw Exception("読めません"); };
    EXPECT_TRUE(Drop(list, {"/a.wav"}));
    ASSERT_EQ(dialogs.Texts("MessageBox"), std::vector<std::string>{"読めません"});
}

TEST_F(HookTest, OtherMessagesPassOnAndAcceptDropSwitches) {
    auto passed = std::make_shared<int>(0);
    auto original = list->WindowProc;
    drop->SetControl(nullptr);
    list->WindowProc = [passed, original](TMessage& m) {
        if (m.Msg == WM_USER || m.Msg == WM_DROPFILES) ++*passed;
        original(m);
    };
    drop->SetControl(list);
    list->Perform(WM_USER);
    EXPECT_EQ(*passed, 1);
    Drop(list, {"/a.wav"});
    EXPECT_EQ(*passed, 1) << "a drop is not passed to the control's own handler";

    drop->SetAcceptDrop(false);
    EXPECT_FALSE(Accepts(list));
    drop->SetAcceptDrop(true);
    EXPECT_TRUE(Accepts(list));
}

TEST_F(HookTest, TargetFormAndMissingForm) {
    drop->SetTarget(htForm);
    EXPECT_EQ(drop->HookedControl(), form.get());
    Drop(list, {"/on-list.wav"});
    EXPECT_EQ(got.Calls, 0) << "the list is no longer hooked";
    Drop(form.get(), {"/on-form.wav"});
    EXPECT_EQ(got.Calls, 1);

    TComponent owner(nullptr);
    TDropDst loose(&owner);
    EXPECT_THROW(
        {
            try {
                loose.SetTarget(htForm);
            } catch (const Exception& e) {
                EXPECT_STREQ(e.what(), "フック先を特定できません。");
                throw;
            }
        },
        Exception);
}

TEST_F(HookTest, RecreatedWindowIsRegisteredAgain) {
    list->RecreateWnd();
    EXPECT_TRUE(Accepts(list));
    EXPECT_NE(drop->HookedWindow(), nullptr);
    EXPECT_TRUE(Drop(list, {"/again.wav"}));
    EXPECT_EQ(got.Calls, 1);
}

TEST_F(HookTest, FreedControlIsForgottenAndNeverHookedAgain) {
    delete list;
    list = nullptr;
    EXPECT_EQ(drop->Control(), nullptr);
    EXPECT_EQ(drop->HookedControl(), nullptr);
    drop->SetTarget(htControl); // must not touch the freed control
    EXPECT_EQ(drop->HookedControl(), nullptr);
}

TEST_F(HookTest, UnhookLeavesALaterHookInPlace) {
    auto later = std::make_shared<int>(0);
    auto ours = list->WindowProc;
    list->WindowProc = [later, ours](TMessage& m) {
        if (m.Msg == WM_USER) ++*later;
        ours(m);
    };
    delete drop; // unhooks: ours is no longer the current handler
    drop = nullptr;
    list->Perform(WM_USER);
    EXPECT_EQ(*later, 1);
    EXPECT_FALSE(Drop(list, {"/x.wav"})) << "the drop target is gone";
    EXPECT_EQ(got.Calls, 0);
}

} // namespace
} // namespace sv
