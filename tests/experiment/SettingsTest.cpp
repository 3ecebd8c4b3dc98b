#include <gtest/gtest.h>

#include <array>
#include <cstdlib>
#include <string>

#include "ExperimentTestSupport.h"

namespace {

using Settings = std::array<int, 6>;

Settings Load(FakePlatform& platform, FileSystem& files) {
    CExperiment e(platform, files);
    return {e.m_nBeepDelay,  e.m_nBeepLength, e.m_nFaceDelay,
            e.m_nBlinkWhite, e.m_nBlinkRed,   e.m_nHideCursor};
}

}  // namespace

TEST(Settings, MissingFileIsCreatedWithDefaultsByteForByte) {
    TempDir dir;
    FakePlatform platform;
    platform.program = dir / "orvi";
    PosixFileSystem files;
    CExperiment e(platform, files);
    EXPECT_EQ(e.m_szIniPath, dir / "orvi.ini");
    EXPECT_EQ(Load(platform, files), (Settings{1000, 1000, 1000, 500, 500, 1}));
    EXPECT_EQ(ReadBytes(dir / "orvi.ini"), DataFile("settings-default.ini"));
    EXPECT_TRUE(platform.messages.empty());
}

TEST(Settings, PathTakesOnlyTheFileNamesExtension) {
    const std::pair<const char*, const char*> cases[] = {
        {"/lab/run.exe", "/lab/run.ini"},
        {"/lab.v2/orvi", "/lab.v2/orvi.ini"},
        {"/lab.v2/orvi.bin", "/lab.v2/orvi.ini"},
        {"/lab/orvi.", "/lab/orvi.ini"},
        {"orvi", "orvi.ini"},
    };
    FailingFileSystem files;
    for (const auto& [program, ini] : cases) {
        FakePlatform platform;
        platform.program = program;
        files.log.clear();
        files.failAt = 0;  // nothing on disk is touched
        CExperiment e(platform, files);
        EXPECT_EQ(e.m_szIniPath, ini);
    }
}

TEST(Settings, NoProgramPathMeansDefaultsAndNoFileAccess) {
    FakePlatform platform;
    FailingFileSystem files;
    EXPECT_EQ(Load(platform, files), (Settings{1000, 1000, 1000, 500, 500, 1}));
    EXPECT_TRUE(files.log.empty());
}

TEST(Settings, ValuesAreReadAndTheFileLeftAsItWas) {
    TempDir dir;
    FakePlatform platform;
    platform.program = dir / "orvi";
    PosixFileSystem files;
    const std::string content =
        "  750\t; a\r\n-200\r\n1500\t; face\n0\n99999999999\t; too large\n2 trailing words\n";
    WriteBytes(dir / "orvi.ini", content);
    EXPECT_EQ(Load(platform, files), (Settings{750, -200, 1500, 0, 500, 2}));
    EXPECT_EQ(ReadBytes(dir / "orvi.ini"), content);
}

TEST(Settings, LinesWithoutANumberKeepTheirDefaults) {
    TempDir dir;
    FakePlatform platform;
    platform.program = dir / "orvi";
    PosixFileSystem files;
    WriteBytes(dir / "orvi.ini", "abc\n\n 1100\n; 300\n+x\n0\n");
    EXPECT_EQ(Load(platform, files), (Settings{1000, 1000, 1100, 500, 500, 0}));
    // Fewer than six lines: the missing ones give the defaults, not the last line read.
    WriteBytes(dir / "orvi.ini", "2000\n3000");
    EXPECT_EQ(Load(platform, files), (Settings{2000, 3000, 1000, 500, 500, 1}));
    WriteBytes(dir / "orvi.ini", "");
    EXPECT_EQ(Load(platform, files), (Settings{1000, 1000, 1000, 500, 500, 1}));
}

TEST(Settings, ALineOf255CharactersRunsIntoTheNextSetting) {
    TempDir dir;
    FakePlatform platform;
    platform.program = dir / "orvi";
    PosixFileSystem files;
    const std::string rest = "\n2\n3\n4\n5\n6\n";
    // 254 characters and the line end fill the buffer exactly: no shift.
    WriteBytes(dir / "orvi.ini", "1" + std::string(253, ' ') + rest);
    EXPECT_EQ(Load(platform, files), (Settings{1, 2, 3, 4, 5, 6}));
    WriteBytes(dir / "orvi.ini", "1" + std::string(253, ' ') + "\r\n2\r\n3\r\n4\r\n5\r\n6\r\n");
    EXPECT_EQ(Load(platform, files), (Settings{1, 2, 3, 4, 5, 6}));
    // 255 characters: the line end is read as setting 2's line, the sixth line is not read.
    WriteBytes(dir / "orvi.ini", "1" + std::string(254, ' ') + rest);
    EXPECT_EQ(Load(platform, files), (Settings{1, 1000, 2, 3, 4, 5}));
    // The rest of a long line is setting 2's line.
    WriteBytes(dir / "orvi.ini", "1" + std::string(254, ' ') + "77" + rest);
    EXPECT_EQ(Load(platform, files), (Settings{1, 77, 2, 3, 4, 5}));
}

TEST(Settings, FailuresAreSilentAndNeverOverwriteAFile) {
    TempDir dir;
    FakePlatform platform;
    platform.program = dir / "orvi";
    FailingFileSystem files;
    WriteBytes(dir / "orvi.ini", "5\n");
    files.failAt = 0;  // the read fails after opening
    EXPECT_EQ(Load(platform, files), (Settings{1000, 1000, 1000, 500, 500, 1}));
    EXPECT_EQ(files.log.size(), 1u);
    EXPECT_EQ(ReadBytes(dir / "orvi.ini"), "5\n");

    platform.program = dir / "missing-folder/orvi";
    PosixFileSystem real;
    EXPECT_EQ(Load(platform, real), (Settings{1000, 1000, 1000, 500, 500, 1}));
    EXPECT_TRUE(platform.messages.empty());
}

TEST(Settings, SwapFlagIsSetWhenTheFirstDrawIsEven) {
    FakePlatform platform;
    PosixFileSystem files;
    int seen[2] = {0, 0};
    for (std::time_t seed = 1; seed <= 40; ++seed) {
        std::srand(static_cast<unsigned>(seed));
        const int expected = std::rand() % 2 == 0 ? 1 : 0;
        platform.now = seed;
        CExperiment e(platform, files);
        EXPECT_EQ(e.m_nSwapSides, expected) << "seed " << seed;
        ++seen[expected];
    }
    EXPECT_GT(seen[0], 0);
    EXPECT_GT(seen[1], 0);
}
