#pragma once

#include <cstdio>
#include <string>
#include <vector>

#include "BenchAudio.h"
#include "BenchFigures.h"
#include "BenchTrial.h"

void PrintTable(const std::vector<Row>& rows, std::FILE* out);

// Every trial's raw times, for a look beyond the table: trials.tsv, blink.tsv, audio.tsv and
// summary.tsv in folder (made if missing).
void WriteRawTimes(const std::string& folder, const std::vector<Trial>& trials,
                   const std::vector<BlinkEdge>& blink, const std::vector<Beep>& beeps,
                   const std::vector<CueStart>& starts, const std::vector<Row>& rows);
