#include <array>
#include <random>
#include <set>
#include <utility>

#include "ExperimentTestSupport.h"

namespace {

struct Schedule : ExperimentTest<> {};

std::vector<int> Items(const CExperiment& e) {
    std::vector<int> items;
    for (const ScheduleSlot& slot : e.m_slots) items.push_back(slot.item);
    return items;
}

}  // namespace

// A continued file (its last trial indented), then a fixed script of hits (h), hits on the other
// eye (o), misses (m) and cancels (c, each reaching one trial further back until the next
// trial) in a fixed calendar second: the items' order and every byte written are pinned.
TEST_F(Schedule, AFixedSeedAndScriptGiveOneOrderAndOneFile) {
    const std::string path = dir / "run.txt";
    WriteBytes(path, DataFile("schedule-start.txt"));
    StartRunOn(e, platform, path);
    int depth = 0, trial = 0;
    for (char step : std::string("hcchmhmmoccchhmhhmhmmhhhhhmmmmmhchmmmmhh")) {
        if (step == 'c') {
            e.CancelTrial(depth++);
            continue;
        }
        depth = 0;
        const int response = step == 'm' ? -1 : step == 'h' ? e.m_nCurEye : 1 - e.m_nCurEye;
        Play(e, response, 400 + 7 * ++trial);
    }
    EXPECT_EQ(e.m_nPos, 16);
    EXPECT_EQ(Items(e), (std::vector<int>{4, 7, 5, 8, 12, 10, 1, 2, 3, 13, 14, 6, 15, 0, 9, 11}));
    EXPECT_EQ(ReadBytes(path), DataFile("schedule-golden.txt"));
}

TEST_F(Schedule, ResetRunStartsAfreshInTheOrderOfTheCalendarSecond) {
    std::vector<int> orders[3];
    for (int i = 0; i < 3; ++i) {
        Play(e, -1, 500.0);             // a miss: its slot is missed, with time 0
        platform.now = kT0 + (i == 1);  // the first and the last run start in the same second
        e.ResetRun();
        orders[i] = Items(e);
        for (const ScheduleSlot& slot : e.m_slots)
            EXPECT_TRUE(slot.status == SLOT_PENDING && slot.reactionTime == -1.0);
        EXPECT_TRUE(e.m_records.empty());
    }
    EXPECT_EQ(orders[0], orders[2]);
    EXPECT_NE(orders[0], orders[1]);
}

// A re-queue asked for by cancelling a miss finds the untouched current slot itself when
// nothing after it is eligible, whichever start is drawn.
TEST_F(Schedule, RequeueSearchDownIncludesTheCurrentSlot) {
    for (std::time_t seed = kT0; seed < kT0 + 8; ++seed) {
        platform.now = seed;
        e.ResetRun();
        for (int i = 0; i < 14; ++i) Play(e, 0, 500.0);
        e.m_slots[15].reactionTime = 0.0;
        const std::vector<int> before = Items(e);
        e.m_nResponse = -1;
        e.AdvanceSchedule();
        EXPECT_EQ(Items(e), before) << "seed " << seed;
    }
}

// Random runs of hits, misses and cancel commands, checked after every step against a model
// of the trials: per trial its item, valid and cancelled flags. That the record file restores
// the same state is tests/fuzz/RecordFileFuzz.cpp's check.
TEST_F(Schedule, RandomRunsKeepTheOrderAndTheCountsRight) {
    std::mt19937 choose(12345);
    for (int run = 0; run < 1000; ++run) {
        SCOPED_TRACE("run " + std::to_string(run));
        platform.now = kT0 + run;
        e.ResetRun();
        std::vector<std::array<int, 3>> made;
        int cancels = 0;  // cancel commands since the last trial: the next one's depth
        while (e.m_nPos < 16) {
            ASSERT_LT(made.size(), 2000u);
            const unsigned action = choose() % 10;
            if (action < 2 && !made.empty()) {
                e.CancelTrial(cancels++);
                if (made.size() >= static_cast<std::size_t>(cancels)) made.end()[-cancels][2] = 1;
            } else {
                const int item = e.m_slots[e.m_nPos].item;
                ASSERT_EQ(e.m_nCurEye * 8 + e.m_nCurViewpoint, item);  // item n: eye n/8, view n%8
                const int valid = action >= 5;
                Play(e, valid ? static_cast<int>(choose() % 2) : -1, 300.0 + action);
                made.push_back({item, valid, 0});
                cancels = 0;
            }
            // Slots before m_nPos are done, with the items of the valid, not cancelled trials.
            std::vector<int> done;
            for (const auto& [item, valid, cancelled] : made)
                if (valid && !cancelled) done.push_back(item);
            ASSERT_EQ(static_cast<int>(done.size()), e.m_nPos);
            ASSERT_EQ(std::set<int>(done.begin(), done.end()).size(), done.size());
            const std::vector<int> items = Items(e);
            ASSERT_EQ(std::vector<int>(items.begin(), items.begin() + e.m_nPos), done);
            for (int i = 0; i < 16; ++i) ASSERT_EQ(e.m_slots[i].status == SLOT_DONE, i < e.m_nPos);
            ASSERT_EQ(e.m_nTrials, static_cast<int>(made.size()));
            std::vector<std::array<int, 3>> records;
            for (const TrialRecord& r : e.m_records)
                records.push_back({r.item, r.valid, r.cancelled});
            ASSERT_EQ(records, made);
        }
    }
}
