#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <initializer_list>
#include <random>
#include <thread>

#include "ExperimentTestSupport.h"

namespace {

const char kMsgAbnormal[] = "stop これが表示されたら異常";
const char kMsgRebuild[] = "stop 記録ファイルを再構成できません。終了します。";

// The text with the cancel flag of the first trial line of each number set; nothing else changes.
std::string Flagged(std::string text, std::initializer_list<std::string> numbers) {
    for (const std::string& n : numbers) {
        const std::size_t line = ("\n" + text).find("\n" + n + " ");
        text.at(text.find_first_of("\r\n", line) - 1) = '1';
    }
    return text;
}

struct Cancel : ExperimentTest<FailingFileSystem> {};

}  // namespace

TEST_F(Cancel, TrialsAlreadyCancelledOrOutOfReachTouchNoFile) {
    const std::string path = dir / "s02.txt";
    WriteBytes(path, DataFile("record-windows.txt"));
    StartRunOn(e, platform, path);
    const std::string before = ReadBytes(path);
    const std::size_t operations = files.log.size();
    for (int depth : {3, 6, 11, 40, -1}) e.CancelTrial(depth);  // lines 08 and 05 are flagged
    EXPECT_EQ(files.log.size(), operations);
    e.CancelTrial(0);
    e.CancelTrial(0);  // the same trial again
    EXPECT_EQ(ReadBytes(path), Flagged(before, {"11"}));
    EXPECT_EQ(e.m_nPos, 7);
}

// Both line ends; lines that only look like trials; a line cut by the 512-byte read buffer.
TEST_F(Cancel, EveryLineCarryingTheNumberIsRewrittenAndLongLinesStayInPieces) {
    for (const std::string end : {"\n", "\r\n"}) {
        const std::string path = dir / (end == "\n" ? "lf.txt" : "crlf.txt");
        const std::string pad(489, ' ');  // with the 22 before: one full buffer
        WriteBytes(path, "01 01 1 1  500 1 1 1 0" + end + "1 2 1 2 600.4 1 1 1 0 typed by hand" +
                             end + "note 01 01 1 1  500 1 1 1 0" + end + "03 03 1 3  700 1 1 1 0" +
                             pad + "continued words" + end);
        StartRunOn(e, platform, path);
        e.CancelTrial(0);
        e.CancelTrial(2);
        EXPECT_EQ(ReadBytes(path),
                  "01 01 1 1  500 1 1 1 1" + end + "01 02 1 2  600 1 1 1 1" + end +
                      "note 01 01 1 1  500 1 1 1 0" + end + "03 03 1 3  700 1 1 1 1" + end +
                      "continued words" + end + Marker("open trial ", kT0, end.c_str()) +
                      "# param: 1000 1000 1000 500 500 1 " + std::to_string(e.m_nSwapSides) + end);
    }
}

TEST_F(Cancel, TheTemporaryFileLiesBesideTheRecordAndAStaleOneIsRemoved) {
    const char* const names[][2] = {
        {"s01.txt", "s01.$$$"}, {"d.text", "d.t$$$"}, {"ab", "ab$$$"}, {"x.$$$", "x.$$$$$$"}};
    for (const auto& [name, temp] : names) {
        StartRunOn(e, platform, dir / name);
        Play(e, 0, 500.0);
        WriteBytes(dir / temp, "left over from a failed cancellation\n");
        const std::string before = ReadBytes(dir / name);
        e.CancelTrial(0);
        EXPECT_FALSE(fs::exists(dir / temp)) << temp;
        EXPECT_EQ(ReadBytes(dir / name), Flagged(before, {"01"})) << name;
    }
}

// Each operation of a cancellation made to fail in turn: the record file holds its old content
// (once renamed, the whole new content) and the process ends with the step's message. A folder
// sync that fails after the rename ends nothing: EINVAL silently, any other error on stderr.
TEST_F(Cancel, AFailureAtAnyStepLeavesTheOldOrTheWholeNewFile) {
    const std::string old = DataFile("record-windows.txt") + Marker("open trial ", kT0, "\r\n");
    const struct {
        const char* step;
        const char* message;  // null: the run goes on
        int syncError;
    } steps[] = {{"check", kMsgWrite, 0},     {"perm", kMsgWrite, 0},     {"create:", kMsgTemp, 0},
                 {"chmod", kMsgTemp, 0},      {"read", kMsgAbnormal, 0},  {"write", kMsgTemp, 0},
                 {"sync", kMsgTemp, 0},       {"rename", kMsgRebuild, 0}, {"syncdir", nullptr, EIO},
                 {"syncdir", nullptr, EINVAL}};
    for (const auto& step : steps) {
        const int index = std::min(static_cast<int>(&step - steps), 8);  // the two syncs: 8
        CExperiment x(platform, files);
        WriteBytes(dir / "r.txt", DataFile("record-windows.txt"));
        StartRunOn(x, platform, dir / "r.txt");
        files.failAt = static_cast<int>(files.log.size()) + index;
        files.syncError = step.syncError;
        platform.messages.clear();
        ::testing::internal::CaptureStderr();
        try {
            x.CancelTrial(0);
        } catch (const ProcessExit&) {
        }
        const std::string error = ::testing::internal::GetCapturedStderr();
        EXPECT_EQ(files.log.at(files.failAt).rfind(step.step, 0), 0u) << step.step;
        EXPECT_EQ(platform.messages, (step.message ? Lines{step.message, "exit 1"} : Lines{}));
        EXPECT_EQ(ReadBytes(dir / "r.txt"), step.message ? old : Flagged(old, {"11"}));
        EXPECT_EQ(
            error.find("r.txt: cannot sync the folder: Input/output error") != std::string::npos,
            step.syncError == EIO)
            << error;
        EXPECT_FALSE(fs::exists(dir / "r.$$$")) << step.step;
    }
}

// The process killed at moments of a cancellation of a large file: the record path holds
// exactly the old or the new content every time.
TEST(CancelCrash, AKilledCancellationLeavesTheOldOrTheNewContent) {
    std::string big = DataFile("record-windows.txt");
    for (int n = 12; n < 4000; ++n) big += std::to_string(n) + " 05 1 5  500 0 0 0 0\r\n";
    const std::string old = big + Marker("open trial ", kT0, "\r\n");
    const std::string rewritten = Flagged(old, {"3999"});
    TempDir dir;
    // Continues the file and forks a child that cancels, killed after `delay` us unless that is
    // negative. Returns the time the child had.
    auto attempt = [&](double delay) {
        WriteBytes(dir / "c.txt", big);
        FakePlatform platform;
        PosixFileSystem files;
        CExperiment e(platform, files);
        StartRunOn(e, platform, dir / "c.txt");
        const auto start = std::chrono::steady_clock::now();
        const pid_t child = fork();
        if (child == 0) _exit((e.CancelTrial(0), 0));  // the child cancels
        std::this_thread::sleep_for(std::chrono::duration<double, std::micro>(delay));
        if (delay >= 0) kill(child, SIGKILL);
        waitpid(child, nullptr, 0);
        return std::chrono::duration<double, std::micro>(std::chrono::steady_clock::now() - start)
            .count();
    };
    const double span = attempt(-1) * 1.5;
    ASSERT_EQ(ReadBytes(dir / "c.txt"), rewritten);
    // Kills alternately at random and halfway between the latest kills that left the old and
    // the new content, closing in on the moment the new content takes over.
    std::mt19937 random(7);
    double lo = 0, hi = span;
    for (int i = 0; i < 60; ++i) {
        const double delay =
            i % 2 ? std::uniform_real_distribution<double>(0, span)(random) : (lo + hi) / 2;
        attempt(delay);
        const std::string content = ReadBytes(dir / "c.txt");
        ASSERT_TRUE(content == old || content == rewritten) << "killed after " << delay << " us";
        if (i % 2 == 0) (content == old ? lo : hi) = delay;
    }
}
