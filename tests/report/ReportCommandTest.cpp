#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <regex>
#include <set>
#include <sstream>
#include <string>
#include <tuple>
#include <vector>

#include "PosixFileSystem.h"
#include "ReportCommand.h"
#include "ReportPlot.h"
#include "TempDir.h"
#include "TestFiles.h"

namespace fs = std::filesystem;

namespace {

class ReportCommand : public ::testing::Test {
  protected:
    int Run(std::vector<std::string> args) {
        PosixFileSystem files;
        std::ostringstream out, err;
        const int status = RunReport(args, out, err, files);
        m_out = out.str();
        m_err = err.str();
        return status;
    }
    // The installed program through the shell, after the shell commands in `before`.
    int RunBinary(const std::string& args, const std::string& before = "") {
        const std::string err = (m_dir / "stderr").string();
        const int raw = std::system(
            (before + "timeout 10 " + ORVI_REPORT_BINARY + " " + args + " >/dev/null 2>" + err)
                .c_str());
        m_err = ReadBytes(err);
        fs::remove(err);
        return WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
    }
    bool OutHas(const std::string& text) const { return m_out.find(text) != std::string::npos; }
    bool ErrHas(const std::string& text) const { return m_err.find(text) != std::string::npos; }

    const TempDir m_tmp;
    const fs::path m_dir = m_tmp.path;
    std::string m_out, m_err;
};

// Data lines of one eye: the polylines in its colour that run neither straight up (error bars)
// nor across (caps, the legend sample), as their number of points and their width.
std::vector<std::pair<int, double>> SeriesLines(const std::string& svg, const char* colour) {
    const std::regex line(std::string(R"re(<polyline\s+stroke-width="([^"]+)"\s+stroke=")re") +
                          colour + R"re("[^>]*points="([^"]*)")re");
    std::vector<std::pair<int, double>> lines;
    for (auto m = std::sregex_iterator(svg.begin(), svg.end(), line); m != std::sregex_iterator();
         ++m) {
        std::istringstream points((*m)[2].str());
        std::vector<std::pair<double, double>> xy;
        double x = 0, y = 0;
        char comma = 0;
        while (points >> x >> comma >> y) xy.push_back({x, y});
        if (xy.size() >= 2 && xy[0].first != xy[1].first && xy[0].second != xy[1].second) {
            lines.push_back({static_cast<int>(xy.size()), std::stod((*m)[1].str())});
        }
    }
    return lines;
}

// The SVG device writes every character of a text as "&#xNN;".
std::string SvgText(const std::string& svg) {
    std::string text;
    const std::regex character("&#x([0-9a-fA-F]+);");
    for (auto m = std::sregex_iterator(svg.begin(), svg.end(), character);
         m != std::sregex_iterator(); ++m) {
        text += static_cast<char>(std::stoi((*m)[1].str(), nullptr, 16));
    }
    return text;
}

}  // namespace

// s01, s02 (CRLF, Shift_JIS) and s03 against tests/data/report-expected*.csv, worked by hand:
//   s01 leaves out misses 03, 09 and cancelled 04; eye 2 at 90: 700 right, 650 wrong eye.
//   s01 eye 1: 500 + 2x exactly; eye 2 means 540 640 700 760 830 -> slope 31500 / 20250,
//     intercept 554; both: Sxy 72000, Sxx 40500 -> 1.7778, intercept 527.
//   Group eye 2 at 180: s02 hit the wrong eye, so RT over 830 740 (N 2, SE 45), accuracy
//     over 1 0 1; eye 1 at 0: 500 600 450 -> 516.67, SD 76.38.
//   Within-subject CI, eye 1 (all three complete): own means 680 840 570, grand 696.67; at 0
//     the normalised 516.67 456.67 576.67 have SD 60, so t(.975, 2) 4.3027 x 60 / sqrt(3) x
//     sqrt(5/4) = 166.64. Eye 2 leaves s02 out (no mean at 180): own means 694 606, grand 650;
//     at 0: 496 514, SD 12.728 -> 12.7062 x 12.728 / sqrt(2) x sqrt(5/4) = 127.85.
//   Slope test, eye 1: slopes 2, 8/3, 4/3 -> mean 2, SD 2/3, t = 3 sqrt(3) = 5.1962, df 2,
//     p = 1 - t / sqrt(2 + t^2) = 0.0350987 (closed form for df 2), d_z 3.
//   Every figure of both tables was also recomputed from report-expected.csv with an awk
//   script of its own (t quantiles and p in closed form for df 1 and 2).
TEST_F(ReportCommand, TablesOfAGroupMatchTheWorkedAnswersByteForByte) {
    const fs::path csv = m_dir / "cells.csv";
    ASSERT_EQ(Run({"--no-plots", "--csv", csv.string(), DataPath("report-s01.txt"),
                   DataPath("report-s02.txt"), DataPath("report-s03.txt")}),
              kExitOk)
        << m_err;
    EXPECT_EQ(m_err, "");
    for (const std::string table : {"", "-slopes", "-group", "-tests"})
        EXPECT_EQ(ReadBytes(m_dir / ("cells" + table + ".csv")),
                  DataFile("report-expected" + table + ".csv"));
    EXPECT_TRUE(
        OutHas("  eye1     3    2.0000    0.6667    0.3849    5.1962   2  0.0350987    "
               "0.3439    3.6561    3.0000\n"))
        << m_out;
}

// Eye 1 at 0 of report-trim.txt: 90 and 900 out (see StatisticsTest). A cut of 1.5 needs
// (n - 1) / sqrt(n) > 1.5: n = 4 gives exactly 1.5, so 5; eye 2 at 180 (3 trials) is too small.
TEST_F(ReportCommand, StatesTheTrimmingAndCountsTrimmedTrials) {
    ASSERT_EQ(Run({"--no-plots", "-o", m_dir.string(), "--min-rt", "100", "--sd-cut=1.5",
                   DataPath("report-trim.txt")}),
              kExitOk);
    EXPECT_TRUE(
        OutHas("Trimming: correct trials under 100 ms left out; then correct trials "
               "more than 1.5 SD from their cell mean left out"));
    EXPECT_TRUE(
        OutHas("\n  --sd-cut 1.5 can only act on a cell of 5 or more trials ((n - 1) / "
               "sqrt(n) > 1.5);\n  1 of 2 cells with reaction times had fewer.\n"))
        << m_out;
    EXPECT_FALSE(fs::exists(m_dir / "orvi-report-group.csv"));  // one participant: no group
}

// report-pool-p1-a.txt and -p1-b.txt are one participant, p1. Eye 1 at 0 degrees pools 500
// (file a) with 600 and 1000 (file b): mean 700, SD sqrt(70000) = 264.58; 1000 is 300 off,
// beyond 1.1 SD = 291.03, so it is cut (in one file alone, 600 and 1000 could not be), leaving
// mean 550, SD 70.71. Eye 1 slope (0, 550) to (45, 560): 0.2222; eye 2 (0, 650) to (180, 800).
// In the trial table: s02 (Shift_JIS, CRLF) has three runs, a miss, an error and cancelled
// trials; s03's swap flag 1 gives eye 1 sound2.wav; p1-b has no marker and no parameter line;
// trim's 90 falls to --min-rt and its 900 to the cut (592 + 1.1 x 172.54 = 781.8). A name the
// pattern does not match (report-bad) costs only that file: none of its lines is read.
TEST_F(ReportCommand, PoolsParticipantsAndWritesEveryTrialByteForByte) {
    const fs::path trials = m_dir / "trials.csv";
    const fs::path here = fs::current_path();
    fs::current_path(ORVI_TEST_DATA);  // the file column holds the paths as given
    const int status =
        Run({"--no-plots", "-o", m_dir.string(), "--participant", "-(p[0-9]|s0[0-9]|trim)",
             "--min-rt", "100", "--sd-cut", "1.1", "--trials", trials.string(),
             "report-pool-p1-a.txt", "report-pool-p2.txt", "report-pool-p1-b.txt", "report-s02.txt",
             "report-s03.txt", "report-trim.txt", "report-bad.txt"});
    fs::current_path(here);
    EXPECT_EQ(status, kExitInputProblem);
    EXPECT_EQ(m_err,
              "report-bad.txt: name does not match --participant '-(p[0-9]|s0[0-9]|trim)'\n");
    EXPECT_EQ(ReadBytes(trials), DataFile("report-expected-trials.csv"));
    const std::string cells = ReadBytes(m_dir / "orvi-report.csv");
    EXPECT_NE(cells.find("\np1,1,0,3,3,1.0000,2,1,550.00,550.00,70.71,50.00\n"), std::string::npos);
    const std::string slopes = ReadBytes(m_dir / "orvi-report-slopes.csv");
    EXPECT_NE(slopes.find("\np1,1,2,0.2222,550.00\np1,2,2,0.8333,650.00\n"), std::string::npos);
    EXPECT_TRUE(OutHas("7 files, 5 participants with data"));
    EXPECT_TRUE(OutHas("\np1                        6      6      0         0       6 "));
    EXPECT_TRUE(OutHas("  p1: report-pool-p1-a.txt report-pool-p1-b.txt\n"));
}

// A participant of an earlier dataset in the folder would join this one, and an input in it
// would be overwritten: nothing is written.
TEST_F(ReportCommand, LeavesABidsFolderWithOtherParticipantsOrInputsAlone) {
    const fs::path bids = m_dir / "bids";
    fs::create_directory(bids);
    fs::copy_file(DataPath("report-s03.txt"), bids / "README");
    EXPECT_EQ(Run({"--bids", bids.string(), (bids / "README").string()}), kExitUsage);
    EXPECT_TRUE(ErrHas("output " + (bids / "README").string() + " would overwrite the input"));
    fs::remove(bids / "README");
    ASSERT_EQ(Run({"--no-plots", "-o", m_dir.string(), "--bids", bids.string(),
                   DataPath("report-s03.txt")}),
              kExitOk);
    EXPECT_TRUE(fs::exists(bids / "sub-reports03/beh/sub-reports03_task-orvi_beh.tsv"));
    EXPECT_EQ(Run({"--no-plots", "-o", m_dir.string(), "--bids", bids.string(),
                   DataPath("report-s01.txt")}),
              kExitInputProblem);
    EXPECT_EQ(m_err, bids.string() +
                         ": holds sub-reports03, which is not among these participants' files; no "
                         "BIDS dataset written (remove it or choose another folder)\n");
    EXPECT_FALSE(fs::exists(bids / "sub-reports01"));
}

// gap.txt has eye 1 at 0, 45, 90 and 180 but not at 135, and no eye 2: its eye 1 line stops at
// 90 and the point at 180 stands alone.
TEST_F(ReportCommand, WritesPlotsInEachFormatWithBrokenLinesAndCaptions) {
    const fs::path gap = m_dir / "gap.txt";
    std::ofstream(gap) << "01 05 1 5  500 1 1 1 0\n02 04 1 4  590 1 1 1 0\n"
                          "03 03 1 3  680 1 1 1 0\n04 01 1 1  860 1 1 1 0\n";
    const std::vector<std::string> inputs = {DataPath("report-s01.txt"), DataPath("report-s03.txt"),
                                             gap.string()};
    std::vector<std::string> args = {"-o", m_dir.string(), "--size",     "640x480", "--plot-prefix",
                                     "rt", "--format",     "svg,png,pdf"};
    args.insert(args.end(), inputs.begin(), inputs.end());
    ASSERT_EQ(Run(args), kExitOk) << m_err;
    const std::pair<const char*, std::vector<const char*>> plots[] = {
        {"rt-report-s01", {"Participant report-s01", "15 correct trials", "bars: SE"}},
        {"rt-gap", {"Participant gap", "4 correct trials"}},
        {"rt-group",
         {"N = 3 participants", "bars: within-subject 95% CI, eye 1 N = 2, eye 2 N = 2"}},
    };
    for (const auto& [name, captions] : plots) {
        SCOPED_TRACE(name);
        const std::string stem = (m_dir / name).string();
        // PNG signature, then the IHDR chunk (length 13) with width 640 and height 480.
        EXPECT_EQ(ReadBytes(stem + ".png").substr(0, 24),
                  std::string("\x89PNG\r\n\x1a\n\0\0\0\rIHDR\0\0\x02\x80\0\0\x01\xe0", 24));
        const std::string pdf = ReadBytes(stem + ".pdf");
        EXPECT_EQ(pdf.substr(0, 5), "%PDF-");
        EXPECT_NE(pdf.find("/MediaBox [ 0 0 640 480 ]"), std::string::npos);
        const std::string svg = ReadBytes(stem + ".svg");
        EXPECT_TRUE(std::regex_search(
            svg, std::regex(R"(<svg\s[^>]*width="640(pt)?"[^>]*height="480(pt)?")")));
        EXPECT_NE(svg.find("</svg>"), std::string::npos);
        const bool gapped = std::string(name) == "rt-gap";
        const auto eye1 = SeriesLines(svg, kEyeColours[0]);
        ASSERT_EQ(eye1.size(), 1u);
        EXPECT_EQ(eye1[0].first, gapped ? 3 : 5);
        EXPECT_EQ(SeriesLines(svg, kEyeColours[1]).size(), gapped ? 0u : 1u);
        for (const char* caption : captions) {
            EXPECT_NE(SvgText(svg).find(caption), std::string::npos) << caption;
        }
    }
    // Lines grow with the plot, as the text does.
    args[3] = "1280x960";
    args[5] = "big";
    args[7] = "svg";
    ASSERT_EQ(Run(args), kExitOk) << m_err;
    EXPECT_DOUBLE_EQ(SeriesLines(ReadBytes(m_dir / "big-group.svg"), kEyeColours[0])[0].second,
                     2 * SeriesLines(ReadBytes(m_dir / "rt-group.svg"), kEyeColours[0])[0].second);
    EXPECT_FALSE(fs::exists(m_dir / "big-group.png"));
}

TEST_F(ReportCommand, ReportsBadInputButEverythingUsable) {
    const std::string bad = DataPath("report-bad.txt"), empty = DataPath("report-empty.txt");
    const std::string missing = DataPath("report-missing.txt"), folder = ORVI_TEST_DATA;
    ASSERT_EQ(Run({"--no-plots", "-o", m_dir.string(), DataPath("report-s01.txt"), bad, empty,
                   missing, folder}),
              kExitInputProblem);
    // Lines 12-14 (a note, a line starting with a blank, an empty line) are passed over.
    EXPECT_TRUE(
        ErrHas(bad + ":4: trial line with 7 of 9 fields\n" + bad + ":5: item 17 outside 1-16\n"))
        << m_err;
    EXPECT_TRUE(ErrHas(bad + ":11: cancel flag 2 is not 0 or 1\n")) << m_err;
    EXPECT_TRUE(ErrHas(missing + ": cannot open (No such file or directory)\n"));
    EXPECT_TRUE(ErrHas(folder + ": not a regular file\n"));
    EXPECT_TRUE(OutHas("No usable trial in: " + empty));
    // s01 and the two good lines of the bad file are still reported.
    const std::string csv = ReadBytes(m_dir / "orvi-report.csv");
    EXPECT_NE(csv.find("\nreport-s01,2,180,"), std::string::npos);
    EXPECT_NE(csv.find("\nreport-bad,2,0,1,1,1.0000,1,0,640.00,"), std::string::npos);
    EXPECT_EQ(csv.find("report-empty"), std::string::npos);

    const fs::path plain = m_dir / "plain";
    std::ofstream(plain) << "x";
    EXPECT_EQ(Run({"--no-plots", "-o", plain.string(), DataPath("report-s01.txt")}),
              kExitInputProblem);
    EXPECT_EQ(m_err, plain.string() + ": not a folder\n");
}

// An output that is an input by path, by symbolic link or by hard link, including the tables
// and plots whose names are derived: exit 2 naming both, and nothing is written.
TEST_F(ReportCommand, OutputsNeverTakeAnInputsPlace) {
    const std::string s01 = (m_dir / "s01.txt").string(), link = (m_dir / "link.txt").string();
    const std::string slopes = (m_dir / "t-slopes.csv").string();
    const std::string plot = (m_dir / "x-group.svg").string(), sym = (m_dir / "sym.txt").string();
    fs::copy_file(DataPath("report-s01.txt"), s01);
    fs::create_hard_link(s01, link);
    fs::create_symlink(s01, sym);
    fs::copy_file(DataPath("report-s02.txt"), slopes);
    fs::copy_file(DataPath("report-s03.txt"), plot);
    const std::tuple<std::vector<std::string>, std::string, std::string> cases[] = {
        {{"--no-plots", "--csv", s01, s01}, s01, s01},
        {{"--no-plots", "--csv", link, s01}, link, s01 + " (a link to the same file)"},
        {{"--no-plots", "--csv", sym, s01}, sym, s01},
        {{"--no-plots", "--csv", (m_dir / "t.csv").string(), s01, slopes}, slopes, slopes},
        {{"-o", m_dir.string(), "--plot-prefix", "x", plot, s01}, plot, plot},
        {{"--no-plots", "-o", m_dir.string(), "--trials", link, s01},
         link,
         s01 + " (a link to the same file)"},
    };
    for (const auto& [args, output, input] : cases) {
        EXPECT_EQ(Run(args), kExitUsage) << output;
        EXPECT_EQ(m_err, "orvi-report: output " + output + " would overwrite the input file " +
                             input + "\nTry 'orvi-report --help' for more information.\n");
        EXPECT_EQ(std::distance(fs::directory_iterator(m_dir), {}), 5) << "nothing written";
    }
    EXPECT_EQ(ReadBytes(s01), DataFile("report-s01.txt"));
    EXPECT_EQ(ReadBytes(plot), DataFile("report-s03.txt"));
}

// The same file twice (here by another path) is read once; a long name is not cut.
TEST_F(ReportCommand, InputGivenTwiceCountsOnce) {
    const std::string name(200, 's');
    fs::copy_file(DataPath("report-s01.txt"), m_dir / (name + ".txt"));
    const std::string path = (m_dir / (name + ".txt")).string();
    const std::string again = (m_dir / "." / (name + ".txt")).string();
    EXPECT_EQ(Run({"--no-plots", "-o", m_dir.string(), path, again}), kExitOk);
    EXPECT_EQ(m_err, "orvi-report: warning: " + again + " is the same file as " + path +
                         "; it is counted once\n");
    EXPECT_TRUE(OutHas("1 file, 1 participant with data"));
    EXPECT_TRUE(OutHas(name + "     19     16      2         1      15")) << m_out;
}

// With nothing usable no table is written (the complaints: ParticipantFile suite), and alike
// ones after the 5th are summed up.
TEST_F(ReportCommand, SummarisesRepeatedComplaintsAndWritesNothingWithoutData) {
    const std::string ones = (m_dir / "ones.txt").string();
    std::ofstream(ones) << "1\n1\n1\n1\n1\n1\n1\n1\n";
    const std::string out = (m_dir / "out").string();
    EXPECT_EQ(Run({"-o", out, ones}), kExitInputProblem);
    EXPECT_TRUE(ErrHas("\u2026 and 3 more lines like this in " + ones + "\n")) << m_err;
    EXPECT_TRUE(OutHas("\nNothing usable was read: no tables or plots written.\n"));
    EXPECT_FALSE(fs::exists(out));
}

// A plot cut short by a full disk (here a file size limit) is an error naming it, and leaves
// neither the cut file nor a temporary one; a device as an output is written to, and its
// failure reported.
TEST_F(ReportCommand, OutputsThatCannotBeWrittenWholeAreErrors) {
    const std::string out = (m_dir / "out").string();
    fs::create_directory(out);
    // 32 blocks of 512 bytes.
    EXPECT_EQ(RunBinary("-o " + out + " " + DataPath("report-s01.txt"), "ulimit -f 32; "),
              kExitInputProblem);
    const std::string cut = ": plot not written completely (disk full?)\n";
    EXPECT_EQ(m_err, out + "/orvi-report-report-s01.png" + cut + out +
                         "/orvi-report-report-s01.svg" + cut);
    std::set<std::string> left;
    for (const auto& entry : fs::directory_iterator(out)) left.insert(entry.path().filename());
    EXPECT_EQ(left, (std::set<std::string>{"orvi-report.csv", "orvi-report-slopes.csv"}));

    fs::remove_all(out);
    fs::create_directory(out);
    fs::create_symlink("/dev/full", fs::path(out) / "orvi-report.csv");
    fs::create_symlink("/dev/full", fs::path(out) / "orvi-report-report-s03.png");
    EXPECT_EQ(Run({"-o", out, DataPath("report-s03.txt")}), kExitInputProblem);
    EXPECT_EQ(m_err, out + "/orvi-report.csv: cannot write (No space left on device)\n" + out +
                         "/orvi-report-report-s03.png" + cut);
    EXPECT_TRUE(fs::is_symlink(fs::path(out) / "orvi-report.csv"));
}

TEST_F(ReportCommand, UsageErrorsExitWithTwo) {
    const std::pair<std::vector<std::string>, const char*> cases[] = {
        {{}, "no record file given"},
        {{"--bogus", "a.txt"}, "unknown option '--bogus'"},
        {{"a.txt", "--csv"}, "option '--csv' needs a value"},
        {{"--min-rt", "-5", "a.txt"}, "--min-rt '-5' is not a number"},
        {{"--sd-cut", "0", "a.txt"}, "--sd-cut '0' is not a number > 0"},
        {{"--size", "640x100", "a.txt"}, "plot size '640x100' is not WIDTHxHEIGHT"},
        {{"--plot-prefix", "a/b", "a.txt"}, "plot prefix 'a/b' must be"},
        {{"--trials", "", "a.txt"}, "empty --trials path"},
        {{"--participant", "(", "a.txt"}, "--participant '(' is not a regular expression"},
        {{"--participant", "s[0-9]+", "a.txt"}, "--participant 's[0-9]+' has no capture group"},
        {{"--bids", "d", "x/s-1.txt", "y/s_1.txt"},
         "participants 's-1' and 's_1' give the same BIDS label 'sub-s1'"},
        {{"--bids", "d", "__.txt"}, "participant '__' gives an empty BIDS label"},
        {{"--format", "png,gif", "a.txt"}, "--format 'png,gif' is not a comma-separated list"},
    };
    for (const auto& [args, message] : cases) {
        EXPECT_EQ(Run(args), kExitUsage) << message;
        EXPECT_TRUE(ErrHas(std::string("orvi-report: ") + message)) << m_err;
        EXPECT_EQ(m_out, "");
    }
    EXPECT_EQ(Run({"--help"}), kExitOk);
    EXPECT_TRUE(OutHas("Usage: orvi-report [OPTION]... RECORD_FILE..."));
}

// The installed program: exit codes through the shell, messages on standard error only (exit 1
// with the exact standard error is checked in OutputsThatCannotBeWrittenWholeAreErrors).
TEST_F(ReportCommand, BinaryExitCodesAndStreams) {
    EXPECT_EQ(RunBinary("--min-rt"), 2);

    // Neither a FIFO nor an endless device can hold the report up.
    const std::string fifo = (m_dir / "fifo").string();
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(RunBinary("--no-plots -o " + m_dir.string() + " " + fifo + " /dev/zero"), 1);
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(1));
    EXPECT_EQ(m_err, fifo + ": not a regular file\n/dev/zero: not a regular file\n");
}

// Memory does not grow with the number of lines: about 100 MB of address space reads 50 MB of
// newlines.
TEST_F(ReportCommand, ReadsHugeFilesInBoundedMemory) {
#if defined(__SANITIZE_ADDRESS__)
    GTEST_SKIP() << "the address sanitizer reserves more address space than the limit";
#endif
    const std::string path = (m_dir / "newlines.txt").string();
    std::ofstream(path) << std::string(50 << 20, '\n');
    EXPECT_EQ(RunBinary("--no-plots -o " + m_dir.string() + " " + path, "ulimit -v 100000; "),
              kExitInputProblem);
    EXPECT_EQ(m_err, "");
}
