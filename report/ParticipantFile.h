#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "FileSystem.h"
#include "TrialLine.h"

// A line of a record file that holds a trial the report cannot use.
struct LineProblem {
    int line;             // counted from 1, as an editor shows it
    std::string message;  // e.g. "trial line with 7 of 9 fields"
    // Later lines with a complaint of this kind (the same words but for numbers and quoted
    // text) that were counted but not kept: only the first few of each kind are, so that
    // memory does not grow with the number of bad lines.
    int more = 0;
};

struct TrialCounts {
    int trials = 0;     // usable trial lines: valid + misses + cancelled
    int valid = 0;      // not cancelled, an eye was hit
    int misses = 0;     // not cancelled, no eye hit
    int cancelled = 0;  // cancel flag 1, whatever else the line says
    int correct = 0;    // valid and the target eye was hit
};

// Where a usable trial line stands in its file.
struct TrialOrigin {
    int line;  // counted from 1
    int run;   // open markers seen up to this line, from 1; 0 when none
};

// One record file: one participant.
struct ParticipantFile {
    std::string path;       // as named on the command line
    bool readable = false;  // false: readError says why, nothing else is filled
    std::string readError;
    std::vector<TrialLine> trials;     // usable trial lines, in file order (file numbering)
    std::vector<TrialOrigin> origins;  // origins[i] is where trials[i] stands
    // The time text after "### open trial  : " of each open marker, run r at [r - 1], as written
    // (asctime's form, e.g. "Mon Jun 12 10:02:11 2000").
    std::vector<std::string> runOpened;
    // The seven values of the first parameter line, as the experiment takes them; empty when the
    // file has none. Values that did not convert are absent from the end.
    std::vector<int> parameters;
    std::vector<LineProblem> problems;  // the first kProblemsKept of each kind, in file order

    static constexpr int kProblemsKept = 5;

    TrialCounts Counts() const;
};

// Reads the trial lines of record-file content exactly as the experiment reads a continued
// file (512-byte pieces; a piece is a trial line when its first character is a digit), then
// keeps the lines whose values the experiment could have written. Markers, the parameter line,
// the column header and foreign lines are passed over, as the experiment does.
void ScanRecordContent(std::string_view content, ParticipantFile& file);

// The same from a stream, holding only a bounded window of it.
void ScanRecord(ByteSource& source, ParticipantFile& file);

ParticipantFile ReadParticipantFile(FileSystem& files, const std::string& path);

// Reaction times above this cannot come from a run (it is almost three hours).
inline constexpr double kMaxReactionTimeMs = 1e7;

// Empty when the nine fields of a trial line are consistent, else the first fault found.
std::string CheckTrialLine(const TrialLine& line);
