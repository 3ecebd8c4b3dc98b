#pragma once

#include <string>
#include <vector>

#include "TrialTable.h"

// A file or folder of the dataset: its path inside the dataset's folder ('/'-separated).
struct DatasetFile {
    std::string path;
    std::string text;
    bool folder = false;
};

// The trial tables of `files` as a BIDS behavioural dataset (BIDS 1.9, raw): description,
// README, participants table and dictionary, the task's column dictionary, and one _beh.tsv per
// record file with trials, numbered _run-<n> in input order where a participant has several.
// Participant ids must have passed CheckBidsLabels. Folders come before the files in them.
std::vector<DatasetFile> BidsDataset(const std::vector<TrialTableFile>& files,
                                     const std::string& version);

// The first entry inside `dir`'s sub-* folders that `dataset` does not hold, relative to `dir`;
// empty when there is none or `dir` does not exist. Left there, it would join the dataset as a
// participant or run that is not among these.
std::string ForeignSubjectEntry(const std::string& dir, const std::vector<DatasetFile>& dataset);

// Every file path inside the dataset's folder that BidsDataset could write for files of these
// participants (ids in input order), whichever of the files turn out to hold trials: for
// checking the outputs before anything is read or written.
std::vector<std::string> PossibleBidsPaths(const std::vector<std::string>& ids);
