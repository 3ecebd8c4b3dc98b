#include "Statistics.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>

// Upright (5) lies in the middle of 1-8, so the plain distance is already the shorter way round.
int DisparityIndex(int fileViewpoint) { return std::abs(fileViewpoint - 5); }

int DisparityDegrees(int fileViewpoint) { return DisparityIndex(fileViewpoint) * 45; }

namespace {

std::size_t CellIndex(int eye, int disparityIndex) {
    return static_cast<std::size_t>((eye - 1) * kDisparityCount + disparityIndex);
}

}  // namespace

const char* ExclusionName(TrialUse use) {
    switch (use) {
        case TrialUse::Used: return "";
        case TrialUse::Cancelled: return "cancelled";
        case TrialUse::Miss: return "miss";
        case TrialUse::Error: return "error";
        case TrialUse::MinRt: return "min_rt";
        case TrialUse::SdCut: return "sd_cut";
    }
    return "";
}

std::vector<TrialUse> ClassifyTrials(const std::vector<TrialLine>& trials,
                                     const Trimming& trimming) {
    std::vector<TrialUse> uses;
    uses.reserve(trials.size());
    // Trials still in after the minimum, per cell, for the one-pass SD cut.
    std::array<std::vector<std::size_t>, kEyeCount * kDisparityCount> kept;
    for (std::size_t k = 0; k < trials.size(); ++k) {
        const TrialLine& line = trials[k];
        if (line.cancelled == 1) {
            uses.push_back(TrialUse::Cancelled);
        } else if (line.valid != 1) {
            uses.push_back(TrialUse::Miss);
        } else if (line.correct != 1) {
            uses.push_back(TrialUse::Error);
        } else if (trimming.minRt && line.reactionTime < *trimming.minRt) {
            uses.push_back(TrialUse::MinRt);
        } else {
            uses.push_back(TrialUse::Used);
            kept[CellIndex(line.eye, DisparityIndex(line.viewpoint))].push_back(k);
        }
    }
    if (!trimming.sdCut) {
        return uses;
    }
    for (const std::vector<std::size_t>& cell : kept) {
        std::vector<double> times;
        for (std::size_t k : cell) {
            times.push_back(trials[k].reactionTime);
        }
        const Descriptives before = Describe(times);
        if (!before.sd) {
            continue;
        }
        const double limit = *trimming.sdCut * *before.sd;
        for (std::size_t k : cell) {
            if (std::fabs(trials[k].reactionTime - *before.mean) > limit) {
                uses[k] = TrialUse::SdCut;
            }
        }
    }
    return uses;
}

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
    const std::vector<TrialUse> uses = ClassifyTrials(trials, trimming);
    for (std::size_t k = 0; k < trials.size(); ++k) {
        const TrialUse use = uses[k];
        if (use == TrialUse::Cancelled || use == TrialUse::Miss) {
            continue;
        }
        const std::size_t i = CellIndex(trials[k].eye, DisparityIndex(trials[k].viewpoint));
        ++cells[i].valid;
        if (use == TrialUse::Error) {
            continue;
        }
        ++cells[i].correct;
        if (use == TrialUse::Used) {
            times[i].push_back(trials[k].reactionTime);
        } else {
            ++cells[i].trimmed;
        }
    }
    for (std::size_t i = 0; i < cells.size(); ++i) {
        if (cells[i].valid > 0) {
            cells[i].accuracy = static_cast<double>(cells[i].correct) / cells[i].valid;
        }
        cells[i].rt = Describe(std::move(times[i]));
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
