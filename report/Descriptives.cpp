#include "Descriptives.h"

#include <algorithm>
#include <cmath>

Descriptives Describe(std::vector<double> values) {
    Descriptives d;
    d.n = static_cast<int>(values.size());
    if (values.empty()) {
        return d;
    }
    double sum = 0.0;
    for (double v : values) {
        sum += v;
    }
    const double mean = sum / d.n;
    d.mean = mean;
    std::sort(values.begin(), values.end());
    const std::size_t half = values.size() / 2;
    d.median = values.size() % 2 == 1 ? values[half] : (values[half - 1] + values[half]) / 2.0;
    if (d.n >= 2) {
        double squares = 0.0;
        for (double v : values) {
            squares += (v - mean) * (v - mean);
        }
        d.sd = std::sqrt(squares / (d.n - 1));
        d.se = *d.sd / std::sqrt(static_cast<double>(d.n));
    }
    return d;
}
