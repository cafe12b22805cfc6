// Finding the library when the program folder has none: the registry's install path.
#include "encoder/gogo_defs.h"
#include "encoder/gogo_tea.h"
#include "tests/encoder/encoder_test_support.h"

#include <QTemporaryDir>
#include <cstdlib>
#include <gtest/gtest.h>

namespace sv {
namespace {

class GogoLoader : public ::testing::Test {
protected:
    GogoLoader() {
        const char* old = std::getenv("XDG_CONFIG_HOME");
        if (old) oldConfig_ = old;
        hadConfig_ = old != nullptr;
        setenv("XDG_CONFIG_HOME", config_.path().toStdString().c_str(), 1);
    }
    ~GogoLoader() override {
        if (hadConfig_)
            setenv("XDG_CONFIG_HOME", oldConfig_.c_str(), 1);
        else
            unsetenv("XDG_CONFIG_HOME");
    }

    void Registry(const std::string& text) {
        test::WriteFile(config_.path().toStdString() + "/hkcu.ini", text);
    }

    QTemporaryDir config_;
    std::string oldConfig_;
    bool hadConfig_ = false;
};

TEST_F(GogoLoader, ProgramFolderHasNoLibrary) {
    ASSERT_FALSE(test::IsLoaded(test::ProgramLibraryPath()));
    EXPECT_FALSE(InitGogoDefs());
    EXPECT_EQ(GogoReferenceCount(), 0);
    try {
        TGogoTea tea(nullptr);
        ADD_FAILURE() << "constructed without a library";
    } catch (const EGogoTeaError& e) {
        EXPECT_EQ(e.Message(), "GOGO.DLLを初期化できません.");
    }
    EXPECT_EQ(GogoReferenceCount(), 0);
}

TEST_F(GogoLoader, OwnerKeepsNothingOfAFailedComponent) {
    TComponent owner(nullptr);
    EXPECT_THROW(new TGogoTea(&owner), EGogoTeaError);
    EXPECT_EQ(owner.ComponentCount(), 0);
}

TEST_F(GogoLoader, RegistryInstallPathIsLoadedAndReported) {
    Registry(std::string("[Software\\Pelloran\\GOGO_DLL]\nINSTPATH=") + FAKE_GOGO_PATH + "\n");
    {
        TGogoTea tea(nullptr);
        EXPECT_EQ(tea.DLLPath(), FAKE_GOGO_PATH);
        EXPECT_EQ(GogoDLLPath(), FAKE_GOGO_PATH);
        EXPECT_TRUE(test::IsLoaded(FAKE_GOGO_PATH));
        // A second reference does not look again.
        ASSERT_TRUE(InitGogoDefs());
        EXPECT_EQ(GogoReferenceCount(), 2);
        DeallocateGogoDLL();
    }
    EXPECT_FALSE(test::IsLoaded(FAKE_GOGO_PATH));
}

TEST_F(GogoLoader, LibraryLackingAnEntryPointIsNotKept) {
    Registry(std::string("[Software\\Pelloran\\GOGO_DLL]\nINSTPATH=") + FAKE_GOGO_NOVERSION_PATH +
             "\n");
    EXPECT_FALSE(InitGogoDefs());
    EXPECT_EQ(GogoReferenceCount(), 0);
    EXPECT_FALSE(GogoLibraryLoaded());
    EXPECT_FALSE(test::IsLoaded(FAKE_GOGO_NOVERSION_PATH));
    EXPECT_EQ(Gogo().initializeWork, nullptr);
}

TEST_F(GogoLoader, EmptyOrMissingInstallPath) {
    Registry("[Software\\Pelloran\\GOGO_DLL]\nINSTPATH=\n");
    EXPECT_FALSE(InitGogoDefs());
    Registry("[Software\\Pelloran\\GOGO_DLL]\nOTHER=x\n");
    EXPECT_FALSE(InitGogoDefs());
    Registry("[Software\\Pelloran\\GOGO_DLL]\nINSTPATH=/no/such/libgogo.so\n");
    EXPECT_FALSE(InitGogoDefs());
    EXPECT_EQ(GogoReferenceCount(), 0);
}

} // namespace
} // namespace sv
