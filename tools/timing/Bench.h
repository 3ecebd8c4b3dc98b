#pragma once

#include <sys/types.h>

#include <random>
#include <string>
#include <vector>

#include "BenchTrial.h"
#include "FaceLocator.h"
#include "ScreenFile.h"
#include "TraceMatch.h"
#include "XInput.h"

struct BenchOptions {
    std::string orviDir, fb, out = "bench-out";
    int runs = 3;
    unsigned seed = 0;
    int blinkPhases = 17;
    double pollUs = 100;
    double fps = 60;  // the X server's (fake) refresh rate
};

// Plays the participant through whole runs of the program, then compares what it recorded with
// what the screen, the clock and the sound capture show.
class Bench {
  public:
    explicit Bench(const BenchOptions& o);
    int Run();

  private:
    std::string Path(const std::string& name) const { return m_opt.orviDir + "/" + name; }
    std::string RecordPath(int run) const { return Path("run" + std::to_string(run) + ".txt"); }

    void Launch();
    void AnswerFileDialog(int run);
    void WaitForExit();
    void Poll() const;
    int FaceShown() const;
    template <class Shown>
    bool WaitScreen(Shown shown, double timeoutMs, double& seen, double& unseen) const;
    void WaitForFace(bool shown, const char* failure, double& seen, double& unseen) const;
    void RunTrial(int run, int index);
    int Blink(int run);
    void BlinkPhases(int run, int target);
    BlinkTrace MatchOrviFiles();
    void Analyse();

    BenchOptions m_opt;
    ScreenFile m_screen;
    XInput m_x;
    std::mt19937 m_rng;
    FaceLocator m_faces;
    BenchSettings m_settings;
    pid_t m_pid = -1;
    std::vector<Trial> m_trials;
    std::vector<BlinkEdge> m_blink;
};
