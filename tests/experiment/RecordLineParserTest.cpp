#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <tuple>

#include "LineReader.h"
#include "LineSplitter.h"
#include "RecordLineParser.h"
#include "StringByteSource.h"
#include "TrialLine.h"

namespace {

auto Fields(const TrialLine& l) {
    return std::make_tuple(l.number, l.item, l.eye, l.viewpoint, l.reactionTime, l.response,
                           l.correct, l.valid, l.cancelled);
}

const TrialLine kSentinel = {-7, -7, -7, -7, -7.5, -7, -7, -7, -7};

}  // namespace

// For inputs whose numbers fit, the scan agrees with the C library's sscanf.
TEST(RecordLineParser, AgreesWithSscanfWhereNumbersFit) {
    for (const char* input :
         {"01 05 1 5  612 1 1 1 0\r\n", "1 2 3 4 5 6 7 8 9 10", "  -3\t+4 5 6 7.25 8 9 10 11",
          "01 05 1 5 612.7e1 1 1 1 0", "01 05 1 5 .5 1 1 1 0", "01 05 1 5 5. 1 1 1 0",
          "01 05 1 5 1e 7 1 1 0", "01 05 1 5 1e+x 1 1 1", "01 05 1 5 -.25E-2 1 1 1 0",
          "10 14 2### open trial", "01 05 1 5 612 1 1 1 0x5", "1.5 2 3", "", "#1 2 3 4 5 6 7 8 9",
          "01 05 1 5 . 1 1 1 0", "-0 -0 -0 -0 -0 -0 -0 -0 -0",
          "2147483647 -2147483648 0 0 0 0 0 0 0"}) {
        TrialLine x = kSentinel, actual = kSentinel;
        const int n = std::sscanf(input, "%d %d %d %d %lf %d %d %d %d", &x.number, &x.item, &x.eye,
                                  &x.viewpoint, &x.reactionTime, &x.response, &x.correct, &x.valid,
                                  &x.cancelled);
        EXPECT_EQ(RecordLineParser::ScanTrialFields(input, actual), n < 0 ? 0 : n) << input;
        EXPECT_EQ(Fields(actual), Fields(x)) << input;
    }
}

TEST(RecordLineParser, NumbersBeyond32BitsAreNoNumbersAndANulEndsTheText) {
    int v[3] = {11, 22, 33};
    EXPECT_EQ(RecordLineParser::ScanIntegers("99999999999\t; comment", v, 1), 0);
    EXPECT_EQ(RecordLineParser::ScanIntegers("-2147483648 -2147483649 5", v, 3), 1);
    EXPECT_EQ(RecordLineParser::ScanIntegers("000000000000000000000042 2147483648", v + 1, 2), 1);
    EXPECT_EQ(std::make_tuple(v[0], v[1], v[2]), std::make_tuple(-2147483647 - 1, 42, 33));
    TrialLine line = kSentinel;
    EXPECT_EQ(RecordLineParser::ScanTrialFields("01 99999999999 1 1 500 1 1 1 0", line), 1);
    EXPECT_EQ(RecordLineParser::ScanTrialFields("01 02 1 1 1e400 1 1 1 0", line), 4);
    EXPECT_EQ(Fields(line), Fields({1, 2, 1, 1, -7.5, -7, -7, -7, -7}));
    EXPECT_FALSE(RecordLineParser::ParseTrialLine("01 02 1 1 500 1 1 1 99999999999", line));
    EXPECT_EQ(RecordLineParser::ScanTrialFields(std::string("1 2\0 3", 6), line), 2);
    // Trial lines begin with a digit, parameter lines with "# param: ".
    EXPECT_FALSE(RecordLineParser::ParseTrialLine("+7 03 1 3  801 1 1 1 0", line));
    EXPECT_FALSE(RecordLineParser::IsParameterLine("# param:1 2"));
}

TEST(TrialLine, FormatPadsLikeTheRecordFile) {
    EXPECT_EQ((TrialLine{9, 16, 2, 8, 999.5, 0, 0, 0, 1}.Format()), "09 16 2 8 1000 0 0 0 1");
    EXPECT_EQ((TrialLine{1, 1, 1, 1, 1e300, 1, 1, 1, 0}.Format()).size(), 301u + 18u);
}

TEST(LineSplitter, PiecesFollowTheBufferAndBothLineEnds) {
    const std::string a511(511, 'a'), b510(510, 'b');
    const std::string content = a511 + "\n" + b510 + "\r\n" + "c\rd\n" + "tail";
    // "text|end/" per piece: 511 fill the buffer, 510 and CR LF fit, a lone CR is text.
    std::string pieces;
    for (const LinePiece& p : LineSplitter::Split(content, 512))
        pieces += std::string(p.text) + "|" + std::string(p.lineEnd) + "/";
    EXPECT_EQ(pieces, a511 + "|/|\n/" + b510 + "|\r\n/c\rd|\n/tail|/");
    EXPECT_TRUE(LineSplitter::UsesCrlf("x\r\ny\n"));
    EXPECT_FALSE(LineSplitter::UsesCrlf("x\ny\r\n"));
}

// The streaming reader must cut exactly the pieces of the in-memory splitter, whatever the
// chunking: long lines across chunk borders, CR LF split at a piece limit, no final line end.
TEST(LineReader, CutsThePiecesOfTheSplitterFromAStream) {
    const std::string longLine(70000, 'x');
    const std::vector<std::string> contents = {
        "",
        "a",
        "\n\n\r\n",
        "ab\r\ncd\nef",
        std::string(510, '1') + "\r\n2\n",
        std::string(511, '1') + "\r\n2",
        longLine + "\r\n" + longLine + "\n" + longLine,
    };
    for (const std::string& content : contents) {
        for (std::size_t buffer : {LineSplitter::kSettingsBuffer, LineSplitter::kRecordBuffer}) {
            StringByteSource source(content);
            LineReader reader(source, buffer);
            std::vector<std::string> streamed;
            for (LinePiece p; reader.next(p);)
                streamed.push_back(std::string(p.text) + "|" + std::string(p.lineEnd));
            std::vector<std::string> split;
            for (const LinePiece& p : LineSplitter::Split(content, buffer))
                split.push_back(std::string(p.text) + "|" + std::string(p.lineEnd));
            EXPECT_EQ(streamed, split) << content.size() << " bytes, buffer " << buffer;
            EXPECT_EQ(reader.usesCrlf(), LineSplitter::UsesCrlf(content));
            EXPECT_FALSE(reader.failed());
        }
    }
}
