#include "BenchOutput.h"

#include <sys/stat.h>

namespace {

void WriteTrials(std::FILE* f, const std::vector<Trial>& trials) {
    std::fprintf(f,
                 "run\ttrial\tviewpoint\tD_ms\tenter_sent\tface_unseen\tface_seen\tclick_sent\t"
                 "start\tbeep_start\tbeep_end\tonset_request\tonset\tclick\trecord_rt_ms\t"
                 "beep_frames\tbeep_hz\tface_target_msc\tface_msc\tface_mode\n");
    for (const Trial& t : trials)
        std::fprintf(f,
                     "%d\t%d\t%d\t%.3f\t%.3f\t%.3f\t%.3f\t%.3f\t%.3f\t%.3f\t%.3f\t%.3f\t%.3f\t"
                     "%.3f\t%.0f\t%.2f\t%.4f\t%lld\t%lld\t%s\n",
                     t.run, t.index, t.viewpoint, t.delay, t.enterSent, t.faceUnseen, t.faceSeen,
                     t.clickSent, t.start, t.beepStart, t.beepEnd, t.onsetRequest, t.onset, t.click,
                     t.recordRt, t.beepFrames, t.beepHz, t.target, t.msc,
                     t.mode.empty() ? "-" : t.mode.c_str());
}

void WriteBlink(std::FILE* f, const std::vector<BlinkEdge>& blink) {
    std::fprintf(f, "run\tkey_sent\tturned_to\tseen\tunseen\n");
    for (const BlinkEdge& e : blink)
        std::fprintf(f, "%d\t%.3f\t%s\t%.3f\t%.3f\n", e.run, e.key, e.red ? "red" : "white", e.seen,
                     e.unseen);
}

void WriteAudio(std::FILE* f, const std::vector<Beep>& beeps, const std::vector<CueStart>& starts) {
    std::fprintf(f, "kind\tframe\tlength_frames\thz_or_cue\n");
    for (const Beep& b : beeps)
        std::fprintf(f, "beep\t%.2f\t%.2f\t%.4f\n", b.start, b.length(), b.hz);
    for (const CueStart& c : starts)
        std::fprintf(f, "cue\t%zu\t%zu\t%d\n", c.at, c.matched, c.cue + 1);
}

void WriteSummary(std::FILE* f, const std::vector<Row>& rows) {
    std::fprintf(f, "measure\tunit\tN\tmean\tsd\tmedian\tmin\tmax\n");
    for (const Row& r : rows)
        std::fprintf(f, "%s\t%s\t%zu\t%.4f\t%.4f\t%.4f\t%.4f\t%.4f\n", r.name.c_str(),
                     r.unit.c_str(), r.s.n, r.s.mean, r.s.sd, r.s.median, r.s.min, r.s.max);
}

template <class Write>
void WriteFile(const std::string& path, Write write) {
    if (std::FILE* f = std::fopen(path.c_str(), "w")) {
        write(f);
        std::fclose(f);
    }
}

}  // namespace

void PrintTable(const std::vector<Row>& rows, std::FILE* out) {
    std::fprintf(out, "%-56s %4s %9s %8s %9s %9s %9s  %s\n", "measure", "N", "mean", "SD", "median",
                 "min", "max", "target");
    for (const Row& r : rows) {
        std::fprintf(out, "%-56s %4zu %9.3f %8.3f %9.3f %9.3f %9.3f  %s\n",
                     (r.name + " (" + r.unit + ")").c_str(), r.s.n, r.s.mean, r.s.sd, r.s.median,
                     r.s.min, r.s.max, r.target.c_str());
    }
}

void WriteRawTimes(const std::string& folder, const std::vector<Trial>& trials,
                   const std::vector<BlinkEdge>& blink, const std::vector<Beep>& beeps,
                   const std::vector<CueStart>& starts, const std::vector<Row>& rows) {
    mkdir(folder.c_str(), 0755);
    WriteFile(folder + "/trials.tsv", [&](std::FILE* f) { WriteTrials(f, trials); });
    WriteFile(folder + "/blink.tsv", [&](std::FILE* f) { WriteBlink(f, blink); });
    WriteFile(folder + "/audio.tsv", [&](std::FILE* f) { WriteAudio(f, beeps, starts); });
    WriteFile(folder + "/summary.tsv", [&](std::FILE* f) { WriteSummary(f, rows); });
}
