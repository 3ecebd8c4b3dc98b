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

    // Stimulus frames (`what` is FRAME_*). The host shows `scene` whole, drawn ahead where it
    // can, on the display's own schedule where the display has one: the first vertical blank
    // at or after the frame's deadline. Nothing of the frame comes back into the controller;
    // only what happened does (COrviView::OnFrameShown).

    // Shows `scene` as soon as the display can.
    virtual void ShowFrame(int what, const SceneState& scene) = 0;

    // Shows `scene` delayMs from now, like SetTimer(id, delayMs), and calls
    // COrviView::OnFrameShown(id, onsetMs) once it is on the display, instead of OnTimer(id).
    // A frame handed earlier and still on its way is this one's starting point: the delay then
    // counts from that frame's onset. KillTimer(id) withdraws the frame.
    virtual void SetFrameTimer(int id, int delayMs, int what, const SceneState& scene) = 0;

    // Modal information box with an OK button; timers and sound notifications keep running.
    virtual void ShowMessage(const std::string& text) = 0;

    virtual void SetBlankCursor(bool blank) = 0;

    // Monotonic clock in milliseconds with sub-millisecond resolution.
    virtual double NowMs() = 0;

    // While a key or button press is being handled: when it reached the program, on the NowMs
    // clock, which can be a good part of a millisecond before its handler runs; while a shown
    // frame is being reported, its onset. NowMs() when that is not known or nothing is being
    // handled.
    virtual double InputTimeMs() { return NowMs(); }

    // Optional timing audit: one named event at a clock reading. Never affects the experiment.
    virtual void Trace(const char* /*event*/, double /*ms*/) {}
};
