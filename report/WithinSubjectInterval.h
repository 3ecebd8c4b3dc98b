#pragma once

#include <optional>
#include <vector>

#include "Statistics.h"

// Confidence interval of a group cell mean with the participants' own overall level taken out,
// so that it shows how precisely the design measures the differences between cells (Cousineau's
// normalisation with Morey's correction).
struct WithinSubjectInterval {
    int n = 0;                        // participants with a mean in every cell of the eye
    std::optional<double> halfWidth;  // 95% CI half-width (ms), n >= 2
};

using WithinSubjectTable = std::array<WithinSubjectInterval, kEyeCount * kDisparityCount>;

// Each eye's five disparities form one set of conditions; a participant who lacks a mean in any
// of them leaves that eye out.
WithinSubjectTable WithinSubjectIntervals(const std::vector<CellTable>& participants);

// The two-sided 95% quantile of Student's t with df degrees of freedom (df >= 1).
double StudentT975(int df);
