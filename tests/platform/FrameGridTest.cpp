// Aiming frames at vertical blanks, against a fake Present: a counter whose blanks come every
// period with the millisecond jitter of Xvfb's timers.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>

#include "FrameGrid.h"

namespace {

struct FakePresent {
    double periodUs;
    double jitterUs;
    std::uint64_t msc = 1000;
    double blank(std::uint64_t m) const { return 5e6 + double(m) * periodUs; }  // the true one
    void feed(FrameGrid& grid, int frames) {  // reports blanks with a jitter
        for (int i = 0; i < frames; ++i, ++msc)
            grid.add(msc, std::uint64_t(
                              std::llround(blank(msc) + jitterUs * std::sin(double(msc) * 2.3))));
    }
};

}  // namespace

TEST(FrameGrid, PeriodComesFromRandrOrFromALongEnoughRunOfBlanks) {
    for (double hz : {60.0, 144.0}) {
        FakePresent server{1e6 / hz, 1500};
        FrameGrid measured;
        server.feed(measured, FrameGrid::kSpan);
        EXPECT_FALSE(measured.ready()) << "a period from too few blanks is not trusted";
        server.feed(measured, 1);
        ASSERT_TRUE(measured.ready());
        // A least-squares slope through blanks 0..60 each off by at most 1.5 ms is off by at
        // most 1.5 ms * sum|x - mean| / sum (x - mean)^2 = 1500 * 930 / 18910 = 74 us.
        EXPECT_NEAR(measured.periodUs(), server.periodUs, 74.0);
        // Fit to the first and the latest 32 blanks, about 630 frames apart: 1500 * 20128 / 6.34e6.
        server.feed(measured, 600);
        EXPECT_NEAR(measured.periodUs(), server.periodUs, 4.8) << hz;

        FrameGrid fromMode(16683.35);
        server.feed(fromMode, 1);
        EXPECT_TRUE(fromMode.ready());
        EXPECT_DOUBLE_EQ(fromMode.periodUs(), 16683.35);
    }
    FakePresent server{16666.67, 0};
    FrameGrid grid;
    server.feed(grid, 20);
    server.msc = 5;  // the counter went back: learnt afresh
    server.feed(grid, 3);
    EXPECT_FALSE(grid.ready());
}

TEST(FrameGrid, TargetIsTheFirstBlankAtOrAfterTheDeadlineThatARequestCanReach) {
    FakePresent server{10000, 0};
    FrameGrid grid;
    server.feed(grid, 20);  // blanks of msc 1000..1019; 1019 at 5e6 + 10.19e6 us
    const double b1019 = server.blank(1019);
    struct Case {
        double deadline, now, lead;
        std::uint64_t after, want;
    } cases[] = {
        {b1019 + 10000, b1019, 2000, 0, 1020},              // on a blank: that blank
        {b1019 + 10060, b1019, 2000, 0, 1021},              // past the tolerance: the next
        {b1019 + 10000 - 40, b1019, 2000, 0, 1020},         // within the rounding tolerance
        {b1019 + 10000 - 60, b1019, 2000, 0, 1020},         // just before a blank: that one
        {b1019 + 10000 - 60, b1019 + 9000, 2000, 0, 1021},  // too late to send for it
        {b1019 + 5000, b1019 + 1000, 12000, 0, 1021},       // one frame plus 2 ms ahead
        {b1019 + 5000, b1019, 2000, 1022, 1023},            // after a frame already sent
        {b1019 + 95000, b1019, 2000, 0, 1029},              // deadline far ahead
    };
    for (const Case& c : cases)
        EXPECT_EQ(grid.target(c.deadline, c.now, c.lead, c.after), c.want)
            << "deadline +" << c.deadline - b1019 << " now +" << c.now - b1019;
}

TEST(FrameGrid, JitteryBlanksNeverPutAFrameBeforeItsDeadlineNorABlankLate) {
    for (double hz : {60.0, 144.0}) {
        FakePresent server{1e6 / hz, 1500};
        FrameGrid grid;
        server.feed(grid, 40);
        for (int i = 0; i < 200; ++i) {
            const double now = server.blank(server.msc - 1) + 300;
            const double deadline = now + 20000 + 977.3 * i;
            const std::uint64_t t = grid.target(deadline, now, server.periodUs + 2000, 0);
            // On the true grid, within a fifth of the jitter the grid was learnt through: at or
            // after the deadline, and the first such blank.
            EXPECT_GE(server.blank(t), deadline - 300) << hz << " " << i;
            EXPECT_LT(server.blank(t - 1), deadline + 300) << hz << " " << i;
            server.feed(grid, 1);
        }
    }
}

TEST(FrameGrid, PhasesLastTheWholeFramesTheirSettingRoundsUpTo) {
    struct Case {
        double delayMs, hz;
        std::uint64_t frames;
    } cases[] = {{150, 60, 9},   {200, 60, 12},  {500, 60, 30}, {150, 144, 22},
                 {200, 144, 29}, {500, 144, 72}, {0, 60, 1},    {17.5, 60, 2}};
    for (const Case& c : cases)
        // A period measured a little long or short: 150 ms at 60 Hz is still 9 frames.
        for (double off : {-0.0005, 0.0, 0.0005})
            EXPECT_EQ(FrameGrid::framesFor(c.delayMs * 1000, 1e6 / c.hz * (1 + off)), c.frames)
                << c.delayMs << " ms at " << c.hz << " Hz";
}

// Xvfb answers "now" with the present moment; a real display's driver answers with its latest
// blank, up to a frame before the request, and stamps a blank with the end of its blanking.
TEST(FrameGrid, ClockCheckTakesTheLatestBlankOfARealDisplayAndRefusesAnotherClock) {
    const double sent = 5e9, received = sent + 150;
    EXPECT_TRUE(FrameGrid::clockAgrees(sent, sent - 1e6 / 24, received));  // a frame at 24 Hz
    EXPECT_TRUE(FrameGrid::clockAgrees(sent, received + 1400, received));  // blanking's end
    EXPECT_FALSE(FrameGrid::clockAgrees(sent, sent - 2e6, received));      // another epoch
    EXPECT_FALSE(FrameGrid::clockAgrees(sent, received + 2e6, received));
}
