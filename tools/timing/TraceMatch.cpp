#include "TraceMatch.h"

#include <cstdlib>
#include <fstream>
#include <sstream>

namespace {

void AssignEvent(const TraceEvent& e, Trial& t) {
    if (e.name == "start") t.start = e.ms;
    if (e.name == "beep_start") t.beepStart = e.ms;
    if (e.name == "beep_end") t.beepEnd = e.ms;
    if (e.name == "onset_request") t.onsetRequest = e.ms;
    if (e.name == "onset") t.onset = e.ms;
    if (e.name == "click") t.click = e.ms;
    if (e.name == "present" && e.more.size() == 4 && e.more[0] == "face") {
        t.target = std::atoll(e.more[1].c_str());
        t.msc = std::atoll(e.more[2].c_str());
        t.mode = e.more[3];
    }
}

}  // namespace

std::vector<TraceEvent> ReadTrace(const std::string& path) {
    std::vector<TraceEvent> events;
    std::ifstream in(path);
    for (std::string line; std::getline(in, line);) {
        std::istringstream fields(line);
        TraceEvent e;
        long long us;
        if (!(fields >> e.name >> us)) continue;
        e.ms = static_cast<double>(us) / 1000.0;
        for (std::string f; fields >> f;) e.more.push_back(f);
        events.push_back(std::move(e));
    }
    return events;
}

std::size_t MatchTrace(const std::vector<TraceEvent>& trace, std::vector<Trial>& trials,
                       BlinkTrace& blink) {
    std::size_t k = 0;
    Trial* cur = nullptr;
    for (const TraceEvent& e : trace) {
        if (e.name == "start") cur = k < trials.size() ? &trials[k++] : nullptr;
        if (e.name == "white") blink.white.push_back(e.ms);
        if (e.name == "red") blink.red.push_back(e.ms);
        if (e.name == "present" && e.more.size() == 4 &&
            (e.more[0] == "red" || e.more[0] == "white"))
            blink.presented.push_back({std::atoll(e.more[2].c_str()), e.more[0] == "red"});
        if (cur) AssignEvent(e, *cur);
    }
    return k;
}
