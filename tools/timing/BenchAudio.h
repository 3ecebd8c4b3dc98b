#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

// Sound: SDL's disk driver writes the device format, 48 kHz interleaved S16 stereo.
constexpr int kRate = 48000;

struct Frames {
    std::vector<std::int16_t> s;  // interleaved L, R
    std::size_t count() const { return s.size() / 2; }
    std::int16_t l(std::size_t i) const { return s[2 * i]; }
    std::int16_t r(std::size_t i) const { return s[2 * i + 1]; }
    bool silent(std::size_t i) const { return l(i) == 0 && r(i) == 0; }
    bool same(std::size_t i, const Frames& o, std::size_t j) const {
        return l(i) == o.l(j) && r(i) == o.r(j);
    }
};

// The disk driver's capture: raw frames, a trailing partial frame dropped.
Frames ReadRaw(const std::string& path);

// The PCM of a 16-bit stereo 48 kHz WAV file; empty for any other format or a broken file.
Frames ReadWav(const std::string& path);

struct Beep {
    double start;     // sub-sample frame of the tone's zero phase
    std::size_t end;  // frame after its last sounding sample
    double hz;
    double length() const { return static_cast<double>(end) - start; }
};

// The beeps of a capture: the only sound on both channels at once. Its frequency and start
// come from a straight-line fit to its rising zero crossings, so neither rests on the tone's
// amplitude.
std::vector<Beep> FindBeeps(const Frames& cap);

struct CueStart {
    std::size_t at;       // frame of the cue's first sample
    int cue;              // 0, 1
    std::size_t matched;  // frames that equal the cue from there on
};

// Every place where one of the cues starts, found by its exact samples, in capture order.
std::vector<CueStart> FindCueStarts(const Frames& cap, const Frames (&cues)[2]);

// How a looping cue repeats: the gap (frames) between a complete pass and the next pass of the
// same cue with no beep in between, and how many passes were complete.
struct CueRepeats {
    std::vector<double> gaps;
    std::size_t completePasses = 0;
};

CueRepeats FindCueRepeats(const std::vector<CueStart>& starts, const std::vector<Beep>& beeps,
                          const Frames (&cues)[2]);

// What the bench takes from its sound capture.
struct SoundFindings {
    std::vector<Beep> beeps;
    std::vector<CueStart> starts;
    CueRepeats repeats;
};

SoundFindings AnalyseCapture(const Frames& cap, const Frames (&cues)[2]);
