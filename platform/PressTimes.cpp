#include "PressTimes.h"

#include <algorithm>

void PressTimes::Arrived(double atMs) {
    const std::lock_guard<std::mutex> lock(m_mutex);
    if (m_arrivalsMs.size() == kMaxKept) m_arrivalsMs.erase(m_arrivalsMs.begin());
    m_arrivalsMs.push_back(atMs);
}

double PressTimes::Take(double seenMs) {
    const std::lock_guard<std::mutex> lock(m_mutex);
    double best = seenMs;
    bool found = false;
    for (const double at : m_arrivalsMs) {
        if (at <= seenMs && at >= seenMs - kFreshMs && (!found || at > best)) {
            best = at;
            found = true;
        }
    }
    m_arrivalsMs.erase(std::remove_if(m_arrivalsMs.begin(), m_arrivalsMs.end(),
                                      [seenMs](double at) { return at <= seenMs; }),
                       m_arrivalsMs.end());
    return best;
}
