#include "ReportOptions.h"

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <ostream>

#include "ParticipantLabels.h"

namespace {

constexpr int kMinPlotSize = 200;
constexpr int kMaxPlotSize = 4000;

constexpr const char* kUsage = R"(Usage: orvi-report [OPTION]... RECORD_FILE...
Reaction time against the face's rotation, from orvi record files (one file per participant;
files of the original Windows program are read as well).

Outputs, in DIR:
  orvi-report.csv          one row per participant x target eye x angular disparity
  orvi-report-slopes.csv   least-squares slope and intercept of mean RT on disparity, per
                           participant and eye (1, 2, and both eyes' cells together)
  orvi-report-group.csv    mean of participant means per eye x disparity, with its
                           between-subject SE and within-subject 95% CI (two or more
                           participants)
  orvi-report-tests.csv    one-sample t-test of the participants' slopes against 0, for
                           eye 1, eye 2 and both (two or more participants)
  PREFIX-<participant>.FORMAT, PREFIX-group.FORMAT
                           mean RT against disparity, one line per eye; bars: SE of the
                           trials (participant), within-subject 95% CI (group)
and a short summary on standard output.

Options:
  -o, --output-dir DIR   folder for all outputs (default: the current folder; created
                         when missing)
      --csv FILE         cell table path instead of DIR/orvi-report.csv; the slopes and
                         other tables go next to it as FILE's name + "-slopes.csv",
                         "-group.csv" and "-tests.csv"
      --plot-prefix NAME plot file names start with NAME (default: orvi-report)
      --no-plots         write no plots
      --size WxH         plot size, pixels for PNG and points for SVG and PDF (default:
                         800x600)
      --format LIST      plot formats, comma-separated from png, svg, pdf (default:
                         png,svg)
      --min-rt MS        leave out correct trials faster than MS milliseconds
      --sd-cut K         then leave out correct trials more than K sample SDs from the mean
                         of their cell (participant x eye x disparity), in one pass; it
                         can only act on a cell of n trials with (n - 1) / sqrt(n) > K
      --trials FILE      also write every trial as a UTF-8 CSV, one row per trial line, with
                         whether and why it enters the reaction-time figures
      --bids DIR         also write the trials as a BIDS behavioural dataset in DIR
      --participant REGEX
                         the participant is the first capture group of REGEX (ECMAScript)
                         in the file's name; files with the same participant are pooled
                         (default: each file is a participant, named after the file)
  -h, --help             show this help and exit
  -V, --version          show the version and exit

Reaction-time figures use the correct trials; accuracy is correct / valid trials. Cancelled
trials and trials whose click hit no eye are left out of both. Trimming changes the
reaction-time figures only. Eyes are numbered as in the record file (1, 2; eye 1 is the
face's own right eye). Disparity is the rotation from the upright face (viewpoint 5): 0, 45,
90, 135 or 180 degrees.

A trial line (a line that starts with a digit) that does not hold nine numbers, or whose
values the experiment cannot have written, is reported on standard error as FILE:LINE and
left out; after 5 alike complaints about one file the rest are counted. All other lines
(markers, parameters, the column header, notes) are passed over. A file named twice is read
once. No output may be an input file: that is a usage error, and nothing is written.

Exit status: 0 all input used; 1 a line or file could not be used, a file had no usable
trial, or an output could not be written (everything usable is still reported; when nothing
was usable, nothing is written); 2 usage error.
)";

bool ParseNumber(const std::string& text, double& value) {
    if (text.empty()) {
        return false;
    }
    char* end = nullptr;
    errno = 0;
    value = std::strtod(text.c_str(), &end);
    return errno == 0 && end == text.c_str() + text.size() && std::isfinite(value);
}

bool ParseSize(const std::string& text, int& width, int& height) {
    int w = 0;
    int h = 0;
    char tail = 0;
    if (std::sscanf(text.c_str(), "%dx%d%c", &w, &h, &tail) != 2) {
        return false;
    }
    if (w < kMinPlotSize || w > kMaxPlotSize || h < kMinPlotSize || h > kMaxPlotSize) {
        return false;
    }
    width = w;
    height = h;
    return true;
}

std::optional<PlotFormat> PlotFormatNamed(const std::string& name) {
    for (PlotFormat format : {PlotFormat::Png, PlotFormat::Svg, PlotFormat::Pdf}) {
        if (name == PlotExtension(format)) {
            return format;
        }
    }
    return std::nullopt;
}

bool ParsePlotFormats(const std::string& text, std::vector<PlotFormat>& formats) {
    std::vector<PlotFormat> parsed;
    for (std::size_t start = 0; start <= text.size();) {
        const std::size_t comma = std::min(text.find(',', start), text.size());
        const std::optional<PlotFormat> format = PlotFormatNamed(text.substr(start, comma - start));
        start = comma + 1;
        if (!format) {
            return false;
        }
        if (std::find(parsed.begin(), parsed.end(), *format) == parsed.end()) {
            parsed.push_back(*format);
        }
    }
    formats = parsed;
    return true;
}

std::string StorePlotPrefix(const std::string& value, ReportOptions& options) {
    if (value.empty() || value.find('/') != std::string::npos) {
        return "plot prefix '" + value + "' must be a non-empty name without '/'";
    }
    options.plotPrefix = value;
    return std::string();
}

std::string StoreSize(const std::string& value, ReportOptions& options) {
    if (!ParseSize(value, options.width, options.height)) {
        return "plot size '" + value + "' is not WIDTHxHEIGHT with both from " +
               std::to_string(kMinPlotSize) + " to " + std::to_string(kMaxPlotSize);
    }
    return std::string();
}

std::string StoreFormats(const std::string& value, ReportOptions& options) {
    if (!ParsePlotFormats(value, options.formats)) {
        return "--format '" + value + "' is not a comma-separated list of png, svg, pdf";
    }
    return std::string();
}

std::string StoreMinRt(const std::string& value, ReportOptions& options) {
    double number = 0.0;
    if (!ParseNumber(value, number) || number < 0.0) {
        return "--min-rt '" + value + "' is not a number of milliseconds >= 0";
    }
    options.trimming.minRt = number;
    return std::string();
}

std::string StoreSdCut(const std::string& value, ReportOptions& options) {
    double number = 0.0;
    if (!ParseNumber(value, number) || number <= 0.0) {
        return "--sd-cut '" + value + "' is not a number > 0";
    }
    options.trimming.sdCut = number;
    return std::string();
}

std::string StoreParticipant(const std::string& value, ReportOptions& options) {
    std::string problem = CheckParticipantPattern(value);
    if (problem.empty()) {
        options.participant = value;
    }
    return problem;
}

// An option that takes a value, "--name value" or "--name=value": a path or name that must not
// be empty, or a value that `store` checks.
struct ValuedOption {
    const char* shortName;  // "" when there is none
    const char* longName;
    std::string ReportOptions::*text;
    const char* emptyProblem;  // the usage error for an empty text
    // Stores the value in the options; returns the usage error, or empty.
    std::string (*store)(const std::string& value, ReportOptions& options);
};

const ValuedOption kValuedOptions[] = {
    {"-o", "--output-dir", &ReportOptions::outputDir, "empty output folder", nullptr},
    {"", "--csv", &ReportOptions::csvPath, "empty CSV file name", nullptr},
    {"", "--plot-prefix", nullptr, nullptr, StorePlotPrefix},
    {"", "--size", nullptr, nullptr, StoreSize},
    {"", "--format", nullptr, nullptr, StoreFormats},
    {"", "--min-rt", nullptr, nullptr, StoreMinRt},
    {"", "--sd-cut", nullptr, nullptr, StoreSdCut},
    {"", "--trials", &ReportOptions::trialsPath, "empty --trials path", nullptr},
    {"", "--bids", &ReportOptions::bidsDir, "empty --bids path", nullptr},
    {"", "--participant", nullptr, nullptr, StoreParticipant},
};

const ValuedOption* FindValuedOption(const std::string& name) {
    for (const ValuedOption& option : kValuedOptions) {
        if (name == option.shortName || name == option.longName) {
            return &option;
        }
    }
    return nullptr;
}

std::string StoreValue(const ValuedOption& option, const std::string& value,
                       ReportOptions& options) {
    if (option.store != nullptr) {
        return option.store(value, options);
    }
    if (value.empty()) {
        return option.emptyProblem;
    }
    options.*option.text = value;
    return std::string();
}

// Takes the option at args[i] with its value, moving i on when the value is the next argument.
// Returns the usage error, or empty.
std::string TakeValuedOption(const std::vector<std::string>& args, std::size_t& i,
                             ReportOptions& options) {
    const std::string& arg = args[i];
    const std::size_t eq = arg.find('=');
    const bool joined = arg.compare(0, 2, "--") == 0 && eq != std::string::npos;
    const std::string name = joined ? arg.substr(0, eq) : arg;
    const ValuedOption* option = FindValuedOption(name);
    if (option == nullptr) {
        return "unknown option '" + arg + "'";
    }
    if (!joined && i + 1 >= args.size()) {
        return "option '" + name + "' needs a value";
    }
    return StoreValue(*option, joined ? arg.substr(eq + 1) : args[++i], options);
}

}  // namespace

void PrintUsageError(std::ostream& err, const std::string& message) {
    err << kReportProgram << ": " << message << "\n"
        << "Try 'orvi-report --help' for more information.\n";
}

int ParseReportArguments(const std::vector<std::string>& args, ReportOptions& options,
                         std::ostream& out, std::ostream& err) {
    bool onlyFiles = false;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        if (onlyFiles || arg.empty() || arg[0] != '-' || arg == "-") {
            options.files.push_back(arg);
        } else if (arg == "--") {
            onlyFiles = true;
        } else if (arg == "-h" || arg == "--help") {
            out << kUsage;
            return kExitOk;
        } else if (arg == "-V" || arg == "--version") {
            out << kReportProgram << " " << ORVI_REPORT_VERSION << "\n";
            return kExitOk;
        } else if (arg == "--no-plots") {
            options.plots = false;
        } else if (const std::string problem = TakeValuedOption(args, i, options);
                   !problem.empty()) {
            PrintUsageError(err, problem);
            return kExitUsage;
        }
    }
    if (options.files.empty()) {
        PrintUsageError(err, "no record file given");
        return kExitUsage;
    }
    return -1;
}
