// The forms of these tests bind the encoder library from the test programs' folder, as the
// program does from its own.
#include "encoder/gogo_tea.h"

#include <gtest/gtest.h>

namespace {

TEST(ProgramLibraries, TheEncoderComponentBindsTheLibrary) {
    EXPECT_NO_THROW(sv::TGogoTea(nullptr));
}

} // namespace
