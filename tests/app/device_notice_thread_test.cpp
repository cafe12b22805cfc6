// The drive monitor calls from its own thread; what it posts must reach the main window on the
// user-interface thread.
#include "app/cd_wav_form.h"
#include "app/main_form.h"
#include "app/startup.h"
#include "framework/stdctrls.h"
#include "tests/app/app_fixture.h"

#include <thread>

using namespace sv;
using namespace sv::app;

namespace {

class DeviceNotice : public apptest::SonvaleTest {};

// Handles what is already waiting, a few rounds, until `done` holds.
template <class F> bool Pump(F done) {
    for (int i = 0; i < 20 && !done(); ++i) Application->ProcessMessages();
    return done();
}

} // namespace

TEST_F(DeviceNotice, CallbacksFromAnotherThreadReachTheMainWindow) {
    CreateSonvaleForms();
    FmCD_WAV->lst_cd->Items()->Add("Track 01");
    auto callback = PostDeviceChanges(FmMain);
    std::thread([&] { callback(false); }).join();
    EXPECT_TRUE(Pump([] { return FmCD_WAV->lst_cd->Items()->Count() == 0; }));

    // Once the main window is gone a late notification finds nothing to do.
    FmCD_WAV->lst_cd->Items()->Add("Track 01");
    FreeAndNil(FmMain);
    std::thread([&] { callback(false); }).join();
    Pump([] { return false; });
    EXPECT_EQ(FmCD_WAV->lst_cd->Items()->Count(), 1);
}
