#include "WithinSubjectInterval.h"

#include <boost/math/distributions/students_t.hpp>
#include <cmath>

double StudentT975(int df) { return boost::math::quantile(boost::math::students_t(df), 0.975); }

WithinSubjectTable WithinSubjectIntervals(const std::vector<CellTable>& participants) {
    WithinSubjectTable table;
    constexpr int kCells = kDisparityCount;
    for (int eye = 0; eye < kEyeCount; ++eye) {
        const std::size_t first = static_cast<std::size_t>(eye * kCells);
        std::vector<std::array<double, kCells>> rows;
        for (const CellTable& cells : participants) {
            std::array<double, kCells> row{};
            bool complete = true;
            for (std::size_t j = 0; j < kCells; ++j) {
                const std::optional<double>& mean = cells[first + j].rt.mean;
                complete = complete && mean.has_value();
                row[j] = mean.value_or(0.0);
            }
            if (complete) {
                rows.push_back(row);
            }
        }
        const int n = static_cast<int>(rows.size());
        for (std::size_t j = 0; j < kCells; ++j) {
            table[first + j].n = n;
        }
        if (n < 2) {
            continue;
        }
        double grand = 0.0;
        for (const auto& row : rows) {
            for (double y : row) {
                grand += y;
            }
        }
        grand /= n * kCells;
        for (auto& row : rows) {
            double own = 0.0;
            for (double y : row) {
                own += y;
            }
            own /= kCells;
            for (double& y : row) {
                y += grand - own;
            }
        }
        const double factor = StudentT975(n - 1) / std::sqrt(static_cast<double>(n)) *
                              std::sqrt(static_cast<double>(kCells) / (kCells - 1));
        for (std::size_t j = 0; j < kCells; ++j) {
            double mean = 0.0;
            for (const auto& row : rows) {
                mean += row[j];
            }
            mean /= n;
            double squares = 0.0;
            for (const auto& row : rows) {
                squares += (row[j] - mean) * (row[j] - mean);
            }
            table[first + j].halfWidth = factor * std::sqrt(squares / (n - 1));
        }
    }
    return table;
}
