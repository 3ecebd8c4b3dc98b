// What the server is asked to copy, and which time a click gets: both decide how close a
// reaction time's two ends sit to the pixels and the press.
#include <gtest/gtest.h>

#include <QImage>

#include "PresentSurface.h"
#include "PressTimes.h"

TEST(PresentSurface, ChangedAreaHoldsEveryChangedPixelAndNoMore) {
    QImage grey(64, 48, QImage::Format_RGB32);
    grey.fill(0xff808080u);
    QImage face = grey;
    face.setPixel(10, 5, 0xff000000u);
    face.setPixel(40, 30, 0xffffffffu);
    EXPECT_EQ(PresentSurface::ChangedArea(grey, face), QRect(QPoint(10, 5), QPoint(40, 30)));
    EXPECT_EQ(PresentSurface::ChangedArea(face, grey), QRect(QPoint(10, 5), QPoint(40, 30)));
    QImage corner = grey;  // the last pixel of the last row
    corner.setPixel(63, 47, 0xff000000u);
    EXPECT_EQ(PresentSurface::ChangedArea(grey, corner), QRect(63, 47, 1, 1));
    EXPECT_TRUE(PresentSurface::ChangedArea(grey, grey).isEmpty());
    EXPECT_EQ(PresentSurface::ChangedArea(grey, grey.scaled(32, 24)), QRect(0, 0, 32, 24));
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
