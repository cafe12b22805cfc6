// The forms of this test program take the encoder library as the program does. The test program
// lives outside the program folder, so the library of the program folder (build/bin) is loaded
// up front: the binding's search by name then finds it, also where a sanitizer's interception
// of dlopen hides this program's run path.
#include "encoder/gogo_tea.h"

#include <dlfcn.h>
#include <gtest/gtest.h>

namespace {

class ProgramLibraries : public ::testing::Environment {
public:
    void SetUp() override { handle_ = dlopen(SV_BIN_DIR "/libgogo.so", RTLD_NOW | RTLD_LOCAL); }
    void TearDown() override {
        if (handle_) dlclose(handle_);
    }

private:
    void* handle_ = nullptr;
};

::testing::Environment* const kProgramLibraries =
    ::testing::AddGlobalTestEnvironment(new ProgramLibraries);

TEST(ProgramLibraries, TheEncoderComponentBindsTheLibrary) {
    EXPECT_NO_THROW(sv::TGogoTea(nullptr));
}

} // namespace
