#pragma once

#include <optional>
#include <string>
#include <vector>

// Who each input file belongs to.
struct ParticipantLabels {
    // Per input file: the participant's id, safe in file names and CSV; empty when the file's
    // name did not match the --participant pattern.
    std::vector<std::string> ids;
    // For the summary: files that share a name but stay apart, one line per clash.
    std::vector<std::string> notes;
};

// Empty when `pattern` is an ECMAScript regex with a capture group, else why it cannot be used.
std::string CheckParticipantPattern(const std::string& pattern);

// Without a pattern every file is its own participant, named after its file name without folder
// and extension; same-named files in different folders get "_2", "_3", ... and a note. With a
// pattern, the first capture group of its first match in the file name (without folder) is the
// label, and files with the same label are one participant.
ParticipantLabels LabelParticipants(const std::vector<std::string>& paths,
                                    const std::optional<std::string>& pattern);

// The BIDS label of a participant id: its letters and digits.
std::string BidsLabel(const std::string& id);

// Empty when every id gives a distinct, non-empty BIDS label, else the first clash, naming both.
std::string CheckBidsLabels(const std::vector<std::string>& ids);
