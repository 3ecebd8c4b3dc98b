#include <gtest/gtest.h>

#include <string>

#include "ParticipantFile.h"
#include "PosixFileSystem.h"

namespace {

ParticipantFile ReadData(const std::string& name) {
    PosixFileSystem files;
    return ReadParticipantFile(files, std::string(ORVI_TEST_DATA) + "/" + name);
}

ParticipantFile Scan(const std::string& content) {
    ParticipantFile file;
    ScanRecordContent(content, file);
    return file;
}

void ExpectCounts(const TrialCounts& c, int trials, int valid, int misses, int cancelled,
                  int correct) {
    EXPECT_EQ(c.trials, trials);
    EXPECT_EQ(c.valid, valid);
    EXPECT_EQ(c.misses, misses);
    EXPECT_EQ(c.cancelled, cancelled);
    EXPECT_EQ(c.correct, correct);
}

}  // namespace

// s01 (written by orvi, LF): 19 lines = 16 valid (one wrong-eye click) + 2 misses + 1 cancelled.
// s02 (Windows: CRLF, Shift_JIS header, open/close/open/open markers): 19 lines = 16 valid (one
// wrong-eye click) + 1 miss + 2 cancelled (one of them a miss). Markers and headers are silent.
TEST(ParticipantFile, CountsTrialsOfBothWritersSilently) {
    const ParticipantFile s01 = ReadData("report-s01.txt");
    ASSERT_TRUE(s01.readable);
    EXPECT_TRUE(s01.problems.empty());
    ExpectCounts(s01.Counts(), 19, 16, 2, 1, 15);

    const ParticipantFile s02 = ReadData("report-s02.txt");
    ASSERT_TRUE(s02.readable);
    EXPECT_TRUE(s02.problems.empty());
    ExpectCounts(s02.Counts(), 19, 16, 1, 2, 15);
    EXPECT_EQ(s02.trials.back().reactionTime, 640.0);
    EXPECT_EQ(s02.trials[6].reactionTime, 1040.0);  // four digits, no padding
}

// The original program's file with a line torn by a crash: "10 14 2### open trial ..." on line
// 15 is a trial line (it starts with a digit) with three fields; the rest is used.
// Usable: 11 lines; cancelled 05 and 08; miss 03; valid 8 of which 04 and 11 hit the wrong eye.
TEST(ParticipantFile, ReportsTheTornLineOfAWindowsFile) {
    const ParticipantFile file = ReadData("record-windows.txt");
    ASSERT_EQ(file.problems.size(), 1u);
    EXPECT_EQ(file.problems[0].line, 15);
    EXPECT_EQ(file.problems[0].message, "trial line with 3 of 9 fields");
    ExpectCounts(file.Counts(), 11, 8, 1, 2, 6);
}

TEST(ParticipantFile, NamesEachBadLineAndKeepsTheGoodOnes) {
    const ParticipantFile file = ReadData("report-bad.txt");
    const std::pair<int, const char*> expected[] = {
        {4, "trial line with 7 of 9 fields"},
        {5, "item 17 outside 1-16"},
        {6, "item 10 does not match eye 1 and viewpoint 2 (item 2 expected)"},
        {7, "response 3 outside 0-2"},
        {8, "valid flag 0 does not match response 2"},
        {9, "correct flag 1 does not match eye 2 and response 1"},
        {10, "negative reaction time -40"},
        {11, "cancel flag 2 is not 0 or 1"},
    };
    ASSERT_EQ(file.problems.size(), std::size(expected));
    for (std::size_t i = 0; i < std::size(expected); ++i) {
        EXPECT_EQ(file.problems[i].line, expected[i].first);
        EXPECT_EQ(file.problems[i].message, expected[i].second);
    }
    // Lines 12-14 (a note, a line starting with a blank, an empty line) are passed over.
    ASSERT_EQ(file.trials.size(), 2u);
    EXPECT_EQ(file.trials[1].number, 10);
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

// A line is taken in pieces of 511 characters, as the experiment reads it: the piece after 511
// characters is a line of its own (here a trial), with the same line number.
TEST(ParticipantFile, TakesLongLinesInPiecesAndCountsLinesAcrossCrlf) {
    const std::string longLine = "#" + std::string(510, 'a') + "02 12 2 4  620 2 1 1 0";
    const ParticipantFile file = Scan("01 05 1 5  500 1 1 1 0\r\n" + longLine +
                                      "\r\n\r\n04 12 2 4 620\r\n05 12 2 4  620 2 1 1 0");
    ASSERT_EQ(file.trials.size(), 3u);
    EXPECT_EQ(file.trials[1].number, 2);
    EXPECT_EQ(file.trials[1].item, 12);
    ASSERT_EQ(file.problems.size(), 1u);
    EXPECT_EQ(file.problems[0].line, 4);
    EXPECT_EQ(file.problems[0].message, "trial line with 5 of 9 fields");
}

TEST(ParticipantFile, SaysWhyAFileCannotBeRead) {
    const ParticipantFile missing = ReadData("report-no-such-file.txt");
    EXPECT_FALSE(missing.readable);
    EXPECT_EQ(missing.readError, "cannot open (No such file or directory)");

    PosixFileSystem files;
    const ParticipantFile folder = ReadParticipantFile(files, ORVI_TEST_DATA);
    EXPECT_FALSE(folder.readable);
    EXPECT_EQ(folder.readError, "cannot read (Is a directory)");
}
