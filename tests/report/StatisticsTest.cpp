#include <gtest/gtest.h>

#include <cmath>
#include <stdexcept>
#include <vector>

#include "ParticipantFile.h"
#include "PosixFileSystem.h"
#include "Statistics.h"

namespace {

std::vector<TrialLine> TrialsOf(const std::string& name) {
    PosixFileSystem files;
    return ReadParticipantFile(files, std::string(ORVI_TEST_DATA) + "/" + name).trials;
}

Cell CellAt(const CellTable& cells, int eye, int disparity) {
    for (const Cell& cell : cells) {
        if (cell.eye == eye && cell.disparity == disparity) {
            return cell;
        }
    }
    throw std::out_of_range("no such cell");
}

}  // namespace

// Viewpoint 5 in the file is upright; the face turns 45 degrees per step either way.
TEST(Statistics, DisparityFromFileViewpoint) {
    const int expected[9] = {0, 180, 135, 90, 45, 0, 45, 90, 135};
    for (int v = 1; v <= 8; ++v) {
        EXPECT_EQ(DisparityDegrees(v), expected[v]) << "viewpoint " << v;
    }
}

TEST(Statistics, DescribesSmallSamples) {
    const Descriptives none = Describe({});
    EXPECT_EQ(none.n, 0);
    EXPECT_FALSE(none.mean);

    const Descriptives one = Describe({612});
    EXPECT_EQ(*one.mean, 612.0);
    EXPECT_EQ(*one.median, 612.0);
    EXPECT_FALSE(one.sd);  // a sample SD needs two values

    // 530 500 520: mean 516.667, median 520, SD sqrt((13.333^2 + 16.667^2 + 3.333^2) / 2).
    const Descriptives odd = Describe({530, 500, 520});
    EXPECT_EQ(*odd.median, 520.0);
    EXPECT_NEAR(*odd.sd, 15.2753, 1e-4);
    EXPECT_NEAR(*odd.se, 15.2753 / std::sqrt(3.0), 1e-4);

    const Descriptives even = Describe({900, 500, 520, 510});
    EXPECT_EQ(*even.median, 515.0);
    EXPECT_EQ(*even.mean, 607.5);
}

// report-trim.txt, eye 1 at 0 degrees: 90 500 510 520 530 900 (all correct); eye 2 at 180:
// 800 820 840.
//   no rule:            n 6, mean 508.333, median 515, SD 256.548
//   --min-rt 100:       90 out; n 5, mean 592, median 520, SD sqrt(119080 / 4) = 172.540
//   + --sd-cut 1.5:     |900 - 592| = 308 > 258.81; n 4, mean 515, SD 12.910, trimmed 2
//   --sd-cut 1.5 alone: 1.5 * 256.548 = 384.82; 90 (418.3 off) and 900 (391.7 off) out
//   --sd-cut 0.5:       eye 2 keeps only 820 (the others are 20 = 1 SD off)
// Accuracy counts every valid trial whatever the trimming.
TEST(Statistics, TrimsByMinimumAndSdCutInThatOrder) {
    const std::vector<TrialLine> trials = TrialsOf("report-trim.txt");
    struct Case {
        Trimming trimming;
        int n, trimmed;
        double mean, median;
    };
    const Case cases[] = {
        {{}, 6, 0, 508.3333, 515.0},
        {{100.0, std::nullopt}, 5, 1, 592.0, 520.0},
        {{90.0, std::nullopt}, 6, 0, 508.3333, 515.0},  // a time equal to the minimum stays
        {{100.0, 1.5}, 4, 2, 515.0, 515.0},
        {{std::nullopt, 1.5}, 4, 2, 515.0, 515.0},
        {{std::nullopt, 2.0}, 6, 0, 508.3333, 515.0},
    };
    for (const Case& c : cases) {
        const Cell cell = CellAt(SummarizeCells(trials, c.trimming), 1, 0);
        EXPECT_EQ(cell.rt.n, c.n);
        EXPECT_EQ(cell.trimmed, c.trimmed);
        EXPECT_NEAR(*cell.rt.mean, c.mean, 1e-4);
        EXPECT_EQ(*cell.rt.median, c.median);
        EXPECT_EQ(*cell.accuracy, 1.0);
    }
    EXPECT_NEAR(*CellAt(SummarizeCells(trials, {}), 1, 0).rt.sd, 256.5476, 1e-4);
    EXPECT_NEAR(*CellAt(SummarizeCells(trials, {100.0, {}}), 1, 0).rt.sd, 172.5399, 1e-4);
    EXPECT_NEAR(*CellAt(SummarizeCells(trials, {100.0, 1.5}), 1, 0).rt.sd, 12.9099, 1e-4);

    const Cell tight = CellAt(SummarizeCells(trials, {std::nullopt, 0.5}), 2, 180);
    EXPECT_EQ(tight.rt.n, 1);
    EXPECT_EQ(*tight.rt.mean, 820.0);
    EXPECT_EQ(tight.valid, 3);
}

// report-s01.txt by cell. Left out: misses (lines 03, 09) and the cancelled line 04 (item 08,
// 450 ms). Eye 2 at 90 degrees: 700 correct and 650 on the wrong eye, so n 1, accuracy 0.5.
//   eye 1: 0: 500 | 45: 580 600 | 90: 660 700 | 135: 760 780 | 180: 860  -> 500 + 2x exactly
//   eye 2: 0: 540 | 45: 620 660 | 90: 700     | 135: 750 770 | 180: 830
//     means 540 640 700 760 830, mean 694; Sxy = 31500, Sxx = 20250 -> slope 1.5556,
//     intercept 694 - 1.5556 * 90 = 554
//   both: 10 points, Sxy 72000, Sxx 40500 -> slope 1.7778, intercept 687 - 160 = 527
TEST(Statistics, CellsAndSlopesOfOneParticipant) {
    const CellTable cells = SummarizeCells(TrialsOf("report-s01.txt"), {});
    const Cell& e1d135 = CellAt(cells, 1, 135);
    EXPECT_EQ(e1d135.valid, 2);
    EXPECT_EQ(*e1d135.rt.mean, 770.0);
    EXPECT_NEAR(*e1d135.rt.sd, 14.1421, 1e-4);
    EXPECT_NEAR(*e1d135.rt.se, 10.0, 1e-9);
    const Cell& e2d90 = CellAt(cells, 2, 90);
    EXPECT_EQ(e2d90.valid, 2);
    EXPECT_EQ(e2d90.correct, 1);
    EXPECT_EQ(*e2d90.accuracy, 0.5);
    EXPECT_EQ(*e2d90.rt.mean, 700.0);

    const Slopes slopes = FitSlopes(cells);
    EXPECT_NEAR(*slopes.eye[0].slope, 2.0, 1e-9);
    EXPECT_NEAR(*slopes.eye[0].intercept, 500.0, 1e-9);
    EXPECT_NEAR(*slopes.eye[1].slope, 31500.0 / 20250.0, 1e-9);
    EXPECT_NEAR(*slopes.eye[1].intercept, 554.0, 1e-9);
    EXPECT_EQ(slopes.both.points, 10);
    EXPECT_NEAR(*slopes.both.slope, 72000.0 / 40500.0, 1e-9);
    EXPECT_NEAR(*slopes.both.intercept, 527.0, 1e-9);
}

TEST(Statistics, NoSlopeWithoutTwoDisparities) {
    EXPECT_FALSE(FitLine({}, {}).slope);
    EXPECT_FALSE(FitLine({45}, {600}).slope);
    EXPECT_FALSE(FitLine({90, 90}, {600, 700}).slope);
    const LineFit two = FitLine({0, 180}, {500, 860});
    EXPECT_NEAR(*two.slope, 2.0, 1e-12);
    EXPECT_NEAR(*two.intercept, 500.0, 1e-12);
}

// Group of s01, s02, s03 (mean of participant means). Eye 2 at 180 degrees: s02 clicked the
// wrong eye there, so RT over 830 and 740 (N 2, mean 785, SD 63.640, SE 45) while accuracy
// averages 1, 0, 1 over all three. Eye 1 at 0: 500 600 450 -> 516.667, SD 76.376.
TEST(Statistics, PoolsParticipantMeans) {
    std::vector<CellTable> tables;
    for (const char* name : {"report-s01.txt", "report-s02.txt", "report-s03.txt"}) {
        tables.push_back(SummarizeCells(TrialsOf(name), {}));
    }
    const GroupTable group = PoolParticipants(tables);
    EXPECT_EQ(group[0].eye, 1);
    EXPECT_EQ(group[0].disparity, 0);
    EXPECT_EQ(group[0].rt.n, 3);
    EXPECT_NEAR(*group[0].rt.mean, 516.6667, 1e-4);
    EXPECT_NEAR(*group[0].rt.sd, 76.3763, 1e-4);
    const GroupCell& e2d180 = group[9];
    EXPECT_EQ(e2d180.eye, 2);
    EXPECT_EQ(e2d180.disparity, 180);
    EXPECT_EQ(e2d180.rt.n, 2);
    EXPECT_EQ(*e2d180.rt.mean, 785.0);
    EXPECT_NEAR(*e2d180.rt.se, 45.0, 1e-9);
    EXPECT_EQ(e2d180.accuracyN, 3);
    EXPECT_NEAR(*e2d180.accuracy, 2.0 / 3.0, 1e-12);
}
