#include "ReportSummary.h"

#include <cstdarg>
#include <cstdio>
#include <ostream>

namespace {

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

// "-" where there is no value.
std::string RightAligned(std::optional<double> value, int decimals, int width) {
    const std::string text = value ? FormatFixed(value, decimals) : std::string("-");
    return std::string(text.size() < static_cast<std::size_t>(width) ? width - text.size() : 0,
                       ' ') +
           text;
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

void PrintOpening(std::ostream& out, const ReportOptions& options, const PooledFiles& pooled) {
    const std::size_t files = options.files.size();
    const std::size_t participants = pooled.participants.size();
    out << kReportProgram << " " << ORVI_REPORT_VERSION << ": " << files
        << (files == 1 ? " file, " : " files, ") << participants
        << (participants == 1 ? " participant" : " participants") << " with data\n";
    out << "Eyes as numbered in the record file; disparity = rotation from upright (deg).\n"
        << "RT: correct trials; accuracy: correct / valid; cancelled and no-eye trials left "
           "out.\n"
        << "Trimming: " << TrimmingText(options.trimming) << "\n";
    if (options.trimming.sdCut) {
        const SdCutReach& reach = pooled.sdCutReach;
        out << Printf(
            "  --sd-cut %g can only act on a cell of %d or more trials ((n - 1) / sqrt(n) "
            "> %g);\n  %d of %d cells with reaction times had fewer.\n",
            *options.trimming.sdCut, reach.smallestN, *options.trimming.sdCut, reach.cellsTooSmall,
            reach.cellsWithRt);
    }
}

void PrintCountsAndSlopes(std::ostream& out, const std::vector<ParticipantReport>& participants) {
    out << "\n"
        << Printf("%-20s %6s %6s %6s %9s %7s   %-13s %7s %7s %7s\n", "participant", "trials",
                  "valid", "misses", "cancelled", "correct", "slope ms/deg:", "eye 1", "eye 2",
                  "both");
    for (const ParticipantReport& p : participants) {
        out << Printf("%-20s %6d %6d %6d %9d %7d   %13s", p.id.c_str(), p.counts.trials,
                      p.counts.valid, p.counts.misses, p.counts.cancelled, p.counts.correct, "")
            << " " << RightAligned(p.slopes.eye[0].slope, 4, 7) << " "
            << RightAligned(p.slopes.eye[1].slope, 4, 7) << " "
            << RightAligned(p.slopes.both.slope, 4, 7) << "\n";
    }
}

void PrintPooledFiles(std::ostream& out, const PooledFiles& pooled) {
    out << "\nFiles pooled per participant:\n";
    for (std::size_t i = 0; i < pooled.participants.size(); ++i) {
        out << "  " << pooled.participants[i].id << ":";
        for (const std::string& path : pooled.paths[i]) {
            out << " " << path;
        }
        out << "\n";
    }
}

void PrintParticipants(std::ostream& out, const ReportOptions& options,
                       const ParticipantLabels& labels, const PooledFiles& pooled) {
    if (!pooled.participants.empty()) {
        PrintCountsAndSlopes(out, pooled.participants);
        if (options.participant) {
            PrintPooledFiles(out, pooled);
        }
    }
    if (!labels.notes.empty()) {
        out << "\nSame file name, separate participants:\n";
        for (const std::string& note : labels.notes) {
            out << "  " << note << "\n";
        }
    }
}

// `nLabel` heads the count column: participants (N) or trials (n).
void PrintCellTable(std::ostream& out, const ShownCells& cells, const char* nLabel) {
    out << Printf("  %9s   %13s %7s %3s %9s   %13s %7s %3s %9s\n", "disparity", "eye 1 RT (ms)",
                  "SE", nLabel, "accuracy", "eye 2 RT (ms)", "SE", nLabel, "accuracy");
    for (int d = 0; d < kDisparityCount; ++d) {
        out << Printf("  %5d deg", kDisparities[static_cast<std::size_t>(d)]);
        for (int e = 0; e < kEyeCount; ++e) {
            const ShownCell& c = cells[static_cast<std::size_t>(e * kDisparityCount + d)];
            out << "   " << RightAligned(c.rt.mean, 2, 13) << " " << RightAligned(c.rt.se, 2, 7)
                << Printf(" %3d ", c.rt.n) << RightAligned(c.accuracy, 4, 9);
        }
        out << "\n";
    }
}

void PrintGroup(std::ostream& out, const GroupReport& group) {
    out << "\nGroup: mean of participant means (N = participants with data in the cell)\n";
    PrintCellTable(out, Shown(group.cells), "N");
    out << Printf(
        "  within-subject 95%% CIs over the participants with all five cells of "
        "the eye: eye 1 N = %d, eye 2 N = %d\n",
        group.within[0].n, group.within[kDisparityCount].n);
    out << FormatSlopeTestsText(group.slopeTests);
}

void PrintWithoutData(std::ostream& out, const std::vector<std::string>& paths) {
    out << "\nNo usable trial in:";
    for (const std::string& path : paths) {
        out << " " << path;
    }
    out << "\n";
}

}  // namespace

void PrintSummary(std::ostream& out, const ReportOptions& options, const ParticipantLabels& labels,
                  const ReadFiles& read, const PooledFiles& pooled,
                  const std::optional<GroupReport>& group) {
    PrintOpening(out, options, pooled);
    PrintParticipants(out, options, labels, pooled);
    if (group) {
        PrintGroup(out, *group);
    } else if (pooled.participants.size() == 1) {
        const ParticipantReport& p = pooled.participants.front();
        out << "\n" << p.id << " (n = correct trials)\n";
        PrintCellTable(out, Shown(p.cells), "n");
    }
    if (!read.withoutData.empty()) {
        PrintWithoutData(out, read.withoutData);
    }
    if (pooled.participants.empty()) {
        out << "\nNothing usable was read: no tables or plots written.\n";
    }
}
