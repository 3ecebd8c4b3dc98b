#include <fcntl.h>
#include <signal.h>
#include <sys/resource.h>

#include "ExperimentTestSupport.h"
#include "PosixRecordStream.h"
#include "TrialLine.h"

namespace {

struct RecordFile : ExperimentTest<FailingFileSystem> {
    // Puts item i at position i, so that the trial lines are known in advance.
    void OrderItemsByNumber() {
        for (int i = 0; i < 16; ++i) e.m_slots[i].item = i;
        e.SelectCurrentItem();
    }
};

}  // namespace

TEST_F(RecordFile, ANewFileIsWrittenByteForByteAndAContinuedOneGainsOnlyMarkers) {
    const std::string path = dir / "s01.txt";
    e.m_nSwapSides = 1;
    StartRunOn(e, platform, path);
    OrderItemsByNumber();
    Play(e, 0, 523.4);
    Play(e, 1, 10000.0);
    Play(e, -1, 1234.6);
    const std::string written = DataFile("record-new.txt");
    EXPECT_EQ(ReadBytes(path), written);
    // A new run closes the file; chosen again, it is continued once the question is answered yes.
    platform.now = kT0 + 3600;
    platform.noes = 1;
    platform.choices = {path};
    StartRunOn(e, platform, path);
    const std::string question = "そのファイルは既に存在しています。続きを実行しますか?|続行確認";
    EXPECT_EQ(platform.questions, (Lines{question, question}));
    const std::string continued =
        written + Marker("close trial", kT0 + 3600) + Marker("open trial ", kT0 + 3600);
    EXPECT_EQ(ReadBytes(path), continued);
    OrderItemsByNumber();  // the next line shows the trial count and the position restored
    Play(e, 0, 480.0);
    EXPECT_EQ(ReadBytes(path), continued + "04 03 1 3  480 1 1 1 0\n");
}

TEST_F(RecordFile, AForeignFileGetsMarkerAndParametersButNoHeader) {
    const std::string text = DataFile("record-foreign.txt");
    WriteBytes(dir / "notes.txt", text);
    e.m_nBeepDelay = 1300;
    StartRunOn(e, platform, dir / "notes.txt");
    EXPECT_EQ(ReadBytes(dir / "notes.txt"), text + Marker("open trial ", kT0) +
                                                "# param: 1300 1000 1000 500 500 1 " +
                                                std::to_string(e.m_nSwapSides) + "\n");
    // "1 2 3 ..." and "2020 10 ..." are trials; only the second restores an item (valid 1).
    EXPECT_EQ(e.m_nTrials, 2);
    EXPECT_EQ(e.m_nPos, 1);
    EXPECT_EQ(e.m_slots[0].item, 9);
}

// A file written on Windows over three sessions, one cut short by a power loss; a finished run.
TEST_F(RecordFile, OldFilesAreContinuedWithTheirStateAndTheirLineEnds) {
    const std::string path = dir / "s02.txt";
    const std::string text = DataFile("record-windows.txt");
    WriteBytes(path, text);
    StartRunOn(e, platform, path);
    EXPECT_EQ(e.Settings(), (Values{1200, 800, 1500, 400, 600, 1}));
    EXPECT_EQ(e.m_nSwapSides, 0);
    EXPECT_EQ(e.m_nTrials, 11);  // the cut line is not a trial
    const int restored[] = {4, 11, 8, 15, 2, 0, 13, 10};
    ASSERT_EQ(e.m_nPos, 8);
    for (int i = 0; i < 8; ++i) EXPECT_EQ(e.m_slots[i].item, restored[i]);
    EXPECT_EQ(e.m_slots[0].reactionTime, 612.0);
    const TrialRecord& r = e.m_records[4];  // a cancelled hit
    EXPECT_EQ((std::vector<double>{double(r.item), double(r.eye), double(r.viewpoint),
                                   r.reactionTime, double(r.response), double(r.cancelled)}),
              (std::vector<double>{15, 1, 7, 702, 1, 1}));
    OrderItemsByNumber();
    Play(e, -1, 1450.0);
    EXPECT_EQ(ReadBytes(path),
              text + Marker("open trial ", kT0, "\r\n") + "12 09 2 1 1450 0 0 0 0\r\n");
}

TEST_F(RecordFile, OverlongAndOverflowingLinesNeverEscapeTheirStorage) {
    std::string text;  // 20 restoring lines (hand-edited): 16 restore, all 20 count
    for (int n = 1; n <= 20; ++n)
        text += TrialLine{n, n % 16 + 1, 1, 1, 500, 1, 1, 1, 0}.Format() + "\n";
    // A line of 530 characters is two trial lines; overflowing ones are none.
    text += "21 01 1 1  500 1 1 0 0" + std::string(489, ' ') + "22 02 1 2 600 1 1 0 0\n";
    text += "23 99999999999 1 1 500 1 1 1 0\n";
    text += "24 01 1 1 500 1 1 1 0 but" + std::string(600, 'x') + "\n";
    text += "# param: 1 2 99999999999 4 5 6 7\n# param: 9 9 9 9 9 9 9\n";
    WriteBytes(dir / "edited.txt", text);
    StartRunOn(e, platform, dir / "edited.txt");
    EXPECT_EQ(e.m_nTrials, 23);
    EXPECT_EQ(e.m_nPos, 16);
    EXPECT_EQ(e.m_records[21].reactionTime, 600.0);
    // The first parameter that does not fit ends the scan.
    EXPECT_EQ(e.Settings(), (Values{1, 2, 1000, 500, 500, 1}));
}

TEST_F(RecordFile, MoreThan300TrialsAreAllStoredAndNumbered) {
    const std::string path = dir / "long.txt";
    StartRunOn(e, platform, path);
    for (int i = 0; i < 349; ++i) Play(e, -1, 2000.0);
    Play(e, 0, 99999.0);
    const std::string text = ReadBytes(path);
    EXPECT_EQ(text.substr(text.rfind('\n', text.size() - 2) + 1, 4), "350 ");
    StartRunOn(e, platform, path);
    EXPECT_EQ(e.m_nTrials, 350);
    EXPECT_EQ(e.m_nPos, 1);
}

TEST_F(RecordFile, AFileThatCannotBeMadeEndsTheProcess) {
    platform.realExit = true;
    platform.choices = {dir / "no-such-folder/s.txt"};
    EXPECT_EXIT(e.StartRun(), ::testing::ExitedWithCode(1),
                "stop 記録ファイルが作成できません。終了します。");
    platform.choices = {dir.path};  // not continued from half a file that cannot be read back
    EXPECT_EXIT(e.StartRun(), ::testing::ExitedWithCode(1), "作成できません");
}

// A write that the system cuts short leaves no torn line behind.
TEST(RecordStream, APartialWriteIsCutBack) {
    TempDir dir;
    WriteBytes(dir / "r.txt", "01 01 1 1  500 1 1 1 0\n");
    auto appendOverTheSizeLimit = [&] {
        signal(SIGXFSZ, SIG_IGN);
        const rlimit limit{30, 30};
        setrlimit(RLIMIT_FSIZE, &limit);
        auto stream = PosixFileSystem().open(dir / "r.txt", FileSystem::OpenMode::Append);
        std::exit(stream && !stream->append("02 02 1 2  600 1 1 1 0\n") ? 0 : 2);
    };
    EXPECT_EXIT(appendOverTheSizeLimit(), ::testing::ExitedWithCode(0), "");
    EXPECT_EQ(ReadBytes(dir / "r.txt"), "01 01 1 1  500 1 1 1 0\n");
    // Bytes that cannot be synced (/dev/null refuses fsync) are not reported as written.
    EXPECT_FALSE(PosixRecordStream(::open("/dev/null", O_WRONLY)).append("x"));
}
