#include "ExperimentTestSupport.h"

namespace {

struct Settings : ExperimentTest<FailingFileSystem> {
    Settings() { platform.program = dir / "orvi"; }
    Values Load() { return CExperiment(platform, files).Settings(); }
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

// Values read from the lines and long lines in pieces: tests/fuzz/SettingsFuzz.cpp.
TEST_F(Settings, FailuresAreSilentAndNeverOverwriteAFile) {
    WriteBytes(dir / "orvi.ini", "5\n");
    EXPECT_EQ(Load(), (Values{5, 1000, 1000, 500, 500, 1}));  // a short file keeps it as it is
    EXPECT_EQ(ReadBytes(dir / "orvi.ini"), "5\n");
    files.failAt = static_cast<int>(files.log.size());  // the read fails after opening
    EXPECT_EQ(Load(), kDefaults);
    EXPECT_EQ(ReadBytes(dir / "orvi.ini"), "5\n");
    platform.program = dir / "missing-folder/orvi";
    EXPECT_EQ(Load(), kDefaults);
    EXPECT_TRUE(platform.messages.empty());
}
