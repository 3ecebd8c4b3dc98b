#include <gtest/gtest.h>

#include <climits>

#include "SdCutReach.h"
#include "SlopeTest.h"
#include "WithinSubjectInterval.h"

// The worked group (three participants) is checked through the CSVs in ReportCommandTest; here
// the edges, and one case with more degrees of freedom than the closed forms there cover.
TEST(GroupInference, SlopeTestEdgesAndAPublishedCase) {
    const SlopeTest one = TestSlopesAgainstZero("eye1", {1.5});
    // No spread: the interval collapses, and t, p and d_z do not exist.
    const SlopeTest flat = TestSlopesAgainstZero("both", {2, 2, 2});
    EXPECT_EQ(FormatSlopeTestsCsv({flat, one}),
              "test,n,mean_slope,sd,se,t,df,p,ci95_low,ci95_high,dz\n"
              "both,3,2.0000,0.0000,0.0000,,2,,2.0000,2.0000,\n"
              "eye1,1,1.5000,,,,,,,,\n");
    // 1, 2, ..., 10 against 0: the t-test that statistics textbooks print, t = 5.7446, df 9,
    // p = 0.0002782, 95% CI 3.334149 to 7.665851.
    std::vector<double> ten;
    for (int i = 1; i <= 10; ++i) ten.push_back(i);
    const SlopeTest t = TestSlopesAgainstZero("eye2", ten);
    EXPECT_NEAR(*t.t, 5.7446, 5e-5);
    EXPECT_EQ(t.df, 9);
    EXPECT_NEAR(*t.p, 0.0002782, 5e-8);
    EXPECT_NEAR(*t.ciLow, 3.334149, 5e-7);
    EXPECT_NEAR(*t.ciHigh, 7.665851, 5e-7);
}

TEST(GroupInference, NoWithinSubjectIntervalFromOneCompleteParticipant) {
    CellTable complete;
    for (Cell& cell : complete) cell.rt = Describe({600.0});
    CellTable partial = complete;
    partial[kDisparityCount].rt = Describe({});  // eye 2 at 0 degrees
    const WithinSubjectTable table = WithinSubjectIntervals({complete, partial});
    EXPECT_EQ(table[0].n, 2);
    EXPECT_EQ(*table[0].halfWidth, 0.0);
    EXPECT_EQ(table[kDisparityCount + 1].n, 1);
    EXPECT_FALSE(table[kDisparityCount + 1].halfWidth);
}

// (n - 1) / sqrt(n) > K: 1.5 is met exactly at n = 4, so 5; 100 needs n > 10001.9998.
TEST(GroupInference, SmallestCellAnSdCutCanActOn) {
    const std::pair<double, int> cases[] = {{0.5, 2},  {1.5, 5},     {2.0, 6},      {2.5, 9},
                                            {3.0, 11}, {100, 10002}, {1e9, INT_MAX}};
    for (const auto& [k, n] : cases) {
        EXPECT_EQ(SmallestCellForSdCut(k), n) << k;
    }
}
