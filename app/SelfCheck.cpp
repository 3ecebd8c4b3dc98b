#include "SelfCheck.h"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <iomanip>
#include <ostream>
#include <sstream>
#include <system_error>

#include "CExperiment.h"
#include "OrviVersion.h"
#include "QtExperimentPlatform.h"
#include "ReadOnlyFileSystem.h"
#include "SdlSoundDevice.h"

namespace {

const char* const kSettingNames[CExperiment::kSettingCount] = {
    "start command to beep (ms)", "beep length (ms)",     "end of beep to face (ms)",
    "blink white phase (ms)",     "blink red phase (ms)", "hide the mouse cursor"};

std::string Fixed(double value, int decimals) {
    std::ostringstream text;
    text << std::fixed << std::setprecision(decimals) << value;
    return text.str();
}

bool Has(const std::vector<std::string>& list, const char* item) {
    return std::find(list.begin(), list.end(), item) != list.end();
}

std::string Joined(const std::vector<std::string>& list) {
    std::string text;
    for (const std::string& item : list) {
        text += (text.empty() ? "" : ", ") + item;
    }
    return text.empty() ? "none" : text;
}

double MeasuredHz(const DisplayReport& display) {
    return display.framesPresented > 1 && display.meanPeriodMs > 0 ? 1000.0 / display.meanPeriodMs
                                                                   : 0.0;
}

std::string CueLine(const CueCheck::File& file) {
    using State = SdlSoundDevice::CueFileInfo::State;
    const SdlSoundDevice::CueFileInfo& info = file.info;
    switch (info.state) {
        case State::Missing: return "not found";
        case State::Undecodable:
            if (info.rateHz == 0) {
                return "does not decode: " + info.detail;
            }
            break;
        case State::Ok:
        case State::Empty: break;
    }
    std::string text = info.state == State::Ok ? "decodes, " : "does not decode, ";
    text +=
        info.format + ", " + std::to_string(info.rateHz) + " Hz, " + std::to_string(info.channels) +
        (info.channels == 1 ? " channel, " : " channels, ") +
        Fixed(info.rateHz > 0 ? 1000.0 * static_cast<double>(info.frames) / info.rateHz : 0, 1) +
        " ms";
    if (info.state == State::Empty) {
        text += " (empty)";
    }
    if (info.state == State::Undecodable) {
        text += ": " + info.detail;
    }
    return text;
}

std::vector<std::string> DisplayWarnings(const DisplayReport& display, int framesAsked) {
    std::vector<std::string> warn;
    if (display.path != "X11+Present") {
        warn.push_back("display path " + display.path +
                       ": onsets are not timestamped on the vertical blank");
    }
    if (display.framesPresented < framesAsked) {
        warn.push_back("only " + std::to_string(display.framesPresented) + " of " +
                       std::to_string(framesAsked) + " frames were presented");
    }
    if (display.missed > 0) {
        warn.push_back(std::to_string(display.missed) + " missed frames");
    }
    if (display.framesPresented > 0 && !Has(display.modes, "flip")) {
        warn.push_back(
            "no frame was flipped: a copied frame may show up to one refresh after its timestamp");
    }
    const double hz = MeasuredHz(display);
    if (display.randrHz && hz > 0 && std::abs(hz - *display.randrHz) > 0.01 * *display.randrHz) {
        warn.push_back("measured refresh " + Fixed(hz, 2) + " Hz is more than 1% off RandR's " +
                       Fixed(*display.randrHz, 2) + " Hz");
    }
    if (display.compositorRunning && !display.bypassRequested) {
        warn.push_back("a compositing manager runs and the window did not ask to bypass it");
    }
    return warn;
}

void PrintDisplay(std::ostream& out, const DisplayReport& display) {
    out << "Display\n  path:        " << display.path << "\n";
    if (display.path != "none") {
        out << "  screen:      " << display.width << " x " << display.height << ", RandR "
            << (display.randrHz ? Fixed(*display.randrHz, 2) + " Hz" : "rate unknown") << "\n";
        const double hz = MeasuredHz(display);
        out << "  refresh:     "
            << (hz > 0 ? Fixed(hz, 2) + " Hz measured, period " + Fixed(display.meanPeriodMs, 3) +
                             " ms mean, SD " + Fixed(display.sdPeriodMs, 3) + " ms"
                       : std::string("not measured"))
            << " over " << display.framesPresented << " frames\n";
        out << "  missed:      " << display.missed << "; modes: " << Joined(display.modes) << "\n";
        out << "  compositor:  "
            << (display.compositorRunning
                    ? display.compositorOwner + ", bypass " +
                          (display.bypassRequested ? "requested" : "not requested")
                    : std::string("none"))
            << "\n";
    }
    for (const std::string& note : display.notes) {
        out << "  note:        " << note << "\n";
    }
}

void PrintAudio(std::ostream& out, const SelfCheck::Facts& facts) {
    out << "\nAudio\n";
    if (facts.sampleRateHz > 0) {
        out << "  device:      " << (facts.audioDevice.empty() ? "default" : facts.audioDevice)
            << " (SDL driver " << facts.audioDriver << ")\n"
            << "  output:      " << facts.sampleRateHz << " Hz, buffer " << facts.bufferFrames
            << " frames (" << Fixed(1000.0 * facts.bufferFrames / facts.sampleRateHz, 2)
            << " ms)\n";
    } else {
        out << "  device:      none opens (" << facts.audioError << ")\n";
    }
    for (const CueCheck::File& cue : facts.cues) {
        out << "  " << std::left << std::setw(13) << (cue.name + ":") << CueLine(cue) << "\n";
    }
}

void PrintSettings(std::ostream& out, const SelfCheck::Facts& facts) {
    out << "\nSettings\n  file:        "
        << (facts.settingsPath.empty() ? "unknown: the program's path is unknown, defaults in use"
            : facts.settingsRead       ? facts.settingsPath
            : facts.settingsExist
                ? facts.settingsPath + " (cannot be read: defaults in use)"
                : facts.settingsPath + " (not there yet: orvi's first start writes these values)")
        << "\n";
    for (int i = 0; i < CExperiment::kSettingCount; ++i) {
        out << "  " << std::left << std::setw(28) << kSettingNames[i]
            << facts.settings[static_cast<std::size_t>(i)] << "\n";
    }
}

void PrintResult(std::ostream& out, const SelfCheck::Verdict& verdict) {
    out << "\nResult\n";
    for (const std::string& fault : verdict.faults) {
        out << "  not usable:  " << fault << "\n";
    }
    for (const std::string& warning : verdict.warnings) {
        out << "  warning:     " << warning << "\n";
    }
    out << "  exit " << verdict.status << ": "
        << (verdict.status == SelfCheck::kReady      ? "ready"
            : verdict.status == SelfCheck::kWarnings ? "usable with warnings"
                                                     : "not usable")
        << "\n";
}

}  // namespace

SelfCheck::Facts SelfCheck::Gather() {
    Facts facts;
    facts.display = CheckDisplay(kDisplayFrames);

    {
        const SdlSoundDevice device;
        const CueCheck cues(device);
        facts.audioDriver = device.driverName();
        facts.audioDevice = device.deviceName();
        facts.audioError = device.openError();
        facts.sampleRateHz = device.sampleRate();
        facts.bufferFrames = device.bufferFrames();
        facts.cues = cues.files();
        facts.cueProblems = cues.problems();
    }

    // The experiment's own reader, over files that refuse writes: plain start-up would create
    // a missing settings file with the defaults, which are then exactly the values shown here.
    QtExperimentPlatform platform;
    ReadOnlyFileSystem files;
    const CExperiment experiment(platform, files);
    facts.settingsPath = experiment.m_szIniPath;
    std::error_code error;
    facts.settingsExist =
        !facts.settingsPath.empty() && std::filesystem::exists(facts.settingsPath, error);
    std::string content;
    facts.settingsRead = facts.settingsExist &&
                         files.readFile(facts.settingsPath, content) == FileSystem::ReadResult::Ok;
    facts.settings = experiment.Settings();

    facts.folder = std::filesystem::current_path(error).string();
    facts.folderWritable = faccessat(AT_FDCWD, ".", W_OK | X_OK, AT_EACCESS) == 0;
    return facts;
}

SelfCheck::Verdict SelfCheck::Judge(const Facts& facts) {
    Verdict verdict;
    const DisplayReport& display = facts.display;
    if (display.path == "none") {
        verdict.faults.push_back("no display opens");
    }
    for (const std::string& problem : facts.cueProblems) {
        verdict.faults.push_back(problem);
    }

    auto& warn = verdict.warnings;
    if (display.path != "none") {
        warn = DisplayWarnings(display, facts.framesAsked);
    }
    if (facts.settingsExist && !facts.settingsRead) {
        warn.push_back("the settings file cannot be read: orvi runs with the defaults");
    }
    if (!facts.folderWritable) {
        warn.push_back("the current folder is not writable: the record file must go elsewhere");
    }

    verdict.status = !verdict.faults.empty() ? kNotUsable : !warn.empty() ? kWarnings : kReady;
    return verdict;
}

void SelfCheck::Print(std::ostream& out, const Facts& facts, const Verdict& verdict) {
    out << "orvi " << ORVI_VERSION << " self-check\n\n";
    PrintDisplay(out, facts.display);
    PrintAudio(out, facts);
    PrintSettings(out, facts);
    out << "\nCurrent folder\n  " << facts.folder << ": "
        << (facts.folderWritable ? "writable" : "not writable") << "\n";
    PrintResult(out, verdict);
}

int SelfCheck::Run(std::ostream& out) {
    const Facts facts = Gather();
    const Verdict verdict = Judge(facts);
    Print(out, facts, verdict);
    out.flush();
    return verdict.status;
}
