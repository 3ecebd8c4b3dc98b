#pragma once

#include "Statistics.h"

// No value in a sample of n lies more than (n - 1) / sqrt(n) sample SDs from the sample mean, so
// an SD cut of K can drop a trial only from a cell of n trials with (n - 1) / sqrt(n) > K. With
// one or two trials per cell in a run, most cuts cannot act at all; the report says so.
struct SdCutReach {
    int smallestN = 0;      // the smallest cell the cut can act on
    int cellsWithRt = 0;    // cells with at least one reaction time before the cut
    int cellsTooSmall = 0;  // of those, cells with fewer than smallestN
};

int SmallestCellForSdCut(double k);

// `beforeCut` summarises the cells with every rule but the SD cut applied.
void CountSdCutReach(const CellTable& beforeCut, double k, SdCutReach& reach);
