#include "ReportCommand.h"

#include <optional>
#include <ostream>

#include "BidsDataset.h"
#include "GroupReport.h"
#include "OutputFiles.h"
#include "ParticipantLabels.h"
#include "ReportInputs.h"
#include "ReportPaths.h"
#include "ReportSummary.h"
#include "ReportTables.h"
#include "ReportWriter.h"

namespace {

using Bars = std::array<std::optional<double>, kEyeCount * kDisparityCount>;

// The inputs without repeats of one file, each repeat warned of.
std::vector<std::string> DistinctInputs(const std::vector<std::string>& files, std::ostream& err) {
    std::vector<std::pair<std::string, std::string>> repeated;
    std::vector<std::string> distinct = OutputFiles::Distinct(files, repeated);
    for (const auto& [later, earlier] : repeated) {
        err << kReportProgram << ": warning: " << later << " is the same file as " << earlier
            << "; it is counted once\n";
    }
    return distinct;
}

// The usage error that forbids writing anything, checked before anything is read: an output
// that would overwrite an input, or participants that BIDS cannot tell apart. Empty when none.
std::string OutputProblem(const ReportOptions& options, const ParticipantLabels& labels,
                          const ReportPaths& paths, const OutputFiles& outputFiles) {
    std::vector<std::string> ids;  // of the labelled files
    for (const std::string& id : labels.ids) {
        if (!id.empty()) {
            ids.push_back(id);
        }
    }
    if (!options.bidsDir.empty()) {
        std::string clash = CheckBidsLabels(ids);
        if (!clash.empty()) {
            return clash;
        }
    }
    return outputFiles.Clash(paths.Possible(ids));
}

// `bars` holds each cell's error-bar half-width, where there is one.
PlotData MakePlotData(const std::string& title, const std::string& caption, const ShownCells& cells,
                      const Bars& bars) {
    PlotData data;
    data.title = title;
    data.caption = caption;
    for (std::size_t i = 0; i < cells.size(); ++i) {
        if (cells[i].rt.mean) {
            data.eyes[i / kDisparityCount].push_back(
                {static_cast<double>(kDisparities[i % kDisparityCount]), *cells[i].rt.mean,
                 bars[i].value_or(0.0)});
        }
    }
    return data;
}

PlotData ParticipantPlot(const ParticipantReport& p) {
    const ShownCells cells = Shown(p.cells);
    Bars bars{};
    int used = 0;
    for (std::size_t i = 0; i < cells.size(); ++i) {
        bars[i] = cells[i].rt.se;
        used += cells[i].rt.n;
    }
    std::string caption = std::to_string(p.counts.correct) + " correct trials";
    if (used != p.counts.correct) {
        caption += " (" + std::to_string(used) + " after trimming)";
    }
    return MakePlotData("Participant " + p.id, caption + "; bars: SE of the cell's trials", cells,
                        bars);
}

PlotData GroupPlot(const GroupReport& group, std::size_t participants) {
    Bars bars{};
    for (std::size_t i = 0; i < group.within.size(); ++i) {
        bars[i] = group.within[i].halfWidth;
    }
    return MakePlotData(
        "Group: mean of N = " + std::to_string(participants) + " participants",
        "bars: within-subject 95% CI, eye 1 N = " + std::to_string(group.within[0].n) +
            ", eye 2 N = " + std::to_string(group.within[kDisparityCount].n),
        Shown(group.cells), bars);
}

void WriteTables(const ReportOptions& options, const ReportPaths& paths, const PooledFiles& pooled,
                 const std::optional<GroupReport>& group, ReportWriter& writer) {
    writer.WriteText(paths.Cells(), FormatCellsCsv(pooled.participants));
    writer.WriteText(paths.Slopes(), FormatSlopesCsv(pooled.participants));
    if (group) {
        writer.WriteText(paths.Group(), FormatGroupCsv(group->cells, group->within));
        writer.WriteText(paths.Tests(), FormatSlopeTestsCsv(group->slopeTests));
    }
    if (!options.trialsPath.empty()) {
        writer.WriteText(options.trialsPath, FormatTrialsCsv(pooled.tables));
    }
}

void WritePlots(const ReportOptions& options, const ReportPaths& paths, const PooledFiles& pooled,
                const std::optional<GroupReport>& group, ReportWriter& writer) {
    std::vector<std::pair<std::string, PlotData>> plots;
    for (const ParticipantReport& p : pooled.participants) {
        plots.emplace_back(p.id, ParticipantPlot(p));
    }
    if (group) {
        plots.emplace_back("group", GroupPlot(*group, pooled.participants.size()));
    }
    for (const auto& [name, data] : plots) {
        for (PlotFormat format : options.formats) {
            writer.WritePlot(paths.Plot(name, format), data, format, options.width, options.height);
        }
    }
}

void WriteOutputs(const ReportOptions& options, const ReportPaths& paths, const PooledFiles& pooled,
                  const std::optional<GroupReport>& group, ReportWriter& writer) {
    WriteTables(options, paths, pooled, group, writer);
    if (!options.bidsDir.empty()) {
        writer.WriteBids(options.bidsDir, BidsDataset(pooled.tables, ORVI_REPORT_VERSION));
    }
    if (options.plots) {
        WritePlots(options, paths, pooled, group, writer);
    }
}

}  // namespace

int RunReport(const std::vector<std::string>& args, std::ostream& out, std::ostream& err,
              FileSystem& files) {
    ReportOptions options;
    const int parsed = ParseReportArguments(args, options, out, err);
    if (parsed >= 0) {
        return parsed;
    }
    options.files = DistinctInputs(options.files, err);
    const ParticipantLabels labels = LabelParticipants(options.files, options.participant);
    const ReportPaths paths(options);
    const OutputFiles outputFiles(options.files, files);
    const std::string problem = OutputProblem(options, labels, paths, outputFiles);
    if (!problem.empty()) {
        PrintUsageError(err, problem);
        return kExitUsage;
    }

    const ReadFiles read = ReadInputFiles(options, labels, files, err);
    const PooledFiles pooled = PoolFiles(read, options.trimming);
    const std::optional<GroupReport> group = ReportGroup(pooled.participants);
    PrintSummary(out, options, labels, read, pooled, group);
    if (pooled.participants.empty()) {
        return kExitInputProblem;
    }
    ReportWriter writer(outputFiles, err);
    if (!writer.MakeFolder(options.outputDir)) {
        return kExitInputProblem;
    }
    WriteOutputs(options, paths, pooled, group, writer);
    writer.PrintWritten(out, paths.PlotPattern());
    return read.complete && writer.Complete() ? kExitOk : kExitInputProblem;
}
