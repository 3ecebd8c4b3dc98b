// The scan and the line splitter are compared with sscanf and fgets by
// tests/fuzz/LineParserFuzz.cpp; what it does not compare stays here.
#include <gtest/gtest.h>

#include "LineReader.h"
#include "RecordLineParser.h"
#include "StringByteSource.h"
#include "TrialLine.h"

TEST(TrialLine, FormatPadsLikeTheRecordFile) {
    EXPECT_EQ((TrialLine{9, 16, 2, 8, 999.5, 0, 0, 0, 1}.Format()), "09 16 2 8 1000 0 0 0 1");
    EXPECT_EQ((TrialLine{1, 1, 1, 1, 1e300, 1, 1, 1, 0}.Format()).size(), 301u + 18u);
    EXPECT_FALSE(RecordLineParser::IsParameterLine("# param:1 2"));
}

// The streaming reader must cut exactly the splitter's pieces however its window falls: long
// lines across chunk borders, CR LF at a piece limit, no final line end.
TEST(LineReader, CutsThePiecesOfTheSplitterFromAStream) {
    const std::string longLine(70000, 'x');
    for (const std::string& content :
         {std::string(), std::string("\n\n\r\n"), std::string("ab\r\ncd\nef"),
          std::string(510, '1') + "\r\n2\n", std::string(511, '1') + "\r\n2",
          longLine + "\r\n" + longLine + "\n" + longLine}) {
        for (std::size_t buffer : {LineSplitter::kSettingsBuffer, LineSplitter::kRecordBuffer}) {
            StringByteSource source(content);
            LineReader reader(source, buffer);
            std::vector<std::string> streamed, split;
            for (LinePiece p; reader.next(p);)
                streamed.push_back(std::string(p.text) + "|" + std::string(p.lineEnd));
            for (const LinePiece& p : LineSplitter::Split(content, buffer))
                split.push_back(std::string(p.text) + "|" + std::string(p.lineEnd));
            EXPECT_EQ(streamed, split) << content.size() << " bytes, buffer " << buffer;
            EXPECT_EQ(reader.usesCrlf(), LineSplitter::UsesCrlf(content));
            EXPECT_FALSE(reader.failed());
        }
    }
}
