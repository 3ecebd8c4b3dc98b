#pragma once

#include <cstddef>
#include <string>
#include <utility>
#include <vector>

#include "BenchTrial.h"

struct TraceEvent {
    std::string name;
    double ms;
    std::vector<std::string> more;  // a present line's what, target_msc, msc, mode
};

// The lines of orvi's timing trace; lines without a name and a time are skipped.
std::vector<TraceEvent> ReadTrace(const std::string& path);

// The times of the blink practice's phases, in trace order.
struct BlinkTrace {
    std::vector<double> white, red;
    // The display's counter (msc) of each presented phase, and whether it was red.
    std::vector<std::pair<long long, bool>> presented;
};

// Gives the probe's trials, in order, their trace events: each "start" opens the next trial and
// the events up to the next one are its own. Returns how many trials the trace started; fewer
// than trials.size() leaves the last ones without trace times.
std::size_t MatchTrace(const std::vector<TraceEvent>& trace, std::vector<Trial>& trials,
                       BlinkTrace& blink);
