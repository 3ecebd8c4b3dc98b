#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "ExperimentTestSupport.h"
#include "RecordLineParser.h"
#include "TrialItem.h"

namespace {

class Schedule : public ::testing::Test {
  protected:
    Schedule() : e(platform, files) {}

    void ExpectCurrentItemIs(int item) {
        EXPECT_EQ(e.m_nCurEye, kItemTable[item].eye);
        EXPECT_EQ(e.m_nCurViewpoint, kItemTable[item].viewpoint);
    }

    TempDir dir;
    FakePlatform platform;
    PosixFileSystem files;
    CExperiment e;
};

}  // namespace

TEST_F(Schedule, ResetRunDrawsEveryItemOnceFromTheCalendarSeed) {
    e.m_nBeepDelay = 1234;
    std::vector<int> first;
    for (std::time_t seed : {kT0, kT0 + 1, kT0}) {
        platform.now = seed;
        e.m_nTrials = 9;
        e.m_nPos = 5;
        e.ResetRun();
        std::vector<int> items;
        for (const ScheduleSlot& slot : e.m_slots) {
            items.push_back(slot.item);
            EXPECT_EQ(slot.status, SLOT_PENDING);
            EXPECT_EQ(slot.reactionTime, -1.0);
        }
        if (first.empty()) {
            first = items;
        } else if (seed == kT0) {
            EXPECT_EQ(items, first);  // same second, same order
        }
        std::vector<int> sorted = items;
        std::sort(sorted.begin(), sorted.end());
        for (int i = 0; i < 16; ++i) {
            EXPECT_EQ(sorted[i], i);
        }
        EXPECT_EQ(e.m_nPos, 0);
        EXPECT_EQ(e.m_nTrials, 0);
        EXPECT_TRUE(e.m_records.empty());
        ExpectCurrentItemIs(e.m_slots[0].item);
    }
    EXPECT_EQ(e.m_nBeepDelay, 1234);
}

TEST_F(Schedule, AWrongEyeIsAHitButNotCorrect) {
    e.ResetRun();
    const int item = e.m_slots[0].item;
    e.m_nResponse = 1 - e.m_nCurEye;
    EXPECT_EQ(e.IsCorrect(), 0);
    e.m_nResponse = -1;
    EXPECT_EQ(e.IsCorrect(), 0);
    e.m_nResponse = e.m_nCurEye;
    EXPECT_EQ(e.IsCorrect(), 1);

    EXPECT_EQ(Play(e, 1 - e.m_nCurEye, 640.0), 1);
    EXPECT_EQ(e.m_slots[0].status, SLOT_DONE);
    EXPECT_EQ(e.m_slots[0].reactionTime, 640.0);
    EXPECT_EQ(e.m_records[0].correct, 0);
    EXPECT_EQ(e.m_records[0].valid, 1);
    EXPECT_EQ(e.m_records[0].item, item);
    EXPECT_EQ(e.m_nPos, 1);
    ExpectCurrentItemIs(e.m_slots[1].item);
}

TEST_F(Schedule, TheLastItemComesBackAfterEveryMissAndThenEndsTheRun) {
    e.ResetRun();
    for (int i = 0; i < 15; ++i) {
        ASSERT_EQ(Play(e, 0, 500.0), 1);
    }
    const int last = e.m_slots[15].item;
    for (int miss = 0; miss < 3; ++miss) {
        EXPECT_EQ(Play(e, -1, 800.0), 1);
        EXPECT_EQ(e.m_nPos, 15);
        EXPECT_EQ(e.m_slots[15].item, last);
        EXPECT_EQ(e.m_slots[15].status, SLOT_MISSED);
        ExpectCurrentItemIs(last);
    }
    const int eye = e.m_nCurEye;
    const int viewpoint = e.m_nCurViewpoint;
    EXPECT_EQ(Play(e, 1, 700.0), 0);
    EXPECT_EQ(e.m_nPos, 16);
    EXPECT_EQ(e.m_nTrials, 19);
    EXPECT_EQ(e.m_nCurEye, eye);
    EXPECT_EQ(e.m_nCurViewpoint, viewpoint);
}

TEST_F(Schedule, AdvanceAtPosition16StaysInsideTheSlots) {
    e.ResetRun();
    e.m_nPos = 16;
    ScheduleSlot before[16];
    std::copy(std::begin(e.m_slots), std::end(e.m_slots), before);
    for (int response : {-1, 0}) {
        e.m_nResponse = response;
        EXPECT_EQ(e.AdvanceSchedule(), 0);
        EXPECT_EQ(e.m_nPos, 16);
    }
    EXPECT_EQ(e.m_nTrials, 2);
    for (int i = 0; i < 16; ++i) {
        EXPECT_EQ(e.m_slots[i].item, before[i].item);
        EXPECT_EQ(e.m_slots[i].status, before[i].status);
    }
}

TEST_F(Schedule, RequeueSwapsWithTheOnlySlotNotYetMissedOrMoved) {
    // With one eligible slot among 13..15 the partner is that slot whatever start is drawn.
    for (int eligible : {14, 15}) {
        platform.now = kT0 + eligible;
        e.ResetRun();
        for (int i = 0; i < 12; ++i) {
            ASSERT_EQ(Play(e, 0, 500.0), 1);
        }
        for (int i = 13; i < 16; ++i) {
            e.m_slots[i].reactionTime = 0.0;  // moved by an earlier re-queue
        }
        e.m_slots[eligible].reactionTime = -1.0;
        if (eligible == 15) {  // missed before: not eligible even with a time left
            e.m_slots[14] = {e.m_slots[14].item, SLOT_MISSED, -1.0};
        }
        ScheduleSlot before[16];
        std::copy(std::begin(e.m_slots), std::end(e.m_slots), before);
        Play(e, -1, 900.0);
        EXPECT_EQ(e.m_nPos, 12);
        EXPECT_EQ(e.m_slots[eligible].item, before[12].item);
        EXPECT_EQ(e.m_slots[eligible].status, SLOT_MISSED);
        EXPECT_EQ(e.m_slots[12].item, before[eligible].item);
        EXPECT_EQ(e.m_slots[12].status, SLOT_PENDING);
        EXPECT_EQ(e.m_slots[12].reactionTime, 0.0);
        EXPECT_EQ(e.m_slots[eligible].reactionTime, 0.0);
        ExpectCurrentItemIs(before[eligible].item);
        for (int i = 0; i < 16; ++i) {
            if (i != 12 && i != eligible) {
                EXPECT_EQ(e.m_slots[i].item, before[i].item);
                EXPECT_EQ(e.m_slots[i].status, before[i].status);
            }
        }
    }
}

// A re-queue asked for by cancelling a miss finds the untouched current slot itself when
// nothing after it is eligible, whichever start is drawn.
TEST_F(Schedule, RequeueSearchDownIncludesTheCurrentSlot) {
    for (std::time_t seed = kT0; seed < kT0 + 8; ++seed) {
        platform.now = seed;
        e.ResetRun();
        for (int i = 0; i < 14; ++i) {
            ASSERT_EQ(Play(e, 0, 500.0), 1);
        }
        e.m_slots[15].reactionTime = 0.0;
        const int item = e.m_slots[14].item;
        e.m_nResponse = -1;
        e.AdvanceSchedule();
        EXPECT_EQ(e.m_slots[14].item, item) << "seed " << seed;
        EXPECT_EQ(e.m_slots[14].reactionTime, 0.0);
    }
}

// Random runs of hits, misses and cancel commands, checked against a model of the trials.
TEST_F(Schedule, RandomRunsKeepTheOrderAndTheCountsRight) {
    std::mt19937 choose(12345);
    for (int run = 0; run < 1000; ++run) {
        platform.now = kT0 + run;
        const bool withFile = run < 10;  // a few runs also check the lines on disk
        const std::string path = dir / ("run" + std::to_string(run) + ".txt");
        if (withFile) {
            StartRunOn(e, platform, path);
        } else {
            e.ResetRun();
        }
        struct Made {
            int item;
            bool valid;
            bool cancelled;
        };
        std::vector<Made> made;
        int cancels = 0;  // cancel commands since the last trial: the next one's depth
        int guard = 0;
        while (e.m_nPos < 16 && ++guard < 2000) {
            const int action = static_cast<int>(choose() % 10);
            if (action < 2 && !made.empty()) {
                const int k = static_cast<int>(made.size()) - cancels - 1;
                e.CancelTrial(cancels++);
                if (k >= 0) {
                    made[k].cancelled = true;
                }
            } else {
                ASSERT_LT(e.m_nPos, 16);
                const int item = e.m_slots[e.m_nPos].item;
                ASSERT_EQ(e.m_nCurEye, kItemTable[item].eye);
                ASSERT_EQ(e.m_nCurViewpoint, kItemTable[item].viewpoint);
                const bool hit = action >= 5;
                Play(e, hit ? static_cast<int>(choose() % 2) : -1, 300.0 + action);
                made.push_back({item, hit, false});
                cancels = 0;
            }
            // Slots before m_nPos: the items of the valid, not cancelled trials, in order.
            std::vector<int> done;
            for (const Made& m : made) {
                if (m.valid && !m.cancelled) {
                    done.push_back(m.item);
                }
            }
            ASSERT_EQ(static_cast<int>(done.size()), e.m_nPos) << "run " << run;
            for (int i = 0; i < 16; ++i) {
                if (i < e.m_nPos) {
                    ASSERT_EQ(e.m_slots[i].item, done[i]);
                    ASSERT_EQ(e.m_slots[i].status, SLOT_DONE);
                } else {
                    ASSERT_NE(e.m_slots[i].status, SLOT_DONE);
                }
            }
            ASSERT_EQ(e.m_nTrials, static_cast<int>(made.size()));
            for (std::size_t k = 0; k < made.size(); ++k) {
                ASSERT_EQ(e.m_records[k].item, made[k].item);
                ASSERT_EQ(e.m_records[k].valid, made[k].valid ? 1 : 0);
                ASSERT_EQ(e.m_records[k].cancelled, made[k].cancelled ? 1 : 0);
            }
        }
        ASSERT_EQ(e.m_nPos, 16) << "run " << run;
        std::vector<int> items;
        for (const ScheduleSlot& slot : e.m_slots) {
            items.push_back(slot.item);
        }
        std::sort(items.begin(), items.end());
        for (int i = 0; i < 16; ++i) {
            ASSERT_EQ(items[i], i);
        }
        if (withFile) {
            std::istringstream file(ReadBytes(path));
            std::size_t k = 0;
            for (std::string text; std::getline(file, text);) {
                TrialLine line{};
                if (RecordLineParser::ParseTrialLine(text, line)) {
                    ASSERT_LT(k, made.size());
                    EXPECT_EQ(line.number, static_cast<int>(k) + 1);
                    EXPECT_EQ(line.item, made[k].item + 1);
                    EXPECT_EQ(line.valid, made[k].valid ? 1 : 0);
                    EXPECT_EQ(line.cancelled, made[k].cancelled ? 1 : 0);
                    ++k;
                }
            }
            EXPECT_EQ(k, made.size());
        }
    }
}
