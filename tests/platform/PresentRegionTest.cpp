// What the server is asked to copy, and which time a click gets: both decide how close a
// reaction time's two ends sit to the pixels and the press.
#include <gtest/gtest.h>

#include <QImage>

#include "PresentSurface.h"
#include "PressTimes.h"

TEST(PresentSurface, ChangedAreasCoverEveryChangedPixelAndLittleElse) {
    QImage grey(200, 48, QImage::Format_RGB32);
    grey.fill(0xff808080u);
    QImage face = grey;
    face.setPixel(10, 5, 0xff000000u);
    face.setPixel(30, 5, 0xff000000u);   // within the join distance: one run
    face.setPixel(150, 5, 0xff000000u);  // far: a run of its own
    for (int y = 20; y < 30; ++y) face.setPixel(199, y, 0xffffffffu);  // one rectangle, 10 rows
    face.setPixel(199, 47, 0xffffffffu);                               // the last pixel
    EXPECT_EQ(PresentSurface::ChangedAreas(grey, face),
              (std::vector<QRect>{QRect(10, 5, 21, 1), QRect(150, 5, 1, 1), QRect(199, 20, 1, 10),
                                  QRect(199, 47, 1, 1)}));
    EXPECT_TRUE(PresentSurface::ChangedAreas(grey, grey).empty());
    EXPECT_EQ(PresentSurface::ChangedAreas(grey, grey.scaled(32, 24)),
              std::vector<QRect>{QRect(0, 0, 32, 24)});
}

TEST(PressTimes, AClickTakesTheLatestArrivalBeforeQtSawItWithinTheFreshWindow) {
    struct Case {
        std::vector<double> arrivalsMs;
        double seenMs, expectMs;
    } cases[] = {
        {{}, 100, 100},                                // no listener: Qt's own time
        {{99.6}, 100, 99.6},                           // the arrival
        {{90, 99.6}, 100, 99.6},                       // a double click's unhandled press is not it
        {{100.4}, 100, 100},                           // arrived after Qt saw it: another press's
        {{100 - PressTimes::kFreshMs - 1}, 100, 100},  // too old to be this press
    };
    for (const Case& c : cases) {
        PressTimes times;
        for (double at : c.arrivalsMs) times.Arrived(at);
        EXPECT_DOUBLE_EQ(times.Take(c.seenMs), c.expectMs) << c.seenMs;
    }
    PressTimes times;  // one arrival serves one click
    times.Arrived(99.6);
    EXPECT_DOUBLE_EQ(times.Take(100), 99.6);
    EXPECT_DOUBLE_EQ(times.Take(101), 101);
}
