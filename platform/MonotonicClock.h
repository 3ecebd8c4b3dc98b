#pragma once

// The one clock of reaction times, timers and the timing trace: CLOCK_MONOTONIC in ms.
class MonotonicClock {
  public:
    static double NowMs();
    // Sleeps until the clock reads deadlineMs (absolute), to within the kernel's wake-up latency.
    static void SleepUntilMs(double deadlineMs);
    // Asks the kernel for the tightest timer slack on this thread (default is 50 us).
    static void TightenTimerSlack();
};
