#include "ReportTables.h"

#include <cstdio>

namespace {

constexpr int kMsDecimals = 2;
constexpr int kAccuracyDecimals = 4;
constexpr int kSlopeDecimals = 4;

const char* const kEyeNames[] = {"1", "2", "both"};

std::string FitColumns(const LineFit& fit) {
    return std::to_string(fit.points) + "," + FormatFixed(fit.slope, kSlopeDecimals) + "," +
           FormatFixed(fit.intercept, kMsDecimals);
}

std::string RtColumns(const Descriptives& rt) {
    return FormatFixed(rt.mean, kMsDecimals) + "," + FormatFixed(rt.median, kMsDecimals) + "," +
           FormatFixed(rt.sd, kMsDecimals) + "," + FormatFixed(rt.se, kMsDecimals);
}

}  // namespace

std::string FormatFixed(std::optional<double> value, int decimals) {
    if (!value) {
        return std::string();
    }
    // %f writes every integer digit: 1e308 takes over 300 characters.
    const int size = std::snprintf(nullptr, 0, "%.*f", decimals, *value);
    std::string result(static_cast<std::size_t>(size > 0 ? size : 0), '\0');
    std::snprintf(&result[0], result.size() + 1, "%.*f", decimals, *value);
    if (result.size() > 1 && result[0] == '-' &&
        result.find_first_not_of("-0.") == std::string::npos) {
        result.erase(0, 1);
    }
    return result;
}

std::string FormatCellsCsv(const std::vector<ParticipantReport>& participants) {
    std::string csv =
        "participant,eye,disparity_deg,n_valid,n_correct,accuracy,n_rt,n_trimmed,"
        "mean_rt_ms,median_rt_ms,sd_rt_ms,se_rt_ms\n";
    for (const ParticipantReport& p : participants) {
        for (const Cell& cell : p.cells) {
            csv += p.id + "," + std::to_string(cell.eye) + "," + std::to_string(cell.disparity) +
                   "," + std::to_string(cell.valid) + "," + std::to_string(cell.correct) + "," +
                   FormatFixed(cell.accuracy, kAccuracyDecimals) + "," + std::to_string(cell.rt.n) +
                   "," + std::to_string(cell.trimmed) + "," + RtColumns(cell.rt) + "\n";
        }
    }
    return csv;
}

std::string FormatGroupCsv(const GroupTable& group, const WithinSubjectTable& within) {
    std::string csv =
        "eye,disparity_deg,n_participants,mean_rt_ms,median_rt_ms,sd_rt_ms,se_rt_ms,"
        "n_accuracy,mean_accuracy,n_within,ci95_within_ms\n";
    for (std::size_t i = 0; i < group.size(); ++i) {
        const GroupCell& cell = group[i];
        csv += std::to_string(cell.eye) + "," + std::to_string(cell.disparity) + "," +
               std::to_string(cell.rt.n) + "," + RtColumns(cell.rt) + "," +
               std::to_string(cell.accuracyN) + "," +
               FormatFixed(cell.accuracy, kAccuracyDecimals) + "," + std::to_string(within[i].n) +
               "," + FormatFixed(within[i].halfWidth, kMsDecimals) + "\n";
    }
    return csv;
}

std::string FormatSlopesCsv(const std::vector<ParticipantReport>& participants) {
    std::string csv = "participant,eye,n_cells,slope_ms_per_deg,intercept_ms\n";
    for (const ParticipantReport& p : participants) {
        csv += p.id + "," + kEyeNames[0] + "," + FitColumns(p.slopes.eye[0]) + "\n";
        csv += p.id + "," + kEyeNames[1] + "," + FitColumns(p.slopes.eye[1]) + "\n";
        csv += p.id + "," + kEyeNames[2] + "," + FitColumns(p.slopes.both) + "\n";
    }
    return csv;
}
