#pragma once

#include <array>
#include <optional>
#include <string>
#include <vector>

#include "ParticipantFile.h"
#include "Statistics.h"
#include "WithinSubjectInterval.h"

// A participant the report has data for: a record file with at least one usable trial.
struct ParticipantReport {
    std::string id;  // file name without folder and extension, safe in file names and CSV
    TrialCounts counts;
    CellTable cells;
    Slopes slopes;
};

// What the summary's tables and the plots show of a cell, for a participant or for the group.
struct ShownCell {
    Descriptives rt;
    std::optional<double> accuracy;
};

using ShownCells = std::array<ShownCell, kEyeCount * kDisparityCount>;

// `cells` is a participant's CellTable or the GroupTable.
template <typename Cells>
ShownCells Shown(const Cells& cells) {
    ShownCells shown{};
    for (std::size_t i = 0; i < shown.size(); ++i) {
        shown[i] = {cells[i].rt, cells[i].accuracy};
    }
    return shown;
}

// Fixed decimals, empty when there is no value. "-0.00" is written "0.00" so that a value that
// rounds to zero reads the same from either side.
std::string FormatFixed(std::optional<double> value, int decimals);

// One row per participant x eye x disparity.
std::string FormatCellsCsv(const std::vector<ParticipantReport>& participants);

// One row per eye x disparity, over participant means, with the within-subject intervals.
std::string FormatGroupCsv(const GroupTable& group, const WithinSubjectTable& within);

// One row per participant x eye (1, 2, both).
std::string FormatSlopesCsv(const std::vector<ParticipantReport>& participants);
