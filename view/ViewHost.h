#pragma once

#include <string>

// The window services the controller runs on: one-shot timers, repaints, message boxes, the
// cursor and a monotonic clock. Everything is called on the UI thread.
class ViewHost {
  public:
    virtual ~ViewHost() = default;

    // Starts (or restarts) the one-shot timer `id`; it fires OnTimer(id) once after delayMs.
    // A delay of 0 or less fires from the event loop as soon as possible.
    virtual void SetTimer(int id, int delayMs) = 0;
    virtual void KillTimer(int id) = 0;

    // Asks for a paint of the whole view later; erase clears the background first.
    virtual void Invalidate(bool erase) = 0;

    // Paints now and returns once the frame has been handed to the display.
    virtual void PaintNow() = 0;

    // Modal information box with an OK button; timers and sound notifications keep running.
    virtual void ShowMessage(const std::string& text) = 0;

    virtual void SetBlankCursor(bool blank) = 0;

    // Monotonic clock in milliseconds with sub-millisecond resolution.
    virtual double NowMs() = 0;

    // Optional timing audit: one named event at a clock reading. Never affects the experiment.
    virtual void Trace(const char* /*event*/, double /*ms*/) {}
};
