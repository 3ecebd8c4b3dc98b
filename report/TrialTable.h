#pragma once

#include <string>
#include <vector>

#include "ParticipantFile.h"
#include "Statistics.h"

// One record file's trials with the participant they count for and each trial's verdict.
struct TrialTableFile {
    const ParticipantFile* file = nullptr;
    std::string participant;
    std::vector<TrialUse> uses;  // uses[i] for file->trials[i]
};

// The columns of the trial table, in order.
const std::vector<std::string>& TrialColumns();

// One row per trial of the file, a value per column; empty where the file does not say.
std::vector<std::vector<std::string>> TrialRows(const TrialTableFile& file);

// The trial table as UTF-8 CSV (header row, LF, no BOM), files in the order given.
std::string FormatTrialsCsv(const std::vector<TrialTableFile>& files);

// asctime's text ("Sun Dec  6 22:17:43 2026") as ISO 8601 local time ("2026-12-06T22:17:43");
// empty when it is not in that form. Independent of the locale.
std::string IsoFromAsctime(const std::string& text);

// The cue file that played for a target eye as the record file numbers it (1, 2) under a
// parameter line's swap flag.
std::string CueFileOf(int fileEye, int swapSides);

// The text with every byte that is not part of valid UTF-8 replaced by U+FFFD, so that a
// file name in another encoding cannot spoil a UTF-8 table.
std::string ValidUtf8(const std::string& text);
