// The swap flag decides which sound an eye's cue plays, heard through the real device: the
// default cues are panned hard left (sound1) and hard right (sound2).
#include <gtest/gtest.h>

#include <algorithm>

#include "../view/ViewFakes.h"
#include "PlatformSupport.h"
#include "PosixFileSystem.h"
#include "SdlSoundDevice.h"

using CueMapping = SoundFolderTest;

TEST_F(CueMapping, SwapFlagSendsEachEyeToTheOtherSound) {
    for (const char* f : {"sound1.wav", "sound2.wav"})
        fs::copy_file(fs::path(ORVI_TEST_DATA) / ".." / ".." / "assets" / f, f);
    ScriptedPlatform platform;
    platform.exePath = fs::absolute("orvi");
    platform.files.push_back(fs::absolute("record.txt"));
    PosixFileSystem files;
    ClockedHost host;
    SdlSoundDevice device;
    ASSERT_TRUE(device.isOpen());
    COrviView view(host, device, platform, files);
    host.view = &view;
    const auto loud = [](const Samples& x) {
        return std::any_of(x.begin(), x.end(), [](int v) { return v != 0; });
    };
    for (int swap : {0, 1})
        for (int eye : {0, 1}) {
            view.m_experiment.m_nSwapSides = swap;
            Pump(60);
            const auto from = std::streamoff(fs::file_size("capture.raw"));
            view.PlayCue(eye);
            Pump(150);
            view.StopCues();
            const bool leftSound = (eye == 0) == (swap == 0);  // sound1 is the left one
            EXPECT_TRUE(loud(Captured(leftSound ? 0 : 1, from))) << swap << " eye " << eye;
            EXPECT_FALSE(loud(Captured(leftSound ? 1 : 0, from))) << swap << " eye " << eye;
        }
}
