#include "BenchFigures.h"

#include <algorithm>
#include <cmath>
#include <utility>

#include "COrviView.h"
#include "Descriptives.h"

namespace {

constexpr double kFirstRedMs = COrviView::kFirstRedPhaseMs;  // fixed, whatever the settings

// The whole frames a phase of `ms` takes: its setting rounded up to the refresh.
double FramesFor(double ms, double periodMs) { return std::ceil(ms / periodMs - 1e-6); }

// Each phase's length on screen minus its setting, by kind, and in whole frames.
struct ScreenPhases {
    std::vector<double> all, first, white, red, frames;
};

ScreenPhases ScreenPhaseErrors(const std::vector<BlinkEdge>& edges, const BenchSettings& settings,
                               double fps) {
    const double periodMs = 1000.0 / fps;
    ScreenPhases p;
    for (std::size_t i = 0; i + 1 < edges.size(); ++i) {
        if (edges[i + 1].run != edges[i].run) continue;
        const bool first = i == 0 || edges[i - 1].run != edges[i].run;
        const double d = edges[i + 1].seen - edges[i].seen;
        const double want = first          ? kFirstRedMs
                            : edges[i].red ? settings.blinkRed
                                           : settings.blinkWhite;
        (first ? p.first : edges[i].red ? p.red : p.white).push_back(d - want);
        p.all.push_back(d - want);
        p.frames.push_back(std::round(d / periodMs) - FramesFor(want, periodMs));
    }
    return p;
}

// From the controller's phase change (trace) to the probe seeing it: the paint's latency.
std::vector<double> PaintLatencies(const std::vector<BlinkEdge>& edges, const BlinkTrace& trace) {
    std::vector<double> latencies;
    for (const BlinkEdge& e : edges) {
        double latest = NAN;
        for (double t : e.red ? trace.red : trace.white)
            if (t <= e.seen && e.seen - t < 50) latest = t;
        latencies.push_back(e.seen - latest);
    }
    return latencies;
}

// The controller's own phase boundaries, for comparison with the screen.
std::vector<double> TracePhaseErrors(const BlinkTrace& trace, const BenchSettings& settings) {
    std::vector<std::pair<double, bool>> edges;
    for (double w : trace.white) edges.push_back({w, false});
    for (double r : trace.red) edges.push_back({r, true});
    std::sort(edges.begin(), edges.end());
    std::vector<double> errors;
    for (std::size_t i = 0; i + 1 < edges.size(); ++i) {
        const double err = edges[i + 1].first - edges[i].first -
                           (edges[i].second ? settings.blinkRed : settings.blinkWhite);
        // Consecutive phases of one demonstration; the next one starts after trials.
        if (edges[i + 1].second != edges[i].second && err < 50) errors.push_back(err);
    }
    return errors;
}

// Each phase in frames on the display's own counter, minus the frames its setting rounds up to.
// A practice's first red phase (500 ms) and the gaps between practices are told apart by length.
std::vector<double> CounterPhaseErrors(const BlinkTrace& trace, const BenchSettings& settings,
                                       double fps) {
    const double periodMs = 1000.0 / fps;
    const auto frames = [&](double ms) { return FramesFor(ms, periodMs); };
    constexpr double kNearFrames = 3;
    std::vector<double> errors;
    for (std::size_t i = 0; i + 1 < trace.presented.size(); ++i) {
        const auto [msc, red] = trace.presented[i];
        if (trace.presented[i + 1].second == red) continue;
        const double shown = static_cast<double>(trace.presented[i + 1].first - msc);
        const double want = frames(red ? settings.blinkRed : settings.blinkWhite);
        if (std::abs(shown - want) <= kNearFrames) {
            errors.push_back(shown - want);
        } else if (red && std::abs(shown - frames(kFirstRedMs)) <= kNearFrames) {
            errors.push_back(shown - frames(kFirstRedMs));
        }
    }
    return errors;
}

template <class Of>
Summary Each(const std::vector<Trial>& trials, Of of) {
    std::vector<double> v;
    for (const Trial& t : trials) v.push_back(of(t));
    return Summarise(std::move(v));
}

}  // namespace

Summary Summarise(std::vector<double> v) {
    v.erase(std::remove_if(v.begin(), v.end(), [](double x) { return std::isnan(x); }), v.end());
    const Descriptives d = Describe(v);
    Summary s;
    s.n = v.size();
    if (v.empty()) return s;
    s.mean = *d.mean;
    s.median = *d.median;
    s.sd = d.sd.value_or(NAN);
    const auto [lo, hi] = std::minmax_element(v.begin(), v.end());
    s.min = *lo;
    s.max = *hi;
    return s;
}

std::vector<Row> TrialRows(const std::vector<Trial>& trials, const BenchSettings& settings) {
    const double schedule = settings.beepDelay + settings.beepLength + settings.faceDelay;
    std::vector<Trial> presented;  // the old path has no present lines
    std::copy_if(trials.begin(), trials.end(), std::back_inserter(presented),
                 [](const Trial& t) { return t.target >= 0; });
    const auto& all = trials;
    return {
        {"RT error, trace: click - onset - D", "ms",
         Each(all, [](const Trial& t) { return t.click - t.onset - t.delay; }),
         "|mean| <= 0.4, SD <= 0.15"},
        {"RT error, record file: RT (whole ms) - D", "ms",
         Each(all, [](const Trial& t) { return t.recordRt - t.delay; }), ""},
        {"RT error, old order: click - onset_request - D", "ms",
         Each(all, [](const Trial& t) { return t.click - t.onsetRequest - t.delay; }),
         "(comparison)"},
        {"onset schedule error: seen - Enter - schedule", "ms",
         Each(all, [&](const Trial& t) { return t.faceSeen - t.enterSent - schedule; }),
         "median <= 0.5, max <= 2"},
        {"  Enter sent -> start handled", "ms",
         Each(all, [](const Trial& t) { return t.start - t.enterSent; }), ""},
        {"  beep wall time - beep length", "ms",
         Each(all, [&](const Trial& t) { return t.beepEnd - t.beepStart - settings.beepLength; }),
         ""},
        {"face on its target blank (present line msc == target)", "1/0",
         Each(presented, [](const Trial& t) { return double(t.msc == t.target); }), "all 1"},
        {"face missed or skipped", "1/0",
         Each(presented,
              [](const Trial& t) { return double(t.msc > t.target || t.mode == "skip"); }),
         "all 0"},
        {"  onset - deadline (Present: ust - D; old: paint + round trip)", "ms",
         Each(all, [](const Trial& t) { return t.onset - t.onsetRequest; }), ""},
        {"  pixels appear - onset (ust), the middle of the two polls around them", "ms",
         Each(all, [](const Trial& t) { return (t.faceSeen + t.faceUnseen) / 2 - t.onset; }),
         "median <= 0.2, max <= 1"},
        {"  face seen by the probe - onset (ust): the above plus half a poll", "ms",
         Each(all, [](const Trial& t) { return t.faceSeen - t.onset; }), ""},
        {"  click sent -> click read", "ms",
         Each(all, [](const Trial& t) { return t.click - t.clickSent; }), ""},
        {"  probe poll interval at the onset", "ms",
         Each(all, [](const Trial& t) { return t.faceSeen - t.faceUnseen; }), ""},
    };
}

std::vector<Row> BlinkRows(const std::vector<BlinkEdge>& edges, const BlinkTrace& trace,
                           const BenchSettings& settings, double fps) {
    const ScreenPhases p = ScreenPhaseErrors(edges, settings, fps);
    return {
        {"blink phase error, every phase", "ms", Summarise(p.all), "median <= 0.5"},
        {"blink phase in frames on the display's counter - frames its setting rounds up to",
         "frames", Summarise(CounterPhaseErrors(trace, settings, fps)), "all 0"},
        {"  the same, as the probe saw it (with the X server's timer jitter)", "frames",
         Summarise(p.frames), ""},
        {"  first red phase (500 ms)", "ms", Summarise(p.first), ""},
        {"  white phases", "ms", Summarise(p.white), ""},
        {"  red phases", "ms", Summarise(p.red), ""},
        {"  controller's own phases (trace)", "ms", Summarise(TracePhaseErrors(trace, settings)),
         ""},
        {"  phase change (trace) -> seen by the probe", "ms",
         Summarise(PaintLatencies(edges, trace)), ""},
    };
}

std::vector<Row> SoundRows(const CueRepeats& repeats, const std::vector<Trial>& trials,
                           const BenchSettings& settings) {
    const double beepFrames = std::round(settings.beepLength * kRate / 1000.0);
    return {
        {"gap between cue repeats", "frames", Summarise(repeats.gaps), "<= 256, better 0"},
        {"beep length - expected", "frames",
         Each(trials, [&](const Trial& t) { return t.beepFrames - beepFrames; }), "0 (+-0.5)"},
        {"beep frequency", "Hz", Each(trials, [](const Trial& t) { return t.beepHz; }),
         "2048 +- 1"},
    };
}
