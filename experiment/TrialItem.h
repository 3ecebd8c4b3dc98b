#pragma once

// One stimulus: the target eye (0 or 1) and the face's viewpoint (0 to 7).
struct TrialItem {
    int eye;
    int viewpoint;
};

// Item n is eye n / 8 with viewpoint n % 8; schedule and records store the item number.
inline constexpr TrialItem kItemTable[16] = {
    {0, 0}, {0, 1}, {0, 2}, {0, 3}, {0, 4}, {0, 5}, {0, 6}, {0, 7},
    {1, 0}, {1, 1}, {1, 2}, {1, 3}, {1, 4}, {1, 5}, {1, 6}, {1, 7},
};
