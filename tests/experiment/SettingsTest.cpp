#include "ExperimentTestSupport.h"

namespace {

struct Settings : ExperimentTest<FailingFileSystem> {
    Settings() { platform.program = dir / "orvi"; }
    // The settings a new experiment takes, after writing the settings file if given.
    Values Load(const std::string& content) {
        WriteBytes(dir / "orvi.ini", content);
        return Load();
    }
    Values Load() { return SettingsOf(CExperiment(platform, files)); }
};

}  // namespace

TEST_F(Settings, AMissingFileIsWrittenWithTheDefaultsByteForByte) {
    EXPECT_EQ(Load(), kDefaults);
    EXPECT_EQ(ReadBytes(dir / "orvi.ini"), DataFile("settings-default.ini"));
}

// The read made to fail, so that nothing on disk is touched; no program path, no file access.
TEST_F(Settings, ThePathReplacesOnlyTheFileNamesExtension) {
    const char* const cases[][2] = {{"/lab.v2/orvi", "/lab.v2/orvi.ini"},
                                    {"/lab.v2/orvi.bin", "/lab.v2/orvi.ini"},
                                    {"/lab/orvi.", "/lab/orvi.ini"},
                                    {"orvi", "orvi.ini"},
                                    {"", ""}};
    for (const auto& [program, ini] : cases) {
        platform.program = program;
        files.log.clear();
        files.failAt = 0;
        EXPECT_EQ(CExperiment(platform, files).m_szIniPath, ini);
        EXPECT_EQ(files.log, std::vector<std::string>(*program ? 1 : 0, "read"));
    }
}

TEST_F(Settings, ValuesAreReadAndTheFileLeftAsItWas) {
    const std::string content =
        "  750\t; a\r\n-200\r\n1500\t; face\n0\n99999999999\t; too large\n2 trailing words\n";
    EXPECT_EQ(Load(content), (Values{750, -200, 1500, 0, 500, 2}));
    EXPECT_EQ(ReadBytes(dir / "orvi.ini"), content);
    // Lines without a number, and the lines a short file does not have, give the defaults.
    EXPECT_EQ(Load("abc\n\n 1100\n; 300\n+x\n0\n"), (Values{1000, 1000, 1100, 500, 500, 0}));
    EXPECT_EQ(Load("2000\n3000"), (Values{2000, 3000, 1000, 500, 500, 1}));
}

// 254 characters and the line end fill the 256-byte buffer exactly. A longer line is read in
// pieces: its rest, or just its line end, is the next setting's line.
TEST_F(Settings, ALineOf255CharactersRunsIntoTheNextSetting) {
    const std::string full = "1" + std::string(253, ' '), rest = "\n2\n3\n4\n5\n6\n";
    EXPECT_EQ(Load(full + rest), (Values{1, 2, 3, 4, 5, 6}));
    EXPECT_EQ(Load(full + "\r\n2\r\n3\r\n4\r\n5\r\n6\r\n"), (Values{1, 2, 3, 4, 5, 6}));
    EXPECT_EQ(Load(full + " " + rest), (Values{1, 1000, 2, 3, 4, 5}));
    EXPECT_EQ(Load(full + " 77" + rest), (Values{1, 77, 2, 3, 4, 5}));
}

TEST_F(Settings, FailuresAreSilentAndNeverOverwriteAFile) {
    WriteBytes(dir / "orvi.ini", "5\n");
    files.failAt = static_cast<int>(files.log.size());  // the read fails after opening
    EXPECT_EQ(Load(), kDefaults);
    EXPECT_EQ(ReadBytes(dir / "orvi.ini"), "5\n");
    platform.program = dir / "missing-folder/orvi";
    EXPECT_EQ(Load(), kDefaults);
    EXPECT_TRUE(platform.messages.empty());
}
