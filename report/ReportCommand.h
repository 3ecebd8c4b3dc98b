#pragma once

#include <iosfwd>
#include <string>
#include <vector>

#include "FileSystem.h"
#include "ReportPlot.h"
#include "Statistics.h"

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
};

// The whole program: arguments without the program name; the summary goes to `out`, messages
// about unusable input and usage to `err`. Returns the exit code.
int RunReport(const std::vector<std::string>& args, std::ostream& out, std::ostream& err,
              FileSystem& files);

// Fills `options` from the arguments. Returns -1 to go on, or the exit code to end with
// (after --help, --version or a usage error, whose message has gone to the streams).
int ParseReportArguments(const std::vector<std::string>& args, ReportOptions& options,
                         std::ostream& out, std::ostream& err);
