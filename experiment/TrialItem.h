#pragma once

// One stimulus: the target eye (0 or 1) and the face's viewpoint (0 to 7).
struct TrialItem {
    int eye;
    int viewpoint;
};

inline constexpr int kEyeCount = 2;
inline constexpr int kViewpointCount = 8;
// The items of a run: each target eye at each viewpoint.
inline constexpr int kItemCount = kEyeCount * kViewpointCount;

// The item of a target eye and a viewpoint, counted from 0: the inverse of kItemTable.
constexpr int ItemNumber(int eye, int viewpoint) { return eye * kViewpointCount + viewpoint; }

// Item n is eye n / 8 with viewpoint n % 8; schedule and records store the item number.
inline constexpr TrialItem kItemTable[kItemCount] = {
    {0, 0}, {0, 1}, {0, 2}, {0, 3}, {0, 4}, {0, 5}, {0, 6}, {0, 7},
    {1, 0}, {1, 1}, {1, 2}, {1, 3}, {1, 4}, {1, 5}, {1, 6}, {1, 7},
};

static_assert(
    [] {
        for (int n = 0; n < kItemCount; ++n) {
            if (ItemNumber(kItemTable[n].eye, kItemTable[n].viewpoint) != n) {
                return false;
            }
        }
        return true;
    }(),
    "kItemTable and ItemNumber disagree");
