#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <vector>

#include "FaceRenderer.h"
#include "ViewEnums.h"

namespace {

// Logs every call as one line of its numbers; colours by initial (Grey, White, Black, Red).
class RecordingCanvas : public Canvas {
public:
    RecordingCanvas(int w, int h) : w_(w), h_(h) {}
    int width() const override { return w_; }
    int height() const override { return h_; }
    void fillRect(int l, int t, int r, int b, Rgb c) override { Log("fill", {l, t, r, b}, {c}); }
    void ellipse(int l, int t, int r, int b, Rgb c, int pen) override {
        Log("ellipse", {l, t, r, b, pen}, {c});
    }
    void rectangle(int l, int t, int r, int b, Rgb c) override { Log("rect", {l, t, r, b}, {c}); }
    void polyline(const std::vector<PixelPoint>& pts, int pen) override {
        std::vector<int> n{pen};
        for (const PixelPoint& p : pts) n.insert(n.end(), {p.x, p.y});
        Log("polyline", n);
    }
    void arc(int l, int t, int r, int b, PixelPoint s, PixelPoint e, int pen) override {
        Log("arc", {l, t, r, b, s.x, s.y, e.x, e.y, pen});
    }
    void floodFill(int x, int y, Rgb target, Rgb fill) override {
        Log("flood", {x, y}, {target, fill});
    }
    void text(int x, int y, const std::string& s) override {
        calls.push_back("text " + std::to_string(x) + " " + std::to_string(y) + " [" + s + "]");
    }

    std::vector<std::string> Starting(const std::string& op) const {
        std::vector<std::string> out;
        for (const std::string& c : calls)
            if (c.rfind(op + " ", 0) == 0) out.push_back(c);
        return out;
    }

    std::vector<std::string> calls;

private:
    void Log(const char* op, const std::vector<int>& n, const std::vector<Rgb>& colours = {}) {
        std::ostringstream line;
        line << op;
        for (int v : n) line << ' ' << v;
        for (Rgb c : colours) {
            const bool known = c == Rgb{200, 200, 200} || c == Rgb{255, 255, 255} ||
                               c == Rgb{0, 0, 0} || c == Rgb{255, 0, 0};
            line << ' ' << (!known ? '?' : c.b == 200 ? 'G' : c.g ? 'W' : c.r ? 'R' : 'B');
        }
        calls.push_back(line.str());
    }
    int w_, h_;
};

SceneState Scene(int mode, int viewpoint, int redraw = 1) {
    SceneState s{};
    s.faceMode = mode, s.redrawFace = redraw, s.viewpoint = viewpoint;
    return s;
}

}  // namespace

TEST(FaceRenderer, WholeFaceAt1024x768) {
    RecordingCanvas canvas(1024, 768);
    SceneState s = Scene(FACE_PLAIN, 0);
    FaceRenderer::Draw(canvas, s);
    const std::vector<std::string> expected = {
        "fill 0 0 1024 768 G",
        "ellipse 128 0 896 768 5 W",
        "polyline 5 896 384 833 384 833 384 823 445 660 499 657 537 650 537 647 499 376 499 "
        "373 537 366 537 363 499 200 445 190 384 128 384",
        "flood 512 691 W B",
        "arc 659 308 809 459 670 448 799 448 5",
        "arc 214 308 364 459 224 448 353 448 5",
        "arc 485 244 538 298 485 271 538 271 5",
        "arc 235 107 788 660 711 199 312 199 5",
        "ellipse 680 330 788 437 5 W",
        "ellipse 235 330 343 437 5 W",
        "rect 839 743 1024 768 W",
        "text 844 748 [[01/01/16] ]",
    };
    EXPECT_EQ(canvas.calls, expected);
    EXPECT_EQ(s.eyeRadius, 53);
    // left + radius: a pixel off the middle of the drawn ellipse (680..788)
    EXPECT_EQ((std::vector<int>{s.eyeX[0], s.eyeY[0], s.eyeX[1], s.eyeY[1]}),
              (std::vector<int>{733, 383, 288, 383}));
    EXPECT_EQ(s.redrawFace, 0);
}

TEST(FaceRenderer, FaceSquareAndEyeRadius) {
    struct {
        int w, h;
        const char* disc;
    } squares[] = {{600, 800, "ellipse 0 100 600 700 5 W"},
                   {700, 700, "ellipse 0 0 700 700 5 W"},
                   {1025, 768, "ellipse 128 0 896 768 5 W"},
                   {768, 1025, "ellipse 0 128 768 896 5 W"}};
    for (const auto& k : squares) {
        RecordingCanvas canvas(k.w, k.h);
        SceneState s = Scene(FACE_PLAIN, 0);
        FaceRenderer::Draw(canvas, s);
        EXPECT_EQ(canvas.calls.at(1), k.disc);
        const std::string text =
            "text " + std::to_string(k.w - 180) + " " + std::to_string(k.h - 20) + " [";
        EXPECT_EQ(canvas.calls.back().rfind(text, 0), 0u) << canvas.calls.back();
    }
    // The one radius comes from eye 0's stored width, so the table's rounding shows in it.
    const int radius[8] = {7, 7, 6, 6, 7, 6, 6, 7};
    for (int v = 0; v < 8; ++v) {
        RecordingCanvas canvas(100, 100);
        SceneState s = Scene(FACE_PLAIN, v);
        FaceRenderer::Draw(canvas, s);
        EXPECT_EQ(s.eyeRadius, radius[v]) << "viewpoint " << v;
    }
}

TEST(FaceRenderer, RedrawHandshakeAndEyeColours) {
    RecordingCanvas canvas(1024, 768);
    SceneState s = Scene(FACE_EYE0_RED, 0);
    FaceRenderer::Draw(canvas, s);
    EXPECT_EQ(canvas.Starting("ellipse").at(1), "ellipse 680 330 788 437 5 R");
    EXPECT_EQ(canvas.Starting("ellipse").at(2), "ellipse 235 330 343 437 5 W");

    // Flag down: only the eyes go over what is there, and they follow the viewpoint.
    canvas.calls.clear();
    s.faceMode = FACE_EYE1_RED, s.viewpoint = 4;
    FaceRenderer::Draw(canvas, s);
    EXPECT_EQ(canvas.calls, (std::vector<std::string>{
                                "ellipse 235 330 343 437 5 W", "ellipse 680 330 788 437 5 R",
                                "rect 839 743 1024 768 W", "text 844 748 [[01/01/16] ]"}));
    EXPECT_EQ(s.eyeX[0], 288);
    EXPECT_EQ(s.redrawFace, 0);

    // Only the value 1 asks for the whole face.
    canvas.calls.clear();
    s.redrawFace = 2;
    FaceRenderer::Draw(canvas, s);
    EXPECT_TRUE(canvas.Starting("flood").empty());
    EXPECT_EQ(s.redrawFace, 2);
}

TEST(FaceRenderer, NoFaceLeavesFlagAndEyeOutputs) {
    RecordingCanvas canvas(1024, 768);
    SceneState s = Scene(FACE_NONE, 5);
    s.eyeX[0] = 11, s.eyeX[1] = 12, s.eyeY[0] = 13, s.eyeY[1] = 14, s.eyeRadius = 15;
    FaceRenderer::Draw(canvas, s);
    EXPECT_EQ(canvas.calls,
              (std::vector<std::string>{"fill 0 0 1024 768 G", "rect 839 743 1024 768 W",
                                        "text 844 748 [[01/01/16] ]"}));
    EXPECT_EQ(
        (std::vector<int>{s.redrawFace, s.eyeX[0], s.eyeX[1], s.eyeY[0], s.eyeY[1], s.eyeRadius}),
        (std::vector<int>{1, 11, 12, 13, 14, 15}));
}

TEST(FaceRenderer, StatusText) {
    EXPECT_EQ(FaceRenderer::StatusText(0, 0, FEEDBACK_NONE), "[01/01/16] ");
    EXPECT_EQ(FaceRenderer::StatusText(4, 3, FEEDBACK_OK), "[05/04/16] OK");
    EXPECT_EQ(FaceRenderer::StatusText(17, 15, FEEDBACK_NG), "[18/16/16] NG");
    EXPECT_EQ(FaceRenderer::StatusText(20, 16, FEEDBACK_OK), "[21/16/16] OK");
    EXPECT_EQ(FaceRenderer::StatusText(99, 16, FEEDBACK_NONE), "[100/16/16] ");
    EXPECT_EQ(FaceRenderer::StatusText(0, 0, 7), "[01/01/16] NG");
}
