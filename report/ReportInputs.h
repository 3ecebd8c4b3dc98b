#pragma once

#include <iosfwd>
#include <string>
#include <vector>

#include "FileSystem.h"
#include "ParticipantFile.h"
#include "ParticipantLabels.h"
#include "ReportOptions.h"
#include "ReportTables.h"
#include "SdCutReach.h"
#include "TrialTable.h"

// The record files that could be read, with their participants, in the order given.
struct ReadFiles {
    std::vector<ParticipantFile> files;
    std::vector<std::string> ids;          // ids[i] is files[i]'s participant
    std::vector<std::string> withoutData;  // paths of the files without a usable trial
    bool complete = true;                  // every file and every line could be used
};

// The files pooled by participant.
struct PooledFiles {
    std::vector<TrialTableFile> tables;           // tables[i] is ReadFiles::files[i]'s trial table
    std::vector<ParticipantReport> participants;  // those with data, as they first appear
    std::vector<std::vector<std::string>> paths;  // paths[i]: participants[i]'s files
    SdCutReach sdCutReach;                        // filled with an SD cut only
};

// Reads the files of the labelled inputs; each file or line that cannot be used is told on
// `err`.
ReadFiles ReadInputFiles(const ReportOptions& options, const ParticipantLabels& labels,
                         FileSystem& files, std::ostream& err);

// The result points into `read`, which must outlive it.
PooledFiles PoolFiles(const ReadFiles& read, const Trimming& trimming);
