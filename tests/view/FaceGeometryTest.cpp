#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <vector>

#include "FaceGeometry.h"

namespace {

constexpr int kValues = 72;
using Values = double[kValues];

// Record 0 turned by k * 45 degrees counterclockwise on screen, unrounded, as flat values.
void Turned(int k, Values out) {
    const double a = k * std::acos(-1.0) / 4, c = std::cos(a), s = std::sin(a);
    Values v;
    std::memcpy(v, &kFaceGeometry[0], sizeof v);
    auto rotate = [&](double x, double y, double* dst) {
        dst[0] = 0.5 + (x - 0.5) * c + (y - 0.5) * s;
        dst[1] = 0.5 - (x - 0.5) * s + (y - 0.5) * c;
    };
    auto point = [&](int i) { rotate(v[i], v[i + 1], out + i); };
    auto box = [&](int i) {  // keeps its half-side, centred on the turned centre
        const double h = (v[i + 2] - v[i]) / 2;
        rotate((v[i] + v[i + 2]) / 2, (v[i + 1] + v[i + 3]) / 2, out + i);
        out[i + 2] = out[i] + h, out[i + 3] = out[i + 1] + h;
        out[i] -= h, out[i + 1] -= h;
    };
    for (int i = 0; i < 32; i += 2) point(i);  // boundary, fillSeed
    box(48), box(52);                          // eyes
    for (int arc : {32, 40, 56, 64}) box(arc), point(arc + 4), point(arc + 6);
}

}  // namespace

TEST(FaceGeometry, RecordsAreRecordZeroTurnedAndRounded) {
    for (int k = 1; k < kViewpointCount; ++k) {
        Values exact, stored;
        Turned(k, exact);
        std::memcpy(stored, &kFaceGeometry[k], sizeof stored);
        for (int i = 0; i < kValues; ++i) {
            const double scaled = exact[i] * 1000;
            // A near-tie would make the stored value hinge on the last bits of cos/sin.
            EXPECT_GT(std::fabs(scaled - std::floor(scaled) - 0.5), 1e-6) << k << ":" << i;
            EXPECT_EQ(stored[i], std::round(scaled) / 1000) << "record " << k << " value " << i;
        }
    }
}

TEST(FaceGeometry, CheckValues) {
    const FaceGeometry* g = kFaceGeometry;
    EXPECT_EQ(g[0].eyes[0].left, 0.72);
    EXPECT_EQ(g[0].eyeArcs[1].end.x, 0.294);
    EXPECT_EQ(g[0].boundary[14].x, 0.0);
    EXPECT_EQ(g[1].boundary[0].x, 0.854);
    EXPECT_EQ(g[1].boundary[0].y, 0.146);
    const UnitBox& e = g[1].eyes[0];
    EXPECT_EQ((std::vector<double>{e.left, e.top, e.right, e.bottom}),
              (std::vector<double>{0.635, 0.225, 0.775, 0.365}));
    EXPECT_EQ(g[2].boundary[0].x, 0.5);
    EXPECT_EQ(g[2].boundary[0].y, 0.0);
    const UnitBox& e4 = g[4].eyes[0];
    EXPECT_EQ((std::vector<double>{e4.left, e4.top, e4.right, e4.bottom}),
              (std::vector<double>{0.14, 0.43, 0.28, 0.57}));
    EXPECT_EQ(g[4].fillSeed.x, 0.5);
    EXPECT_EQ(g[4].fillSeed.y, 0.1);
    EXPECT_EQ(g[6].fillSeed.x, 0.1);
    EXPECT_EQ(g[6].fillSeed.y, 0.5);

    // Eye 0 lies right of the centre in viewpoint 0, then turns a step counterclockwise per
    // viewpoint; the mouth's box never moves.
    const int dx[8] = {1, 1, 0, -1, -1, -1, 0, 1}, dy[8] = {0, -1, -1, -1, 0, 1, 1, 1};
    auto sign = [](double d) { return std::fabs(d) < 1e-9 ? 0 : d > 0 ? 1 : -1; };
    for (int k = 0; k < kViewpointCount; ++k) {
        const UnitBox& eye = g[k].eyes[0];
        EXPECT_EQ(sign(eye.left + eye.right - 1), dx[k]) << k;
        EXPECT_EQ(sign(eye.top + eye.bottom - 1), dy[k]) << k;
        const UnitBox& w = g[k].wideArc.box;
        EXPECT_EQ((std::vector<double>{w.left, w.top, w.right, w.bottom}),
                  (std::vector<double>{0.14, 0.14, 0.86, 0.86}));
    }
}
