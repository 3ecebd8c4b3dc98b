#pragma once

#include <string>

struct SceneState;

// The window services the controller runs on: one-shot timers, repaints, message boxes, the
// cursor and a monotonic clock. Everything is called on the UI thread.
class ViewHost {
  public:
    virtual ~ViewHost() = default;

    // Starts (or restarts) the one-shot timer `id`; it fires OnTimer(id) once after delayMs,
    // counted from InputTimeMs(). A delay of 0 or less fires from the event loop as soon as
    // possible.
    virtual void SetTimer(int id, int delayMs) = 0;
    virtual void KillTimer(int id) = 0;

    // Asks for a paint of the whole view later; erase clears the background first.
    virtual void Invalidate(bool erase) = 0;

    // Paints now and returns once the frame has been handed to the display.
    virtual void PaintNow() = 0;

    // Optional: when timer `timerId` fires, PaintNow is to show `next`. A host may draw the
    // frame ahead of time, and fire the timer early by the time a frame takes to reach the
    // display, so that it arrives on time. PaintNow still paints whatever the scene is by then.
    virtual void PrepareFrame(const SceneState& /*next*/, int /*timerId*/) {}

    // Modal information box with an OK button; timers and sound notifications keep running.
    virtual void ShowMessage(const std::string& text) = 0;

    virtual void SetBlankCursor(bool blank) = 0;

    // Monotonic clock in milliseconds with sub-millisecond resolution.
    virtual double NowMs() = 0;

    // While a key or button press is being handled: when it reached the program, on the NowMs
    // clock, which can be a good part of a millisecond before its handler runs. NowMs() when
    // that is not known or no press is being handled.
    virtual double InputTimeMs() { return NowMs(); }

    // Optional timing audit: one named event at a clock reading. Never affects the experiment.
    virtual void Trace(const char* /*event*/, double /*ms*/) {}
};
