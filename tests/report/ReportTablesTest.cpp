#include <gtest/gtest.h>

#include "ReportTables.h"

TEST(ReportTables, FixedDecimalsWithoutNegativeZero) {
    EXPECT_EQ(FormatFixed(std::nullopt, 2), "");
    EXPECT_EQ(FormatFixed(-0.00001, 4), "0.0000");
    EXPECT_EQ(FormatFixed(-0.0002, 4), "-0.0002");
    // Every digit of a huge value, none cut.
    EXPECT_EQ(FormatFixed(1e70, 2),
              "10000000000000000725314363815292351261583744096465219555182101554790400.00");
    EXPECT_EQ(FormatFixed(-1e308, 1).size(), 1u + 309u + 2u);
}
