#pragma once

#include <cstdint>
#include <deque>
#include <utility>
#include <vector>

// The display's vertical blanks as a grid on the monotonic clock, learnt from the frame counter
// (msc) and timestamp (ust, microseconds) of completed presents and blank notifications, and
// the arithmetic of aiming a frame at one of them. Plain arithmetic: no X in here.
class FrameGrid {
  public:
    // A period the mode states (RandR's dot clock); 0 to measure it from completions.
    explicit FrameGrid(double knownPeriodUs = 0) : m_knownPeriodUs(knownPeriodUs) {}

    void add(std::uint64_t msc, std::uint64_t ustUs);
    // A period and a phase are known.
    bool ready() const;
    double periodUs() const;
    // When the blank of msc falls, by the grid.
    double blankUs(std::uint64_t msc) const;
    // The first blank at or after deadlineUs (within kToleranceUs), later than msc `after`, and at
    // least leadUs after nowUs (a request must reach the server that long before its blank).
    std::uint64_t target(double deadlineUs, double nowUs, double leadUs, std::uint64_t after) const;
    // Whole frames that last at least delayUs, at least one. A setting that is a whole number
    // of frames (150 ms at 60 Hz) stays one though the measured period is a hair off.
    static constexpr double kFrameTolerance = 0.02;    // of a frame
    static constexpr double kPeriodTolerance = 0.002;  // of the period, for long phases
    static std::uint64_t framesFor(double delayUs, double periodUs);
    // The latest msc seen.
    std::uint64_t lastMsc() const { return m_recent.empty() ? 0 : m_recent.back().first; }

    // A frame that landed after its target, or was skipped, missed its blank.
    static bool missed(std::uint64_t target, std::uint64_t msc, bool skipped) {
        return skipped || msc > target;
    }
    // A blank's timestamp is on our clock when it lies near the span from sending a request to
    // receiving its answer. A request run at once ("now") is answered with the latest blank's
    // time, up to a frame before the request (100 ms allows any refresh rate); and the kernel
    // stamps a blank with the end of its blanking interval, which can still lie ahead when the
    // answer arrives. Another clock is off by far more: its own epoch.
    static bool clockAgrees(double sentUs, double ustUs, double receivedUs) {
        return ustUs >= sentUs - 100000 && ustUs <= receivedUs + 3000;
    }

    static constexpr std::size_t kKept = 32;    // first and latest blanks the grid is fit to
    static constexpr std::uint64_t kSpan = 60;  // frames measured before a period is trusted
    // A blank this close before a deadline counts as on it: timestamps are whole microseconds
    // and a period such as 1/60 s is not, so a whole number of frames can add up a few short.
    static constexpr double kToleranceUs = 50;

  private:
    void fit();

    double m_knownPeriodUs;
    std::pair<std::uint64_t, std::uint64_t> m_first{0, 0};         // the grid counts from here
    std::vector<std::pair<std::uint64_t, std::uint64_t>> m_early;  // the first kKept blanks
    std::deque<std::pair<std::uint64_t, std::uint64_t>> m_recent;  // the latest kKept
    // The least-squares line through them: blank(msc) = m_phaseUs + (msc - first) * m_slopeUs.
    double m_phaseUs = 0, m_slopeUs = 0;
};
