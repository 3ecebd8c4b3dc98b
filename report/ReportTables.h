#pragma once

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

// Fixed decimals, empty when there is no value. "-0.00" is written "0.00" so that a value that
// rounds to zero reads the same from either side.
std::string FormatFixed(std::optional<double> value, int decimals);

// One row per participant x eye x disparity.
std::string FormatCellsCsv(const std::vector<ParticipantReport>& participants);

// One row per eye x disparity, over participant means, with the within-subject intervals.
std::string FormatGroupCsv(const GroupTable& group, const WithinSubjectTable& within);

// One row per participant x eye (1, 2, both).
std::string FormatSlopesCsv(const std::vector<ParticipantReport>& participants);

// Participant ids from paths: the base name without its extension, characters other than
// letters, digits, '.', '-' and '_' replaced by '_', and a suffix "_2", "_3", ... where a name
// repeats. "group" is kept for the pooled outputs.
std::vector<std::string> ParticipantIds(const std::vector<std::string>& paths);
