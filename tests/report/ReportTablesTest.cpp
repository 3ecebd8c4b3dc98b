#include <gtest/gtest.h>

#include "ReportTables.h"

// Ids name plot files and CSV rows: two folders' s01.txt must not overwrite each other's plots,
// and no participant may take the group's file names.
TEST(ReportTables, ParticipantIdsAreUniqueAndSafe) {
    const std::vector<std::string> ids = ParticipantIds(
        {"a/s01.txt", "b/s01.txt", "group.txt", "x/my file,1.txt", "s01", ".txt", "c/s01.txt"});
    const std::vector<std::string> expected = {"s01",   "s01_2", "group_2", "my_file_1",
                                               "s01_3", ".txt",  "s01_4"};
    EXPECT_EQ(ids, expected);
}

TEST(ReportTables, FixedDecimalsWithoutNegativeZero) {
    EXPECT_EQ(FormatFixed(std::nullopt, 2), "");
    EXPECT_EQ(FormatFixed(-0.00001, 4), "0.0000");
    EXPECT_EQ(FormatFixed(-0.0002, 4), "-0.0002");
    EXPECT_EQ(FormatFixed(1080.0, 2), "1080.00");
    // Every digit of a huge value, none cut.
    EXPECT_EQ(FormatFixed(1e70, 2),
              "10000000000000000725314363815292351261583744096465219555182101554790400.00");
    EXPECT_EQ(FormatFixed(-1e308, 1).size(), 1u + 309u + 2u);
}
