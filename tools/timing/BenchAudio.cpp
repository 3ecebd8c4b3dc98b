#include "BenchAudio.h"

#include <algorithm>
#include <cstring>
#include <fstream>
#include <iterator>

namespace {

std::vector<char> ReadBytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

template <class T>
T LittleEndian(const std::vector<char>& b, std::size_t at) {
    T v;
    std::memcpy(&v, b.data() + at, sizeof v);
    return v;
}

// A "fmt " chunk's body describes 16-bit PCM stereo at kRate.
bool IsDeviceFormat(const std::vector<char>& b, std::size_t body) {
    return LittleEndian<std::uint16_t>(b, body) == 1 &&
           LittleEndian<std::uint16_t>(b, body + 2) == 2 &&
           LittleEndian<std::uint32_t>(b, body + 4) == kRate &&
           LittleEndian<std::uint16_t>(b, body + 14) == 16;
}

// From `first`, the last sounding frame of a tone on both channels, ended by kSilence silent
// frames or by the channels parting; i is left after the frames looked at.
std::size_t ToneEnd(const Frames& cap, std::size_t& i) {
    constexpr std::size_t kSilence = 64;  // longer than any zero inside a tone
    std::size_t last = i, quiet = 0;
    for (; i < cap.count() && quiet < kSilence; ++i) {
        if (cap.silent(i)) {
            ++quiet;
            continue;
        }
        if (cap.l(i) != cap.r(i)) break;
        quiet = 0;
        last = i;
    }
    return last;
}

// Fits frame = t0 + period * k to the tone's rising zero crossings (linear interpolation
// between samples); false with fewer than three.
bool FitTone(const Frames& cap, std::size_t first, std::size_t last, Beep& beep) {
    std::vector<double> crossings;
    for (std::size_t k = first > 0 ? first - 1 : 0; k < last; ++k) {
        const double a = cap.l(k), b = cap.l(k + 1);
        if (a <= 0 && b > 0) crossings.push_back(static_cast<double>(k) + (-a) / (b - a));
    }
    const double m = static_cast<double>(crossings.size());
    if (m < 3) return false;
    double sx = 0, sy = 0, sxx = 0, sxy = 0;
    for (std::size_t k = 0; k < crossings.size(); ++k) {
        const double x = static_cast<double>(k);
        sx += x;
        sy += crossings[k];
        sxx += x * x;
        sxy += x * crossings[k];
    }
    const double period = (m * sxy - sx * sy) / (m * sxx - sx * sx);
    beep = {(sy - period * sx) / m, last + 1, kRate / period};
    return true;
}

// Frames of the capture from `at` on that equal the cue from its start.
std::size_t MatchedFrames(const Frames& cap, std::size_t at, const Frames& cue) {
    std::size_t k = 0;
    while (k < cue.count() && at + k < cap.count() && cap.same(at + k, cue, k)) ++k;
    return k;
}

void FindStartsOf(const Frames& cap, const Frames& cue, int c, std::vector<CueStart>& starts) {
    std::size_t j0 = 0;  // the cue's first sounding frame: silence matches anywhere
    while (j0 < cue.count() && cue.silent(j0)) ++j0;
    if (j0 + 64 > cue.count()) return;
    for (std::size_t x = j0; x < cap.count(); ++x) {
        if (!cap.same(x, cue, j0)) continue;
        const std::size_t at = x - j0;
        const std::size_t k = MatchedFrames(cap, at, cue);
        if (k < j0 + 64) continue;
        starts.push_back({at, c, k});
        x = at + k - 1;
    }
}

}  // namespace

Frames ReadRaw(const std::string& path) {
    Frames f;
    const std::vector<char> bytes = ReadBytes(path);
    f.s.resize(bytes.size() / 4 * 2);
    std::memcpy(f.s.data(), bytes.data(), f.s.size() * 2);
    return f;
}

Frames ReadWav(const std::string& path) {
    Frames f;
    const std::vector<char> b = ReadBytes(path);
    if (b.size() < 12 || std::memcmp(b.data(), "RIFF", 4) || std::memcmp(b.data() + 8, "WAVE", 4))
        return f;
    bool pcmOk = false;
    for (std::size_t at = 12; at + 8 <= b.size();) {
        const std::uint32_t len = LittleEndian<std::uint32_t>(b, at + 4);
        if (!std::memcmp(b.data() + at, "fmt ", 4) && len >= 16 && at + 24 <= b.size())
            pcmOk = IsDeviceFormat(b, at + 8);
        if (!std::memcmp(b.data() + at, "data", 4) && pcmOk) {
            const std::size_t n = std::min<std::size_t>(len, b.size() - at - 8) / 4 * 2;
            f.s.resize(n);
            std::memcpy(f.s.data(), b.data() + at + 8, n * 2);
            return f;
        }
        at += 8 + std::size_t{len} + (len & 1);
    }
    return f;
}

std::vector<Beep> FindBeeps(const Frames& cap) {
    std::vector<Beep> beeps;
    for (std::size_t i = 0; i < cap.count();) {
        if (cap.silent(i) || cap.l(i) != cap.r(i)) {
            ++i;
            continue;
        }
        const std::size_t first = i;
        const std::size_t last = ToneEnd(cap, i);
        Beep beep{};
        if (last - first >= 200 && FitTone(cap, first, last, beep)) beeps.push_back(beep);
    }
    return beeps;
}

std::vector<CueStart> FindCueStarts(const Frames& cap, const Frames (&cues)[2]) {
    std::vector<CueStart> starts;
    for (int c = 0; c < 2; ++c) FindStartsOf(cap, cues[c], c, starts);
    std::sort(starts.begin(), starts.end(),
              [](const CueStart& a, const CueStart& b) { return a.at < b.at; });
    return starts;
}

CueRepeats FindCueRepeats(const std::vector<CueStart>& starts, const std::vector<Beep>& beeps,
                          const Frames (&cues)[2]) {
    CueRepeats repeats;
    for (std::size_t i = 0; i + 1 < starts.size(); ++i) {
        const CueStart& a = starts[i];
        const CueStart& b = starts[i + 1];
        const bool complete = a.matched == cues[a.cue].count();
        repeats.completePasses += complete;
        const bool beepBetween = std::any_of(beeps.begin(), beeps.end(), [&](const Beep& bp) {
            return bp.start > static_cast<double>(a.at) && bp.start < static_cast<double>(b.at);
        });
        if (!complete || beepBetween || a.cue != b.cue) continue;
        repeats.gaps.push_back(static_cast<double>(b.at) -
                               static_cast<double>(a.at + cues[a.cue].count()));
    }
    return repeats;
}

SoundFindings AnalyseCapture(const Frames& cap, const Frames (&cues)[2]) {
    SoundFindings found;
    found.beeps = FindBeeps(cap);
    found.starts = FindCueStarts(cap, cues);
    found.repeats = FindCueRepeats(found.starts, found.beeps, cues);
    return found;
}
