#pragma once

#include <array>
#include <iosfwd>
#include <string>
#include <vector>

#include "CExperiment.h"
#include "CueCheck.h"
#include "DisplayCheck.h"

// `orvi --check`: what this machine offers a study, as a short report and a verdict.
//
// Not usable (2): no display opens, or a cue cannot sound (no audio device, a cue file missing,
// not a sound or empty): every trial would be recorded as valid without its cue.
// Usable with warnings (1): onsets without vertical-blank timestamps (no X Present, XWayland,
// Wayland); fewer frames presented than asked for, a missed frame, no flip seen (a copied
// frame may show up to one refresh after its timestamp), a measured refresh more than 1% off
// the RandR rate, a compositing manager the window did not ask to bypass; a settings file that
// exists but cannot be read (the defaults are used); a current folder that is not writable
// (the record file must go elsewhere).
// Ready (0): none of these.
class SelfCheck {
  public:
    enum Status { kReady = 0, kWarnings = 1, kNotUsable = 2 };
    static constexpr int kDisplayFrames = 120;

    struct Facts {
        DisplayReport display;
        int framesAsked = kDisplayFrames;

        std::string audioDriver, audioDevice, audioError;
        int sampleRateHz = 0, bufferFrames = 0;
        std::vector<CueCheck::File> cues;
        std::vector<std::string> cueProblems;  // CueCheck::problems(), the device's included

        std::string settingsPath;  // empty when the program's own path is unknown
        bool settingsExist = false, settingsRead = false;
        std::array<int, CExperiment::kSettingCount> settings{};  // in effect, in the file's order

        std::string folder;
        bool folderWritable = false;
    };

    struct Verdict {
        Status status = kReady;
        std::vector<std::string> faults;  // each makes the machine not usable
        std::vector<std::string> warnings;
    };

    // Looks at the machine: presents kDisplayFrames frames (about 2 s), opens the audio device,
    // loads the cues and reads the settings. Writes nothing.
    static Facts Gather();
    static Verdict Judge(const Facts& facts);
    static void Print(std::ostream& out, const Facts& facts, const Verdict& verdict);
    // Gathers, prints the report and returns the exit status.
    static int Run(std::ostream& out);
};
