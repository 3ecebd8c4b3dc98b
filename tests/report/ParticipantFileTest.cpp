#include <gtest/gtest.h>

#include <string>
#include <tuple>
#include <vector>

#include "ParticipantFile.h"
#include "PosixFileSystem.h"

namespace {

// "line: message" for each problem, one a line.
std::string Problems(const ParticipantFile& file) {
    std::string text;
    for (const auto& p : file.problems) text += std::to_string(p.line) + ": " + p.message + "\n";
    return text;
}

}  // namespace

// Counted by hand; markers, headers and notes are passed over silently.
//   s01 (LF): 16 valid (one wrong eye) + 2 misses + 1 cancelled.
//   s02 (CRLF, Shift_JIS header, repeated open markers): 16 valid (one wrong eye) + 1 miss +
//     2 cancelled (one a miss).
//   record-windows: line 15 torn by a crash ("10 14 2### open trial ..."), 3 fields; of the
//     other 11, cancelled 05 and 08, miss 03, valid 8 with 04 and 11 on the wrong eye.
TEST(ParticipantFile, CountsTrialsOfBothWriters) {
    const std::tuple<const char*, std::vector<int>, const char*> cases[] = {
        {"report-s01.txt", {19, 16, 2, 1, 15}, ""},
        {"report-s02.txt", {19, 16, 1, 2, 15}, ""},
        {"record-windows.txt", {11, 8, 1, 2, 6}, "15: trial line with 3 of 9 fields\n"},
    };
    for (const auto& [name, counts, problems] : cases) {
        PosixFileSystem files;
        const ParticipantFile file =
            ReadParticipantFile(files, std::string(ORVI_TEST_DATA) + "/" + name);
        const TrialCounts n = file.Counts();
        EXPECT_EQ(std::vector<int>({n.trials, n.valid, n.misses, n.cancelled, n.correct}), counts)
            << name;
        EXPECT_EQ(Problems(file), problems) << name;
    }
}

TEST(ParticipantFile, ChecksEveryFieldRange) {
    const std::pair<TrialLine, std::string> cases[] = {
        {{1, 0, 1, 0, 500, 1, 1, 1, 0}, "item 0 outside 1-16"},
        {{1, 1, 0, 1, 500, 1, 1, 1, 0}, "eye 0 outside 1-2"},
        {{1, 9, 2, 0, 500, 2, 1, 1, 0}, "viewpoint 0 outside 1-8"},
        {{1, 16, 2, 9, 500, 2, 1, 1, 0}, "viewpoint 9 outside 1-8"},
        {{1, 9, 2, 1, 500, -1, 0, 0, 0}, "response -1 outside 0-2"},
        {{1, 9, 2, 1, 500, 2, 3, 1, 0}, "correct flag 3 is not 0 or 1"},
        {{1, 9, 2, 1, 500, 2, 1, -1, 0}, "valid flag -1 is not 0 or 1"},
        {{1, 9, 2, 1, 500, 0, 0, 1, 0}, "valid flag 1 does not match response 0"},
        {{1, 9, 2, 1, 500, 0, 1, 0, 0}, "correct flag 1 does not match eye 2 and response 0"},
        {{1, 9, 2, 1, 500, 2, 0, 1, 0}, "correct flag 0 does not match eye 2 and response 2"},
        {{1, 16, 2, 8, 0, 2, 1, 1, 1}, ""},
        {{1, 1, 1, 1, 1890, 0, 0, 0, 0}, ""},
    };
    for (const auto& [line, message] : cases) {
        EXPECT_EQ(CheckTrialLine(line), message) << line.Format();
    }
}

// A line is read in pieces of 511 characters: the piece after them is a line of its own (here a
// trial) with the same line number.
TEST(ParticipantFile, TakesLongLinesInPiecesAndCountsLinesAcrossCrlf) {
    const std::string longLine = "#" + std::string(510, 'a') + "02 12 2 4  620 2 1 1 0";
    ParticipantFile file;
    ScanRecordContent(
        "01 05 1 5  500 1 1 1 0\r\n" + longLine + "\r\n\r\n04 12 2 4 620\r\n05 12 2 4  620 2 1 1 0",
        file);
    ASSERT_EQ(file.trials.size(), 3u);
    EXPECT_EQ(file.trials[1].number, 2);
    EXPECT_EQ(file.trials[1].item, 12);
    EXPECT_EQ(Problems(file), "4: trial line with 5 of 9 fields\n");
}
