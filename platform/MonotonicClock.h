#pragma once

// The one clock of reaction times, timers and the timing trace: CLOCK_MONOTONIC in ms.
class MonotonicClock {
  public:
    static double NowMs();
    // Returns once the clock reads deadlineMs (absolute): sleeps, then spins the last kSpinMs.
    static void SleepUntilMs(double deadlineMs);
    static constexpr double kSpinMs = 0.25;
    // Asks the kernel for the tightest timer slack on this thread (default is 50 us).
    static void TightenTimerSlack();
};
