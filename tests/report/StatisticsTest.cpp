#include <gtest/gtest.h>

#include <stdexcept>
#include <vector>

#include "ParticipantFile.h"
#include "PosixFileSystem.h"
#include "Statistics.h"
#include "TestFiles.h"

// Cell, slope and group figures of s01-s03 are checked through the CSV in ReportCommandTest.

// report-trim.txt, eye 1 at 0 degrees: 90 500 510 520 530 900 (all correct); eye 2 at 180:
// 800 820 840.
//   no rule:        n 6, mean 508.333, median 515, SD 256.548
//   --min-rt 100:   90 out; n 5, mean 592, median 520, SD sqrt(119080 / 4) = 172.540
//   + --sd-cut 1.5: |900 - 592| = 308 > 258.81 out; n 4, mean 515, SD 12.910
//   --sd-cut 1.5:   1.5 * 256.548 = 384.82; 90 (418.3 off) and 900 (391.7 off) out
//   --sd-cut 0.5:   eye 2 keeps only 820 (the others are 1 SD off)
// Accuracy counts every valid trial whatever the trimming.
TEST(Statistics, TrimsByMinimumAndSdCutInThatOrder) {
    PosixFileSystem files;
    const std::vector<TrialLine> trials =
        ReadParticipantFile(files, DataPath("report-trim.txt")).trials;
    auto cellAt = [&](const Trimming& trimming, int eye, int disparity) {
        for (const Cell& cell : SummarizeCells(trials, trimming)) {
            if (cell.eye == eye && cell.disparity == disparity) return cell;
        }
        throw std::out_of_range("no such cell");
    };
    struct Case {
        Trimming trimming;
        int eye, disparity, n, trimmed;
        double mean, median;
        std::optional<double> sd;
    };
    const Case cases[] = {
        {{}, 1, 0, 6, 0, 508.3333, 515.0, 256.5476},
        {{100.0, std::nullopt}, 1, 0, 5, 1, 592.0, 520.0, 172.5399},
        {{90.0, std::nullopt}, 1, 0, 6, 0, 508.3333, 515.0, 256.5476},  // equal to minimum stays
        {{100.0, 1.5}, 1, 0, 4, 2, 515.0, 515.0, 12.9099},
        {{std::nullopt, 1.5}, 1, 0, 4, 2, 515.0, 515.0, 12.9099},
        {{std::nullopt, 2.0}, 1, 0, 6, 0, 508.3333, 515.0, 256.5476},
        {{std::nullopt, 0.5}, 2, 180, 1, 2, 820.0, 820.0, std::nullopt},
    };
    for (const Case& c : cases) {
        const Cell cell = cellAt(c.trimming, c.eye, c.disparity);
        EXPECT_EQ(cell.rt.n, c.n);
        EXPECT_EQ(cell.trimmed, c.trimmed);
        EXPECT_NEAR(*cell.rt.mean, c.mean, 1e-4);
        EXPECT_EQ(*cell.rt.median, c.median);
        EXPECT_NEAR(cell.rt.sd.value_or(-1), c.sd.value_or(-1), 1e-4);
        EXPECT_EQ(*cell.accuracy, 1.0);
        EXPECT_EQ(cell.valid, c.eye == 1 ? 6 : 3);
    }
}

TEST(Statistics, NoSlopeWithoutTwoDisparities) {
    EXPECT_FALSE(FitLine({}, {}).slope);
    EXPECT_FALSE(FitLine({45}, {600}).slope);
    EXPECT_FALSE(FitLine({90, 90}, {600, 700}).slope);
}
