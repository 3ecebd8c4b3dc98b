#pragma once

#include <optional>
#include <vector>

#include "ReportTables.h"
#include "SlopeTest.h"
#include "WithinSubjectInterval.h"

// The figures over two or more participants.
struct GroupReport {
    GroupTable cells{};
    WithinSubjectTable within{};
    std::vector<SlopeTest> slopeTests;  // eye1, eye2, both
};

// None with fewer than two participants.
std::optional<GroupReport> ReportGroup(const std::vector<ParticipantReport>& participants);
