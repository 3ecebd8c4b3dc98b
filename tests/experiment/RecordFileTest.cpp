#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <string>

#include "ExperimentTestSupport.h"
#include "PosixRecordStream.h"
#include "TrialItem.h"

namespace {

class RecordFile : public ::testing::Test {
  protected:
    RecordFile() : e(platform, files) {}

    // Puts item i at position i, so that the trial lines are known in advance.
    void OrderItemsByNumber() {
        for (int i = 0; i < 16; ++i) {
            e.m_slots[i].item = i;
        }
        e.SelectCurrentItem();
    }

    std::string Marker(const char* kind, std::time_t t, const char* lineEnd = "\n") {
        return std::string("### ") + kind + " : " + MarkerTime(t) + lineEnd;
    }

    TempDir dir;
    FakePlatform platform;
    PosixFileSystem files;
    CExperiment e;
};

}  // namespace

TEST_F(RecordFile, ANewFileHoldsMarkerParametersHeaderAndTrialLines) {
    const std::string path = dir / "s01.txt";
    e.m_nSwapSides = 1;
    StartRunOn(e, platform, path);
    EXPECT_TRUE(platform.questions.empty());
    OrderItemsByNumber();
    Play(e, 0, 523.4);
    Play(e, 1, 10000.0);
    Play(e, -1, 1234.6);
    const std::string written = DataFile("record-new.txt");
    EXPECT_EQ(ReadBytes(path), written);

    // A new run in the same program closes the file; choosing it again continues it, and
    // only the open marker is added.
    platform.now = kT0 + 3600;
    StartRunOn(e, platform, path);
    EXPECT_EQ(platform.questions.size(), 1u);
    EXPECT_EQ(platform.questions[0],
              "そのファイルは既に存在しています。続きを実行しますか?|続行確認");
    EXPECT_EQ(ReadBytes(path),
              written + Marker("close trial", kT0 + 3600) + Marker("open trial ", kT0 + 3600));
    EXPECT_EQ(e.m_nTrials, 3);
    EXPECT_EQ(e.m_nPos, 2);
    EXPECT_EQ(e.m_slots[0].item, 0);
    EXPECT_EQ(e.m_slots[1].item, 1);
    EXPECT_EQ(e.m_slots[1].reactionTime, 10000.0);
    OrderItemsByNumber();
    Play(e, 0, 480.0);
    EXPECT_EQ(ReadBytes(path), written + Marker("close trial", kT0 + 3600) +
                                   Marker("open trial ", kT0 + 3600) + "04 03 1 3  480 1 1 1 0\n");
}

TEST_F(RecordFile, AnEmptyOrForeignFileGetsMarkerAndParametersButNoHeader) {
    const std::string empty = dir / "empty.txt";
    WriteBytes(empty, "");
    StartRunOn(e, platform, empty);
    EXPECT_EQ(ReadBytes(empty), Marker("open trial ", kT0) + "# param: 1000 1000 1000 500 500 1 " +
                                    std::to_string(e.m_nSwapSides) + "\n");

    const std::string foreign = dir / "notes.txt";
    const std::string text = DataFile("record-foreign.txt");
    WriteBytes(foreign, text);
    e.m_nBeepDelay = 1300;
    StartRunOn(e, platform, foreign);
    EXPECT_EQ(ReadBytes(foreign), text + Marker("open trial ", kT0) +
                                      "# param: 1300 1000 1000 500 500 1 " +
                                      std::to_string(e.m_nSwapSides) + "\n");
    // "1 2 3 ..." and "2020 10 ..." are trials; only the second restores an item (valid 1).
    EXPECT_EQ(e.m_nTrials, 2);
    EXPECT_EQ(e.m_nPos, 1);
    EXPECT_EQ(e.m_slots[0].item, 9);
    EXPECT_EQ(e.m_slots[0].reactionTime, 1.5);
    EXPECT_EQ(e.m_records[0].valid, 8);
    EXPECT_EQ(e.m_nCurEye, kItemTable[e.m_slots[1].item].eye);
    EXPECT_EQ(e.m_nCurViewpoint, kItemTable[e.m_slots[1].item].viewpoint);
}

// A file written on Windows over three sessions, one cut short by a power loss.
TEST_F(RecordFile, AWindowsFileIsContinuedWithItsStateAndItsLineEnds) {
    const std::string path = dir / "s02.txt";
    const std::string text = DataFile("record-windows.txt");
    WriteBytes(path, text);
    StartRunOn(e, platform, path);

    EXPECT_EQ(e.m_nBeepDelay, 1200);
    EXPECT_EQ(e.m_nBeepLength, 800);
    EXPECT_EQ(e.m_nFaceDelay, 1500);
    EXPECT_EQ(e.m_nBlinkWhite, 400);
    EXPECT_EQ(e.m_nBlinkRed, 600);
    EXPECT_EQ(e.m_nHideCursor, 1);
    EXPECT_EQ(e.m_nSwapSides, 0);
    EXPECT_EQ(e.m_nTrials, 11);  // the cut line is not a trial
    const int restored[] = {4, 11, 8, 15, 2, 0, 13, 10};
    ASSERT_EQ(e.m_nPos, 8);
    for (int i = 0; i < 8; ++i) {
        EXPECT_EQ(e.m_slots[i].item, restored[i]);
        EXPECT_EQ(e.m_slots[i].status, SLOT_DONE);
    }
    EXPECT_EQ(e.m_slots[0].reactionTime, 612.0);
    EXPECT_EQ(e.m_nCurEye, kItemTable[e.m_slots[8].item].eye);
    const TrialRecord& cancelledHit = e.m_records[4];
    EXPECT_EQ(cancelledHit.item, 15);
    EXPECT_EQ(cancelledHit.eye, 1);
    EXPECT_EQ(cancelledHit.viewpoint, 7);
    EXPECT_EQ(cancelledHit.reactionTime, 702.0);
    EXPECT_EQ(cancelledHit.response, 1);
    EXPECT_EQ(cancelledHit.cancelled, 1);
    EXPECT_EQ(e.m_records[2].response, -1);

    const int item = e.m_slots[8].item;
    Play(e, -1, 1450.0);
    char line[64];
    std::snprintf(line, sizeof line, "12 %02d %d %d 1450 0 0 0 0\r\n", item + 1,
                  kItemTable[item].eye + 1, kItemTable[item].viewpoint + 1);
    EXPECT_EQ(ReadBytes(path), text + Marker("open trial ", kT0, "\r\n") + line);
}

TEST_F(RecordFile, AFileWithAllItemsDoneLeavesTheRunFinished) {
    const std::string path = dir / "s03.txt";
    WriteBytes(path, DataFile("record-all-done.txt"));
    StartRunOn(e, platform, path);
    EXPECT_EQ(e.m_nTrials, 18);
    EXPECT_EQ(e.m_nPos, 16);
    const int order[] = {6, 11, 15, 0, 2, 8, 13, 4, 1, 10, 5, 14, 7, 9, 3, 12};
    for (int i = 0; i < 16; ++i) {
        EXPECT_EQ(e.m_slots[i].item, order[i]);
        EXPECT_EQ(e.m_slots[i].status, SLOT_DONE);
    }
}

TEST_F(RecordFile, OverlongAndOverflowingLinesNeverEscapeTheirStorage) {
    // 20 restoring lines (hand-edited): 16 restore, all 20 count.
    std::string text;
    char line[64];
    for (int n = 1; n <= 20; ++n) {
        const int item = (n - 1) % 16;
        std::snprintf(line, sizeof line, "%02d %02d %d %d  500 1 1 1 0\n", n, item + 1,
                      item / 8 + 1, item % 8 + 1);
        text += line;
    }
    // A line of 530 characters is two trial lines; overflowing ones are none.
    text += "21 01 1 1  500 1 1 0 0" + std::string(489, ' ') + "22 02 1 2 600 1 1 0 0\n";
    text += "23 99999999999 1 1 500 1 1 1 0\n";
    text += "24 01 1 1 500 1 1 1 0 but" + std::string(600, 'x') + "\n";
    text += "# param: 1 2 99999999999 4 5 6 7\n# param: 9 9 9 9 9 9 9\n";
    const std::string path = dir / "edited.txt";
    WriteBytes(path, text);
    StartRunOn(e, platform, path);
    EXPECT_EQ(e.m_nTrials, 23);
    EXPECT_EQ(e.m_nPos, 16);
    EXPECT_EQ(e.m_records[21].item, 1);
    EXPECT_EQ(e.m_records[21].reactionTime, 600.0);
    EXPECT_EQ(e.m_nBeepDelay, 1);
    EXPECT_EQ(e.m_nBeepLength, 2);
    EXPECT_EQ(e.m_nFaceDelay, 1000);  // the first that does not fit ends the scan
    EXPECT_EQ(e.m_nBlinkWhite, 500);
}

TEST_F(RecordFile, MoreThan300TrialsAreAllStoredAndNumbered) {
    const std::string path = dir / "long.txt";
    StartRunOn(e, platform, path);
    for (int i = 0; i < 349; ++i) {
        Play(e, -1, 2000.0);
    }
    Play(e, 0, 99999.0);
    EXPECT_EQ(e.m_nTrials, 350);
    ASSERT_GE(e.m_records.size(), 350u);
    const std::string text = ReadBytes(path);
    EXPECT_NE(text.find("\n100 "), std::string::npos);
    EXPECT_EQ(text.substr(text.rfind('\n', text.size() - 2) + 1, 4), "350 ");
    EXPECT_NE(text.find(" 99999 "), std::string::npos);

    CExperiment again(platform, files);
    StartRunOn(again, platform, path);
    EXPECT_EQ(again.m_nTrials, 350);
    EXPECT_EQ(again.m_nPos, 1);
}

TEST_F(RecordFile, ChoosingAsksAgainAfterNoAndAcceptsANewName) {
    const std::string existing = dir / "old.txt";
    WriteBytes(existing, "");
    platform.choices = {existing, existing, dir / "new.txt"};
    platform.answers = {false, false};
    EXPECT_EQ(e.ChooseRecordFile(), 0);
    EXPECT_EQ(e.m_strPath, dir / "new.txt");
    EXPECT_EQ(platform.questions.size(), 2u);

    platform.choices = {existing, existing};
    platform.answers = {false, true};
    EXPECT_EQ(e.ChooseRecordFile(), 0);
    EXPECT_EQ(e.m_strPath, existing);

    platform.choices = {std::nullopt};
    EXPECT_EQ(e.ChooseRecordFile(), -1);
}

TEST_F(RecordFile, ANewRunClosesTheFileWithAMarker) {
    const std::string first = dir / "a.txt";
    StartRunOn(e, platform, first);
    const std::string before = ReadBytes(first);
    platform.now = kT0 + 61;
    platform.choices = {std::nullopt};
    EXPECT_EQ(Ending(platform, [&] { e.StartRun(); }),
              "0 information 記録ファイルが指定されなかったので終了します。");
    EXPECT_EQ(ReadBytes(first), before + Marker("close trial", kT0 + 61));
    EXPECT_EQ(e.m_pFile, nullptr);
    EXPECT_TRUE(e.m_strPath.empty());
}

// The real end of the process, as the program's platform ends it.
TEST_F(RecordFile, StartRunEndsTheProcessWithItsExitCodes) {
    platform.realExit = true;
    platform.choices = {std::nullopt};
    EXPECT_EXIT(e.StartRun(), ::testing::ExitedWithCode(0),
                "記録ファイルが指定されなかったので終了します。 \\[information\\]");
    platform.choices = {dir / "no-such-folder/s.txt"};
    EXPECT_EXIT(e.StartRun(), ::testing::ExitedWithCode(1),
                "記録ファイルが作成できません。終了します。 \\[stop\\]");
    // A file that cannot be read back is not continued from half its content.
    platform.choices = {dir.path()};
    platform.answers = {true};
    EXPECT_EXIT(e.StartRun(), ::testing::ExitedWithCode(1), "作成できません");
}

TEST_F(RecordFile, AFailedWriteEndsTheRunAndKeepsEarlierLines) {
    FailingFileSystem failing;
    CExperiment f(platform, failing);
    const std::string path = dir / "w.txt";
    StartRunOn(f, platform, path);
    Play(f, 0, 500.0);
    const std::string before = ReadBytes(path);
    failing.failAt = static_cast<int>(failing.log.size());
    EXPECT_EQ(Ending(platform, [&] { Play(f, 0, 600.0); }),
              "1 stop 記録ファイルに書き込めません。終了します。");
    EXPECT_EQ(ReadBytes(path), before);

    // Opening: the marker cannot be written.
    failing.log.clear();
    failing.failAt = 4;  // close marker, probe, read, open, open marker
    platform.choices = {dir / "x.txt"};
    platform.realExit = true;
    EXPECT_EXIT(f.StartRun(), ::testing::ExitedWithCode(1), "書き込めません");
}

// A write that the system cuts short leaves no torn line behind.
TEST(RecordStream, APartialWriteIsCutBack) {
    TempDir dir;
    const std::string path = dir / "r.txt";
    WriteBytes(path, "01 01 1 1  500 1 1 1 0\n");
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        signal(SIGXFSZ, SIG_IGN);
        const rlimit limit{30, 30};
        setrlimit(RLIMIT_FSIZE, &limit);
        PosixFileSystem files;
        auto stream = files.open(path, FileSystem::OpenMode::Append);
        const bool wrote = stream && stream->append("02 02 1 2  600 1 1 1 0\n");
        _exit(wrote ? 2 : 0);
    }
    int status = 0;
    waitpid(child, &status, 0);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0);
    EXPECT_EQ(ReadBytes(path), "01 01 1 1  500 1 1 1 0\n");

    PosixFileSystem files;
    EXPECT_EQ(files.open(path, FileSystem::OpenMode::CreateNew), nullptr);
    std::string content;
    EXPECT_EQ(files.readFile(dir / "none", content), FileSystem::ReadResult::CannotOpen);
    EXPECT_EQ(files.readFile(dir.path(), content), FileSystem::ReadResult::Error);
}
