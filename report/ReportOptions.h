#pragma once

#include <iosfwd>
#include <optional>
#include <string>
#include <vector>

#include "ReportPlot.h"
#include "Statistics.h"

inline constexpr const char* kReportProgram = "orvi-report";

inline constexpr int kExitOk = 0;
inline constexpr int kExitInputProblem = 1;  // a bad line, an unreadable or empty file, or a
                                             // file that could not be written
inline constexpr int kExitUsage = 2;

struct ReportOptions {
    std::vector<std::string> files;
    std::string outputDir = ".";
    std::string csvPath;  // empty: <outputDir>/orvi-report.csv
    std::string plotPrefix = "orvi-report";
    bool plots = true;
    int width = 800;
    int height = 600;
    std::vector<PlotFormat> formats = {PlotFormat::Png, PlotFormat::Svg};
    Trimming trimming;
    std::string trialsPath;                  // --trials: every trial as tidy CSV
    std::string bidsDir;                     // --bids: a BIDS behavioural dataset
    std::optional<std::string> participant;  // --participant: regex for the label
};

// Fills `options` from the arguments. Returns -1 to go on, or the exit code to end with
// (after --help, --version or a usage error, whose message has gone to the streams).
int ParseReportArguments(const std::vector<std::string>& args, ReportOptions& options,
                         std::ostream& out, std::ostream& err);

// The message of a usage error, followed by where to find help.
void PrintUsageError(std::ostream& err, const std::string& message);
