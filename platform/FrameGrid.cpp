#include "FrameGrid.h"

#include <algorithm>
#include <cmath>

void FrameGrid::add(std::uint64_t msc, std::uint64_t ustUs) {
    // A counter that went back (another CRTC, a reset) starts the grid afresh.
    if (!m_recent.empty() && msc < m_recent.back().first) {
        m_recent.clear();
        m_early.clear();
    }
    if (m_recent.empty()) m_first = {msc, ustUs};
    if (!m_recent.empty() && msc == m_recent.back().first) return;
    if (m_early.size() < kKept) m_early.emplace_back(msc, ustUs);
    m_recent.emplace_back(msc, ustUs);
    if (m_recent.size() > kKept) m_recent.pop_front();
    fit();
}

// A line through the first and the latest blanks: the long span pins the period down, the
// many points average out the timers' jitter in each ust.
void FrameGrid::fit() {
    std::vector<std::pair<double, double>> points;  // (frames since first, us since first)
    auto take = [&](const std::pair<std::uint64_t, std::uint64_t>& p) {
        points.emplace_back(static_cast<double>(p.first - m_first.first),
                            static_cast<double>(p.second) - static_cast<double>(m_first.second));
    };
    for (const auto& p : m_early) take(p);
    for (const auto& p : m_recent)
        if (p.first > m_early.back().first) take(p);
    const double n = static_cast<double>(points.size());
    double sx = 0, sy = 0;
    for (const auto& [x, y] : points) sx += x, sy += y;
    const double mx = sx / n, my = sy / n;
    double sxx = 0, sxy = 0;
    for (const auto& [x, y] : points) sxx += (x - mx) * (x - mx), sxy += (x - mx) * (y - my);
    m_slopeUs = m_knownPeriodUs > 0 ? m_knownPeriodUs : sxx > 0 ? sxy / sxx : 0;
    m_phaseUs = static_cast<double>(m_first.second) + my - m_slopeUs * mx;
}

bool FrameGrid::ready() const {
    return !m_recent.empty() && (m_knownPeriodUs > 0 || lastMsc() - m_first.first >= kSpan);
}

double FrameGrid::periodUs() const { return m_slopeUs; }

double FrameGrid::blankUs(std::uint64_t msc) const {
    return m_phaseUs + (static_cast<double>(msc) - static_cast<double>(m_first.first)) * m_slopeUs;
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
    const double exact = delayUs / periodUs;
    const double frames = std::ceil(exact - std::max(kFrameTolerance, exact * kPeriodTolerance));
    return frames >= 1 ? static_cast<std::uint64_t>(frames) : 1;
}
