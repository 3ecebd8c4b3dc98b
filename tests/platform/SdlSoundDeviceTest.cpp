// Runs the device on SDL's disk driver, which writes every buffer to a file. The driver runs a
// little faster than real time, so lengths are checked in frames, never in wall time. The
// capture also holds the silent buffers SDL writes before the device is unpaused, so capture
// positions and framesRendered() are compared only as differences.
#include <gtest/gtest.h>
#include <stdlib.h>

#include <QGuiApplication>
#include <chrono>
#include <cmath>
#include <filesystem>
#include <fstream>
#include <iomanip>
#include <iostream>
#include <thread>
#include <vector>

#include "SdlSoundDevice.h"

namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;
using Samples = std::vector<int>;
constexpr int kRate = 48000;

void writeWav(const char* path, int rate, int channels, const std::vector<std::int16_t>& pcm) {
    std::ofstream out(path, std::ios::binary);
    const auto put = [&](std::uint32_t v, int bytes) {
        out.write(reinterpret_cast<char*>(&v), bytes);
    };
    const auto size = static_cast<std::uint32_t>(pcm.size() * 2);
    out << "RIFF", put(36 + size, 4), out << "WAVEfmt ", put(16, 4), put(1, 2), put(channels, 2);
    put(rate, 4), put(rate * channels * 2, 4), put(channels * 2, 2), put(16, 2), out << "data";
    put(size, 4), out.write(reinterpret_cast<const char*>(pcm.data()), size);
}

// Stereo cue whose frame k is (base + k + 1, -(base + k + 1)), so every frame can be located.
void writePatternCue(const char* path, int frames, int base) {
    std::vector<std::int16_t> pcm;
    for (int v = base + 1; v <= base + frames; ++v)
        pcm.insert(pcm.end(), {std::int16_t(v), std::int16_t(-v)});
    writeWav(path, kRate, 2, pcm);
}

struct Stretch {
    std::size_t at, length;
};

// Stretches of non-zero samples.
std::vector<Stretch> soundRuns(const Samples& x) {
    std::vector<Stretch> runs;
    for (std::size_t i = 0, n = 0; i < x.size(); i += n + 1) {
        for (n = 0; i + n < x.size() && x[i + n] != 0;) ++n;
        if (n > 0) runs.push_back({i, n});
    }
    return runs;
}

// Frequency from the first and last rising zero crossings, interpolated between samples.
double toneFrequency(const Samples& x, std::size_t from, std::size_t to) {
    double first = 0, last = 0;
    int crossings = 0;
    for (std::size_t i = from + 1; i < to; ++i) {
        if (x[i - 1] < 0 && x[i] >= 0) {
            last = double(i - 1) + x[i - 1] / double(x[i - 1] - x[i]);
            if (crossings++ == 0) first = last;
        }
    }
    return (crossings - 1) * kRate / (last - first);
}

class SdlSoundDeviceTest : public ::testing::Test {
  protected:
    static void SetUpTestSuite() {
        static int argc = 1;
        static char name[] = "platform_tests";
        static char* argv[] = {name, nullptr};
        // A GUI application, so that other suites sharing this process can paint.
        if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
        if (QCoreApplication::instance() == nullptr) new QGuiApplication(argc, argv);
    }
    void SetUp() override {
        std::string dir = (fs::temp_directory_path() / "orvi-sound-XXXXXX").string();
        ASSERT_NE(mkdtemp(dir.data()), nullptr);
        m_dir = dir;
        fs::current_path(m_dir);  // sounds are opened from the current directory
        setenv("SDL_AUDIODRIVER", "disk", 1);
        setenv("SDL_DISKAUDIOFILE", (m_dir / "capture.raw").c_str(), 1);
    }
    void TearDown() override {
        fs::current_path(m_oldDir);
        fs::remove_all(m_dir);
    }
    // Complete only once the device has been destroyed.
    Samples captured(int channel) const {
        std::ifstream in(m_dir / "capture.raw", std::ios::binary);
        Samples x;
        for (std::int16_t frame[2]; in.read(reinterpret_cast<char*>(frame), sizeof frame);)
            x.push_back(frame[channel]);
        return x;
    }
    template <class Done>
    static bool pumpUntil(Done done, int timeoutMs) {
        const auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
        for (; !done(); std::this_thread::sleep_for(std::chrono::milliseconds(1))) {
            if (Clock::now() > deadline) return false;
            QCoreApplication::processEvents();
        }
        return true;
    }
    static void pumpFor(int ms) {
        pumpUntil([] { return false; }, ms);
    }

    fs::path m_dir, m_oldDir = fs::current_path();
};

TEST_F(SdlSoundDeviceTest, BeepIsAPhaseZeroSineOfExactLengthAndReturnsWhenConsumed) {
    // 2048 Hz at 48 kHz is exactly zero every 375 samples; 251 ms keeps the tone's first missing
    // or extra sample off those zeros so a length error shows.
    constexpr std::size_t kFrames = 251 * kRate / 1000;
    std::uint64_t renderedDuringBeep = 0;
    {
        SdlSoundDevice device;
        ASSERT_TRUE(device.isOpen());
        ASSERT_EQ(device.sampleRate(), kRate);
        ASSERT_LE(device.bufferFrames(), 256);
        const auto before = Clock::now();
        device.beep(2048, 0);
        device.beep(2048, -5);
        EXPECT_LT(Clock::now() - before, std::chrono::milliseconds(5));
        const std::uint64_t renderedBefore = device.framesRendered();
        device.beep(2048, 251);
        renderedDuringBeep = device.framesRendered() - renderedBefore;
    }
    const Samples left = captured(0);
    ASSERT_EQ(left, captured(1));
    const std::vector<Stretch> runs = soundRuns(left);
    ASSERT_FALSE(runs.empty());
    // Phase 0: the tone's first sample is its only silent one before the first crossing.
    const std::size_t start = runs.front().at - 1, end = runs.back().at + runs.back().length;
    const double amplitude = SdlSoundDevice::kBeepAmplitude * 32767;
    EXPECT_EQ(left[start + 1], std::lround(amplitude * std::sin(2 * M_PI * 2048 / kRate)));
    const double hz = toneFrequency(left, start, end);
    std::cout << "[ measured ] beep " << end - start << " samples, " << std::setprecision(10) << hz
              << " Hz\n";
    EXPECT_EQ(end - start, kFrames);
    EXPECT_NEAR(hz, 2048.0, 1.0);
    // Returned once the last tone sample went out, not a timeout later.
    EXPECT_GE(renderedDuringBeep, kFrames);
    EXPECT_LE(renderedDuringBeep, kFrames + 10 * 256);
}

TEST_F(SdlSoundDeviceTest, ReplayedCueLoopsWithoutGapAndStopsWithoutReport) {
    constexpr int kCueFrames = 4800;
    writePatternCue("cue.wav", kCueFrames, 0);
    int reports = 0;
    std::uint64_t renderedUntilStop = 0;
    {
        SdlSoundDevice device;
        ASSERT_EQ(device.sendCommand("open cue.wav alias left"), 0);
        device.setNotifyHandler([&](int code) {
            EXPECT_EQ(code, SoundDevice::kNotifySuccessful);
            ++reports;
            EXPECT_EQ(device.sendCommand("play left from 0 notify"), 0);
        });
        const double beforePlayMs =
            std::chrono::duration<double, std::milli>(Clock::now().time_since_epoch()).count();
        const std::uint64_t renderedBeforePlay = device.framesRendered();
        ASSERT_EQ(device.sendCommand("play left from 0 notify"), 0);
        ASSERT_TRUE(pumpUntil([&] { return reports >= 1; }, 2000));
        const double startMs = device.lastCueStartMs();
        EXPECT_GE(startMs, beforePlayMs);
        ASSERT_TRUE(pumpUntil([&] { return reports >= 4; }, 3000));
        EXPECT_EQ(device.lastCueStartMs(), startMs) << "a seamless repeat is not a new start";
        EXPECT_EQ(device.sendCommand("stop all"), 0);
        renderedUntilStop = device.framesRendered() - renderedBeforePlay;
        const int reportsAtStop = reports;
        pumpFor(300);
        EXPECT_EQ(reports, reportsAtStop);
    }
    const Samples left = captured(0), right = captured(1);
    const std::vector<Stretch> runs = soundRuns(left);
    ASSERT_FALSE(runs.empty());
    const std::size_t start = runs.front().at, played = runs.back().at + runs.back().length - start;
    std::size_t misplaced = 0, silent = played;
    for (const Stretch& run : runs) silent -= run.length;
    for (std::size_t i = 0; i < played; ++i) {
        misplaced +=
            left[start + i] != int(i % kCueFrames + 1) || right[start + i] != -left[start + i];
    }
    std::cout << "[ measured ] " << played / kCueFrames << " repeats, " << silent
              << " silent frames between them\n";
    EXPECT_EQ(silent, 0u) << "gap in the loop";
    EXPECT_EQ(misplaced, 0u);
    EXPECT_GE(played, std::size_t(reports) * kCueFrames);
    EXPECT_LE(played, renderedUntilStop) << "sound after stop all";
}

TEST_F(SdlSoundDeviceTest, UnansweredRepeatEndsAndStaleReportIsDropped) {
    constexpr std::size_t kCueFrames = 4800;
    writePatternCue("cue.wav", kCueFrames, 0);
    int reports = 0;
    {
        SdlSoundDevice device;
        ASSERT_EQ(device.sendCommand("open cue.wav alias left"), 0);
        device.setNotifyHandler([&](int) { ++reports; });
        // A handler that does not replay: the repeat the device began is cut after the report.
        ASSERT_EQ(device.sendCommand("play left from 0 notify"), 0);
        ASSERT_TRUE(pumpUntil([&] { return reports == 1; }, 2000));
        pumpFor(300);
        // The UI thread is busy past two lengths: the report waits in the queue, the unanswered
        // repeat plays to its own end, and "stop all" discards the waiting report.
        ASSERT_EQ(device.sendCommand("play left from 0 notify"), 0);
        std::this_thread::sleep_for(std::chrono::milliseconds(400));
        ASSERT_EQ(device.sendCommand("stop all"), 0);
        pumpFor(300);
        EXPECT_EQ(reports, 1);
    }
    const std::vector<Stretch> runs = soundRuns(captured(0));
    ASSERT_EQ(runs.size(), 2u);
    std::cout << "[ measured ] unanswered repeat cut after " << runs[0].length - kCueFrames
              << " frames\n";
    EXPECT_GT(runs[0].length, kCueFrames);
    EXPECT_LT(runs[0].length, 2 * kCueFrames);
    EXPECT_EQ(runs[1].length, 2 * kCueFrames);
}

TEST_F(SdlSoundDeviceTest, PlayOfAnotherAliasReplacesTheCurrentOne) {
    writePatternCue("a.wav", 4800, 0);
    writePatternCue("b.wav", 2400, 10000);
    std::vector<int> reports;
    {
        SdlSoundDevice device;
        ASSERT_EQ(device.sendCommand("open a.wav alias left"), 0);
        ASSERT_EQ(device.sendCommand("open b.wav alias right"), 0);
        device.setNotifyHandler([&](int code) { reports.push_back(code); });
        ASSERT_EQ(device.sendCommand("play left from 0 notify"), 0);
        ASSERT_TRUE(pumpUntil([&] { return device.lastCueStartMs() >= 0; }, 1000));
        ASSERT_EQ(device.sendCommand("play right from 0 notify"), 0);
        pumpFor(400);
    }
    EXPECT_EQ(reports, std::vector<int>{SoundDevice::kNotifySuccessful}) << "only right's end";
    const Samples left = captured(0);
    const std::size_t start = soundRuns(left).at(0).at;
    std::size_t i = start;
    while (left[i] > 0 && left[i] <= 4800) ++i;
    ASSERT_LT(i - start, 4800u) << "left was not cut";
    for (int k = 0; k < 2400; ++k) ASSERT_EQ(left[i + k], 10001 + k) << "right follows at once";
}

TEST_F(SdlSoundDeviceTest, ResampledSoundKeepsItsExactLengthPitchAndTail) {
    // 441 Hz in a 44.1 kHz mono file: 13230 frames become exactly 14400 at 48 kHz.
    std::vector<std::int16_t> sine;
    for (int n = 0; n < 13230; ++n)
        sine.push_back(std::int16_t(10000 * std::sin(2 * M_PI * 441 * n / 44100.0)));
    writeWav("sine.wav", 44100, 1, sine);
    writeWav("odd.wav", 22050, 1, std::vector<std::int16_t>(1001, 1000));        // 2179.05 frames
    writeWav("odd2.wav", 44100, 2, std::vector<std::int16_t>(2 * 12345, 1000));  // 13436.73 frames
    {
        SdlSoundDevice device;
        ASSERT_EQ(device.sendCommand("open sine.wav alias sine"), 0);
        ASSERT_EQ(device.sendCommand("open odd.wav alias odd"), 0);
        ASSERT_EQ(device.sendCommand("open odd2.wav alias odd2"), 0);
        EXPECT_EQ(device.cueFrames("sine"), 14400);
        EXPECT_EQ(device.cueFrames("odd"), 2179);
        EXPECT_EQ(device.cueFrames("odd2"), 13437);
        device.setNotifyHandler([&](int) { device.sendCommand("stop all"); });
        ASSERT_EQ(device.sendCommand("play sine from 0 notify"), 0);
        pumpFor(600);
    }
    const Samples left = captured(0);
    ASSERT_EQ(left, captured(1));
    const std::size_t start = soundRuns(left).at(0).at;
    ASSERT_LT(start + 14400, left.size());
    EXPECT_NEAR(toneFrequency(left, start, start + 14400), 441.0, 0.5);
    const auto rms = [&](std::size_t from) {
        double sum = 0;
        for (std::size_t i = from; i < from + 544; ++i) sum += double(left[i]) * left[i];
        return std::sqrt(sum / 544);
    };
    EXPECT_NEAR(rms(start + 14400 - 600), rms(start + 4000), 300.0)
        << "the end of the sound is lost";
}

TEST_F(SdlSoundDeviceTest, BadCommandsFailAndReportNothing) {
    writePatternCue("cue.wav", 480, 0);
    std::ofstream("text.wav") << "not a wave file";
    int reports = 0;
    {
        SdlSoundDevice device;
        device.setNotifyHandler([&](int) { ++reports; });
        for (const char* bad :
             {"open missing.wav alias left", "open text.wav alias left", "play left from 0 notify",
              "", "play left", "stop", "pause all", "open cue.wav"}) {
            EXPECT_NE(device.sendCommand(bad), 0) << bad;
        }
        EXPECT_EQ(device.sendCommand("open cue.wav alias left"), 0);
        EXPECT_NE(device.sendCommand("open cue.wav alias left"), 0) << "alias in use";
        EXPECT_NE(device.sendCommand("play left from 5 notify"), 0);
        EXPECT_EQ(device.sendCommand("close all"), 0);
        EXPECT_NE(device.sendCommand("play left from 0 notify"), 0) << "closed";
        pumpFor(200);
    }
    EXPECT_EQ(reports, 0);
    EXPECT_TRUE(soundRuns(captured(0)).empty()) << "something played";
}

TEST_F(SdlSoundDeviceTest, WithoutDeviceEverythingIsQuietAndBeepStillTakesItsLength) {
    writePatternCue("cue.wav", 480, 0);
    setenv("SDL_AUDIODRIVER", "alsa", 1);  // with no sound card libasound would complain on stderr
    testing::internal::CaptureStderr();
    const bool alsaOpened = SdlSoundDevice().isOpen();
    const std::string printed = testing::internal::GetCapturedStderr();
    EXPECT_TRUE(alsaOpened || printed.empty()) << printed;

    setenv("SDL_AUDIODRIVER", "no-such-driver", 1);
    SdlSoundDevice device;
    EXPECT_FALSE(device.isOpen());
    EXPECT_NE(device.sendCommand("open cue.wav alias left"), 0);
    EXPECT_NE(device.sendCommand("play left from 0 notify"), 0);
    EXPECT_EQ(device.sendCommand("stop all"), 0);
    const auto before = Clock::now();
    device.beep(2048, 200);
    const double waited = std::chrono::duration<double, std::milli>(Clock::now() - before).count();
    std::cout << "[ measured ] beep without device waited " << waited << " ms\n";
    EXPECT_GE(waited, 200.0);
    EXPECT_LT(waited, 240.0);
}

}  // namespace
