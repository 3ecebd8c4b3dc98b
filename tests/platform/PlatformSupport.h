// Shared by the platform suites: cue files, a scratch working folder for the sound device, and
// pumping the event loop.
#pragma once

#include <gtest/gtest.h>
#include <stdlib.h>

#include <QCoreApplication>
#include <chrono>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

#include "TempDir.h"

namespace fs = std::filesystem;
using Samples = std::vector<int>;

// A 48 kHz stereo cue whose frame k is (k + 1, -(k + 1)), so that every frame can be located,
// cut after keepBytes. The header's words are little-endian: "RIFF", size, "WAVE", "fmt ", 16,
// PCM and 2 channels, rate, bytes a second, 4 bytes a frame and 16 bits, "data", size.
inline void WriteCue(const char* path, std::uint32_t frames, std::size_t keepBytes = SIZE_MAX) {
    std::vector<std::int16_t> pcm;
    for (int v = 1; v <= int(frames); ++v)
        pcm.insert(pcm.end(), {std::int16_t(v), std::int16_t(-v)});
    const std::uint32_t size = 4 * frames,
                        header[] = {0x46464952, 36 + size, 0x45564157, 0x20746d66, 16,  0x00020001,
                                    48000,      48000 * 4, 0x00100004, 0x61746164, size};
    std::string bytes(reinterpret_cast<const char*>(header), sizeof header);
    bytes.append(reinterpret_cast<const char*>(pcm.data()), size);
    std::ofstream(path, std::ios::binary) << bytes.substr(0, keepBytes);
}

// Runs the event loop until done() or the timeout; done()'s last value.
template <class Done>
bool PumpUntil(Done done, int timeoutMs) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    while (!done() && std::chrono::steady_clock::now() < deadline) {
        QCoreApplication::processEvents();
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    return done();
}
inline void Pump(int ms) {
    PumpUntil([] { return false; }, ms);
}

// Works in a scratch folder (cues are opened from the current one), with SDL's disk driver
// writing every buffer the device renders to capture.raw there.
class SoundFolderTest : public ::testing::Test {
  protected:
    void SetUp() override {
        fs::current_path(m_dir.path);
        setenv("SDL_AUDIODRIVER", "disk", 1);
        setenv("SDL_DISKAUDIOFILE", "capture.raw", 1);
    }
    void TearDown() override { fs::current_path(m_oldDir); }
    // One channel of the capture from byte `from` on; complete once the device is destroyed.
    static Samples Captured(int channel, std::streamoff from = 0) {
        std::ifstream in("capture.raw", std::ios::binary);
        in.seekg(from);
        Samples x;
        for (std::int16_t frame[2]; in.read(reinterpret_cast<char*>(frame), sizeof frame);)
            x.push_back(frame[channel]);
        return x;
    }

  private:
    const TempDir m_dir;
    const fs::path m_oldDir = fs::current_path();
};
