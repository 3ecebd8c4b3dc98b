#include "MonotonicClock.h"

#include <sys/prctl.h>
#include <time.h>

#include <cerrno>
#include <cmath>

namespace {

void SleepUntilTimeMs(double wakeMs) {
    const double seconds = std::floor(wakeMs / 1000.0);
    timespec ts{};
    ts.tv_sec = static_cast<time_t>(seconds);
    ts.tv_nsec = static_cast<long>((wakeMs - seconds * 1000.0) * 1.0e6);
    if (ts.tv_nsec >= 1000000000L) ts.tv_nsec = 999999999L;
    if (ts.tv_nsec < 0) ts.tv_nsec = 0;
    while (clock_nanosleep(CLOCK_MONOTONIC, TIMER_ABSTIME, &ts, nullptr) == EINTR) {
    }
}

}  // namespace

double MonotonicClock::NowMs() {
    timespec ts{};
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return static_cast<double>(ts.tv_sec) * 1000.0 + static_cast<double>(ts.tv_nsec) / 1.0e6;
}

void MonotonicClock::SleepUntilMs(double deadlineMs) {
    if (!(deadlineMs > 0)) return;
    // A sleeper wakes tens of microseconds late, more on a busy or virtual machine: sleep to
    // just short of the deadline and spin the rest.
    SleepUntilTimeMs(deadlineMs - kSpinMs);
    while (NowMs() < deadlineMs) {
    }
}

void MonotonicClock::SleepForMs(double ms) {
    if (ms > 0) SleepUntilTimeMs(NowMs() + ms);
}

void MonotonicClock::TightenTimerSlack() { prctl(PR_SET_TIMERSLACK, 1UL, 0UL, 0UL, 0UL); }
