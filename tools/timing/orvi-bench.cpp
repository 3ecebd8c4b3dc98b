// orvi-bench: measures orvi from outside, as a photodiode and a button box would.
//
// It starts the program on an X server whose screen Xvfb keeps in a file (-fbdir), watches the
// pixels of that file for the face, clicks an eye through XTest a chosen delay D after it saw
// the face, and compares what orvi recorded with what happened on the screen. The sound goes
// to SDL's disk driver and is analysed in samples afterwards.
//
//   orvi-bench --orvi-dir DIR --fb FILE [--runs N] [--out DIR] [--seed S] [--blink-phases N]
//              [--poll-us US] [--fps HZ]
//
// DIR holds the program, orvi.ini and the cue sounds; FILE is Xvfb's screen file.
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "Bench.h"
#include "MonotonicClock.h"

namespace {

int Usage() {
    std::fprintf(stderr,
                 "usage: orvi-bench --orvi-dir DIR --fb XVFB_SCREEN_FILE [--runs N] [--out DIR] "
                 "[--seed S] [--blink-phases N] [--poll-us US] [--fps HZ]\n");
    return 2;
}

bool SetOption(BenchOptions& o, const std::string& k, const std::string& v) {
    if (k == "--orvi-dir")
        o.orviDir = v;
    else if (k == "--fb")
        o.fb = v;
    else if (k == "--runs")
        o.runs = std::max(1, std::atoi(v.c_str()));
    else if (k == "--out")
        o.out = v;
    else if (k == "--seed")
        o.seed = static_cast<unsigned>(std::strtoul(v.c_str(), nullptr, 10));
    else if (k == "--blink-phases")
        o.blinkPhases = std::max(2, std::atoi(v.c_str()));
    else if (k == "--fps")
        o.fps = std::max(1.0, std::atof(v.c_str()));
    else if (k == "--poll-us")
        o.pollUs = std::max(0.0, std::atof(v.c_str()));
    else
        return false;
    return true;
}

}  // namespace

int main(int argc, char** argv) {
    BenchOptions o;
    o.seed = static_cast<unsigned>(MonotonicClock::NowMs());
    for (int i = 1; i + 1 < argc; i += 2)
        if (!SetOption(o, argv[i], argv[i + 1])) return Usage();
    if (argc % 2 == 0 || o.orviDir.empty() || o.fb.empty()) return Usage();
    // The probe's own sleeps must not be stretched: a late poll is a late observation.
    MonotonicClock::TightenTimerSlack();
    Bench bench(o);
    return bench.Run();
}
