#include <gtest/gtest.h>

#include <QDir>
#include <QGuiApplication>
#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdlib>
#include <functional>
#include <iostream>
#include <memory>
#include <random>
#include <string>
#include <utility>
#include <vector>

#include "FaceRenderer.h"
#include "QImageCanvas.h"
#include "ViewEnums.h"

namespace {

// Text needs a font database, hence a GUI application; gtest_main owns main(). Made before any
// test runs, so that suites which create a core application when none exists cannot leave
// this one without fonts, whatever the test order.
class GuiAppEnvironment : public ::testing::Environment {
public:
    void SetUp() override {
        if (QCoreApplication::instance()) return;
        qputenv("QT_QPA_PLATFORM", "offscreen");
        app_ = std::make_unique<QGuiApplication>(argc_, argv_);
    }
    void TearDown() override { app_.reset(); }

private:
    int argc_ = 1;
    char name_[16] = "platform_tests";
    char* argv_[2] = {name_, nullptr};
    std::unique_ptr<QGuiApplication> app_;
};

::testing::Environment* const kGuiApp = ::testing::AddGlobalTestEnvironment(new GuiAppEnvironment);

const QRgb kGrey = qRgb(200, 200, 200), kWhite = qRgb(255, 255, 255), kBlack = qRgb(0, 0, 0),
           kRed = qRgb(255, 0, 0);

QRgb At(const QImage& img, int x, int y) { return img.pixel(x, y); }

class TimedFillCanvas : public QImageCanvas {
public:
    using QImageCanvas::QImageCanvas;
    void floodFill(int x, int y, Rgb target, Rgb fill) override {
        const auto t0 = std::chrono::steady_clock::now();
        QImageCanvas::floodFill(x, y, target, fill);
        fillMicros =
            std::chrono::duration<double, std::micro>(std::chrono::steady_clock::now() - t0)
                .count();
    }
    double fillMicros = -1;
};

// Plain 4-connected breadth-first fill, the reference for the span fill.
void ReferenceFill(QImage& img, int x, int y, QRgb fill) {
    const QRgb target = img.pixel(x, y);
    std::vector<QPoint> todo{{x, y}};
    img.setPixel(x, y, fill);
    while (!todo.empty()) {
        const QPoint p = todo.back();
        todo.pop_back();
        for (QPoint n : {p + QPoint(1, 0), p - QPoint(1, 0), p + QPoint(0, 1), p - QPoint(0, 1)}) {
            if (!img.rect().contains(n) || img.pixel(n) != target) continue;
            img.setPixel(n, fill);
            todo.push_back(n);
        }
    }
}

// Paints the whole face in mode at viewpoint v; returns a mapper from record 0's unit
// coordinates, turned to v, to pixels (unrounded: only for points well clear of lines).
std::function<QPoint(double, double)> PaintFace(QImageCanvas& canvas, SceneState& s, int v,
                                                int mode = FACE_PLAIN) {
    s = SceneState{};
    s.faceMode = mode, s.redrawFace = 1, s.viewpoint = v;
    FaceRenderer::Draw(canvas, s);
    const int w = canvas.width(), h = canvas.height(), side = std::min(w, h);
    const int x0 = h > w ? 0 : (w - h) / 2, y0 = h > w ? (h - w) / 2 : 0;
    const double a = v * std::acos(-1.0) / 4, c = std::cos(a), sn = std::sin(a);
    return [=](double u, double t) {
        return QPoint(x0 + int((0.5 + (u - 0.5) * c + (t - 0.5) * sn) * side),
                      y0 + int((0.5 - (u - 0.5) * sn + (t - 0.5) * c) * side));
    };
}

}  // namespace

TEST(QImageCanvas, SpanFillMatchesAReferenceFillOnNoise) {
    std::mt19937 rng(12345);
    std::bernoulli_distribution wall(0.38);  // mazes with many diagonal-only contacts
    for (int round = 0; round < 20; ++round) {
        QImageCanvas canvas(97, 61);
        QImage& img = canvas.image();
        for (int y = 0; y < img.height(); ++y)
            for (int x = 0; x < img.width(); ++x) img.setPixel(x, y, wall(rng) ? kBlack : kWhite);
        const int sx = int(rng() % 97), sy = int(rng() % 61);
        img.setPixel(sx, sy, kWhite);
        QImage expected = img.copy();
        ReferenceFill(expected, sx, sy, kRed);
        canvas.floodFill(sx, sy, Rgb{255, 255, 255}, Rgb{255, 0, 0});
        ASSERT_EQ(img, expected) << "round " << round;
    }
    // No-ops: seed off the target colour, outside the image, fill equal to the target.
    QImageCanvas canvas(20, 20);
    const QImage before = canvas.image().copy();
    canvas.floodFill(5, 5, Rgb{255, 255, 255}, Rgb{255, 0, 0});
    canvas.floodFill(-1, 5, Rgb{200, 200, 200}, Rgb{255, 0, 0});
    canvas.floodFill(5, 5, Rgb{200, 200, 200}, Rgb{200, 200, 200});
    EXPECT_EQ(canvas.image(), before);
}

TEST(QImageCanvas, ShapesKeepTheirBoxesRightAndBottomExclusive) {
    QImageCanvas canvas(300, 100);
    QImage& img = canvas.image();
    canvas.rectangle(15, 25, 200, 100, Rgb{255, 255, 255});
    EXPECT_EQ(
        std::vector<QRgb>({At(img, 14, 50), At(img, 15, 50), At(img, 16, 50), At(img, 198, 50),
                           At(img, 199, 50), At(img, 100, 24), At(img, 100, 25), At(img, 100, 98),
                           At(img, 100, 99)}),
        std::vector<QRgb>({kGrey, kBlack, kWhite, kWhite, kBlack, kGrey, kBlack, kWhite, kBlack}));
    canvas.fillRect(0, 0, 10, 20, Rgb{255, 0, 0});
    EXPECT_EQ(std::vector<QRgb>({At(img, 9, 19), At(img, 10, 5), At(img, 5, 20)}),
              std::vector<QRgb>({kRed, kGrey, kGrey}));

    // The 5-pixel ellipse outline is centred on the first and last pixel inside the box.
    canvas.ellipse(210, 10, 291, 91, Rgb{255, 255, 255}, 5);
    EXPECT_EQ(
        std::vector<QRgb>({At(img, 207, 50), At(img, 208, 50), At(img, 212, 50), At(img, 213, 50),
                           At(img, 287, 50), At(img, 288, 50), At(img, 292, 50), At(img, 293, 50),
                           At(img, 250, 7), At(img, 250, 8), At(img, 250, 92), At(img, 250, 93)}),
        std::vector<QRgb>({kGrey, kBlack, kBlack, kWhite, kWhite, kBlack, kBlack, kGrey, kGrey,
                           kBlack, kBlack, kGrey}));
}

TEST(QImageCanvas, ArcRunsCounterclockwiseFromStartRayToEndRay) {
    struct {
        PixelPoint start, end;
        QRgb top, right, bottom, left;
    } cases[] = {{{95, 50}, {0, 50}, kBlack, kBlack, kWhite, kBlack},   // upper half
                 {{0, 50}, {95, 50}, kWhite, kBlack, kBlack, kBlack},   // lower half
                 {{80, 20}, {20, 20}, kBlack, kWhite, kWhite, kWhite},  // top quarter
                 {{50, 0}, {50, 5}, kBlack, kBlack, kBlack, kBlack}};   // same ray: all
    for (const auto& k : cases) {
        QImageCanvas canvas(100, 100);
        canvas.image().fill(kWhite);
        canvas.arc(10, 10, 91, 91, k.start, k.end, 5);
        const QImage& img = canvas.image();
        EXPECT_EQ(
            std::vector<QRgb>({At(img, 50, 10), At(img, 90, 50), At(img, 50, 90), At(img, 10, 50)}),
            std::vector<QRgb>({k.top, k.right, k.bottom, k.left}))
            << k.start.x << "," << k.start.y << " to " << k.end.x << "," << k.end.y;
    }
}

TEST(QImageCanvas, TextIsBlackOnWhiteFromItsTopLeftCorner) {
    QImageCanvas canvas(300, 60);
    canvas.text(20, 20, "[01/01/16] NG");
    const QImage& img = canvas.image();
    QRect touched;
    int dark = 0;
    for (int y = 0; y < img.height(); ++y)
        for (int x = 0; x < img.width(); ++x) {
            if (At(img, x, y) == kGrey) continue;
            touched |= QRect(x, y, 1, 1);
            dark += qRed(At(img, x, y)) < 100;
        }
    EXPECT_EQ(touched.topLeft(), QPoint(20, 20));
    EXPECT_EQ(At(img, 20, 20), kWhite);
    EXPECT_GT(dark, 20);
}

TEST(QImageCanvas, HairFillStaysInsideItsRegionForEveryViewpoint) {
    // Full HD also prints the fill's cost, which sits in the timed face-onset path.
    for (QSize size : {QSize(1024, 768), QSize(600, 800), QSize(1920, 1080)}) {
        for (int v = 0; v < 8; ++v) {
            SCOPED_TRACE(std::to_string(size.width()) + "x" + std::to_string(size.height()) +
                         " viewpoint " + std::to_string(v));
            TimedFillCanvas canvas(size.width(), size.height());
            canvas.image().fill(Qt::blue);  // anything the paint misses shows up
            SceneState s;
            const auto map = PaintFace(canvas, s, v);
            const QImage& img = canvas.image();
            if (size.width() == 1920)
                std::cout << "1920x1080 viewpoint " << v << ": fill " << canvas.fillMicros
                          << " us\n";
            if (const char* dir = std::getenv("ORVI_RENDER_DUMP")) {
                QDir().mkpath(dir);
                const QString name = QString("/viewpoint%1_%2x%3.png").arg(v).arg(size.width());
                img.save(QString(dir) + name.arg(size.height()));
            }
            // Hair: below record 0's outline; face: above it, between and inside the eyes.
            const double hair[][2] = {{0.5, 0.9}, {0.5, 0.68}, {0.5, 0.98}, {0.2, 0.8},
                                      {0.8, 0.8}, {0.05, 0.6}, {0.95, 0.6}, {0.2, 0.64}};
            const double face[][2] = {{0.5, 0.5},  {0.5, 0.6},  {0.5, 0.08}, {0.05, 0.4},
                                      {0.95, 0.4}, {0.2, 0.56}, {0.8, 0.56}, {0.6, 0.35}};
            for (int i = 0; i < 8; ++i) {
                EXPECT_EQ(img.pixel(map(hair[i][0], hair[i][1])), kBlack) << "hair " << i;
                EXPECT_EQ(img.pixel(map(face[i][0], face[i][1])), kWhite) << "face " << i;
            }
            for (int i = 0; i < 2; ++i) EXPECT_EQ(At(img, s.eyeX[i], s.eyeY[i]), kWhite);

            // Beyond the disc and its pen, all is background but the status box.
            const QPoint centre = map(0.5, 0.5);
            const double reach = std::min(size.width(), size.height()) / 2.0 + 5;
            const QRect status(size.width() - 185, size.height() - 25, 185, 25);
            int wrong = 0;
            for (int y = 0; y < img.height(); ++y)
                for (int x = 0; x < img.width(); ++x)
                    wrong += std::hypot(x - centre.x(), y - centre.y()) > reach &&
                             !status.contains(x, y) && At(img, x, y) != kGrey;
            EXPECT_EQ(wrong, 0);
        }
    }
}

TEST(QImageCanvas, RedEyesAndEyeOnlyRepaints) {
    QImageCanvas canvas(1024, 768);
    const QImage& img = canvas.image();
    SceneState s;
    const QPoint hair = PaintFace(canvas, s, 2, FACE_EYE0_RED)(0.5, 0.9);
    EXPECT_EQ(At(img, s.eyeX[0], s.eyeY[0]), kRed);
    EXPECT_EQ(At(img, s.eyeX[1], s.eyeY[1]), kWhite);

    s.faceMode = FACE_EYE1_RED;  // flag down: the eyes change over the face already there
    FaceRenderer::Draw(canvas, s);
    EXPECT_EQ(At(img, s.eyeX[0], s.eyeY[0]), kWhite);
    EXPECT_EQ(At(img, s.eyeX[1], s.eyeY[1]), kRed);
    EXPECT_EQ(At(img, hair.x(), hair.y()), kBlack);

    s.faceMode = FACE_NONE;  // after a blank the eyes come back alone on grey
    FaceRenderer::Draw(canvas, s);
    s.faceMode = FACE_PLAIN;
    FaceRenderer::Draw(canvas, s);
    EXPECT_EQ(At(img, s.eyeX[0], s.eyeY[0]), kWhite);
    EXPECT_EQ(At(img, hair.x(), hair.y()), kGrey);
}
