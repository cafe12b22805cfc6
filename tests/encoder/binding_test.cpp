#include "encoder/gogo_defs.h"
#include "encoder/gogo_tea.h"
#include "tests/encoder/encoder_test_support.h"

#include <gtest/gtest.h>

namespace sv {
namespace {

using test::IsLoaded;
using test::ProgramLibraryPath;

TEST(GogoBinding, ProgramFolderCopyIsSharedAndUnloadedWithTheLastReference) {
    ASSERT_TRUE(InitGogoDefs());
    EXPECT_EQ(GogoDLLPath(), "");
    EXPECT_EQ(GogoReferenceCount(), 1);
    EXPECT_TRUE(IsLoaded(ProgramLibraryPath()));
    EXPECT_NE(Gogo().processFrame, nullptr);
    EXPECT_NE(Gogo().getVersion, nullptr);

    ASSERT_TRUE(InitGogoDefs());
    EXPECT_EQ(GogoReferenceCount(), 2);
    DeallocateGogoDLL();
    EXPECT_EQ(GogoReferenceCount(), 1);
    EXPECT_TRUE(GogoLibraryLoaded());

    DeallocateGogoDLL();
    EXPECT_EQ(GogoReferenceCount(), 0);
    EXPECT_FALSE(GogoLibraryLoaded());
    EXPECT_FALSE(IsLoaded(ProgramLibraryPath()));
    // No stale addresses into the unloaded library.
    EXPECT_EQ(Gogo().initializeWork, nullptr);
    EXPECT_EQ(Gogo().processFrame, nullptr);
    EXPECT_EQ(Gogo().getVersion, nullptr);
}

TEST(GogoBinding, ExtraReleaseLeavesANegativeCountThatTheNextLoadResets) {
    DeallocateGogoDLL();
    EXPECT_EQ(GogoReferenceCount(), -1);
    ASSERT_TRUE(InitGogoDefs());
    EXPECT_EQ(GogoReferenceCount(), 1);
    DeallocateGogoDLL();
    EXPECT_FALSE(GogoLibraryLoaded());
}

TEST(GogoBinding, ComponentsHoldOneReferenceEach) {
    {
        TGogoTea first(nullptr);
        TGogoTea second(nullptr);
        EXPECT_EQ(GogoReferenceCount(), 2);
        EXPECT_EQ(first.DLLPath(), "");
    }
    EXPECT_EQ(GogoReferenceCount(), 0);
    EXPECT_FALSE(IsLoaded(ProgramLibraryPath()));
}

TEST(GogoBinding, OwnerFreesTheComponent) {
    auto* owner = new TComponent(nullptr);
    new TGogoTea(owner);
    EXPECT_EQ(GogoReferenceCount(), 1);
    delete owner;
    EXPECT_EQ(GogoReferenceCount(), 0);
}

} // namespace
} // namespace sv
