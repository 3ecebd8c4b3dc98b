#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include "ExperimentTestSupport.h"

namespace {

// Runs in a death-test child, killed by SIGALRM if it takes a second.
template <class Action>
void WithinASecond(Action action) {
    alarm(1);
    action();
    std::exit(0);
}

}  // namespace

// A FIFO or a device is never waited on: as settings it gives the defaults and stays as it is;
// as the record path the run ends with the message and exit code of a file that cannot be made.
TEST(OddFiles, FifosAndDevicesNeitherBlockNorTakeData) {
    TempDir dir;
    ASSERT_EQ(mkfifo((dir / "fifo").c_str(), 0600), 0);
    for (const std::string& odd : {dir / "fifo", std::string("/dev/zero")}) {
        fs::remove(dir / "orvi.ini");
        fs::create_symlink(odd, dir / "orvi.ini");
        FakePlatform platform;
        platform.program = dir / "orvi";
        PosixFileSystem files;
        auto loadSettings = [&] {
            CExperiment e(platform, files);
            if (e.Settings() != kDefaults) std::exit(2);
        };
        EXPECT_EXIT(WithinASecond(loadSettings), ::testing::ExitedWithCode(0), "") << odd;
        EXPECT_TRUE(fs::is_symlink(dir / "orvi.ini") && fs::read_symlink(dir / "orvi.ini") == odd);

        platform.program.clear();
        platform.realExit = true;
        platform.choices = {odd};
        CExperiment e(platform, files);
        EXPECT_EXIT(WithinASecond([&] { e.StartRun(); }), ::testing::ExitedWithCode(1),
                    "stop 記録ファイルが作成できません。終了します。")
            << odd;
    }
    EXPECT_TRUE(fs::is_fifo(dir / "fifo"));
}

// Memory does not grow with the number of lines: 50 MB of empty lines are read as settings, as
// a continued record file and as the file a cancellation rewrites, in 300 MB of address space.
TEST(OddFiles, FiftyMegabytesOfEmptyLinesAreReadInBoundedMemory) {
#if defined(__SANITIZE_ADDRESS__)
    GTEST_SKIP() << "the sanitizer reserves more address space than that";
#endif
    TempDir dir(fs::is_directory("/dev/shm") ? "/dev/shm" : "/tmp");
    const std::string lines(50 << 20, '\n');
    WriteBytes(dir / "orvi.ini", lines);
    WriteBytes(dir / "s01.txt", lines + "01 05 1 5  500 1 1 1 0\n");
    auto readAll = [&] {
        const rlimit limit{300 << 20, 300 << 20};
        if (setrlimit(RLIMIT_AS, &limit) != 0) std::exit(3);
        FakePlatform platform;
        platform.program = dir / "orvi";
        PosixFileSystem files;
        CExperiment e(platform, files);
        StartRunOn(e, platform, dir / "s01.txt");
        e.CancelTrial(0);
        std::exit(
            e.Settings() == kDefaults && e.m_nTrials == 1 && e.m_records[0].cancelled == 1 ? 0 : 2);
    };
    EXPECT_EXIT(readAll(), ::testing::ExitedWithCode(0), "");
    EXPECT_EQ(ReadBytes(dir / "orvi.ini").size(), lines.size());
    const std::string record = ReadBytes(dir / "s01.txt");
    EXPECT_EQ(record.compare(lines.size(), 23, "01 05 1 5  500 1 1 1 1\n"), 0);
}
