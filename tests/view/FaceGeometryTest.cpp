#include <gtest/gtest.h>

#include <cmath>
#include <cstring>

#include "FaceGeometry.h"

namespace {

using Values = double[72];  // a record as its 72 packed doubles

// Record 0 turned by k * 45 degrees counterclockwise on screen (y down), unrounded, as flat
// values: points turn about the centre; boxes keep their half-side about their turned centre.
void Turned(int k, Values out) {
    const double c = std::cos(k * M_PI / 4), s = std::sin(k * M_PI / 4);
    Values v;
    std::memcpy(v, &kFaceGeometry[0], sizeof v);
    auto rotate = [&](double x, double y, double* dst) {
        dst[0] = 0.5 + (x - 0.5) * c + (y - 0.5) * s;
        dst[1] = 0.5 - (x - 0.5) * s + (y - 0.5) * c;
    };
    for (int i = 0; i < 72; i += 2) rotate(v[i], v[i + 1], out + i);
    for (int i : {32, 40, 48, 52, 56, 64}) {  // the boxes of the arcs and the eyes
        const double h = (v[i + 2] - v[i]) / 2;
        rotate((v[i] + v[i + 2]) / 2, (v[i + 1] + v[i + 3]) / 2, out + i);
        out[i + 2] = out[i] + h, out[i + 3] = out[i + 1] + h;
        out[i] -= h, out[i + 1] -= h;
    }
}

}  // namespace

// Record 0 is checked too, and eye 0's turn from the centre: right of it in viewpoint 0, then a
// step counterclockwise on screen per viewpoint.
TEST(FaceGeometry, RecordsAreRecordZeroTurnedAndRounded) {
    for (int k = 0; k < kViewpointCount; ++k) {
        Values exact, stored;
        Turned(k, exact);
        std::memcpy(stored, &kFaceGeometry[k], sizeof stored);
        for (int i = 0; i < 72; ++i) {
            const double scaled = exact[i] * 1000;
            // A near-tie would make the stored value hinge on the last bits of cos/sin.
            EXPECT_GT(std::fabs(scaled - std::floor(scaled) - 0.5), 1e-6) << k << ":" << i;
            EXPECT_EQ(stored[i], std::round(scaled) / 1000) << "record " << k << " value " << i;
        }
        const UnitBox& eye = kFaceGeometry[k].eyes[0];
        const double angle = std::atan2(1 - eye.top - eye.bottom, eye.left + eye.right - 1);
        EXPECT_NEAR(std::remainder(angle - k * M_PI / 4, 2 * M_PI), 0.0, 1e-9) << k;
    }
}
