#include "WithinSubjectInterval.h"

#include <boost/math/distributions/students_t.hpp>
#include <cmath>
#include <numeric>

namespace {

constexpr int kCells = kDisparityCount;  // the conditions of one eye
using Row = std::array<double, kCells>;  // one participant's means of them

// The rows of the participants with a mean in each of the eye's cells (from `first` on).
std::vector<Row> CompleteRows(const std::vector<CellTable>& participants, std::size_t first) {
    std::vector<Row> rows;
    for (const CellTable& cells : participants) {
        Row row{};
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
    return rows;
}

// Moves each row to the grand mean: what is left are the differences between cells.
void Normalise(std::vector<Row>& rows) {
    double grand = 0.0;
    for (const Row& row : rows) {
        grand = std::accumulate(row.begin(), row.end(), grand);
    }
    grand /= static_cast<double>(rows.size() * kCells);
    for (Row& row : rows) {
        const double own = std::accumulate(row.begin(), row.end(), 0.0) / kCells;
        for (double& y : row) {
            y += grand - own;
        }
    }
}

}  // namespace

double StudentT975(int df) { return boost::math::quantile(boost::math::students_t(df), 0.975); }

WithinSubjectTable WithinSubjectIntervals(const std::vector<CellTable>& participants) {
    WithinSubjectTable table;
    for (int eye = 0; eye < kEyeCount; ++eye) {
        const std::size_t first = static_cast<std::size_t>(eye * kCells);
        std::vector<Row> rows = CompleteRows(participants, first);
        const int n = static_cast<int>(rows.size());
        for (std::size_t j = 0; j < kCells; ++j) {
            table[first + j].n = n;
        }
        if (n < 2) {
            continue;
        }
        Normalise(rows);
        const double factor = StudentT975(n - 1) / std::sqrt(static_cast<double>(n)) *
                              std::sqrt(static_cast<double>(kCells) / (kCells - 1));
        for (std::size_t j = 0; j < kCells; ++j) {
            std::vector<double> column;
            for (const Row& row : rows) {
                column.push_back(row[j]);
            }
            table[first + j].halfWidth = factor * *Describe(column).sd;
        }
    }
    return table;
}
