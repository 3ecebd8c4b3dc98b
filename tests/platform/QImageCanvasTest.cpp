#include <gtest/gtest.h>

#include <QApplication>
#include <algorithm>
#include <cmath>
#include <random>
#include <vector>

#include "FaceRenderer.h"
#include "QImageCanvas.h"
#include "ViewEnums.h"

namespace {

// Text needs a font database, hence a GUI application; gtest_main owns main(). Made before any
// test runs, for every suite of this program (the sound and timer tests pump its event loop),
// whatever the test order.
struct GuiAppEnvironment : ::testing::Environment {
    void SetUp() override {
        qputenv("QT_QPA_PLATFORM", "offscreen");
        app = std::make_unique<QApplication>(argc, argv);  // widgets are tested too
    }
    void TearDown() override { app.reset(); }
    int argc = 1;
    char name[16] = "platform_tests";
    char* argv[2] = {name, nullptr};
    std::unique_ptr<QApplication> app;
};

::testing::Environment* const kGuiApp = ::testing::AddGlobalTestEnvironment(new GuiAppEnvironment);

const QRgb kGrey = qRgb(200, 200, 200), kWhite = qRgb(255, 255, 255), kBlack = qRgb(0, 0, 0),
           kRed = qRgb(255, 0, 0);

// Plain recursive 4-connected fill, the reference for the span fill.
void ReferenceFill(QImage& img, QPoint p, QRgb target, QRgb fill) {
    if (!img.rect().contains(p) || img.pixel(p) != target) return;
    img.setPixel(p, fill);
    for (QPoint d : {QPoint(1, 0), QPoint(-1, 0), QPoint(0, 1), QPoint(0, -1)})
        ReferenceFill(img, p + d, target, fill);
}

// The colours at the given pixels.
std::vector<QRgb> At(const QImage& img, const std::vector<QPoint>& points) {
    std::vector<QRgb> colours;
    for (QPoint p : points) colours.push_back(img.pixel(p));
    return colours;
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
        const QPoint seed(int(rng() % 97), int(rng() % 61));
        img.setPixel(seed, kWhite);
        QImage expected = img.copy();
        ReferenceFill(expected, seed, kWhite, kRed);
        canvas.floodFill(seed.x(), seed.y(), Rgb{255, 255, 255}, Rgb{255, 0, 0});
        ASSERT_EQ(img, expected) << "round " << round;
    }
    // No-ops: seed off the target colour, outside the image, fill equal to the target.
    QImageCanvas canvas(20, 20);
    canvas.floodFill(5, 5, Rgb{255, 255, 255}, Rgb{255, 0, 0});
    canvas.floodFill(-1, 5, Rgb{200, 200, 200}, Rgb{255, 0, 0});
    canvas.floodFill(5, 5, Rgb{200, 200, 200}, Rgb{200, 200, 200});
    EXPECT_EQ(canvas.image(), QImageCanvas(20, 20).image());
}

// Boxes exclude their right and bottom edges: the 5-pixel ellipse outline is centred on the
// first and last pixel inside the box; arcs run counterclockwise on screen from the start ray
// to the end ray; text is black on white from its top-left corner.
TEST(QImageCanvas, ShapesAndTextKeepTheirBoxes) {
    QImageCanvas canvas(100, 100);
    canvas.ellipse(10, 10, 91, 91, Rgb{255, 0, 0}, 5);
    std::vector<QRgb> row, column;  // along the middle row and column, from x or y = 7 on
    for (int i : {7, 8, 12, 13, 92, 93}) {
        row.push_back(canvas.image().pixel(i, 50));
        column.push_back(canvas.image().pixel(50, i));
    }
    EXPECT_EQ(row, (std::vector<QRgb>{kGrey, kBlack, kBlack, kRed, kBlack, kGrey}));
    EXPECT_EQ(column, row);
    // Rays out of the centre, and the arc's colour at the top, the right, the bottom, the left.
    const std::pair<PixelPoint, PixelPoint> rays[] = {{{95, 50}, {0, 50}}, {{50, 0}, {50, 5}}};
    const std::vector<QRgb> drawn[] = {{kBlack, kBlack, kGrey, kBlack},
                                       {kBlack, kBlack, kBlack, kBlack}};
    for (int i = 0; i < 2; ++i) {
        QImageCanvas arc(100, 100);
        arc.arc(10, 10, 91, 91, rays[i].first, rays[i].second, 5);
        EXPECT_EQ(At(arc.image(), {{50, 10}, {90, 50}, {50, 90}, {10, 50}}), drawn[i]) << i;
    }
    QImageCanvas text(300, 60);
    text.text(20, 20, "[01/01/16] NG");
    EXPECT_EQ(At(text.image(), {{19, 20}, {20, 19}, {20, 20}}),
              (std::vector<QRgb>{kGrey, kGrey, kWhite}));
    int dark = 0;  // glyph pixels across the middle of the line
    for (int x = 20; x < 300; ++x) dark += qRed(text.image().pixel(x, 30)) < 100;
    EXPECT_GT(dark, 10);
}

// Hair black, face white, nothing outside the disc touched, at three sizes.
TEST(QImageCanvas, HairFillStaysInsideItsRegionForEveryViewpoint) {
    const QSize sizes[] = {{1024, 768}, {600, 800}, {1920, 1080}};
    for (int k = 0; k < 24; ++k) {
        const int w = sizes[k / 8].width(), h = sizes[k / 8].height(), side = std::min(w, h);
        const int v = k % 8;
        SCOPED_TRACE(testing::Message() << w << "x" << h << " viewpoint " << v);
        QImageCanvas canvas(w, h);
        canvas.image().fill(Qt::blue);  // anything the paint misses shows up
        SceneState s{};
        s.faceMode = FACE_PLAIN, s.redrawFace = 1, s.viewpoint = v;
        FaceRenderer::Draw(canvas, s);
        const QImage& img = canvas.image();
        // Record 0's unit coordinates turned to v, in pixels (only for points clear of lines).
        const double c = std::cos(v * M_PI / 4), sn = std::sin(v * M_PI / 4);
        const auto map = [&](double u, double t) {
            return QPoint((w - side) / 2 + int((0.5 + (u - 0.5) * c + (t - 0.5) * sn) * side),
                          (h - side) / 2 + int((0.5 - (u - 0.5) * sn + (t - 0.5) * c) * side));
        };
        // Hair below record 0's outline; face above it, between and beside the eyes.
        const double hair[][2] = {{0.5, 0.9}, {0.5, 0.68}, {0.8, 0.8}, {0.05, 0.6}, {0.2, 0.64}};
        const double face[][2] = {{0.5, 0.6}, {0.5, 0.08}, {0.95, 0.4}, {0.2, 0.56}, {0.6, 0.35}};
        for (int i = 0; i < 5; ++i) {
            EXPECT_EQ(img.pixel(map(hair[i][0], hair[i][1])), kBlack) << "hair " << i;
            EXPECT_EQ(img.pixel(map(face[i][0], face[i][1])), kWhite) << "face " << i;
        }
        // Beyond the disc and its pen, all is background but the status box.
        const auto [boxW, boxH] = FaceRenderer::kStatusBox;
        const QRect status(w - boxW, h - boxH, boxW, boxH);
        int wrong = 0;
        for (int y = 0; y < h; ++y)
            for (int x = 0; x < w; ++x)
                wrong += std::hypot(x - w / 2.0, y - h / 2.0) > side / 2.0 + 5 &&
                         !status.contains(x, y) && img.pixel(x, y) != kGrey;
        EXPECT_EQ(wrong, 0);
    }
}

// A window is sent only what takeChanges reports: every pixel a drawing call changes must lie
// in it, and a small change must not report the whole picture.
TEST(QImageCanvas, ChangesCoverEveryChangedPixelAndLittleElse) {
    QImageCanvas canvas(400, 300);
    EXPECT_EQ(canvas.takeChanges(), QRegion(0, 0, 400, 300)) << "a new framebuffer is all new";
    EXPECT_TRUE(canvas.takeChanges().isEmpty());

    for (int i = 0; i < 8; ++i) {
        const QImage before = canvas.image().copy();
        switch (i) {
            case 0: canvas.fillRect(10, 10, 60, 40, Rgb{255, 255, 255}); break;
            case 1: canvas.ellipse(100, 50, 181, 131, Rgb{255, 0, 0}, 5); break;
            case 2: canvas.rectangle(300, 250, 400, 300, Rgb{255, 255, 255}); break;
            case 3: canvas.polyline({{20, 200}, {90, 260}, {150, 205}}, 5); break;
            case 4: canvas.arc(200, 20, 281, 101, {281, 60}, {200, 60}, 5); break;
            case 5: canvas.text(210, 260, "[16/16/16] OK"); break;
            case 6: canvas.ellipse(20, 100, 91, 171, Rgb{255, 255, 255}, 5); break;
            case 7: canvas.floodFill(55, 135, Rgb{255, 255, 255}, Rgb{0, 0, 0}); break;  // in 6
        }
        const QRegion changes = canvas.takeChanges();
        int changed = 0, outside = 0;
        for (int y = 0; y < before.height(); ++y)
            for (int x = 0; x < before.width(); ++x)
                if (before.pixel(x, y) != canvas.image().pixel(x, y)) {
                    ++changed;
                    outside += !changes.contains(QPoint(x, y));
                }
        EXPECT_GT(changed, 0) << "call " << i;
        EXPECT_EQ(outside, 0) << "call " << i;
        EXPECT_LT(changes.boundingRect().width() * changes.boundingRect().height(), 400 * 300 / 4)
            << "call " << i;
    }
}
