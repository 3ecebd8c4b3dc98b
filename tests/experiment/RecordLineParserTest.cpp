// The scan, the line splitter and the streaming reader are compared with sscanf and fgets by
// tests/fuzz/LineParserFuzz.cpp; what it does not compare stays here.
#include <gtest/gtest.h>

#include "RecordLineParser.h"
#include "TrialLine.h"

TEST(TrialLine, FormatPadsLikeTheRecordFile) {
    EXPECT_EQ((TrialLine{9, 16, 2, 8, 999.5, 0, 0, 0, 1}.Format()), "09 16 2 8 1000 0 0 0 1");
    EXPECT_EQ((TrialLine{1, 1, 1, 1, 1e300, 1, 1, 1, 0}.Format()).size(), 301u + 18u);
    EXPECT_FALSE(RecordLineParser::IsParameterLine("# param:1 2"));
}
