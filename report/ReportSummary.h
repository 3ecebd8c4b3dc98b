#pragma once

#include <iosfwd>
#include <optional>
#include <vector>

#include "GroupReport.h"
#include "ParticipantLabels.h"
#include "ReportInputs.h"
#include "ReportOptions.h"

// The summary on standard output up to the list of outputs: the files and participants, what
// the figures use, each participant's counts and slopes, the group's (or the only
// participant's) cells and the files without a usable trial; or that nothing was usable.
void PrintSummary(std::ostream& out, const ReportOptions& options, const ParticipantLabels& labels,
                  const ReadFiles& read, const PooledFiles& pooled,
                  const std::optional<GroupReport>& group);
