#pragma once

#include <cstddef>
#include <string>
#include <vector>

#include "BenchAudio.h"
#include "BenchTrial.h"
#include "TraceMatch.h"

// The report's descriptives of a measure, NaNs (what was not measured) left out, with its range.
struct Summary {
    std::size_t n = 0;
    double mean = NAN, sd = NAN, median = NAN, min = NAN, max = NAN;
};

Summary Summarise(std::vector<double> v);

// One line of the bench's table.
struct Row {
    std::string name, unit;
    Summary s;
    std::string target;
};

// The reaction time, the onset and the face's blank, per trial.
std::vector<Row> TrialRows(const std::vector<Trial>& trials, const BenchSettings& settings);

// The blink practice's phases as the probe saw them and as the trace has them.
std::vector<Row> BlinkRows(const std::vector<BlinkEdge>& edges, const BlinkTrace& trace,
                           const BenchSettings& settings, double fps);

// The cue loop's gaps, and the beep of each trial.
std::vector<Row> SoundRows(const CueRepeats& repeats, const std::vector<Trial>& trials,
                           const BenchSettings& settings);
