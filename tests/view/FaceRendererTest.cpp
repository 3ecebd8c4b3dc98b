#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "FaceRenderer.h"
#include "ViewEnums.h"
#include "ViewFakes.h"

namespace {

struct FaceRendererDraw : ::testing::Test {
    // Paints a scene with the given face, viewpoint and redraw flag; returns the calls.
    Calls Paint(int mode, int viewpoint, int redraw = 1) {
        s.faceMode = mode, s.viewpoint = viewpoint, s.redrawFace = redraw;
        canvas.calls.clear();
        FaceRenderer::Draw(canvas, s);
        return canvas.calls;
    }
    RecordingCanvas canvas;
    SceneState s{};
};

const Calls kStatus = {"rect 839 743 1024 768 255255255", "text 844 748 [[01/01/16] ]"};

}  // namespace

TEST_F(FaceRendererDraw, WholeFaceAt1024x768) {
    EXPECT_EQ(
        Paint(FACE_PLAIN, 0),
        (Calls{"fill 0 0 1024 768 200200200", "ellipse 128 0 896 768 5 255255255",
               "polyline 5 896 384 833 384 833 384 823 445 660 499 657 537 650 537 647 499 "
               "376 499 373 537 366 537 363 499 200 445 190 384 128 384",
               "flood 512 691 255255255 0", "arc 659 308 809 459 670 448 799 448 5",
               "arc 214 308 364 459 224 448 353 448 5", "arc 485 244 538 298 485 271 538 271 5",
               "arc 235 107 788 660 711 199 312 199 5", "ellipse 680 330 788 437 5 255255255",
               "ellipse 235 330 343 437 5 255255255", kStatus[0], kStatus[1]}));
    // One radius; centre = left + radius, a pixel off the middle of the drawn ellipse (680..788).
    EXPECT_EQ((std::vector<int>{s.eyeRadius, s.eyeX[0], s.eyeY[0], s.eyeX[1], s.eyeY[1]}),
              (std::vector<int>{53, 733, 383, 288, 383}));
    EXPECT_EQ(s.redrawFace, 0);
}

TEST_F(FaceRendererDraw, FaceSquareAndEyeRadius) {
    canvas.w = 600, canvas.h = 800;
    EXPECT_EQ(Paint(FACE_PLAIN, 0).at(1), "ellipse 0 100 600 700 5 255255255");
    canvas.w = 1025, canvas.h = 768;
    EXPECT_EQ(Paint(FACE_PLAIN, 0).at(1), "ellipse 128 0 896 768 5 255255255");
    // The one radius comes from eye 0's stored width, so the table's rounding shows in it.
    std::string radii;
    for (int v = 0; v < 8; ++v)
        radii += std::to_string((FaceRenderer::PlaceEyes(100, 100, v, s), s.eyeRadius));
    EXPECT_EQ(radii, "77667667");
}

// Unless the flag is 1 only the eyes are drawn over what is there; with no face the flag and
// the eye outputs stay.
TEST_F(FaceRendererDraw, EyeOnlyRepaintsAndNoFace) {
    for (int redraw : {0, 2}) {
        EXPECT_EQ(Paint(FACE_EYE1_RED, 4, redraw),
                  (Calls{"ellipse 235 330 343 437 5 255255255",
                         "ellipse 680 330 788 437 5 255000000", kStatus[0], kStatus[1]}));
        EXPECT_EQ(s.redrawFace, redraw);
    }
    EXPECT_EQ(Paint(FACE_NONE, 5), (Calls{"fill 0 0 1024 768 200200200", kStatus[0], kStatus[1]}));
    EXPECT_EQ((std::vector<int>{s.redrawFace, s.eyeX[0], s.eyeY[0], s.eyeRadius}),
              (std::vector<int>{1, 288, 383, 53}));
}

TEST(FaceRenderer, StatusText) {
    EXPECT_EQ(FaceRenderer::StatusText(17, 15, FEEDBACK_NG), "[18/16/16] NG");
    EXPECT_EQ(FaceRenderer::StatusText(99, 16, FEEDBACK_NONE), "[100/16/16] ");
    EXPECT_EQ(FaceRenderer::StatusText(0, 0, 7), "[01/01/16] NG");
}
