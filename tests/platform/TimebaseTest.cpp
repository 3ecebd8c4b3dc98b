// Reaction times subtract clock readings taken in different places: the trace's and the
// presses' times (MonotonicClock, through the widget), the cue starts (the audio thread) and
// the display's ust, which start-up checks to be CLOCK_MONOTONIC. They must share that base.
#include <time.h>

#include "MonotonicClock.h"
#include "PlatformSupport.h"
#include "SdlSoundDevice.h"

namespace {

double KernelMonotonicMs() {
    timespec ts{};
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return static_cast<double>(ts.tv_sec) * 1000.0 + static_cast<double>(ts.tv_nsec) / 1.0e6;
}

using TimebaseTest = SoundFolderTest;

// Each reading is bracketed by two CLOCK_MONOTONIC readings taken before and after it, so the
// bound is the order alone: before <= reading <= after, no tolerance. Another clock (an epoch
// of its own, SDL's ticks, a raw clock) falls outside the bracket by far more than it spans.
TEST_F(TimebaseTest, ClockAndCueStartsLieBetweenKernelMonotonicReadings) {
    const double before = KernelMonotonicMs();
    const double now = MonotonicClock::NowMs();
    EXPECT_TRUE(before <= now && now <= KernelMonotonicMs()) << now;

    WriteCue("cue.wav", 4800);
    SdlSoundDevice device;
    ASSERT_EQ(device.sendCommand("open cue.wav alias cue"), 0);
    const double played = KernelMonotonicMs();
    ASSERT_EQ(device.sendCommand("play cue from 0 notify"), 0);
    ASSERT_TRUE(PumpUntil([&] { return device.lastCueStartMs() >= 0; }, 2000));
    const double start = device.lastCueStartMs();
    EXPECT_TRUE(played <= start && start <= KernelMonotonicMs()) << start - played;
}

}  // namespace
