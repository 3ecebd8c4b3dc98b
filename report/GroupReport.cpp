#include "GroupReport.h"

namespace {

// The participants' slopes of eye 1, eye 2 (k = 0, 1) or both eyes (k = 2), where they have one.
std::vector<double> SlopesOf(const std::vector<ParticipantReport>& participants, std::size_t k) {
    std::vector<double> slopes;
    for (const ParticipantReport& p : participants) {
        const LineFit& fit = k < kEyeCount ? p.slopes.eye[k] : p.slopes.both;
        if (fit.slope) {
            slopes.push_back(*fit.slope);
        }
    }
    return slopes;
}

}  // namespace

std::optional<GroupReport> ReportGroup(const std::vector<ParticipantReport>& participants) {
    if (participants.size() < 2) {
        return std::nullopt;
    }
    std::vector<CellTable> tables;
    for (const ParticipantReport& p : participants) {
        tables.push_back(p.cells);
    }
    GroupReport group;
    group.cells = PoolParticipants(tables);
    group.within = WithinSubjectIntervals(tables);
    static const char* const kNames[] = {"eye1", "eye2", "both"};
    for (std::size_t k = 0; k < 3; ++k) {
        group.slopeTests.push_back(TestSlopesAgainstZero(kNames[k], SlopesOf(participants, k)));
    }
    return group;
}
