// The bench's analysis on synthetic input: the sound capture, the cue files, orvi's trace and
// record files. Its figures in the README rest on these.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <random>
#include <tuple>

#include "BenchAudio.h"
#include "OrviFiles.h"
#include "TempDir.h"
#include "TestFiles.h"
#include "TraceMatch.h"

namespace {

// A file of the folder with the bytes; its path.
std::string Write(const TempDir& dir, const std::string& name, const std::string& bytes) {
    WriteBytes(dir / name, bytes);
    return dir / name;
}

struct Segment {
    enum Kind { Tone, Noise } kind;
    std::size_t start, frames;
    double hz;
};

// A capture of silence with the segments in it: a tone sounds alike on both channels from its
// zero phase at `start`, as orvi's beep does; noise differs between the channels, as a cue may.
Frames Capture(const std::vector<Segment>& segments, std::size_t total) {
    Frames cap;
    cap.s.assign(2 * total, 0);
    std::mt19937 rng(1);
    std::uniform_int_distribution<int> noise(-3000, 3000);
    for (const Segment& g : segments)
        for (std::size_t i = g.start; i < g.start + g.frames; ++i) {
            const double x = 0.3 * 32767 * std::sin(2 * M_PI * g.hz * double(i - g.start) / kRate);
            const auto tone = static_cast<std::int16_t>(std::lround(x));
            cap.s[2 * i] = g.kind == Segment::Tone ? tone : std::int16_t(noise(rng));
            cap.s[2 * i + 1] = g.kind == Segment::Tone ? tone : std::int16_t(noise(rng) + 7000);
        }
    return cap;
}

TEST(BenchAudio, FindBeepsTakesEachToneOnBothChannelsWithItsStartLengthAndPitch) {
    const std::vector<Segment> segments = {
        {Segment::Noise, 1000, 3000, 0},   {Segment::Tone, 4003, 4800, 2048},
        {Segment::Tone, 12000, 150, 2048},  // shorter than any beep: not one
        {Segment::Noise, 13000, 2000, 0},  {Segment::Tone, 15010, 9600, 1000},
    };
    const std::vector<Beep> beeps = FindBeeps(Capture(segments, 30000));
    ASSERT_EQ(beeps.size(), 2u);
    for (std::size_t k = 0; k < 2; ++k) {
        const Segment& g = segments[k == 0 ? 1 : 4];
        // The fit through ~100 crossings, each off by under a rounded sample's worth of phase,
        // puts the start within a hundredth of a frame and the pitch within 0.1 Hz.
        EXPECT_NEAR(beeps[k].start, double(g.start), 0.01) << k;
        EXPECT_EQ(beeps[k].end, g.start + g.frames) << k;
        EXPECT_NEAR(beeps[k].hz, g.hz, 0.1) << k;
    }
}

// A WAV file's bytes: a RIFF header, then the chunks as given.
std::string Wav(const std::vector<std::pair<std::string, std::string>>& chunks) {
    std::string body = "WAVE";
    for (const auto& [id, data] : chunks) {
        const std::uint32_t n = static_cast<std::uint32_t>(data.size());
        body += id + std::string(reinterpret_cast<const char*>(&n), 4) + data;
        if (n % 2) body += '\0';
    }
    const std::uint32_t size = static_cast<std::uint32_t>(body.size());
    return "RIFF" + std::string(reinterpret_cast<const char*>(&size), 4) + body;
}

// A "fmt " chunk of 16-bit PCM.
std::string Fmt(std::uint16_t channels, std::uint32_t rate) {
    const std::uint16_t frame = 2 * channels;
    const struct {
        std::uint16_t pcm, channels;
        std::uint32_t rate, bytesPerSecond;
        std::uint16_t frame, bits;
    } f = {1, channels, rate, rate * frame, frame, 16};
    return std::string(reinterpret_cast<const char*>(&f), sizeof f);
}

TEST(BenchAudio, ReadWavTakesOnlyTheDeviceFormatAndSurvivesBrokenFiles) {
    TempDir dir;
    const std::string pcm("\x01\x00\x02\x00\x03\x00\x04\x00\x05\x00\x06\x00", 12);  // 3 frames
    const std::string good = Wav({{"fmt ", Fmt(2, kRate)}, {"LIST", "odd"}, {"data", pcm}});
    std::string hugeChunk = good;  // a length that wraps a 32-bit sum back to the same place
    std::memcpy(&hugeChunk[16], "\xf8\xff\xff\xff", 4);
    const struct {
        const char* name;
        std::string bytes;
        std::size_t frames;
    } cases[] = {
        {"good", good, 3},
        {"data cut short", good.substr(0, good.size() - 5), 1},
        {"mono", Wav({{"fmt ", Fmt(1, kRate)}, {"data", pcm}}), 0},
        {"44.1 kHz", Wav({{"fmt ", Fmt(2, 44100)}, {"data", pcm}}), 0},
        {"data before fmt", Wav({{"data", pcm}, {"fmt ", Fmt(2, kRate)}}), 0},
        {"fmt cut short", good.substr(0, 28), 0},
        {"huge chunk", hugeChunk, 0},
        {"not RIFF", "RIFX" + good.substr(4), 0},
        {"empty", "", 0},
    };
    for (const auto& c : cases) {
        const Frames f = ReadWav(Write(dir, "cue.wav", c.bytes));
        EXPECT_EQ(f.count(), c.frames) << c.name;
        if (c.frames > 0) {
            EXPECT_EQ(f.r(c.frames - 1), 2 * int(c.frames)) << c.name;
        }
    }
    EXPECT_EQ(ReadWav(dir / "missing.wav").count(), 0u);
}

TEST(BenchTrace, EachStartOpensTheNextProbeTrialAndATrialTheTraceMissedKeepsNoTimes) {
    TempDir dir;
    const std::string trace =
        Write(dir, "trace.tsv",
              "display\t10\tx11-present\tvblank\nred\t500\npresent\t500\tred\t7\t7\tcopy\n"
              "white\t1000\npresent\t1000\twhite\t37\t38\tcopy\nbroken line\n"
              "start\t2000\nbeep_start\t2100\nbeep_end\t2200\nonset_request\t2300\n"
              "present\t2301\tface\t40\t41\tflip\nonset\t2301\nclick\t2800\n"
              "present\t2900\tblank\t44\t44\tcopy\nstart\t5000\nonset\t5300\nclick\t5700\n");
    std::vector<Trial> trials(3);
    BlinkTrace blink;
    EXPECT_EQ(MatchTrace(ReadTrace(trace), trials, blink), 2u);
    EXPECT_EQ(blink.red, std::vector<double>{0.5});
    EXPECT_EQ(blink.white, std::vector<double>{1.0});
    EXPECT_EQ(blink.presented, (std::vector<std::pair<long long, bool>>{{7, true}, {38, false}}));
    const Trial& a = trials[0];
    EXPECT_EQ(
        std::vector<double>({a.start, a.beepStart, a.beepEnd, a.onsetRequest, a.onset, a.click}),
        std::vector<double>({2, 2.1, 2.2, 2.3, 2.301, 2.8}));
    EXPECT_EQ(std::make_tuple(a.target, a.msc, a.mode), std::make_tuple(40LL, 41LL, "flip"));
    EXPECT_EQ(std::make_tuple(trials[1].start, trials[1].click, trials[1].target),
              std::make_tuple(5.0, 5.7, -1LL));  // the blank's present line is no face's
    EXPECT_TRUE(std::isnan(trials[2].start) && std::isnan(trials[2].click));
}

TEST(BenchTrace, RecordTimesGoToTheirRunsTrialsInOrder) {
    TempDir dir;
    const std::string record = Write(dir, "run2.txt",
                                     "### open trial  : Tue Nov 14 22:13:20 2023\r\n"
                                     "# param: 100 100 100 150 200 1 0\r\n"
                                     "01 05 1 5  512 1 1 1 0\r\n02 12 2 4  498 0 0 1 0\r\n");
    std::vector<Trial> trials(4);
    for (int i = 0; i < 4; ++i) trials[i].run = i < 2 ? 1 : 2;
    MatchRecordTimes(ReadRecordTimes(record), 2, trials);
    EXPECT_TRUE(std::isnan(trials[0].recordRt) && std::isnan(trials[1].recordRt));
    EXPECT_EQ(std::make_pair(trials[2].recordRt, trials[3].recordRt), std::make_pair(512.0, 498.0));
}

}  // namespace
