#pragma once

#include <optional>
#include <vector>

// The summary of a sample that the report's tables and the timing bench print.
struct Descriptives {
    int n = 0;
    std::optional<double> mean;    // n >= 1
    std::optional<double> median;  // n >= 1
    std::optional<double> sd;      // sample SD (n - 1), n >= 2
    std::optional<double> se;      // sd / sqrt(n)
};

Descriptives Describe(std::vector<double> values);
