#pragma once

#include <optional>
#include <string>
#include <vector>

#include "BenchTrial.h"

// Reaction times of a record file's trial lines, in file order, read as orvi reads them back.
std::vector<double> ReadRecordTimes(const std::string& path);

// Gives the trials of one run, in order, the reaction times of its record file.
void MatchRecordTimes(const std::vector<double>& times, int run, std::vector<Trial>& trials);

// The settings the program in `folder` runs with, read as orvi reads its orvi.ini; none when
// the file is not there.
std::optional<BenchSettings> ReadBenchSettings(const std::string& folder);
