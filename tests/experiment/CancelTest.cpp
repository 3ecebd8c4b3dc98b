#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <random>
#include <set>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "ExperimentTestSupport.h"
#include "TrialItem.h"

namespace {

const char kMsgTemp[] =
    "一時ファイルが削除または作成できないため取り消しできません。\n"
    "拡張子が$$$のファイルを削除してから再起動してください。";
const char kMsgAbnormal[] = "これが表示されたら異常";
const char kMsgRebuild[] = "記録ファイルを再構成できません。終了します。";

std::vector<std::string> SplitKeepingEnds(const std::string& text) {
    std::vector<std::string> lines;
    std::size_t start = 0;
    while (start < text.size()) {
        std::size_t end = text.find('\n', start);
        end = end == std::string::npos ? text.size() : end + 1;
        lines.push_back(text.substr(start, end - start));
        start = end;
    }
    return lines;
}

// `after` is `before` with the cancel flag of the given trial lines set, nothing else changed.
void ExpectOnlyFlagsSet(const std::string& before, const std::string& after,
                        const std::set<std::string>& numbers) {
    const auto old = SplitKeepingEnds(before);
    const auto now = SplitKeepingEnds(after);
    ASSERT_EQ(old.size(), now.size());
    for (std::size_t i = 0; i < old.size(); ++i) {
        std::string expected = old[i];
        if (numbers.count(old[i].substr(0, 3))) {
            const std::size_t flag = expected.find_last_not_of("\r\n");
            ASSERT_EQ(expected[flag], '0');
            expected[flag] = '1';
        }
        EXPECT_EQ(now[i], expected) << "line " << i + 1;
    }
}

class Cancel : public ::testing::Test {
  protected:
    Cancel() : e(platform, files) {}

    // Continues a copy of a data file.
    std::string Continue(const std::string& name, const std::string& data) {
        const std::string path = dir / name;
        WriteBytes(path, DataFile(data));
        StartRunOn(e, platform, path);
        return path;
    }

    TempDir dir;
    FakePlatform platform;
    FailingFileSystem files;
    CExperiment e;
};

}  // namespace

TEST_F(Cancel, DepthsGoBackOneTrialEachAndOnlyFlagTheirLines) {
    const std::string path = dir / "s01.txt";
    StartRunOn(e, platform, path);
    Play(e, 0, 500.0);
    Play(e, -1, 1500.0);
    Play(e, 1, 600.0);
    Play(e, 0, 700.0);
    const std::string before = ReadBytes(path);
    ASSERT_EQ(e.m_nPos, 3);

    e.CancelTrial(0);
    EXPECT_EQ(e.m_nPos, 2);
    e.CancelTrial(1);
    EXPECT_EQ(e.m_nPos, 1);
    e.CancelTrial(2);  // the miss: the position stays
    EXPECT_EQ(e.m_nPos, 1);
    EXPECT_EQ(e.m_nTrials, 4);
    ExpectOnlyFlagsSet(before, ReadBytes(path), {"02 ", "03 ", "04 "});
    EXPECT_FALSE(Exists(dir / "s01.$$$"));
    EXPECT_TRUE(platform.messages.empty());

    // The cancelled items wait among those to come; the next trial goes on with number 5
    // into the rewritten file, which is the open stream now.
    int missed = 0;
    for (int i = e.m_nPos; i < 16; ++i) {
        missed += e.m_slots[i].status == SLOT_MISSED;
    }
    EXPECT_EQ(missed, 3);
    EXPECT_EQ(e.m_nCurEye, kItemTable[e.m_slots[1].item].eye);
    const std::string cancelled = ReadBytes(path);
    Play(e, 0, 800.0);
    const std::string now = ReadBytes(path);
    EXPECT_EQ(now.substr(0, cancelled.size()), cancelled);
    EXPECT_EQ(now.substr(cancelled.size(), 3), "05 ");
}

TEST_F(Cancel, TrialsAlreadyCancelledOrOutOfReachTouchNoFile) {
    const std::string path = Continue("s02.txt", "record-windows.txt");
    const std::string before = ReadBytes(path);
    const std::size_t operations = files.log.size();
    for (int depth : {3, 6, 11, 40, -1}) {  // lines 08 and 05 carry the flag already
        e.CancelTrial(depth);
    }
    EXPECT_EQ(files.log.size(), operations);
    EXPECT_EQ(ReadBytes(path), before);
    EXPECT_EQ(e.m_nPos, 8);
    EXPECT_EQ(e.m_nTrials, 11);

    e.CancelTrial(0);
    ExpectOnlyFlagsSet(before, ReadBytes(path), {"11 "});
    const std::size_t after = files.log.size();
    e.CancelTrial(0);  // the same trial again
    EXPECT_EQ(files.log.size(), after);
    EXPECT_EQ(e.m_nPos, 7);
}

TEST_F(Cancel, AWindowsFileKeepsItsLineEnds) {
    const std::string path = Continue("s02.txt", "record-windows.txt");
    Play(e, 0, 640.0);
    const std::string before = ReadBytes(path);
    e.CancelTrial(0);
    e.CancelTrial(1);
    ExpectOnlyFlagsSet(before, ReadBytes(path), {"12 ", "11 "});
    Play(e, -1, 1640.0);
    const std::string now = ReadBytes(path);
    EXPECT_EQ(now.substr(now.size() - 14), "1640 0 0 0 0\r\n");
    EXPECT_EQ(now.find("\n", 0), now.find("\r\n", 0) + 1);
    for (std::size_t i = 0; (i = now.find('\n', i + 1)) != std::string::npos;) {
        ASSERT_EQ(now[i - 1], '\r') << "at byte " << i;
    }
}

TEST_F(Cancel, TheLastTrialOfAFinishedRunComesBack) {
    const std::string path = Continue("s03.txt", "record-all-done.txt");
    ASSERT_EQ(e.m_nPos, 16);
    e.CancelTrial(0);
    EXPECT_EQ(e.m_nPos, 15);
    EXPECT_EQ(e.m_slots[15].item, 12);
    EXPECT_EQ(e.m_nCurEye, kItemTable[12].eye);
    EXPECT_EQ(e.m_nCurViewpoint, kItemTable[12].viewpoint);

    // A hand-edited miss after the sixteenth hit: nothing is left to re-queue.
    const std::string edited = dir / "s04.txt";
    WriteBytes(edited, DataFile("record-all-done.txt") + "19 05 1 5 1800 0 0 0 0\r\n");
    StartRunOn(e, platform, edited);
    e.CancelTrial(0);
    EXPECT_EQ(e.m_nPos, 16);
    EXPECT_EQ(e.m_nTrials, 19);
    EXPECT_NE(ReadBytes(edited).find("19 05 1 5 1800 0 0 0 1\r\n"), std::string::npos);
}

TEST_F(Cancel, EveryLineCarryingTheNumberIsRewrittenAndLongLinesStayInPieces) {
    for (const std::string end : {"\n", "\r\n"}) {
        const std::string path = dir / (end == "\n" ? "lf.txt" : "crlf.txt");
        const std::string pad(489, ' ');  // with the 22 before: one full buffer
        WriteBytes(path, "01 01 1 1  500 1 1 1 0" + end + "1 2 1 2 600.4 1 1 1 0 typed by hand" +
                             end + "note 01 01 1 1  500 1 1 1 0" + end + "03 03 1 3  700 1 1 1 0" +
                             pad + "continued words" + end);
        StartRunOn(e, platform, path);
        ASSERT_EQ(e.m_nTrials, 3);
        e.CancelTrial(0);
        e.CancelTrial(2);
        EXPECT_EQ(ReadBytes(path),
                  "01 01 1 1  500 1 1 1 1" + end + "01 02 1 2  600 1 1 1 1" + end +
                      "note 01 01 1 1  500 1 1 1 0" + end + "03 03 1 3  700 1 1 1 1" + end +
                      "continued words" + end + "### open trial  : Tue Nov 14 22:13:20 2023" + end +
                      "# param: 1000 1000 1000 500 500 1 " + std::to_string(e.m_nSwapSides) + end);
    }
}

TEST_F(Cancel, TheTemporaryFileLiesBesideTheRecordAndAStaleOneIsRemoved) {
    const std::pair<const char*, const char*> names[] = {
        {"s01.txt", "s01.$$$"}, {"d.text", "d.t$$$"}, {"ab", "ab$$$"}, {"x.$$$", "x.$$$$$$"}};
    for (const auto& [name, temp] : names) {
        SCOPED_TRACE(name);
        const std::string path = dir / name;
        StartRunOn(e, platform, path);
        Play(e, 0, 500.0);
        WriteBytes(dir / temp, "left over from a failed cancellation\n");
        const std::string before = ReadBytes(path);
        files.log.clear();
        e.CancelTrial(0);
        EXPECT_EQ(files.log.at(0), "remove:" + (dir / temp));
        EXPECT_EQ(files.log.at(1), "open-create:" + (dir / temp));
        EXPECT_FALSE(Exists(dir / temp));
        ExpectOnlyFlagsSet(before, ReadBytes(path), {"01 "});
    }
}

// Every operation of a cancellation made to fail in turn: the record file holds its old
// content under its own name (or, once renamed, the whole new content) and the process ends.
TEST_F(Cancel, AFailureAtAnyStepLeavesTheOldOrTheWholeNewFile) {
    const std::string old =
        DataFile("record-windows.txt") + "### open trial  : " + MarkerTime(kT0) + "\r\n";
    std::string rewritten;
    std::vector<std::string> steps;
    {
        TempDir clean;
        FakePlatform p;
        FailingFileSystem f;
        CExperiment x(p, f);
        WriteBytes(clean / "r.txt", DataFile("record-windows.txt"));
        StartRunOn(x, p, clean / "r.txt");
        const std::size_t start = f.log.size();
        x.CancelTrial(0);
        steps.assign(f.log.begin() + static_cast<long>(start), f.log.end());
        rewritten = ReadBytes(clean / "r.txt");
    }
    ASSERT_EQ(steps.size(), 6u);  // remove, create, read, append, rename, syncdir

    const char* const expected[] = {nullptr,  kMsgTemp,    kMsgAbnormal,
                                    kMsgTemp, kMsgRebuild, kMsgRebuild};
    for (std::size_t step = 0; step < steps.size(); ++step) {
        SCOPED_TRACE(steps[step]);
        TempDir run;
        FakePlatform p;
        FailingFileSystem f;
        CExperiment x(p, f);
        WriteBytes(run / "r.txt", DataFile("record-windows.txt"));
        StartRunOn(x, p, run / "r.txt");
        f.failAt = static_cast<int>(f.log.size() + step);
        const int position = x.m_nPos;
        if (expected[step] == nullptr) {
            x.CancelTrial(0);  // a failed removal of a file that is not there is no failure
            EXPECT_EQ(ReadBytes(run / "r.txt"), rewritten);
            continue;
        }
        EXPECT_EQ(Ending(p, [&] { x.CancelTrial(0); }), std::string("1 stop ") + expected[step]);
        EXPECT_EQ(ReadBytes(run / "r.txt"), steps[step] == "syncdir" ? rewritten : old);
        EXPECT_FALSE(Exists(run / "r.$$$"));
        EXPECT_EQ(x.m_nPos, position);
    }

    // A stale temporary file that cannot be removed stops the cancellation before anything.
    WriteBytes(dir / "r.txt", DataFile("record-windows.txt"));
    StartRunOn(e, platform, dir / "r.txt");
    WriteBytes(dir / "r.$$$", "stale");
    files.failAt = static_cast<int>(files.log.size());
    platform.realExit = true;
    EXPECT_EXIT(e.CancelTrial(0), ::testing::ExitedWithCode(1), "\\$\\$\\$");
    EXPECT_EQ(ReadBytes(dir / "r.txt"), old);
    EXPECT_EQ(ReadBytes(dir / "r.$$$"), "stale");
}

// The process killed at random moments of a cancellation: the record path holds exactly the
// old or the new content every time.
TEST(CancelCrash, AKilledCancellationLeavesTheOldOrTheNewContent) {
    std::string big = DataFile("record-windows.txt");
    char line[64];
    for (int n = 12; n < 4000; ++n) {
        std::snprintf(line, sizeof line, "%02d %02d 1 1  500 0 0 0 0\r\n", n, n % 16 + 1);
        big += line;
    }
    const std::string old = big + "### open trial  : " + MarkerTime(kT0) + "\r\n";
    std::string rewritten = old;
    const std::size_t last = rewritten.rfind("3999 ");
    rewritten[rewritten.find("\r\n", last) - 1] = '1';

    // Runs a child that continues the file and cancels; killed after delay unless negative.
    auto attempt = [&](const std::string& path, std::chrono::microseconds delay) {
        WriteBytes(path, big);
        int ready[2];
        EXPECT_EQ(pipe(ready), 0);
        const pid_t child = fork();
        if (child == 0) {
            close(ready[0]);
            FakePlatform platform;
            platform.realExit = true;
            PosixFileSystem files;
            CExperiment e(platform, files);
            StartRunOn(e, platform, path);
            ssize_t ignored = write(ready[1], "r", 1);
            e.CancelTrial(0);
            ignored = write(ready[1], "d", 1);
            (void)ignored;
            _exit(0);
        }
        close(ready[1]);
        char byte = 0;
        EXPECT_EQ(read(ready[0], &byte, 1), 1);
        const auto start = std::chrono::steady_clock::now();
        if (delay.count() >= 0) {
            std::this_thread::sleep_for(delay);
            kill(child, SIGKILL);
        }
        int status = 0;
        waitpid(child, &status, 0);
        const bool finished = read(ready[0], &byte, 1) == 1;
        close(ready[0]);
        return std::make_pair(finished, std::chrono::steady_clock::now() - start);
    };

    TempDir dir;
    const auto [done, took] = attempt(dir / "c.txt", std::chrono::microseconds(-1));
    ASSERT_TRUE(done);
    ASSERT_EQ(ReadBytes(dir / "c.txt"), rewritten);
    const auto span = std::chrono::duration_cast<std::chrono::microseconds>(took) * 3 / 2;

    std::mt19937 random(7);
    int oldSeen = 0;
    int newSeen = 0;
    for (int i = 0; i < 40; ++i) {
        const auto delay = std::chrono::microseconds(random() % (span.count() + 1));
        attempt(dir / "c.txt", delay);
        const std::string content = ReadBytes(dir / "c.txt");
        ASSERT_TRUE(content == old || content == rewritten) << "delay " << delay.count() << " us";
        (content == old ? oldSeen : newSeen) += 1;
    }
    std::cout << "old " << oldSeen << ", new " << newSeen << " of 40 kills within " << span.count()
              << " us\n";
}
