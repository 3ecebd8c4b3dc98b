#include "SdCutReach.h"

#include <algorithm>
#include <climits>
#include <cmath>

namespace {

bool CutCanAct(double n, double k) { return (n - 1.0) / std::sqrt(n) > k; }

}  // namespace

int SmallestCellForSdCut(double k) {
    // (n - 1) / sqrt(n) grows with n and passes k at sqrt(n) = (k + sqrt(k^2 + 4)) / 2; the
    // steps around the estimate settle the rounding.
    const double root = (k + std::sqrt(k * k + 4.0)) / 2.0;
    double n = std::max(2.0, std::floor(root * root));
    if (n >= INT_MAX) {
        return INT_MAX;
    }
    while (n > 2.0 && CutCanAct(n - 1.0, k)) {
        n -= 1.0;
    }
    while (!CutCanAct(n, k)) {
        n += 1.0;
    }
    return static_cast<int>(n);
}

void CountSdCutReach(const CellTable& beforeCut, double k, SdCutReach& reach) {
    reach.smallestN = SmallestCellForSdCut(k);
    for (const Cell& cell : beforeCut) {
        if (cell.rt.n > 0) {
            ++reach.cellsWithRt;
            if (cell.rt.n < reach.smallestN) {
                ++reach.cellsTooSmall;
            }
        }
    }
}
