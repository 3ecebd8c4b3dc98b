#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>

#include "ExperimentTestSupport.h"

namespace {

const char kMsgInUse[] =
    "stop その記録ファイルは他のorviが使用中です。\n別のファイルを指定してください。";

struct RecordOwner : ExperimentTest<FailingFileSystem> {};

// Lines of the text that hold `part` and end in `end`.
int CountLines(const std::string& text, const std::string& part, const std::string& end = "") {
    int count = 0;
    for (std::size_t at = 0, next; (next = text.find('\n', at)) != std::string::npos;
         at = next + 1) {
        const std::string line = text.substr(at, next - at);
        count += line.find(part) != std::string::npos && line.size() >= end.size() &&
                 line.compare(line.size() - end.size(), end.size(), end) == 0;
    }
    return count;
}

}  // namespace

// A second instance that chooses a file in use is told so and asked again; cancelling that
// dialog ends it as when no file is chosen. A child process is refused the same way.
TEST_F(RecordOwner, ASecondInstanceIsRefusedAFileInUse) {
    StartRunOn(e, platform, dir / "s01.txt");
    Play(e, 0, 500.0);
    const std::string before = ReadBytes(dir / "s01.txt");
    FakePlatform other;
    other.choices = {dir / "s01.txt", dir / "s02.txt"};
    CExperiment second(other, files);
    second.StartRun();
    EXPECT_EQ(other.messages, Lines{kMsgInUse});
    EXPECT_EQ(second.m_strPath, dir / "s02.txt");
    EXPECT_EQ(ReadBytes(dir / "s01.txt"), before);
    other.realExit = true;
    other.choices = {dir / "s01.txt", ""};
    EXPECT_EXIT(second.StartRun(), ::testing::ExitedWithCode(0),
                "使用中です.*information 記録ファイルが指定されなかったので終了します。");
    // Once the first run has moved on, the file is free again.
    StartRunOn(e, platform, dir / "s03.txt");
    other.choices.clear();
    StartRunOn(second, other, dir / "s01.txt");
    EXPECT_EQ(second.m_nTrials, 1);
}

// An editor's save, `sed -i` or a sync tool replaces the file: the next line is not written
// into the deleted original; the run ends and the file keeps what the replacement holds.
TEST_F(RecordOwner, AReplacedRecordFileEndsTheRunWithEveryLineInPlace) {
    const std::string path = dir / "s01.txt";
    StartRunOn(e, platform, path);
    Play(e, 0, 500.0);
    ASSERT_EQ(std::system(("sed -i '1i # note' " + path).c_str()), 0);
    const std::string edited = ReadBytes(path);
    for (int depth : {-1, 0}) {  // a trial line, then a cancellation
        platform.messages.clear();
        EXPECT_THROW(depth < 0 ? (void)Play(e, 1, 600.0) : e.CancelTrial(depth), ProcessExit);
        EXPECT_EQ(platform.messages, (Lines{kMsgWrite, "exit 1"}));
        EXPECT_EQ(ReadBytes(path), edited);
    }
    EXPECT_EQ(edited.rfind("# note\n### open trial", 0), 0u);
}

// subj01 and subj02 share the temporary name sub$$$. While one instance holds it, the other's
// cancellation fails without touching it; two processes cancelling at once each keep their own
// trials.
TEST_F(RecordOwner, TwoExperimentsInOneFolderNeverTakeEachOthersTemporaryFile) {
    StartRunOn(e, platform, dir / "subj01");
    Play(e, 0, 111.0);
    const std::string before = ReadBytes(dir / "subj01");
    WriteBytes(dir / "sub$$$", "the other instance's new content\n");
    const int held = ::open((dir / "sub$$$").c_str(), O_RDONLY);
    ASSERT_EQ(flock(held, LOCK_EX), 0);
    EXPECT_THROW(e.CancelTrial(0), ProcessExit);
    EXPECT_EQ(platform.messages, (Lines{kMsgTemp, "exit 1"}));
    EXPECT_EQ(ReadBytes(dir / "sub$$$"), "the other instance's new content\n");
    EXPECT_EQ(ReadBytes(dir / "subj01"), before);
    ::close(held);

    CExperiment mine(platform, files);  // e has ended its process
    StartRunOn(mine, platform, dir / "subj02");
    // True when every cancellation succeeded; a child must never return into the test runner.
    auto cancelMany = [&](CExperiment& x, double reactionTime) {
        try {
            for (int i = 0; i < 60; ++i) {
                Play(x, 0, reactionTime);
                x.CancelTrial(0);
            }
        } catch (...) {
            return false;
        }
        return true;
    };
    const pid_t child = fork();
    if (child == 0) _exit(cancelMany(e, 111.0) ? 0 : 1);
    EXPECT_TRUE(cancelMany(mine, 222.0));
    int status = -1;
    waitpid(child, &status, 0);
    EXPECT_EQ(status, 0);
    const std::string one = ReadBytes(dir / "subj01"), two = ReadBytes(dir / "subj02");
    EXPECT_EQ(CountLines(one, " 111 1 ", " 1 0"), 1);  // the refused cancellation's trial
    EXPECT_EQ(CountLines(one, " 111 1 ", " 1 1"), 60);
    EXPECT_EQ(CountLines(two, " 222 1 ", " 1 1"), 60);
    EXPECT_EQ(CountLines(one, " 222 "), 0);
    EXPECT_EQ(CountLines(two, " 111 "), 0);
    EXPECT_FALSE(fs::exists(dir / "sub$$$"));
}

// The replacement keeps mode, owner and group (another owner only where the process may give
// files away); a link stays a link to the rewritten file, whose folder holds the temporary one.
TEST_F(RecordOwner, ACancellationKeepsTheFilesIdentity) {
    fs::create_directory(dir / "data");
    const uid_t owner = geteuid() == 0 ? 1234 : geteuid();
    const gid_t group = geteuid() == 0 ? 5678 : getegid();
    for (const char* chosen : {"data/plain.txt", "link.txt"}) {
        const std::string target =
            dir / (std::string(chosen) == "link.txt" ? "data/real.txt" : chosen);
        WriteBytes(target, "01 01 1 1  500 1 1 1 0\n");
        ASSERT_EQ(chmod(target.c_str(), 0604), 0);
        ASSERT_EQ(chown(target.c_str(), owner, group), 0);
        if (std::string(chosen) == "link.txt") fs::create_symlink("data/real.txt", dir / chosen);
        StartRunOn(e, platform, dir / chosen);
        e.CancelTrial(0);
        Play(e, 0, 700.0);
        struct stat status;
        ASSERT_EQ(stat(target.c_str(), &status), 0);
        EXPECT_EQ(status.st_mode & 07777, 0604u) << chosen;
        EXPECT_EQ(status.st_uid, owner);
        EXPECT_EQ(status.st_gid, group);
        EXPECT_EQ(ReadBytes(target).substr(0, 23), "01 01 1 1  500 1 1 1 1\n");
        EXPECT_EQ(CountLines(ReadBytes(target), "  700 ", " 0"), 1);
        EXPECT_EQ(fs::is_symlink(dir / chosen), std::string(chosen) == "link.txt");
        EXPECT_FALSE(fs::exists(dir / "link.$$$") || fs::exists(dir / "data/real.$$$"));
    }
}

// The entry of a new record file is synced with its folder; a failure there ends nothing.
TEST_F(RecordOwner, ANewRecordFileIsSyncedWithItsFolder) {
    for (const int error : {0, EIO, EINVAL}) {
        CExperiment x(platform, files);
        files.log.clear();
        files.failAt = error ? 4 : -1;  // probe, open, lock, check, syncdir
        files.syncError = error;
        ::testing::internal::CaptureStderr();
        StartRunOn(x, platform, dir / ("new" + std::to_string(error) + ".txt"));
        const std::string stderrText = ::testing::internal::GetCapturedStderr();
        EXPECT_EQ(files.log.at(4), "syncdir");
        EXPECT_EQ(stderrText.find("cannot sync the folder") != std::string::npos, error == EIO);
    }
    files.failAt = -1;
    files.log.clear();
    StartRunOn(e, platform, dir / "new0.txt");  // continued: nothing new in the folder
    EXPECT_EQ(std::count(files.log.begin(), files.log.end(), "syncdir"), 0);
    EXPECT_TRUE(platform.messages.empty());
}
