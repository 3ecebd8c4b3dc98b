// orvi-probe: reads the screen of an X server and clicks on it through XTest, so that scripts
// can play the participant. It knows the face geometry, so it can tell which viewpoint is shown
// and where its eyes are.
//
//   orvi-probe face [timeout-ms]         wait for a face; print "viewpoint x0 y0 x1 y1 radius"
//   orvi-probe noface [timeout-ms]       wait until no face is shown
//   orvi-probe click X Y                 left click at (X, Y)
//   orvi-probe status T P F [timeout-ms] wait until the status box reads as for trials T,
//                                        position P and feedback F (0 none, 1 OK, 2 NG)
//   orvi-probe pixel X Y                 print the colour at (X, Y) as "r g b"
#include <QGuiApplication>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <thread>

#include "FaceGeometry.h"
#include "FaceRenderer.h"
#include "QImageCanvas.h"
#include "ViewEnums.h"

// Xlib defines macros (Bool, Status) that clash with Qt: it comes last.
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/extensions/XTest.h>

namespace {

Display* g_display = nullptr;

struct ScreenGrab {
    XImage* image = nullptr;
    int width = 0, height = 0;
    ~ScreenGrab() {
        if (image) XDestroyImage(image);
    }
    void grab() {
        if (image) XDestroyImage(image);
        Window root = DefaultRootWindow(g_display);
        XWindowAttributes attrs;
        XGetWindowAttributes(g_display, root, &attrs);
        width = attrs.width;
        height = attrs.height;
        image = XGetImage(g_display, root, 0, 0, width, height, AllPlanes, ZPixmap);
    }
    Rgb at(int x, int y) const {
        const unsigned long p = XGetPixel(image, x, y);
        return Rgb{static_cast<std::uint8_t>((p >> 16) & 0xff),
                   static_cast<std::uint8_t>((p >> 8) & 0xff), static_cast<std::uint8_t>(p & 0xff)};
    }
};

double NowMs() {
    using namespace std::chrono;
    return duration<double, std::milli>(steady_clock::now().time_since_epoch()).count();
}

struct FaceAt {
    int viewpoint = -1;
    int eyeX[2], eyeY[2], radius;
};

bool IsEyeColour(Rgb c) { return c == FaceRenderer::kWhite || c == FaceRenderer::kRed; }

// A viewpoint is on screen when its hair seed is black and both eye centres are eye-coloured.
FaceAt DetectFace(const ScreenGrab& screen) {
    const int w = screen.width, h = screen.height;
    for (int v = 0; v < kViewpointCount; ++v) {
        const UnitPoint& seed = kFaceGeometry[v].fillSeed;
        const PixelPoint hair = FaceRenderer::ToPixel(w, h, seed.x, seed.y);
        if (!(screen.at(hair.x, hair.y) == FaceRenderer::kBlack)) continue;
        SceneState s{};
        FaceRenderer::PlaceEyes(w, h, v, s);
        if (IsEyeColour(screen.at(s.eyeX[0], s.eyeY[0])) &&
            IsEyeColour(screen.at(s.eyeX[1], s.eyeY[1])))
            return FaceAt{v, {s.eyeX[0], s.eyeX[1]}, {s.eyeY[0], s.eyeY[1]}, s.eyeRadius};
    }
    return FaceAt{};
}

int CmdFace(double timeoutMs, bool wantFace) {
    const double end = NowMs() + timeoutMs;
    ScreenGrab screen;
    do {
        screen.grab();
        FaceAt f = DetectFace(screen);
        if (wantFace && f.viewpoint >= 0) {
            std::printf("%d %d %d %d %d %d\n", f.viewpoint, f.eyeX[0], f.eyeY[0], f.eyeX[1],
                        f.eyeY[1], f.radius);
            return 0;
        }
        if (!wantFace && f.viewpoint < 0) return 0;
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    } while (NowMs() < end);
    std::fprintf(stderr, "orvi-probe: timed out waiting for %s\n", wantFace ? "a face" : "no face");
    return 1;
}

int CmdClick(int x, int y) {
    XTestFakeMotionEvent(g_display, -1, x, y, CurrentTime);
    XTestFakeButtonEvent(g_display, 1, True, CurrentTime);
    XTestFakeButtonEvent(g_display, 1, False, CurrentTime);
    XSync(g_display, False);
    return 0;
}

// Renders the expected status box with the program's own renderer and compares it exactly.
int CmdStatus(int trials, int pos, int feedback, double timeoutMs) {
    ScreenGrab screen;
    screen.grab();
    const int w = screen.width, h = screen.height;
    QImageCanvas expected(w, h);
    SceneState s{};
    s.faceMode = FACE_NONE;
    s.trials = trials;
    s.pos = pos;
    s.feedback = feedback;
    FaceRenderer::Draw(expected, s);
    const double end = NowMs() + timeoutMs;
    long diff = 0;
    for (;;) {
        diff = 0;
        for (int y = h - 25; y < h; ++y)
            for (int x = w - 185; x < w; ++x) {
                const QRgb e = expected.image().pixel(x, y);
                if (!(screen.at(x, y) == Rgb{static_cast<std::uint8_t>(qRed(e)),
                                             static_cast<std::uint8_t>(qGreen(e)),
                                             static_cast<std::uint8_t>(qBlue(e))}))
                    ++diff;
            }
        if (diff == 0) {
            std::printf("%s\n", FaceRenderer::StatusText(trials, pos, feedback).c_str());
            return 0;
        }
        if (NowMs() >= end) break;
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
        screen.grab();
    }
    std::fprintf(stderr, "orvi-probe: status box differs from \"%s\" in %ld pixels\n",
                 FaceRenderer::StatusText(trials, pos, feedback).c_str(), diff);
    return 1;
}

int Usage() {
    std::fprintf(stderr,
                 "usage: orvi-probe face|noface [timeout-ms] | click X Y | status T P F "
                 "[timeout-ms] | pixel X Y\n");
    return 2;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2) return Usage();
    // The renderer's text needs Qt's fonts; the offscreen platform keeps the probe off screen.
    qputenv("QT_QPA_PLATFORM", "offscreen");
    int qargc = 1;
    QGuiApplication app(qargc, argv);
    g_display = XOpenDisplay(nullptr);
    if (!g_display) {
        std::fprintf(stderr, "orvi-probe: cannot open the X display\n");
        return 2;
    }
    const std::string cmd = argv[1];
    int rc = 2;
    if ((cmd == "face" || cmd == "noface") && argc <= 3)
        rc = CmdFace(argc == 3 ? std::atof(argv[2]) : 10000, cmd == "face");
    else if (cmd == "click" && argc == 4)
        rc = CmdClick(std::atoi(argv[2]), std::atoi(argv[3]));
    else if (cmd == "status" && (argc == 5 || argc == 6))
        rc = CmdStatus(std::atoi(argv[2]), std::atoi(argv[3]), std::atoi(argv[4]),
                       argc == 6 ? std::atof(argv[5]) : 5000);
    else if (cmd == "pixel" && argc == 4) {
        ScreenGrab screen;
        screen.grab();
        Rgb c = screen.at(std::atoi(argv[2]), std::atoi(argv[3]));
        std::printf("%d %d %d\n", c.r, c.g, c.b);
        rc = 0;
    } else
        rc = Usage();
    XCloseDisplay(g_display);
    return rc;
}
