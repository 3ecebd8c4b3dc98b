#include "PreciseTimer.h"

#include <cmath>

#include "MonotonicClock.h"

PreciseTimer::PreciseTimer(std::function<void()> onFire, QObject* parent)
    : QObject(parent), m_onFire(std::move(onFire)) {
    m_timer.setSingleShot(true);
    m_timer.setTimerType(Qt::PreciseTimer);
    connect(&m_timer, &QTimer::timeout, this, &PreciseTimer::wake);
}

void PreciseTimer::start(int delayMs) { start(delayMs, MonotonicClock::NowMs()); }

void PreciseTimer::start(int delayMs, double fromMs) {
    if (delayMs < 0) {
        delayMs = 0;
    }
    m_deadlineMs = fromMs + delayMs;
    m_active = true;
    arm();
}

void PreciseTimer::advance(double ms) {
    if (!m_active || !(ms > 0)) {
        return;
    }
    m_deadlineMs -= ms;
    arm();
}

// The Qt timer wakes us kFinalWaitMs before the deadline, or at once when that has passed.
void PreciseTimer::arm() {
    const double early = m_deadlineMs - MonotonicClock::NowMs() - kFinalWaitMs;
    m_timer.start(early > 0 ? static_cast<int>(std::floor(early)) : 0);
}

void PreciseTimer::stop() {
    m_active = false;
    m_timer.stop();
}

void PreciseTimer::wake() {
    if (!m_active) {
        return;
    }
    const double remaining = m_deadlineMs - MonotonicClock::NowMs();
    if (remaining > kFinalWaitMs + 1.0) {
        // Woken far too early (e.g. the event loop was busy re-arming); wait again.
        arm();
        return;
    }
    if (remaining > 0) {
        MonotonicClock::SleepUntilMs(m_deadlineMs);
    }
    m_active = false;
    m_onFire();
}
