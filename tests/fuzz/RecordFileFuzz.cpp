// Continuing a record file, then trials and cancellations as the operator makes them, with any
// one file operation failing; a second experiment that continues the resulting file must
// restore the state the first one had. When an operation failed, the file must hold the whole
// content of before or of after the step that failed, and restore that step's state.
#include <algorithm>

#include "CExperiment.h"
#include "FuzzSupport.h"
#include "LineSplitter.h"
#include "RecordLineParser.h"
#include "TrialLine.h"

namespace {

struct Step {
    bool cancel;
    int response;  // -1 none, 0, 1
    double reactionTimeMs;
};

struct Script {
    std::string initial;
    bool existing;
    std::vector<Step> steps;
};

// Hand-edited files can break the link between the file and the state that the experiment
// builds on (trial numbers that skip, cancel flags other than 0 and 1, more hits than items,
// trial lines that do not start with a digit); the original program gets those wrong the same
// way. The content is kept otherwise, every piece on a line of its own.
Script Read(FuzzInput& input) {
    Script script;
    for (int i = input.byte() % 24; i > 0; --i) {
        const std::uint8_t kind = input.byte();
        const double ms = (input.byte() * 256 + input.byte()) / 8.0;
        script.steps.push_back({kind % 4 == 3, kind % 4 - 1, ms});
    }
    script.existing = input.byte() % 8 != 0;
    int trials = 0, counting = 0;
    for (const LinePiece& piece : LineSplitter::Split(input.rest, LineSplitter::kRecordBuffer)) {
        TrialLine line{};
        if (RecordLineParser::ScanTrialFields(piece.text, line) == RecordLineParser::kTrialFields) {
            line.number = ++trials;
            line.cancelled = line.cancelled != 0 || (line.valid == 1 && ++counting > 16);
            script.initial += line.Format();
        } else {
            script.initial += piece.text;
        }
        script.initial += piece.lineEnd.empty() ? std::string_view("\n") : piece.lineEnd;
    }
    return script;
}

// What continuing a file must bring back: the parameters, every trial record, and the schedule's
// done slots; reaction times as the file holds them.
std::string State(const CExperiment& e) {
    std::string s;
    char text[512];
    auto add = [&](auto... values) {
        std::snprintf(text, sizeof text, values...);
        s += text;
    };
    add("param %d %d %d %d %d %d %d; trials %d; position %d\n", e.m_nBeepDelay, e.m_nBeepLength,
        e.m_nFaceDelay, e.m_nBlinkWhite, e.m_nBlinkRed, e.m_nHideCursor, e.m_nSwapSides,
        e.m_nTrials, e.m_nPos);
    for (int k = 0; k < e.m_nTrials && k < static_cast<int>(e.m_records.size()); ++k) {
        const TrialRecord& r = e.m_records[static_cast<std::size_t>(k)];
        add("trial %d: %d %d %d %.0f %d %d %d %d\n", k + 1, r.item, r.eye, r.viewpoint,
            std::clamp(r.reactionTime, -1e300, 1e300), r.response, r.correct, r.valid, r.cancelled);
    }
    for (int p = 0; p < e.m_nPos && p < kItemCount; ++p)
        add("slot %d: %d %d %.0f\n", p, e.m_slots[p].item, e.m_slots[p].status,
            std::clamp(e.m_slots[p].reactionTime, -1e300, 1e300));
    return s;
}

struct Outcome {
    int failedStep = -1;  // 0: opening the file; step i at i + 1
    std::string file;
    std::string state;  // when nothing failed
};

// Runs the first `count` steps as the view would: a trial only while items remain, a cancel
// reaching one trial further back each time until the next trial. With `file`, a second
// experiment continues that file instead.
Outcome Play(const Script& script, std::size_t count, int failAt,
             const std::string* file = nullptr) {
    FuzzFiles files;
    FakePlatform platform;
    const std::string path = files.folder + "s01.txt";
    platform.choices = {path, path};  // again after a lock that failed: "in use"
    if (file || script.existing) WriteBytes(path, file ? *file : script.initial);
    files.failAt = failAt;
    Outcome outcome;
    int stage = 0;
    try {
        CExperiment e(platform, files);
        e.StartRun();
        for (std::size_t i = 0, depth = 0; i < count && i < script.steps.size(); ++i) {
            const Step& step = script.steps[i];
            stage = static_cast<int>(i) + 1;
            if (step.cancel) {
                e.CancelTrial(static_cast<int>(depth++));
            } else if (e.m_nPos < kItemCount) {
                depth = 0;
                e.m_nResponse = step.response;
                e.m_dReactionTime = step.reactionTimeMs;
                e.RecordTrial();
                e.AdvanceSchedule();
            }
        }
        outcome.state = State(e);
    } catch (const ProcessExit&) {
        FUZZ_CHECK(!file, "continuing the file failed");
        outcome.failedStep = stage;
    }
    outcome.file = ReadBytes(path);
    return outcome;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    FuzzInput input(data, size);
    const int failAt = input.byte() % 96 - 32;  // a third of the runs without a failure
    const Script script = Read(input);

    const Outcome run = Play(script, script.steps.size(), failAt);
    if (run.failedStep < 0) {
        const std::string restored = Play({}, 0, -1, &run.file).state;
        FUZZ_CHECK(restored == run.state, "continued:\n%s\nwritten:\n%s", restored.c_str(),
                   run.state.c_str());
        return 0;
    }
    // Only a step that failed tells what the file may hold: before it, or after it.
    const std::size_t step = static_cast<std::size_t>(run.failedStep);
    const Outcome before = step == 0 ? Outcome{} : Play(script, step - 1, -1);
    const Outcome after = Play(script, step, -1);
    const bool unchanged =
        step == 0 ? run.file == (script.existing ? script.initial : "") : run.file == before.file;
    FUZZ_CHECK(unchanged || run.file == after.file,
               "step %zu failed and left neither the old nor the new content:\n%s", step,
               run.file.c_str());
    if (unchanged && step == 0) return 0;
    const std::string restored = Play({}, 0, -1, &run.file).state;
    const std::string& expected = unchanged ? before.state : after.state;
    FUZZ_CHECK(restored == expected, "step %zu failed; continued:\n%s\nexpected:\n%s", step,
               restored.c_str(), expected.c_str());
    return 0;
}
