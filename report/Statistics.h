#pragma once

#include <array>
#include <optional>
#include <vector>

#include "Descriptives.h"
#include "TrialItem.h"
#include "TrialLine.h"

inline constexpr int kDisparityCount = 5;
inline constexpr std::array<int, kDisparityCount> kDisparities = {0, 45, 90, 135, 180};

// Degrees between a viewpoint as the record file numbers it (1-8, 5 upright) and upright.
int DisparityDegrees(int fileViewpoint);

// Index into kDisparities.
int DisparityIndex(int fileViewpoint);

// Rules that drop correct trials from the reaction-time figures (never from accuracy).
struct Trimming {
    std::optional<double> minRt;  // drop reaction times below this (ms)
    std::optional<double> sdCut;  // then drop those more than this many SD from the cell mean
};

// One target eye at one disparity, for one participant.
struct Cell {
    int eye = 1;  // 1 or 2, as the record file numbers it
    int disparity = 0;
    int valid = 0;                   // not cancelled, an eye was hit
    int correct = 0;                 // of those, the target eye
    int trimmed = 0;                 // correct trials dropped by the trimming rules
    std::optional<double> accuracy;  // correct / valid
    Descriptives rt;                 // reaction times of the correct trials kept
};

// The ten cells (eye-major: eye 1 at 0..180 degrees, then eye 2) of one participant.
using CellTable = std::array<Cell, kEyeCount * kDisparityCount>;

// Whether a trial enters the reaction-time figures, and if not, the first rule that kept it out.
enum class TrialUse { Used, Cancelled, Miss, Error, MinRt, SdCut };

// "" for a used trial, else "cancelled", "miss", "error", "min_rt" or "sd_cut".
const char* ExclusionName(TrialUse use);

// One verdict per trial, in the order given. The cells of SummarizeCells are built from these
// verdicts, so a trial table that shows them agrees with the statistics by construction.
std::vector<TrialUse> ClassifyTrials(const std::vector<TrialLine>& trials,
                                     const Trimming& trimming);

CellTable SummarizeCells(const std::vector<TrialLine>& trials, const Trimming& trimming);

struct LineFit {
    int points = 0;
    std::optional<double> slope;  // at least two distinct x
    std::optional<double> intercept;
};

// Ordinary least squares of y on x.
LineFit FitLine(const std::vector<double>& x, const std::vector<double>& y);

// Mean RT against disparity, over the cells that have a mean: per eye, and both eyes' cells
// together (each cell one point).
struct Slopes {
    std::array<LineFit, kEyeCount> eye;
    LineFit both;
};

Slopes FitSlopes(const CellTable& cells);

// Mean of participant means per cell: each participant weighs the same, however many trials
// they contributed.
struct GroupCell {
    int eye = 1;
    int disparity = 0;
    Descriptives rt;  // over participant means; n = participants with a mean in the cell
    std::optional<double> accuracy;  // mean of participant accuracies
    int accuracyN = 0;
};

using GroupTable = std::array<GroupCell, kEyeCount * kDisparityCount>;

GroupTable PoolParticipants(const std::vector<CellTable>& participants);
