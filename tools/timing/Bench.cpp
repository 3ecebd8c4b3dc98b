#include "Bench.h"

#include <X11/keysym.h>
#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>

#include "BenchAudio.h"
#include "BenchFailure.h"
#include "BenchFigures.h"
#include "BenchOutput.h"
#include "FaceRenderer.h"
#include "MonotonicClock.h"
#include "OrviFiles.h"
#include "TraceMatch.h"
#include "TrialItem.h"

Bench::Bench(const BenchOptions& o)
    : m_opt(o), m_screen(o.fb), m_rng(o.seed), m_faces(m_screen.width(), m_screen.height()) {
    const std::optional<BenchSettings> settings = ReadBenchSettings(o.orviDir);
    if (!settings) Die("cannot read the settings in " + o.orviDir + "/orvi.ini");
    m_settings = *settings;
}

int Bench::Run() {
    Launch();
    AnswerFileDialog(1);
    m_x.Focus(m_x.WaitFor("orvi", 10000));
    for (int run = 1; run <= m_opt.runs; ++run) {
        if (run > 1) {
            m_x.Key(XK_Return);  // a finished run: Enter asks for the next record file
            AnswerFileDialog(run);
            m_x.Focus(m_x.WaitFor("orvi", 10000));
        }
        BlinkPhases(run, Blink(run));
        for (int i = 1; i <= kItemCount; ++i) RunTrial(run, i);
    }
    m_x.Key(XK_Escape);
    WaitForExit();
    Analyse();
    return 0;
}

void Bench::Launch() {
    const std::string trace = Path("trace.tsv"), audio = Path("audio.raw");
    unlink(trace.c_str());
    unlink(audio.c_str());
    m_pid = fork();
    if (m_pid < 0) Die("fork failed");
    if (m_pid > 0) {
        SetProgramUnderTest(m_pid);
        return;
    }
    if (chdir(m_opt.orviDir.c_str()) != 0) _exit(127);
    setenv("ORVI_TIMING_TRACE", trace.c_str(), 1);
    setenv("SDL_AUDIODRIVER", "disk", 1);
    setenv("SDL_DISKAUDIOFILE", audio.c_str(), 1);
    setenv("QT_QPA_PLATFORM", "xcb", 1);
    const int log = open("orvi.log", O_WRONLY | O_CREAT | O_TRUNC, 0644);
    if (log >= 0) {
        dup2(log, 1);
        dup2(log, 2);
    }
    execl("./orvi", "orvi", static_cast<char*>(nullptr));
    _exit(127);
}

void Bench::AnswerFileDialog(int run) {
    m_x.Focus(m_x.WaitFor("開く", 20000));
    m_x.Type(RecordPath(run));
    m_x.Key(XK_Return);
}

void Bench::WaitForExit() {
    const double end = MonotonicClock::NowMs() + 10000;
    int status = 0;
    while (waitpid(m_pid, &status, WNOHANG) == 0) {
        if (MonotonicClock::NowMs() > end) Die("orvi did not end after Escape");
        MonotonicClock::SleepForMs(20);
    }
    SetProgramUnderTest(-1);
}

void Bench::Poll() const { MonotonicClock::SleepForMs(m_opt.pollUs / 1000.0); }

int Bench::FaceShown() const {
    return m_faces.find([&](int x, int y) { return m_screen.at(x, y); });
}

// Polls until shown() holds; returns the poll times that bracket the change.
template <class Shown>
bool Bench::WaitScreen(Shown shown, double timeoutMs, double& seen, double& unseen) const {
    const double end = MonotonicClock::NowMs() + timeoutMs;
    unseen = MonotonicClock::NowMs();
    for (;;) {
        const double t = MonotonicClock::NowMs();
        if (shown()) {
            seen = t;
            return true;
        }
        unseen = t;
        if (t > end) return false;
        Poll();
    }
}

void Bench::WaitForFace(bool shown, const char* failure, double& seen, double& unseen) const {
    if (!WaitScreen([&] { return (FaceShown() >= 0) == shown; }, shown ? 5000 : 3000, seen, unseen))
        Die(failure);
}

void Bench::RunTrial(int run, int index) {
    Trial t;
    t.run = run;
    t.index = index;
    std::uniform_real_distribution<double> pause(100, 250), delay(250, 900);
    MonotonicClock::SleepForMs(pause(m_rng));
    double seen, unseen;
    t.enterSent = m_x.Key(XK_Return);
    WaitForFace(false, "the face did not go after Enter", seen, unseen);
    WaitForFace(true, "no face appeared", t.faceSeen, t.faceUnseen);
    t.viewpoint = FaceShown();
    const FaceAt& f = m_faces.layout(t.viewpoint);
    m_x.MoveTo(f.eyeX[0], f.eyeY[0]);
    t.delay = delay(m_rng);
    MonotonicClock::SleepUntilMs(t.faceSeen + t.delay);
    t.clickSent = m_x.Press();
    t.delay = t.clickSent - t.faceSeen;  // D as it happened, not as it was planned
    MonotonicClock::SleepForMs(30);
    m_x.Release();
    WaitForFace(false, "the face did not go after the click", seen, unseen);
    m_trials.push_back(t);
    if (index == kItemCount) std::fprintf(stderr, "run %d: 16 trials done\n", run);
}

// The blink practice at the start of a run, on the upside-down face (viewpoint 0, 1 in the
// record file): key 1, then the eye whose centre pixel turns red is the target.
int Bench::Blink(int run) {
    const FaceAt& f = m_faces.layout(0);
    double seen, unseen;
    if (run == 1 && !WaitScreen([&] { return FaceShown() == 0; }, 5000, seen, unseen))
        Die("no upside-down face at the start");
    MonotonicClock::SleepForMs(200);
    const double key = m_x.Key(XK_1);
    int target = -1;
    const auto turnedRed = [&] {
        for (int e = 0; e < 2; ++e)
            if (m_screen.at(f.eyeX[e], f.eyeY[e]) == FaceRenderer::kRed) target = e;
        return target >= 0;
    };
    if (!WaitScreen(turnedRed, 3000, seen, unseen)) Die("no eye turned red after key 1");
    m_blink.push_back({run, key, seen, unseen, true});
    return target;
}

// Follows the target eye through its phases, then clicks it to end the practice.
void Bench::BlinkPhases(int run, int target) {
    const FaceAt& f = m_faces.layout(0);
    const double key = m_blink.back().key;
    double seen, unseen;
    bool red = true;
    for (int phase = 0; phase < m_opt.blinkPhases; ++phase) {
        const Rgb want = red ? FaceRenderer::kWhite : FaceRenderer::kRed;
        if (!WaitScreen([&] { return m_screen.at(f.eyeX[target], f.eyeY[target]) == want; }, 3000,
                        seen, unseen))
            Die("the blinking stopped");
        red = !red;
        m_blink.push_back({run, key, seen, unseen, red});
    }
    m_x.MoveTo(f.eyeX[target], f.eyeY[target]);
    MonotonicClock::SleepForMs(20);
    m_x.Press();
    MonotonicClock::SleepForMs(30);
    m_x.Release();
    MonotonicClock::SleepForMs(300);
}

// Gives the probe's trials what orvi's trace and record files say of them.
BlinkTrace Bench::MatchOrviFiles() {
    BlinkTrace blinkTrace;
    const std::size_t started = MatchTrace(ReadTrace(Path("trace.tsv")), m_trials, blinkTrace);
    if (started != m_trials.size())
        std::fprintf(stderr, "warning: %zu trials in the trace, %zu run\n", started,
                     m_trials.size());
    for (int run = 1; run <= m_opt.runs; ++run)
        MatchRecordTimes(ReadRecordTimes(RecordPath(run)), run, m_trials);
    return blinkTrace;
}

void Bench::Analyse() {
    const BlinkTrace blinkTrace = MatchOrviFiles();
    const Frames cues[2] = {ReadWav(Path("sound1.wav")), ReadWav(Path("sound2.wav"))};
    const SoundFindings sound = AnalyseCapture(ReadRaw(Path("audio.raw")), cues);
    for (std::size_t i = 0; i < sound.beeps.size() && i < m_trials.size(); ++i) {
        m_trials[i].beepFrames = sound.beeps[i].length();
        m_trials[i].beepHz = sound.beeps[i].hz;
    }
    std::vector<Row> rows = TrialRows(m_trials, m_settings);
    for (const std::vector<Row>& more : {BlinkRows(m_blink, blinkTrace, m_settings, m_opt.fps),
                                         SoundRows(sound.repeats, m_trials, m_settings)})
        rows.insert(rows.end(), more.begin(), more.end());
    const BenchSettings& s = m_settings;
    std::printf(
        "\norvi-bench: %zu trials in %d runs, settings %d/%d/%d ms, blink %d/%d ms, "
        "seed %u; %zu beeps and %zu complete cue passes in the capture\n",
        m_trials.size(), m_opt.runs, s.beepDelay, s.beepLength, s.faceDelay, s.blinkWhite,
        s.blinkRed, m_opt.seed, sound.beeps.size(), sound.repeats.completePasses);
    PrintTable(rows, stdout);
    WriteRawTimes(m_opt.out, m_trials, m_blink, sound.beeps, sound.starts, rows);
}
