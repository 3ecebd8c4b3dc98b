#pragma once

#include <cstddef>
#include <mutex>
#include <vector>

// Button presses as a listener thread saw them arrive from the X server, matched to the presses
// Qt delivers later on the main thread. A press's time is the latest arrival no later than the
// main thread's own first sight of it: the thread is woken by the same server flush and does
// not wait for the event loop, so its time is the earlier of two readings of one event.
class PressTimes {
  public:
    // How long before the main thread's sight an arrival may be. Older ones belong to presses
    // Qt never delivered, or to an earlier press the listener woke too late for; beyond this the
    // main thread's own time is kept, as it was before there was a listener.
    static constexpr double kFreshMs = 20;

    // From the listener thread.
    void Arrived(double atMs);

    // From the main thread, for a button press first seen there at seenMs. Returns the arrival
    // time, or seenMs when the listener has none (it is off, or has not woken yet). Arrivals
    // up to seenMs are used up: a later press never takes an earlier one's time.
    double Take(double seenMs);

  private:
    static constexpr std::size_t kMaxKept = 16;
    std::mutex m_mutex;
    std::vector<double> m_arrivalsMs;
};
