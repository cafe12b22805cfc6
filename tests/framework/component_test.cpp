#include "framework/component.h"

#include <gtest/gtest.h>
#include <string>
#include <vector>

using namespace sv;

namespace {

std::vector<std::string> journal;

class Probe : public TComponent {
public:
    explicit Probe(TComponent* owner, std::string n) : TComponent(owner) { SetName(n); }
    ~Probe() override {
        BeginDestruction();
        journal.push_back("free " + Name());
    }
    void Loaded() override {
        journal.push_back("loaded " + Name() +
                          (ComponentState().Contains(csLoading) ? " (loading)" : ""));
        TComponent::Loaded();
    }
    TGuardedRef<TComponent> watched;

protected:
    void Notification(TComponent* c, TOperation op) override {
        TComponent::Notification(c, op);
        if (op == opRemove) journal.push_back(Name() + " told " + c->Name());
    }
};

} // namespace

TEST(Component, OwnerFreesOwnedInReverseOrderWithNotices) {
    journal.clear();
    auto* root = new Probe(nullptr, "Root");
    new Probe(root, "A");
    new Probe(root, "B");
    EXPECT_EQ(root->ComponentCount(), 2);
    delete root;
    std::vector<std::string> want = {"A told B",    "Root told B", "free B",
                                     "Root told A", "free A",      "free Root"};
    EXPECT_EQ(journal, want);
}

TEST(Component, FreeingAnOwnedComponentRemovesItFromItsOwner) {
    Probe root(nullptr, "Root");
    auto* a = new Probe(&root, "A");
    new Probe(&root, "B");
    delete a;
    ASSERT_EQ(root.ComponentCount(), 1);
    EXPECT_EQ(root.Components(0)->Name(), "B");
    EXPECT_EQ(root.FindComponent("b"), root.Components(0));
}

TEST(Component, NamesMustBeIdentifiersAndUniqueAmongSiblings) {
    Probe root(nullptr, "Root");
    new Probe(&root, "Edit1");
    EXPECT_THROW(new Probe(&root, "edit1"), EComponentError);
    EXPECT_EQ(root.ComponentCount(), 1); // the refused one freed itself on the way out
    auto* b = new Probe(&root, "Edit2");
    EXPECT_THROW(b->SetName("1abc"), EComponentError);
    EXPECT_EQ(b->Name(), "Edit2");
}

TEST(Component, FreeNotificationReachesComponentsOfOtherOwners) {
    journal.clear();
    Probe left(nullptr, "Left");
    auto* watcher = new Probe(&left, "Watcher");
    auto* target = new Probe(nullptr, "Target");
    watcher->FreeNotification(target);
    watcher->watched = target;
    EXPECT_EQ(watcher->watched.Get(), target);
    delete target;
    EXPECT_EQ(watcher->watched.Get(), nullptr);
    EXPECT_NE(std::find(journal.begin(), journal.end(), "Watcher told Target"), journal.end());
    // The link was dropped both ways: freeing the watcher later tells nobody freed.
    journal.clear();
    delete watcher;
    EXPECT_EQ(journal, (std::vector<std::string>{"Left told Watcher", "free Watcher"}));
}

TEST(Component, GuardedReferenceClearsWhenTheOwnerFreesTheComponent) {
    auto* root = new Probe(nullptr, "Root");
    TGuardedRef<Probe> ref = new Probe(root, "A");
    TGuardedRef<Probe> copy = ref;
    EXPECT_TRUE(copy);
    delete root;
    EXPECT_FALSE(ref);
    EXPECT_FALSE(copy);
}

TEST(Component, LoadingMarksDirectlyOwnedComponentsUntilLoaded) {
    journal.clear();
    Probe root(nullptr, "Root");
    root.BeginLoading();
    auto* a = new Probe(&root, "A");
    auto* inner = new Probe(a, "Inner"); // made by A for itself: not from the description
    EXPECT_TRUE(a->ComponentState().Contains(csLoading));
    EXPECT_FALSE(inner->ComponentState().Contains(csLoading));
    root.EndLoading();
    EXPECT_EQ(journal, (std::vector<std::string>{"loaded A (loading)", "loaded Root (loading)"}));
    EXPECT_FALSE(a->ComponentState().Contains(csLoading));
    EXPECT_FALSE(root.ComponentState().Contains(csLoading));
}
