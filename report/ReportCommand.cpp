#include "ReportCommand.h"

#include <sys/stat.h>
#include <sys/types.h>

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ostream>

#include "BidsDataset.h"
#include "OutputFiles.h"
#include "ParticipantFile.h"
#include "ParticipantLabels.h"
#include "ParticipantPool.h"
#include "PathName.h"
#include "ReportPlot.h"
#include "ReportTables.h"
#include "SdCutReach.h"
#include "SlopeTest.h"
#include "TrialTable.h"
#include "WithinSubjectInterval.h"

namespace {

constexpr const char* kProgram = "orvi-report";
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

std::ostream& Usage(std::ostream& err, const std::string& message) {
    err << kProgram << ": " << message << "\n"
        << "Try 'orvi-report --help' for more information.\n";
    return err;
}

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

bool ParsePlotFormats(const std::string& text, std::vector<PlotFormat>& formats) {
    std::vector<PlotFormat> parsed;
    std::size_t start = 0;
    while (start <= text.size()) {
        const std::size_t comma = std::min(text.find(',', start), text.size());
        const std::string name = text.substr(start, comma - start);
        start = comma + 1;
        std::optional<PlotFormat> format;
        for (PlotFormat f : {PlotFormat::Png, PlotFormat::Svg, PlotFormat::Pdf}) {
            if (name == PlotExtension(f)) {
                format = f;
            }
        }
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

std::string JoinPath(const std::string& dir, const std::string& name) {
    if (dir.empty() || dir == ".") {
        return name;
    }
    return dir.back() == '/' ? dir + name : dir + "/" + name;
}

// The path without a final ".csv", to which the other tables' suffixes are added.
std::string CsvStem(const std::string& path) {
    const std::string ext = ".csv";
    const std::size_t nameStart = PathName::FileNameStart(path);
    if (path.size() >= nameStart + ext.size() + 1 &&
        path.compare(path.size() - ext.size(), ext.size(), ext) == 0) {
        return path.substr(0, path.size() - ext.size());
    }
    return path;
}

bool EnsureDirectory(const std::string& dir, std::string& error) {
    struct stat info {};
    if (::stat(dir.c_str(), &info) == 0) {
        if (S_ISDIR(info.st_mode)) {
            return true;
        }
        error = "not a folder";
        return false;
    }
    if (::mkdir(dir.c_str(), 0777) == 0) {
        return true;
    }
    error = std::string("cannot create folder (") + std::strerror(errno) + ")";
    return false;
}

std::string Printf(const char* format, ...) __attribute__((format(printf, 1, 2)));

std::string Printf(const char* format, ...) {
    va_list args;
    va_start(args, format);
    va_list again;
    va_copy(again, args);
    const int size = std::vsnprintf(nullptr, 0, format, args);
    va_end(args);
    std::string text(size > 0 ? static_cast<std::size_t>(size) : 0, '\0');
    if (size > 0) {
        std::vsnprintf(&text[0], text.size() + 1, format, again);
    }
    va_end(again);
    return text;
}

std::string PlotPath(const ReportOptions& options, const std::string& name, PlotFormat format) {
    return JoinPath(options.outputDir, options.plotPrefix + "-" + name) + "." +
           PlotExtension(format);
}

std::string Column(std::optional<double> value, int decimals, int width) {
    const std::string text = value ? FormatFixed(value, decimals) : std::string("-");
    return std::string(text.size() < static_cast<std::size_t>(width) ? width - text.size() : 0,
                       ' ') +
           text;
}

// What the stdout tables show of a cell, for a participant or for the group.
struct TableCell {
    Descriptives rt;
    std::optional<double> accuracy;
};

void PrintTable(std::ostream& out, const std::array<TableCell, kEyeCount * kDisparityCount>& t,
                const char* nLabel) {
    out << Printf("  %9s   %13s %7s %3s %9s   %13s %7s %3s %9s\n", "disparity", "eye 1 RT (ms)",
                  "SE", nLabel, "accuracy", "eye 2 RT (ms)", "SE", nLabel, "accuracy");
    for (int d = 0; d < kDisparityCount; ++d) {
        out << Printf("  %5d deg", kDisparities[static_cast<std::size_t>(d)]);
        for (int e = 0; e < kEyeCount; ++e) {
            const TableCell& c = t[static_cast<std::size_t>(e * kDisparityCount + d)];
            out << "   " << Column(c.rt.mean, 2, 13) << " " << Column(c.rt.se, 2, 7)
                << Printf(" %3d ", c.rt.n) << Column(c.accuracy, 4, 9);
        }
        out << "\n";
    }
}

std::string TrimmingText(const Trimming& trimming) {
    if (!trimming.minRt && !trimming.sdCut) {
        return "none";
    }
    std::string text;
    if (trimming.minRt) {
        text += Printf("correct trials under %g ms left out", *trimming.minRt);
    }
    if (trimming.sdCut) {
        if (!text.empty()) {
            text += "; then ";
        }
        text += Printf("correct trials more than %g", *trimming.sdCut) +
                " SD from their cell mean left out (one pass per cell)";
    }
    return text;
}

// `bars` holds each cell's error-bar half-width, where there is one.
PlotData MakePlotData(const std::string& title, const std::string& caption,
                      const std::array<TableCell, kEyeCount * kDisparityCount>& table,
                      const std::array<std::optional<double>, kEyeCount * kDisparityCount>& bars) {
    PlotData data;
    data.title = title;
    data.caption = caption;
    for (std::size_t i = 0; i < table.size(); ++i) {
        if (table[i].rt.mean) {
            data.eyes[i / kDisparityCount].push_back(
                {static_cast<double>(kDisparities[i % kDisparityCount]), *table[i].rt.mean,
                 bars[i].value_or(0.0)});
        }
    }
    return data;
}

}  // namespace

int ParseReportArguments(const std::vector<std::string>& args, ReportOptions& options,
                         std::ostream& out, std::ostream& err) {
    bool onlyFiles = false;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        if (onlyFiles || arg.empty() || arg[0] != '-' || arg == "-") {
            options.files.push_back(arg);
            continue;
        }
        if (arg == "--") {
            onlyFiles = true;
            continue;
        }
        if (arg == "-h" || arg == "--help") {
            out << kUsage;
            return kExitOk;
        }
        if (arg == "-V" || arg == "--version") {
            out << kProgram << " " << ORVI_REPORT_VERSION << "\n";
            return kExitOk;
        }
        if (arg == "--no-plots") {
            options.plots = false;
            continue;
        }
        // Options with a value: "--name value" or "--name=value".
        std::string name = arg;
        std::string value;
        bool hasValue = false;
        const std::size_t eq = arg.find('=');
        if (arg.compare(0, 2, "--") == 0 && eq != std::string::npos) {
            name = arg.substr(0, eq);
            value = arg.substr(eq + 1);
            hasValue = true;
        }
        static const char* const kValued[] = {
            "-o",       "--output-dir", "--csv",    "--plot-prefix", "--size",       "--min-rt",
            "--sd-cut", "--format",     "--trials", "--bids",        "--participant"};
        bool known = false;
        for (const char* option : kValued) {
            known = known || name == option;
        }
        if (!known) {
            Usage(err, "unknown option '" + arg + "'");
            return kExitUsage;
        }
        if (!hasValue) {
            if (i + 1 >= args.size()) {
                Usage(err, "option '" + name + "' needs a value");
                return kExitUsage;
            }
            value = args[++i];
        }
        double number = 0.0;
        if (name == "-o" || name == "--output-dir") {
            if (value.empty()) {
                Usage(err, "empty output folder");
                return kExitUsage;
            }
            options.outputDir = value;
        } else if (name == "--csv") {
            if (value.empty()) {
                Usage(err, "empty CSV file name");
                return kExitUsage;
            }
            options.csvPath = value;
        } else if (name == "--plot-prefix") {
            if (value.empty() || value.find('/') != std::string::npos) {
                Usage(err, "plot prefix '" + value + "' must be a non-empty name without '/'");
                return kExitUsage;
            }
            options.plotPrefix = value;
        } else if (name == "--size") {
            if (!ParseSize(value, options.width, options.height)) {
                Usage(err, "plot size '" + value + "' is not WIDTHxHEIGHT with both from " +
                               std::to_string(kMinPlotSize) + " to " +
                               std::to_string(kMaxPlotSize));
                return kExitUsage;
            }
        } else if (name == "--format") {
            if (!ParsePlotFormats(value, options.formats)) {
                Usage(err,
                      "--format '" + value + "' is not a comma-separated list of png, svg, pdf");
                return kExitUsage;
            }
        } else if (name == "--min-rt") {
            if (!ParseNumber(value, number) || number < 0.0) {
                Usage(err, "--min-rt '" + value + "' is not a number of milliseconds >= 0");
                return kExitUsage;
            }
            options.trimming.minRt = number;
        } else if (name == "--trials" || name == "--bids") {
            if (value.empty()) {
                Usage(err, "empty " + name + " path");
                return kExitUsage;
            }
            (name == "--trials" ? options.trialsPath : options.bidsDir) = value;
        } else if (name == "--participant") {
            const std::string problem = CheckParticipantPattern(value);
            if (!problem.empty()) {
                Usage(err, problem);
                return kExitUsage;
            }
            options.participant = value;
        } else {
            if (!ParseNumber(value, number) || number <= 0.0) {
                Usage(err, "--sd-cut '" + value + "' is not a number > 0");
                return kExitUsage;
            }
            options.trimming.sdCut = number;
        }
    }
    if (options.files.empty()) {
        Usage(err, "no record file given");
        return kExitUsage;
    }
    return -1;
}

int RunReport(const std::vector<std::string>& args, std::ostream& out, std::ostream& err,
              FileSystem& files) {
    ReportOptions options;
    const int parsed = ParseReportArguments(args, options, out, err);
    if (parsed >= 0) {
        return parsed;
    }
    int status = kExitOk;

    std::vector<std::pair<std::string, std::string>> repeated;
    options.files = OutputFiles::Distinct(options.files, repeated);
    for (const auto& [later, earlier] : repeated) {
        err << kProgram << ": warning: " << later << " is the same file as " << earlier
            << "; it is counted once\n";
    }
    const ParticipantLabels labels = LabelParticipants(options.files, options.participant);
    std::vector<std::string> ids;  // of the labelled files
    for (const std::string& id : labels.ids) {
        if (!id.empty()) {
            ids.push_back(id);
        }
    }
    if (!options.bidsDir.empty()) {
        const std::string clash = CheckBidsLabels(ids);
        if (!clash.empty()) {
            Usage(err, clash);
            return kExitUsage;
        }
    }

    // Every output that may be written, checked before anything is.
    const std::string csvPath =
        options.csvPath.empty() ? JoinPath(options.outputDir, "orvi-report.csv") : options.csvPath;
    const std::string slopesPath = CsvStem(csvPath) + "-slopes.csv";
    const std::string groupPath = CsvStem(csvPath) + "-group.csv";
    const std::string testsPath = CsvStem(csvPath) + "-tests.csv";
    std::vector<std::string> outputs = {csvPath, slopesPath, groupPath, testsPath};
    if (options.plots) {
        std::vector<std::string> names = ids;
        names.push_back("group");
        for (const std::string& name : names) {
            for (PlotFormat format : options.formats) {
                outputs.push_back(PlotPath(options, name, format));
            }
        }
    }
    if (!options.trialsPath.empty()) {
        outputs.push_back(options.trialsPath);
    }
    if (!options.bidsDir.empty()) {
        for (const std::string& path : PossibleBidsPaths(ids)) {
            outputs.push_back(JoinPath(options.bidsDir, path));
        }
    }
    const OutputFiles outputFiles(options.files);
    const std::string clash = outputFiles.Clash(outputs);
    if (!clash.empty()) {
        Usage(err, clash);
        return kExitUsage;
    }

    std::vector<ParticipantFile> inputs;  // read and labelled, in the order given
    std::vector<std::string> inputIds;
    std::vector<std::string> withoutData;
    SdCutReach sdCutReach;
    for (std::size_t i = 0; i < options.files.size(); ++i) {
        if (labels.ids[i].empty()) {
            err << options.files[i] << ": name does not match --participant '"
                << *options.participant << "'\n";
            status = kExitInputProblem;
            continue;
        }
        ParticipantFile file = ReadParticipantFile(files, options.files[i]);
        if (!file.readable) {
            err << file.path << ": " << file.readError << "\n";
            status = kExitInputProblem;
            continue;
        }
        for (const LineProblem& problem : file.problems) {
            err << file.path << ":" << problem.line << ": " << problem.message << "\n";
            if (problem.more > 0) {
                err << "\u2026 and " << problem.more << " more line"
                    << (problem.more == 1 ? "" : "s") << " like this in " << file.path << "\n";
            }
            status = kExitInputProblem;
        }
        if (file.Counts().valid == 0) {
            withoutData.push_back(file.path);
            status = kExitInputProblem;
        }
        inputs.push_back(std::move(file));
        inputIds.push_back(labels.ids[i]);
    }
    std::vector<TrialTableFile> tableFiles(inputs.size());
    std::vector<ParticipantReport> participants;
    std::vector<std::vector<std::string>> pooledPaths;
    for (const ParticipantPool& pool : PoolByParticipant(inputs, inputIds)) {
        // One verdict per pooled trial; each file's share goes to its rows of the trial table.
        const std::vector<TrialUse> uses = ClassifyTrials(pool.trials, options.trimming);
        auto next = uses.begin();
        std::vector<std::string> paths;
        for (std::size_t k : pool.members) {
            const auto end = next + static_cast<std::ptrdiff_t>(inputs[k].trials.size());
            tableFiles[k] = {&inputs[k], pool.id, {next, end}};
            next = end;
            paths.push_back(inputs[k].path);
        }
        if (pool.counts.valid == 0) {
            continue;
        }
        ParticipantReport report;
        report.id = pool.id;
        report.counts = pool.counts;
        report.cells = SummarizeCells(pool.trials, options.trimming);
        if (options.trimming.sdCut) {
            CountSdCutReach(SummarizeCells(pool.trials, {options.trimming.minRt, std::nullopt}),
                            *options.trimming.sdCut, sdCutReach);
        }
        report.slopes = FitSlopes(report.cells);
        participants.push_back(std::move(report));
        pooledPaths.push_back(std::move(paths));
    }

    out << kProgram << " " << ORVI_REPORT_VERSION << ": " << options.files.size()
        << (options.files.size() == 1 ? " file, " : " files, ") << participants.size()
        << (participants.size() == 1 ? " participant" : " participants") << " with data\n";
    out << "Eyes as numbered in the record file; disparity = rotation from upright (deg).\n"
        << "RT: correct trials; accuracy: correct / valid; cancelled and no-eye trials left "
           "out.\n"
        << "Trimming: " << TrimmingText(options.trimming) << "\n";
    if (options.trimming.sdCut) {
        out << Printf(
            "  --sd-cut %g can only act on a cell of %d or more trials ((n - 1) / sqrt(n) "
            "> %g);\n  %d of %d cells with reaction times had fewer.\n",
            *options.trimming.sdCut, sdCutReach.smallestN, *options.trimming.sdCut,
            sdCutReach.cellsTooSmall, sdCutReach.cellsWithRt);
    }

    if (!participants.empty()) {
        out << "\n"
            << Printf("%-20s %6s %6s %6s %9s %7s   %-13s %7s %7s %7s\n", "participant", "trials",
                      "valid", "misses", "cancelled", "correct", "slope ms/deg:", "eye 1", "eye 2",
                      "both");
        for (const ParticipantReport& p : participants) {
            out << Printf("%-20s %6d %6d %6d %9d %7d   %13s", p.id.c_str(), p.counts.trials,
                          p.counts.valid, p.counts.misses, p.counts.cancelled, p.counts.correct, "")
                << " " << Column(p.slopes.eye[0].slope, 4, 7) << " "
                << Column(p.slopes.eye[1].slope, 4, 7) << " " << Column(p.slopes.both.slope, 4, 7)
                << "\n";
        }
    }
    if (options.participant && !participants.empty()) {
        out << "\nFiles pooled per participant:\n";
        for (std::size_t i = 0; i < participants.size(); ++i) {
            out << "  " << participants[i].id << ":";
            for (const std::string& path : pooledPaths[i]) {
                out << " " << path;
            }
            out << "\n";
        }
    }
    if (!labels.notes.empty()) {
        out << "\nSame file name, separate participants:\n";
        for (const std::string& note : labels.notes) {
            out << "  " << note << "\n";
        }
    }

    GroupTable group{};
    WithinSubjectTable within{};
    std::vector<SlopeTest> slopeTests;
    const bool pooled = participants.size() >= 2;
    std::array<TableCell, kEyeCount * kDisparityCount> shown{};
    if (pooled) {
        std::vector<CellTable> tables;
        for (const ParticipantReport& p : participants) {
            tables.push_back(p.cells);
        }
        group = PoolParticipants(tables);
        within = WithinSubjectIntervals(tables);
        for (std::size_t i = 0; i < group.size(); ++i) {
            shown[i] = {group[i].rt, group[i].accuracy};
        }
        out << "\nGroup: mean of participant means (N = participants with data in the cell)\n";
        PrintTable(out, shown, "N");
        out << Printf(
            "  within-subject 95%% CIs over the participants with all five cells of "
            "the eye: eye 1 N = %d, eye 2 N = %d\n",
            within[0].n, within[kDisparityCount].n);
        static const char* const kNames[] = {"eye1", "eye2", "both"};
        for (int k = 0; k < 3; ++k) {
            std::vector<double> slopes;
            for (const ParticipantReport& p : participants) {
                const LineFit& fit =
                    k < 2 ? p.slopes.eye[static_cast<std::size_t>(k)] : p.slopes.both;
                if (fit.slope) {
                    slopes.push_back(*fit.slope);
                }
            }
            slopeTests.push_back(TestSlopesAgainstZero(kNames[k], slopes));
        }
        out << FormatSlopeTestsText(slopeTests);
    } else if (participants.size() == 1) {
        const ParticipantReport& p = participants.front();
        for (std::size_t i = 0; i < p.cells.size(); ++i) {
            shown[i] = {p.cells[i].rt, p.cells[i].accuracy};
        }
        out << "\n" << p.id << " (n = correct trials)\n";
        PrintTable(out, shown, "n");
    }

    if (!withoutData.empty()) {
        out << "\nNo usable trial in:";
        for (const std::string& path : withoutData) {
            out << " " << path;
        }
        out << "\n";
    }
    if (participants.empty()) {
        out << "\nNothing usable was read: no tables or plots written.\n";
        return kExitInputProblem;
    }

    // Outputs.
    std::string error;
    if (!EnsureDirectory(options.outputDir, error)) {
        err << options.outputDir << ": " << error << "\n";
        return kExitInputProblem;
    }
    std::vector<std::pair<std::string, std::string>> tables = {
        {csvPath, FormatCellsCsv(participants)},
        {slopesPath, FormatSlopesCsv(participants)},
    };
    if (pooled) {
        tables.push_back({groupPath, FormatGroupCsv(group, within)});
        tables.push_back({testsPath, FormatSlopeTestsCsv(slopeTests)});
    }
    if (!options.trialsPath.empty()) {
        tables.push_back({options.trialsPath, FormatTrialsCsv(tableFiles)});
    }
    std::vector<std::string> written;
    for (const auto& [path, text] : tables) {
        if (outputFiles.WriteText(path, text, error)) {
            written.push_back(path);
        } else {
            err << path << ": " << error << "\n";
            status = kExitInputProblem;
        }
    }

    if (!options.bidsDir.empty()) {
        const std::vector<DatasetFile> dataset = BidsDataset(tableFiles, ORVI_REPORT_VERSION);
        const std::string foreign = ForeignSubjectEntry(options.bidsDir, dataset);
        bool complete = foreign.empty() && EnsureDirectory(options.bidsDir, error);
        if (!foreign.empty()) {
            err << options.bidsDir << ": holds " << foreign
                << ", which is not among these participants' files; no BIDS dataset written "
                   "(remove it or choose another folder)\n";
        } else if (!complete) {
            err << options.bidsDir << ": " << error << "\n";
        }
        for (const DatasetFile& file : dataset) {
            const std::string path = JoinPath(options.bidsDir, file.path);
            if (complete && !(file.folder ? EnsureDirectory(path, error)
                                          : outputFiles.WriteText(path, file.text, error))) {
                err << path << ": " << error << "\n";
                complete = false;
            }
        }
        if (complete) {
            written.push_back(options.bidsDir + "/ (BIDS)");
        } else {
            status = kExitInputProblem;
        }
    }

    int plotCount = 0;
    if (options.plots) {
        std::vector<std::pair<std::string, PlotData>> plots;
        std::array<std::optional<double>, kEyeCount * kDisparityCount> bars{};
        for (const ParticipantReport& p : participants) {
            std::array<TableCell, kEyeCount * kDisparityCount> table{};
            int used = 0;
            for (std::size_t i = 0; i < p.cells.size(); ++i) {
                table[i] = {p.cells[i].rt, p.cells[i].accuracy};
                bars[i] = p.cells[i].rt.se;
                used += p.cells[i].rt.n;
            }
            std::string caption = std::to_string(p.counts.correct) + " correct trials";
            if (used != p.counts.correct) {
                caption += " (" + std::to_string(used) + " after trimming)";
            }
            plots.push_back(
                {p.id, MakePlotData("Participant " + p.id,
                                    caption + "; bars: SE of the cell's trials", table, bars)});
        }
        if (pooled) {
            for (std::size_t i = 0; i < within.size(); ++i) {
                bars[i] = within[i].halfWidth;
            }
            plots.push_back(
                {"group",
                 MakePlotData(Printf("Group: mean of N = %zu participants", participants.size()),
                              Printf("bars: within-subject 95%% CI, eye 1 N = %d, eye 2 N = %d",
                                     within[0].n, within[kDisparityCount].n),
                              shown, bars)});
        }
        for (const auto& [name, data] : plots) {
            for (PlotFormat format : options.formats) {
                const std::string path = PlotPath(options, name, format);
                const auto plot = [&, &data = data](const std::string& temporary,
                                                    std::string& plotError) {
                    return WritePlot(data, format, temporary, options.width, options.height,
                                     plotError);
                };
                if (outputFiles.Write(path, plot, error)) {
                    ++plotCount;
                } else {
                    err << path << ": " << error << "\n";
                    status = kExitInputProblem;
                }
            }
        }
    }

    if (!written.empty() || plotCount > 0) {
        out << "\nWrote:";
        for (const std::string& path : written) {
            out << " " << path;
        }
        if (plotCount > 0) {
            out << " and " << plotCount << " plots "
                << JoinPath(options.outputDir, options.plotPrefix + "-*.");
            for (std::size_t f = 0; f < options.formats.size(); ++f) {
                out << (f == 0 ? "" : "/") << PlotExtension(options.formats[f]);
            }
        }
        out << "\n";
    }
    return status;
}
