#include "Statistics.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>

// Upright (5) lies in the middle of 1-8, so the plain distance is already the shorter way round.
int DisparityIndex(int fileViewpoint) { return std::abs(fileViewpoint - 5); }

int DisparityDegrees(int fileViewpoint) { return DisparityIndex(fileViewpoint) * 45; }

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

namespace {

std::size_t CellIndex(int eye, int disparityIndex) {
    return static_cast<std::size_t>((eye - 1) * kDisparityCount + disparityIndex);
}

std::vector<double> ApplyTrimming(const std::vector<double>& times, const Trimming& trimming) {
    std::vector<double> kept;
    for (double t : times) {
        if (!trimming.minRt || t >= *trimming.minRt) {
            kept.push_back(t);
        }
    }
    if (!trimming.sdCut) {
        return kept;
    }
    const Descriptives before = Describe(kept);
    if (!before.sd) {
        return kept;
    }
    const double limit = *trimming.sdCut * *before.sd;
    std::vector<double> within;
    for (double t : kept) {
        if (std::fabs(t - *before.mean) <= limit) {
            within.push_back(t);
        }
    }
    return within;
}

}  // namespace

CellTable SummarizeCells(const std::vector<TrialLine>& trials, const Trimming& trimming) {
    CellTable cells;
    std::array<std::vector<double>, kEyeCount * kDisparityCount> times;
    for (int eye = 1; eye <= kEyeCount; ++eye) {
        for (int d = 0; d < kDisparityCount; ++d) {
            Cell& cell = cells[CellIndex(eye, d)];
            cell.eye = eye;
            cell.disparity = kDisparities[static_cast<std::size_t>(d)];
        }
    }
    for (const TrialLine& line : trials) {
        if (line.cancelled == 1 || line.valid != 1) {
            continue;
        }
        const std::size_t i = CellIndex(line.eye, DisparityIndex(line.viewpoint));
        ++cells[i].valid;
        if (line.correct == 1) {
            ++cells[i].correct;
            times[i].push_back(line.reactionTime);
        }
    }
    for (std::size_t i = 0; i < cells.size(); ++i) {
        Cell& cell = cells[i];
        if (cell.valid > 0) {
            cell.accuracy = static_cast<double>(cell.correct) / cell.valid;
        }
        std::vector<double> kept = ApplyTrimming(times[i], trimming);
        cell.trimmed = static_cast<int>(times[i].size() - kept.size());
        cell.rt = Describe(std::move(kept));
    }
    return cells;
}

LineFit FitLine(const std::vector<double>& x, const std::vector<double>& y) {
    LineFit fit;
    fit.points = static_cast<int>(std::min(x.size(), y.size()));
    if (fit.points < 2) {
        return fit;
    }
    double sx = 0.0;
    double sy = 0.0;
    for (int i = 0; i < fit.points; ++i) {
        sx += x[static_cast<std::size_t>(i)];
        sy += y[static_cast<std::size_t>(i)];
    }
    const double mx = sx / fit.points;
    const double my = sy / fit.points;
    double sxx = 0.0;
    double sxy = 0.0;
    for (int i = 0; i < fit.points; ++i) {
        const double dx = x[static_cast<std::size_t>(i)] - mx;
        sxx += dx * dx;
        sxy += dx * (y[static_cast<std::size_t>(i)] - my);
    }
    if (sxx <= 0.0) {
        return fit;  // all points at one disparity: no slope
    }
    fit.slope = sxy / sxx;
    fit.intercept = my - *fit.slope * mx;
    return fit;
}

Slopes FitSlopes(const CellTable& cells) {
    Slopes slopes;
    std::vector<double> allX;
    std::vector<double> allY;
    for (int eye = 1; eye <= kEyeCount; ++eye) {
        std::vector<double> x;
        std::vector<double> y;
        for (const Cell& cell : cells) {
            if (cell.eye == eye && cell.rt.mean) {
                x.push_back(cell.disparity);
                y.push_back(*cell.rt.mean);
            }
        }
        allX.insert(allX.end(), x.begin(), x.end());
        allY.insert(allY.end(), y.begin(), y.end());
        slopes.eye[static_cast<std::size_t>(eye - 1)] = FitLine(x, y);
    }
    slopes.both = FitLine(allX, allY);
    return slopes;
}

GroupTable PoolParticipants(const std::vector<CellTable>& participants) {
    GroupTable group;
    for (std::size_t i = 0; i < group.size(); ++i) {
        group[i].eye = static_cast<int>(i) / kDisparityCount + 1;
        group[i].disparity = kDisparities[i % kDisparityCount];
        std::vector<double> means;
        double accuracySum = 0.0;
        int accuracyN = 0;
        for (const CellTable& cells : participants) {
            const Cell& cell = cells[i];
            if (cell.rt.mean) {
                means.push_back(*cell.rt.mean);
            }
            if (cell.accuracy) {
                accuracySum += *cell.accuracy;
                ++accuracyN;
            }
        }
        group[i].rt = Describe(std::move(means));
        group[i].accuracyN = accuracyN;
        if (accuracyN > 0) {
            group[i].accuracy = accuracySum / accuracyN;
        }
    }
    return group;
}
