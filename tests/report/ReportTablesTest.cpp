#include <gtest/gtest.h>

#include "ReportTables.h"

TEST(ReportTables, FixedDecimalsWithoutNegativeZero) {
    EXPECT_EQ(FormatFixed(std::nullopt, 2), "");
    EXPECT_EQ(FormatFixed(-0.00001, 4), "0.0000");
    EXPECT_EQ(FormatFixed(-0.0002, 4), "-0.0002");
    EXPECT_EQ(FormatFixed(1080.0, 2), "1080.00");
}
