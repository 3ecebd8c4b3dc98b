#pragma once

#include <QObject>
#include <QTimer>
#include <functional>

// A one-shot timer that fires within a fraction of a millisecond of its deadline. Qt's own
// timers wake a millisecond or more late for long periods, so a Qt timer wakes us shortly
// before the deadline and an absolute clock_nanosleep covers the rest.
class PreciseTimer : public QObject {
    Q_OBJECT
  public:
    static constexpr double kFinalWaitMs = 3.0;

    explicit PreciseTimer(std::function<void()> onFire, QObject* parent = nullptr);

    // Fires delayMs after fromMs (MonotonicClock), or after now.
    void start(int delayMs, double fromMs);
    void start(int delayMs);
    void stop();
    // Moves a running timer's deadline earlier by ms (at most to now).
    void advance(double ms);
    bool isActive() const { return m_active; }
    double deadlineMs() const { return m_deadlineMs; }

  private:
    void arm();
    void wake();

    std::function<void()> m_onFire;
    QTimer m_timer;
    double m_deadlineMs = 0;
    bool m_active = false;
};
