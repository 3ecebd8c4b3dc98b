#pragma once

#include <optional>
#include <string>
#include <vector>

// One-sample t-test of participant slopes against 0 (two-sided).
struct SlopeTest {
    std::string name;  // eye1, eye2, both
    int n = 0;
    std::optional<double> mean;
    std::optional<double> sd;  // n - 1
    std::optional<double> se;
    std::optional<double> t;  // needs n >= 2 and sd > 0
    int df = 0;
    std::optional<double> p;
    std::optional<double> ciLow;  // 95% CI of the mean, n >= 2
    std::optional<double> ciHigh;
    std::optional<double> dz;  // Cohen's d_z = mean / sd
};

SlopeTest TestSlopesAgainstZero(const std::string& name, const std::vector<double>& slopes);

// test,n,mean_slope,sd,se,t,df,p,ci95_low,ci95_high,dz
std::string FormatSlopeTestsCsv(const std::vector<SlopeTest>& tests);

// The summary's lines, one per test.
std::string FormatSlopeTestsText(const std::vector<SlopeTest>& tests);
