// The swap flag decides which sound an eye's cue plays, heard through the real device: the
// default cues are panned hard left (sound1) and hard right (sound2).
#include <gtest/gtest.h>
#include <stdlib.h>
#include <unistd.h>

#include <QCoreApplication>
#include <QElapsedTimer>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <memory>

#include "../view/ViewFakes.h"
#include "PosixFileSystem.h"
#include "SdlSoundDevice.h"

namespace fs = std::filesystem;

namespace {

struct Energy {
    double left = 0, right = 0;
};

// Energy per channel of the S16 stereo capture written from byte `from` on.
Energy CaptureEnergy(const std::string& path, std::uintmax_t from) {
    std::ifstream in(path, std::ios::binary);
    in.seekg(static_cast<std::streamoff>(from));
    Energy e;
    std::int16_t frame[2];
    while (in.read(reinterpret_cast<char*>(frame), sizeof frame)) {
        e.left += double(frame[0]) * frame[0];
        e.right += double(frame[1]) * frame[1];
    }
    return e;
}

void Pump(int ms) {
    QElapsedTimer t;
    t.start();
    while (t.elapsed() < ms) QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
}

}  // namespace

TEST(CueMapping, SwapFlagSendsEachEyeToTheOtherSound) {
    char tmpl[] = "/tmp/orvi-cues-XXXXXX";
    const std::string dir = mkdtemp(tmpl);
    for (const char* f : {"sound1.wav", "sound2.wav"})
        fs::copy_file(fs::path(ORVI_TEST_DATA) / ".." / ".." / "assets" / f, fs::path(dir) / f);
    const std::string capture = dir + "/capture.raw";
    setenv("SDL_AUDIODRIVER", "disk", 1);
    setenv("SDL_DISKAUDIOFILE", capture.c_str(), 1);
    const fs::path cwd = fs::current_path();
    fs::current_path(dir);  // the cues are opened by bare name

    ScriptedPlatform platform;
    platform.exePath = dir + "/orvi";
    platform.files.push_back(dir + "/record.txt");
    PosixFileSystem files;
    ClockedHost host;
    {
        SdlSoundDevice device;
        ASSERT_TRUE(device.isOpen());
        COrviView view(host, device, platform, files);
        host.view = &view;
        for (int swap : {0, 1}) {
            view.m_experiment.m_nSwapSides = swap;
            for (int eye : {0, 1}) {
                Pump(60);
                const auto from = fs::file_size(capture);
                view.PlayCue(eye);
                Pump(150);
                view.StopCues();
                const Energy e = CaptureEnergy(capture, from);
                const bool leftSound = (eye == 0) == (swap == 0);  // sound1 is the left one
                EXPECT_GT(leftSound ? e.left : e.right, 0) << "swap " << swap << " eye " << eye;
                EXPECT_EQ(leftSound ? e.right : e.left, 0) << "swap " << swap << " eye " << eye;
            }
        }
    }
    fs::current_path(cwd);
    fs::remove_all(dir);
}
