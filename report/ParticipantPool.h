#pragma once

#include <string>
#include <vector>

#include "ParticipantFile.h"

// The record files of one participant with their trials pooled.
struct ParticipantPool {
    std::string id;
    std::vector<std::size_t> members;  // indices of its files, in input order
    std::vector<TrialLine> trials;     // their trials, file after file
    TrialCounts counts;                // summed over its files
};

// Pools files by participant (ids[i] is files[i]'s), in the order participants first appear.
std::vector<ParticipantPool> PoolByParticipant(const std::vector<ParticipantFile>& files,
                                               const std::vector<std::string>& ids);
