#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <regex>
#include <sstream>
#include <string>
#include <vector>

#include "PosixFileSystem.h"
#include "ReportCommand.h"
#include "ReportPlot.h"

namespace fs = std::filesystem;

namespace {

std::string Data(const std::string& name) { return std::string(ORVI_TEST_DATA) + "/" + name; }

std::string Slurp(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

class ReportCommand : public ::testing::Test {
  protected:
    void SetUp() override {
        char pattern[] = "/tmp/orvi-report-test-XXXXXX";
        ASSERT_NE(mkdtemp(pattern), nullptr);
        m_dir = pattern;
    }
    void TearDown() override { fs::remove_all(m_dir); }

    int Run(std::vector<std::string> args) {
        PosixFileSystem files;
        std::ostringstream out;
        std::ostringstream err;
        const int status = RunReport(args, out, err, files);
        m_out = out.str();
        m_err = err.str();
        return status;
    }

    fs::path m_dir;
    std::string m_out;
    std::string m_err;
};

struct PngSize {
    bool valid = false;
    unsigned width = 0;
    unsigned height = 0;
};

PngSize ReadPngHeader(const fs::path& path) {
    const std::string bytes = Slurp(path);
    PngSize size;
    if (bytes.size() < 24 || bytes.compare(0, 8, "\x89PNG\r\n\x1a\n") != 0 ||
        bytes.compare(12, 4, "IHDR") != 0) {
        return size;
    }
    auto be32 = [&](std::size_t at) {
        unsigned v = 0;
        for (std::size_t i = 0; i < 4; ++i) {
            v = (v << 8) | static_cast<unsigned char>(bytes[at + i]);
        }
        return v;
    };
    size.valid = true;
    size.width = be32(16);
    size.height = be32(20);
    return size;
}

// Data lines of one eye: polylines in the eye's colour through three or more points (error
// bars and the legend sample are two-point segments).
int SeriesLines(const std::string& svg, const char* colour) {
    static const std::regex polyline(R"(<polyline([^>]*)/>)");
    const std::regex stroke(std::string("stroke=\"") + colour + "\"");
    static const std::regex points(R"(points="([^"]*)\")");
    int count = 0;
    for (auto it = std::sregex_iterator(svg.begin(), svg.end(), polyline);
         it != std::sregex_iterator(); ++it) {
        const std::string attributes = (*it)[1];
        std::smatch p;
        if (!std::regex_search(attributes, stroke) || !std::regex_search(attributes, p, points)) {
            continue;
        }
        std::istringstream pairs(p[1].str());
        std::string pair;
        int n = 0;
        while (pairs >> pair) {
            ++n;
        }
        count += n >= 3 ? 1 : 0;
    }
    return count;
}

}  // namespace

// The three tables of s01, s02 (Windows) and s03 against the answers worked out by hand in
// tests/data/report-expected*.csv (see StatisticsTest for the working).
TEST_F(ReportCommand, TablesOfAGroupMatchTheWorkedAnswersByteForByte) {
    const fs::path csv = m_dir / "cells.csv";
    ASSERT_EQ(Run({"--no-plots", "--csv", csv.string(), Data("report-s01.txt"),
                   Data("report-s02.txt"), Data("report-s03.txt")}),
              kExitOk)
        << m_err;
    EXPECT_EQ(m_err, "");
    EXPECT_EQ(Slurp(csv), Slurp(Data("report-expected.csv")));
    EXPECT_EQ(Slurp(m_dir / "cells-slopes.csv"), Slurp(Data("report-expected-slopes.csv")));
    EXPECT_EQ(Slurp(m_dir / "cells-group.csv"), Slurp(Data("report-expected-group.csv")));

    EXPECT_NE(m_out.find("3 files, 3 participants with data"), std::string::npos);
    EXPECT_NE(m_out.find("Group: mean of participant means"), std::string::npos);
    // (2 + 2.6667 + 1.3333) / 3 and (1.5556 + 2.7778 + 1.4889) / 3
    EXPECT_NE(m_out.find("eye 1 2.0000 (N 3), eye 2 1.9407 (N 3)"), std::string::npos);
    EXPECT_NE(m_out.find("Trimming: none"), std::string::npos);
}

TEST_F(ReportCommand, StatesTheTrimmingAndCountsTrimmedTrials) {
    ASSERT_EQ(Run({"--no-plots", "-o", m_dir.string(), "--min-rt", "100", "--sd-cut=1.5",
                   Data("report-trim.txt")}),
              kExitOk);
    EXPECT_NE(m_out.find("Trimming: correct trials under 100 ms left out; then correct trials "
                         "more than 1.5 SD from their cell mean left out"),
              std::string::npos);
    const std::string csv = Slurp(m_dir / "orvi-report.csv");
    EXPECT_NE(csv.find("\nreport-trim,1,0,6,6,1.0000,4,2,515.00,515.00,12.91,6.45\n"),
              std::string::npos)
        << csv;
    EXPECT_FALSE(fs::exists(m_dir / "orvi-report-group.csv"));  // one participant: no group
}

TEST_F(ReportCommand, WritesPngAndSvgPlotsWithOneLinePerEye) {
    const fs::path only1 = m_dir / "eye1-only.txt";
    std::ofstream(only1) << "01 05 1 5  500 1 1 1 0\n02 04 1 4  590 1 1 1 0\n"
                            "03 03 1 3  680 1 1 1 0\n";
    ASSERT_EQ(Run({"-o", m_dir.string(), "--size", "640x480", "--plot-prefix", "rt",
                   Data("report-s01.txt"), only1.string()}),
              kExitOk)
        << m_err;

    for (const char* name : {"rt-report-s01", "rt-eye1-only", "rt-group"}) {
        SCOPED_TRACE(name);
        const PngSize png = ReadPngHeader(m_dir / (std::string(name) + ".png"));
        EXPECT_TRUE(png.valid);
        EXPECT_EQ(png.width, 640u);
        EXPECT_EQ(png.height, 480u);
        const std::string svg = Slurp(m_dir / (std::string(name) + ".svg"));
        EXPECT_TRUE(std::regex_search(svg, std::regex(R"(<svg\s[^>]*width="640(pt)?"[^>]*)"
                                                      R"(height="480(pt)?")")));
        EXPECT_NE(svg.find("</svg>"), std::string::npos);
        EXPECT_EQ(SeriesLines(svg, kEyeColours[0]), 1);
        EXPECT_EQ(SeriesLines(svg, kEyeColours[1]), std::string(name) == "rt-eye1-only" ? 0 : 1);
    }
}

TEST_F(ReportCommand, ReportsBadInputButEverythingUsable) {
    const std::string bad = Data("report-bad.txt");
    const std::string empty = Data("report-empty.txt");
    const std::string missing = Data("report-missing.txt");
    ASSERT_EQ(
        Run({"--no-plots", "-o", m_dir.string(), Data("report-s01.txt"), bad, empty, missing}),
        kExitInputProblem);
    EXPECT_NE(m_err.find(bad + ":4: trial line with 7 of 9 fields\n"), std::string::npos);
    EXPECT_NE(m_err.find(bad + ":11: cancel flag 2 is not 0 or 1\n"), std::string::npos);
    EXPECT_NE(m_err.find(missing + ": cannot open (No such file or directory)\n"),
              std::string::npos);
    EXPECT_NE(m_out.find("No usable trial in: " + empty), std::string::npos);
    // s01 and the two good lines of the bad file are still reported.
    const std::string csv = Slurp(m_dir / "orvi-report.csv");
    EXPECT_NE(csv.find("\nreport-s01,2,180,"), std::string::npos);
    EXPECT_NE(csv.find("\nreport-bad,2,0,1,1,1.0000,1,0,640.00,"), std::string::npos);
    EXPECT_EQ(csv.find("report-empty"), std::string::npos);
}

TEST_F(ReportCommand, UsageErrorsExitWithTwo) {
    const std::pair<std::vector<std::string>, const char*> cases[] = {
        {{}, "no record file given"},
        {{"--bogus", "a.txt"}, "unknown option '--bogus'"},
        {{"a.txt", "--csv"}, "option '--csv' needs a value"},
        {{"--min-rt", "-5", "a.txt"}, "--min-rt '-5' is not a number"},
        {{"--sd-cut", "0", "a.txt"}, "--sd-cut '0' is not a number > 0"},
        {{"--sd-cut", "2x", "a.txt"}, "--sd-cut '2x' is not a number > 0"},
        {{"--size", "640x100", "a.txt"}, "plot size '640x100' is not WIDTHxHEIGHT"},
        {{"--plot-prefix", "a/b", "a.txt"}, "plot prefix 'a/b' must be"},
    };
    for (const auto& [args, message] : cases) {
        EXPECT_EQ(Run(args), kExitUsage) << message;
        EXPECT_NE(m_err.find(std::string("orvi-report: ") + message), std::string::npos) << m_err;
        EXPECT_EQ(m_out, "");
    }
    EXPECT_EQ(Run({"--help"}), kExitOk);
    EXPECT_NE(m_out.find("Usage: orvi-report [OPTION]... RECORD_FILE..."), std::string::npos);
    EXPECT_NE(m_out.find("--sd-cut K"), std::string::npos);
}

TEST_F(ReportCommand, UnwritableOutputIsAnError) {
    const fs::path file = m_dir / "plain";
    std::ofstream(file) << "x";
    EXPECT_EQ(Run({"--no-plots", "-o", file.string(), Data("report-s01.txt")}), kExitInputProblem);
    EXPECT_EQ(m_err, file.string() + ": not a folder\n");
}

// The installed program: exit codes through the shell, the version line, and the messages on
// standard error rather than standard output.
TEST_F(ReportCommand, BinaryExitCodesAndStreams) {
    const std::string binary = ORVI_REPORT_BINARY;
    const std::string redirect = " >" + (m_dir / "out").string() + " 2>" + (m_dir / "err").string();
    auto run = [&](const std::string& args) {
        const int raw = std::system((binary + " " + args + redirect).c_str());
        return WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
    };
    EXPECT_EQ(run("--version"), 0);
    EXPECT_EQ(Slurp(m_dir / "out"), "orvi-report 1.0.0.1\n");

    EXPECT_EQ(run("--no-plots -o " + m_dir.string() + " " + Data("record-windows.txt")), 1);
    EXPECT_EQ(Slurp(m_dir / "err"),
              Data("record-windows.txt") + ":15: trial line with 3 of 9 fields\n");
    EXPECT_NE(Slurp(m_dir / "out").find("record-windows"), std::string::npos);

    EXPECT_EQ(run("--no-plots -o " + m_dir.string() + " " + Data("report-s03.txt")), 0);
    EXPECT_EQ(Slurp(m_dir / "err"), "");
    EXPECT_EQ(run("--min-rt"), 2);
}
