#pragma once

#include <array>

// The two cue sounds, found in the current folder: index 0 plays under the alias "left",
// index 1 under "right".
inline constexpr std::array<const char*, 2> kCueFiles = {"sound1.wav", "sound2.wav"};

// The cue that stands for an eye (0 or 1, the face's own numbering) under a run's swap flag:
// the eye itself when the flag is 0; any other value trades the two.
constexpr int CueIndexFor(int eye, int swapSides) {
    if (swapSides == 0) {
        return eye;
    }
    return eye == 0 ? 1 : 0;
}
