#include "FrameGrid.h"

#include <algorithm>
#include <cmath>
#include <vector>

void FrameGrid::add(std::uint64_t msc, std::uint64_t ustUs) {
    // A counter that went back (another CRTC, a reset) starts the grid afresh.
    if (!m_recent.empty() && msc < m_recent.back().first) m_recent.clear();
    if (m_recent.empty()) m_first = {msc, ustUs};
    if (!m_recent.empty() && msc == m_recent.back().first) return;
    m_recent.emplace_back(msc, ustUs);
    if (m_recent.size() > kKept) m_recent.pop_front();
}

bool FrameGrid::ready() const {
    return !m_recent.empty() && (m_knownPeriodUs > 0 || lastMsc() - m_first.first >= kSpan);
}

double FrameGrid::periodUs() const {
    if (m_knownPeriodUs > 0) return m_knownPeriodUs;
    if (m_recent.empty() || lastMsc() == m_first.first) return 0;
    // Over the longest span seen, so that the timers' jitter in each ust averages out.
    return static_cast<double>(m_recent.back().second - m_first.second) /
           static_cast<double>(lastMsc() - m_first.first);
}

double FrameGrid::blankUs(std::uint64_t msc) const {
    const double period = periodUs();
    // The median of the recent blanks, each carried along the grid to msc: one late
    // notification does not move the phase.
    std::vector<double> at;
    at.reserve(m_recent.size());
    for (const auto& [m, u] : m_recent)
        at.push_back(static_cast<double>(u) +
                     (static_cast<double>(msc) - static_cast<double>(m)) * period);
    if (at.empty()) return 0;
    std::nth_element(at.begin(), at.begin() + at.size() / 2, at.end());
    return at[at.size() / 2];
}

std::uint64_t FrameGrid::target(double deadlineUs, double nowUs, double leadUs,
                                std::uint64_t after) const {
    const double period = periodUs();
    const std::uint64_t base = lastMsc();
    const double earliest = std::max(deadlineUs - kToleranceUs, nowUs + leadUs);
    const double ahead = std::ceil((earliest - blankUs(base)) / period);
    std::uint64_t msc = ahead > 0 ? base + static_cast<std::uint64_t>(ahead) : base;
    // The grid's own rounding must not put the frame a blank early.
    while (blankUs(msc) < earliest) ++msc;
    return std::max(msc, after + 1);
}

std::uint64_t FrameGrid::framesFor(double delayUs, double periodUs) {
    const double frames = std::ceil((delayUs - kToleranceUs) / periodUs);
    return frames >= 1 ? static_cast<std::uint64_t>(frames) : 1;
}
