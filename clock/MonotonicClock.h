#pragma once

// The one clock of reaction times, timers, the timing trace, the audio timestamps and the
// measuring tools: CLOCK_MONOTONIC in ms. Plain POSIX, so that tools without Qt share it.
class MonotonicClock {
  public:
    static double NowMs();
    // Returns once the clock reads deadlineMs (absolute): sleeps, then spins the last kSpinMs.
    static void SleepUntilMs(double deadlineMs);
    static constexpr double kSpinMs = 0.25;
    // Sleeps about ms without spinning: for pauses and polls, where waking late costs nothing.
    static void SleepForMs(double ms);
    // Asks the kernel for the tightest timer slack on this thread (default is 50 us).
    static void TightenTimerSlack();
};
