// Runs the device on SDL's disk driver, which writes every buffer to a file. The driver runs a
// little faster than real time, so lengths are checked in frames. The capture also holds the
// silent buffers SDL writes before the device is unpaused, so capture positions and
// framesRendered() are compared only as differences. The GUI application these tests pump
// comes from the environment in QImageCanvasTest.cpp.
#include <gtest/gtest.h>

#include <utility>

#include "MonotonicClock.h"
#include "PlatformSupport.h"
#include "SdlSoundDevice.h"

namespace {

constexpr int kRate = 48000;
using Stretch = std::pair<std::size_t, std::size_t>;  // where a run starts, its length

// Stretches of non-zero samples.
std::vector<Stretch> soundRuns(const Samples& x) {
    std::vector<Stretch> runs;
    for (std::size_t i = 0, n = 0; i < x.size(); i += n + 1) {
        for (n = 0; i + n < x.size() && x[i + n] != 0;) ++n;
        if (n > 0) runs.push_back({i, n});
    }
    return runs;
}

using SdlSoundDeviceTest = SoundFolderTest;

TEST_F(SdlSoundDeviceTest, BeepIsAPhaseZeroSineOfExactLengthAndTakesItsLengthOnTheClock) {
    // 2048 Hz at 48 kHz is exactly zero every 375 samples; 251 ms keeps the tone's first missing
    // or extra sample off those zeros so a length error shows.
    {
        SdlSoundDevice device;
        const double start = MonotonicClock::NowMs();
        device.beep(2048, 251);
        // The face delay counts from the return: the length on the clock, not a buffer off it.
        // Never short; late only by the final wait's wake-up (PreciseTimer: well under 1 ms),
        // with up to 10 ms for a machine busy with other tests.
        const double waited = MonotonicClock::NowMs() - start;
        EXPECT_GE(waited, 251.0);
        EXPECT_LT(waited, 261.0);
        Pump(100);  // the tone's tail is rendered after the call returns
    }
    const Samples left = Captured(0);
    ASSERT_EQ(left, Captured(1));
    const std::vector<Stretch> runs = soundRuns(left);
    // Phase 0: the tone's first sample is its only silent one before the first crossing.
    const std::size_t start = runs.at(0).first - 1, end = runs.back().first + runs.back().second;
    EXPECT_EQ(end - start, std::size_t(251 * kRate / 1000));
    int crossings = 0;  // rising zero crossings after the first sample: one a period
    for (std::size_t i = start + 1; i < end; ++i) crossings += left[i - 1] < 0 && left[i] >= 0;
    EXPECT_EQ(crossings, 514);  // 251 ms of 2048 Hz: 514.05 periods
}

// A cue replayed from its report loops seamlessly; "stop all" silences it and no report
// follows, not even one that waited in the queue while the UI thread was busy.
TEST_F(SdlSoundDeviceTest, ReplayedCueLoopsWithoutGapAndStopsWithoutReport) {
    constexpr int kCueFrames = 4800;
    WriteCue("cue.wav", kCueFrames);
    int reports = 0;
    std::uint64_t renderedUntilStop = 0;
    {
        SdlSoundDevice device;
        ASSERT_EQ(device.sendCommand("open cue.wav alias left"), 0);
        device.setNotifyHandler([&](int code) {
            EXPECT_EQ(code, SoundDevice::kNotifySuccessful);
            ++reports;
            EXPECT_EQ(device.sendCommand("play left from 0 notify"), 0);
        });
        const std::uint64_t renderedBeforePlay = device.framesRendered();
        ASSERT_EQ(device.sendCommand("play left from 0 notify"), 0);
        ASSERT_TRUE(PumpUntil([&] { return reports >= 4; }, 3000));
        EXPECT_EQ(device.sendCommand("stop all"), 0);
        renderedUntilStop = device.framesRendered() - renderedBeforePlay;
        const int reportsAtStop = reports;
        Pump(300);
        // Busy past two lengths: the repeat nobody adopts plays to its own end.
        ASSERT_EQ(device.sendCommand("play left from 0 notify"), 0);
        std::this_thread::sleep_for(std::chrono::milliseconds(400));
        EXPECT_EQ(device.sendCommand("stop all"), 0);
        Pump(300);
        EXPECT_EQ(reports, reportsAtStop);
    }
    const Samples left = Captured(0), right = Captured(1);
    const std::vector<Stretch> runs = soundRuns(left);
    ASSERT_EQ(runs.size(), 2u) << "a gap in the loop, or sound after stop all";
    std::size_t misplaced = 0;
    for (std::size_t i = 0, at = runs[0].first; i < runs[0].second; ++i, ++at)
        misplaced += left[at] != int(i % kCueFrames + 1) || right[at] != -left[at];
    EXPECT_EQ(misplaced, 0u);
    EXPECT_GE(runs[0].second, std::size_t(reports) * kCueFrames);
    EXPECT_LE(runs[0].second, renderedUntilStop) << "sound after stop all";
    EXPECT_EQ(runs[1].second, 2u * kCueFrames);
}

// Commands that cannot be carried out fail, play nothing and report nothing; without a device
// nothing opens and nothing is printed.
TEST_F(SdlSoundDeviceTest, FailuresAreSilent) {
    WriteCue("cue.wav", 480);  // files that do not open: CueCheckTest
    int reports = 0;
    {
        SdlSoundDevice device;
        device.setNotifyHandler([&](int) { ++reports; });
        for (const char* bad : {"open missing.wav alias left", "play left from 0 notify", "",
                                "play left", "stop", "pause all", "open cue.wav"})
            EXPECT_NE(device.sendCommand(bad), 0) << bad;
        EXPECT_EQ(device.sendCommand("open cue.wav alias left"), 0);
        // The alias is in use; a play starts from 0 only; once closed the alias is gone.
        EXPECT_NE(device.sendCommand("open cue.wav alias left"), 0);
        EXPECT_NE(device.sendCommand("play left from 5 notify"), 0);
        EXPECT_EQ(device.sendCommand("close all"), 0);
        EXPECT_NE(device.sendCommand("play left from 0 notify"), 0);
        Pump(200);
    }
    EXPECT_EQ(reports, 0);
    EXPECT_TRUE(soundRuns(Captured(0)).empty()) << "something played";

    setenv("SDL_AUDIODRIVER", "alsa", 1);  // with no sound card libasound would complain on stderr
    testing::internal::CaptureStderr();
    const bool alsaOpened = SdlSoundDevice().isOpen();
    EXPECT_TRUE(testing::internal::GetCapturedStderr().empty() || alsaOpened);
}

}  // namespace
