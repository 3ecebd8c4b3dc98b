#include "CommandLine.h"

CommandLine CommandLine::Parse(const std::vector<std::string>& args) {
    CommandLine line;
    if (args.empty()) {
        return line;
    }
    const std::string& arg = args.front();
    if (args.size() > 1) {
        line.m_action = Action::UsageError;
        line.m_error = "one argument at most, got " + std::to_string(args.size());
    } else if (arg == "--check") {
        line.m_action = Action::Check;
    } else if (arg == "--help") {
        line.m_action = Action::Help;
    } else if (arg == "--version") {
        line.m_action = Action::Version;
    } else {
        line.m_action = Action::UsageError;
        line.m_error = "unknown argument '" + arg + "'";
    }
    return line;
}

const char* CommandLine::Usage() {
    return R"(Usage: orvi [--check | --help | --version]
Without an argument, runs the reaction-time experiment full screen in the current folder.

  --check     check this machine before a study: display, audio and cue sounds, settings,
              current folder; print a report and exit. Opens no record file, writes nothing.
  --help      show this help and exit
  --version   show the version and exit

Exit status of --check: 0 ready, 1 usable with warnings, 2 not usable. A usage error exits
with 2.
)";
}
