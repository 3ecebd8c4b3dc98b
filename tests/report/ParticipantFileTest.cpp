#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

#include "ParticipantFile.h"

namespace {

// "line: message" for each problem, one a line.
std::string Problems(const ParticipantFile& file) {
    std::string text;
    for (const auto& p : file.problems) {
        text += std::to_string(p.line) + ": " + p.message + "\n";
        if (p.more > 0) text += "+" + std::to_string(p.more) + "\n";
    }
    return text;
}

}  // namespace

TEST(ParticipantFile, ChecksEveryFieldRange) {
    const std::pair<TrialLine, std::string> cases[] = {
        {{1, 0, 1, 0, 500, 1, 1, 1, 0}, "item 0 outside 1-16"},
        {{1, 1, 0, 1, 500, 1, 1, 1, 0}, "eye 0 outside 1-2"},
        {{1, 9, 2, 0, 500, 2, 1, 1, 0}, "viewpoint 0 outside 1-8"},
        {{1, 16, 2, 9, 500, 2, 1, 1, 0}, "viewpoint 9 outside 1-8"},
        {{4, 10, 1, 2, 700, 1, 1, 1, 0},
         "item 10 does not match eye 1 and viewpoint 2 (item 2 expected)"},
        {{8, 13, 2, 5, -40, 2, 1, 1, 0}, "negative reaction time -40"},
        {{1, 9, 2, 1, 500, 2, 1, -1, 0}, "valid flag -1 is not 0 or 1"},
        {{1, 9, 2, 1, 500, -1, 0, 0, 0}, "response -1 outside 0-2"},
        {{5, 13, 2, 5, 640, 3, 0, 1, 0}, "response 3 outside 0-2"},
        {{1, 9, 2, 1, 500, 2, 3, 1, 0}, "correct flag 3 is not 0 or 1"},
        {{1, 9, 2, 1, 500, 0, 0, 1, 0}, "valid flag 1 does not match response 0"},
        {{1, 9, 2, 1, 500, 0, 1, 0, 0}, "correct flag 1 does not match eye 2 and response 0"},
        {{1, 9, 2, 1, 500, 2, 0, 1, 0}, "correct flag 0 does not match eye 2 and response 2"},
        {{1, 5, 1, 5, 10000000.5, 1, 1, 1, 0}, "reaction time 1e+07 beyond 10000000 ms"},
        {{1, 5, 1, 5, std::nan(""), 1, 1, 1, 0}, "reaction time nan beyond 10000000 ms"},
        {{1, 5, 1, 5, 10000000, 1, 1, 1, 0}, ""},
        {{1, 16, 2, 8, 0, 2, 1, 1, 1}, ""},
        {{1, 1, 1, 1, 1890, 0, 0, 0, 0}, ""},
    };
    for (const auto& [line, message] : cases) {
        EXPECT_EQ(CheckTrialLine(line), message) << line.Format();
    }
}

// Each field is named by its place and what it holds; only a line that has fewer than nine
// fields is counted. After 5 complaints of one kind (alike but for numbers and quoted text) the
// rest are only counted, on the 5th.
TEST(ParticipantFile, SaysWhichFieldIsWrongAndSummarisesRepeats) {
    std::string content =
        "01 05 1 5 500 1 1\n"
        "01 05 1 x 500 1 1 1 0\n"
        "01 05 1 5 500abc 1 1 1 0 7\n"
        "01 05 1 5 5e999 1 1 1 0\n"
        "01 99999999999 1 5 500 1 1 1 0\n"
        "01 05 1 5 " +
        std::string(30, '9') + "x 1 1 1 0\n01 05 1### 5 500 1 1 1 0\n";  // torn by a crash
    for (int i = 0; i < 8; ++i) content += std::to_string(i + 1) + " 17\n";
    ParticipantFile file;
    ScanRecordContent(content + "01 05 1 5 1 1 1 1 0 and a note\n01 05 1", file);  // no line end
    EXPECT_EQ(Problems(file),
              "1: trial line with 7 of 9 fields\n"
              "2: field 4 (viewpoint) is not a whole number: \"x\"\n"
              "3: field 5 (reaction time) is not a number: \"500abc\"\n"
              "4: field 5 (reaction time) is out of range: \"5e999\"\n"
              "5: field 2 (item) is out of range: \"99999999999\"\n"
              "6: field 5 (reaction time) is not a number: \"999999999999999999999999...\"\n"
              "7: field 3 (eye) is not a whole number: \"1###\"\n"
              "8: trial line with 2 of 9 fields\n9: trial line with 2 of 9 fields\n"
              "10: trial line with 2 of 9 fields\n11: trial line with 2 of 9 fields\n+5\n");
    EXPECT_EQ(file.trials.size(), 1u);
}
