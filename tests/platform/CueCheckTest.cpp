// The start-up warning and the self-check judge a cue file as the device's "open" takes it.
#include <gtest/gtest.h>

#include "CueCheck.h"
#include "PlatformSupport.h"

using State = SdlSoundDevice::CueFileInfo::State;
using CueCheckTest = SoundFolderTest;

TEST_F(CueCheckTest, NamesEachCueFileThatCannotSoundAndAgreesWithOpen) {
    const struct {
        const char* what;
        std::size_t length;  // 0: no file
        State state;
        const char* english;
        const char* japanese;
    } cases[] = {
        {"missing", 0, State::Missing, "is not in the current folder", "にありません"},
        {"truncated header", 30, State::Undecodable, "does not load", "読み込めません"},
        {"0 frames", 44, State::Empty, "holds no sound", "音が入っていません"},
        {"a sound", 44 + 4 * 480, State::Ok, nullptr, nullptr},
    };
    WriteCue("sound2.wav", 480);
    for (const auto& c : cases) {
        fs::remove("sound1.wav");
        if (c.length > 0) WriteCue("sound1.wav", c.length > 44 ? 480 : 0, c.length);
        SdlSoundDevice device;
        ASSERT_TRUE(device.isOpen());
        const CueCheck check(device);
        ASSERT_EQ(check.files().size(), 2u);
        EXPECT_EQ(check.files()[0].name, "sound1.wav");
        EXPECT_EQ(check.files()[0].info.state, c.state) << c.what;
        EXPECT_EQ(check.files()[1].info.state, State::Ok) << c.what;
        EXPECT_EQ(device.sendCommand("open sound1.wav alias left") == 0, c.state == State::Ok)
            << c.what;
        const auto problems = check.problems();
        const std::string japanese = check.japaneseMessage();
        if (c.state == State::Ok) {
            EXPECT_TRUE(problems.empty()) << problems.front();
            EXPECT_EQ(japanese, "");
            const SdlSoundDevice::CueFileInfo& info = check.files()[0].info;
            EXPECT_EQ(info.format + " " + std::to_string(info.rateHz) + " " +
                          std::to_string(info.channels) + " " + std::to_string(info.frames),
                      "16-bit signed 48000 2 480");
            continue;
        }
        ASSERT_EQ(problems.size(), 1u) << c.what;
        EXPECT_EQ(problems[0].rfind("sound1.wav ", 0), 0u) << problems[0];
        EXPECT_NE(problems[0].find(c.english), std::string::npos) << problems[0];
        EXPECT_NE(japanese.find("・sound1.wav "), std::string::npos) << japanese;
        EXPECT_NE(japanese.find(c.japanese), std::string::npos) << japanese;
        EXPECT_EQ(japanese.find("sound2.wav"), std::string::npos) << japanese;
    }
}

// The files still get judged, and the missing device is named once.
TEST_F(CueCheckTest, NoDeviceIsItsOwnProblem) {
    WriteCue("sound1.wav", 480);
    WriteCue("sound2.wav", 480);
    setenv("SDL_AUDIODRIVER", "no-such-driver", 1);
    const SdlSoundDevice device;
    const CueCheck check(device);
    EXPECT_EQ(check.files()[0].info.state, State::Ok);
    EXPECT_EQ(check.files()[1].info.state, State::Ok);
    ASSERT_EQ(check.problems().size(), 1u);
    EXPECT_EQ(check.problems()[0].rfind("no audio output device opens", 0), 0u);
    EXPECT_NE(check.japaneseMessage().find("音声出力装置を開けません"), std::string::npos);
}
