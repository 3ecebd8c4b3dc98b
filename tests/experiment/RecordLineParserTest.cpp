#include <gtest/gtest.h>

#include <cstdio>
#include <string>

#include "LineSplitter.h"
#include "RecordLineParser.h"
#include "TrialLine.h"

namespace {

TrialLine Sentinel() { return {-7, -7, -7, -7, -7.5, -7, -7, -7, -7}; }

void ExpectSameLine(const TrialLine& a, const TrialLine& b) {
    EXPECT_EQ(a.number, b.number);
    EXPECT_EQ(a.item, b.item);
    EXPECT_EQ(a.eye, b.eye);
    EXPECT_EQ(a.viewpoint, b.viewpoint);
    EXPECT_EQ(a.reactionTime, b.reactionTime);
    EXPECT_EQ(a.response, b.response);
    EXPECT_EQ(a.correct, b.correct);
    EXPECT_EQ(a.valid, b.valid);
    EXPECT_EQ(a.cancelled, b.cancelled);
}

}  // namespace

// For inputs whose numbers fit, the scan agrees with the C library's sscanf.
TEST(RecordLineParser, AgreesWithSscanfWhereNumbersFit) {
    const char* const inputs[] = {
        "01 05 1 5  612 1 1 1 0\r\n",
        "10 14 2 6  702 2 1 1 0",
        "1 2 3 4 5 6 7 8 9 10",
        "  -3\t+4 5 6 7.25 8 9 10 11",
        "01 05 1 5 612.7e1 1 1 1 0",
        "01 05 1 5 .5 1 1 1 0",
        "01 05 1 5 5. 1 1 1 0",
        "01 05 1 5 1e 7 1 1 0",
        "01 05 1 5 1e+x 1 1 1",
        "01 05 1 5 -.25E-2 1 1 1 0",
        "10 14 2### open trial",
        "42 is the answer",
        "01 05 1 5 612 1 1 1",
        "01 05 1 5 612 1 1 1 0x5",
        "1.5 2 3",
        "",
        "   ",
        "#1 2 3 4 5 6 7 8 9",
        "01 05 1 5 . 1 1 1 0",
        "-0 -0 -0 -0 -0 -0 -0 -0 -0",
        "2147483647 -2147483648 0 0 0 0 0 0 0",
    };
    for (const char* input : inputs) {
        SCOPED_TRACE(input);
        TrialLine expected = Sentinel();
        int n = std::sscanf(input, "%d %d %d %d %lf %d %d %d %d", &expected.number, &expected.item,
                            &expected.eye, &expected.viewpoint, &expected.reactionTime,
                            &expected.response, &expected.correct, &expected.valid,
                            &expected.cancelled);
        TrialLine actual = Sentinel();
        EXPECT_EQ(RecordLineParser::ScanTrialFields(input, actual), n < 0 ? 0 : n);
        ExpectSameLine(actual, expected);
    }
}

TEST(RecordLineParser, NumbersBeyond32BitsAreNoNumbers) {
    int values[3] = {11, 22, 33};
    EXPECT_EQ(RecordLineParser::ScanIntegers("99999999999\t; comment", values, 1), 0);
    EXPECT_EQ(values[0], 11);
    EXPECT_EQ(RecordLineParser::ScanIntegers("2147483647 2147483648 5", values, 3), 1);
    EXPECT_EQ(values[0], 2147483647);
    EXPECT_EQ(values[1], 22);
    EXPECT_EQ(values[2], 33);
    EXPECT_EQ(RecordLineParser::ScanIntegers("-2147483648 -2147483649", values, 2), 1);
    EXPECT_EQ(values[0], -2147483647 - 1);
    EXPECT_EQ(RecordLineParser::ScanIntegers("000000000000000000000042", values, 1), 1);
    EXPECT_EQ(values[0], 42);

    TrialLine line = Sentinel();
    EXPECT_EQ(RecordLineParser::ScanTrialFields("01 99999999999 1 1 500 1 1 1 0", line), 1);
    EXPECT_EQ(line.item, -7);
    EXPECT_EQ(RecordLineParser::ScanTrialFields("01 02 1 1 1e400 1 1 1 0", line), 4);
    EXPECT_EQ(line.reactionTime, -7.5);
    EXPECT_FALSE(RecordLineParser::ParseTrialLine("01 02 1 1 500 1 1 1 99999999999", line));
}

TEST(RecordLineParser, TextEndsAtNulAndLinesKinds) {
    TrialLine line = Sentinel();
    EXPECT_EQ(RecordLineParser::ScanTrialFields(std::string("01 02 1\0 1 500 1 1 1 0", 22), line),
              3);
    EXPECT_TRUE(RecordLineParser::ParseTrialLine("07 03 1 3  801 1 1 1 0", line));
    EXPECT_FALSE(RecordLineParser::ParseTrialLine(" 07 03 1 3  801 1 1 1 0", line));
    EXPECT_FALSE(RecordLineParser::ParseTrialLine("+7 03 1 3  801 1 1 1 0", line));

    int values[7] = {1, 2, 3, 4, 5, 6, 7};
    EXPECT_FALSE(RecordLineParser::IsParameterLine("# param:1 2"));
    EXPECT_EQ(RecordLineParser::ScanParameters("# para", values), 0);
    EXPECT_EQ(RecordLineParser::ScanParameters("# param: 10 20 x 40", values), 2);
    EXPECT_EQ(values[0], 10);
    EXPECT_EQ(values[1], 20);
    EXPECT_EQ(values[2], 3);
}

TEST(TrialLine, FormatPadsLikeTheRecordFile) {
    EXPECT_EQ((TrialLine{1, 2, 1, 2, 523.4, 1, 1, 1, 0}.Format()), "01 02 1 2  523 1 1 1 0");
    EXPECT_EQ((TrialLine{9, 16, 2, 8, 999.5, 0, 0, 0, 1}.Format()), "09 16 2 8 1000 0 0 0 1");
    EXPECT_EQ((TrialLine{123, 5, 1, 5, 12345.0, 2, 0, 1, 0}.Format()), "123 05 1 5 12345 2 0 1 0");
    EXPECT_EQ((TrialLine{1, 1, 1, 1, 7.0, 1, 1, 1, 0}.Format()), "01 01 1 1    7 1 1 1 0");
    EXPECT_EQ((TrialLine{1, 1, 1, 1, 1e300, 1, 1, 1, 0}.Format()).size(), 301u + 18u);
}

TEST(LineSplitter, PiecesFollowTheBufferAndBothLineEnds) {
    const std::string a511(511, 'a');
    const std::string b510(510, 'b');
    const std::string content = a511 + "\n" + b510 + "\r\n" + "c\rd\n" + "tail";
    const auto pieces = LineSplitter::Split(content, 512);
    ASSERT_EQ(pieces.size(), 5u);
    EXPECT_EQ(pieces[0].text, a511);  // 511 characters fill the buffer
    EXPECT_EQ(pieces[0].lineEnd, "");
    EXPECT_EQ(pieces[1].text, "");  // its line end comes on its own
    EXPECT_EQ(pieces[1].lineEnd, "\n");
    EXPECT_EQ(pieces[2].text, b510);  // 510 + CR LF counted as one fits
    EXPECT_EQ(pieces[2].lineEnd, "\r\n");
    EXPECT_EQ(pieces[3].text, "c\rd");  // a lone CR is text
    EXPECT_EQ(pieces[4].text, "tail");
    EXPECT_EQ(pieces[4].lineEnd, "");

    std::string joined;
    for (const LinePiece& piece : pieces) {
        joined += std::string(piece.text) + std::string(piece.lineEnd);
    }
    EXPECT_EQ(joined, content);

    EXPECT_TRUE(LineSplitter::UsesCrlf("x\r\ny\n"));
    EXPECT_FALSE(LineSplitter::UsesCrlf("x\ny\r\n"));
    EXPECT_FALSE(LineSplitter::UsesCrlf("\r"));
    EXPECT_FALSE(LineSplitter::UsesCrlf("\n"));
}
