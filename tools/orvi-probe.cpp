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
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "FaceLocator.h"
#include "FaceRenderer.h"
#include "MonotonicClock.h"
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

int CmdFace(double timeoutMs, bool wantFace) {
    const double end = MonotonicClock::NowMs() + timeoutMs;
    ScreenGrab screen;
    do {
        screen.grab();
        const FaceLocator locator(screen.width, screen.height);
        const int v = locator.find([&](int x, int y) { return screen.at(x, y); });
        if (wantFace && v >= 0) {
            const FaceAt& f = locator.layout(v);
            std::printf("%d %d %d %d %d %d\n", v, f.eyeX[0], f.eyeY[0], f.eyeX[1], f.eyeY[1],
                        f.eyeRadius);
            return 0;
        }
        if (!wantFace && v < 0) return 0;
        MonotonicClock::SleepForMs(5);
    } while (MonotonicClock::NowMs() < end);
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

// Pixels of the status box in the lower right corner where the screen differs from expected.
long StatusBoxDiff(const ScreenGrab& screen, const QImage& expected) {
    const int w = screen.width, h = screen.height;
    long diff = 0;
    for (int y = h - FaceRenderer::kStatusBox.height; y < h; ++y)
        for (int x = w - FaceRenderer::kStatusBox.width; x < w; ++x) {
            const QRgb e = expected.pixel(x, y);
            if (!(screen.at(x, y) == Rgb{static_cast<std::uint8_t>(qRed(e)),
                                         static_cast<std::uint8_t>(qGreen(e)),
                                         static_cast<std::uint8_t>(qBlue(e))}))
                ++diff;
        }
    return diff;
}

// Renders the expected status box with the program's own renderer and compares it exactly.
int CmdStatus(int trials, int pos, int feedback, double timeoutMs) {
    ScreenGrab screen;
    screen.grab();
    QImageCanvas expected(screen.width, screen.height);
    SceneState s{};
    s.faceMode = FACE_NONE;
    s.trials = trials;
    s.pos = pos;
    s.feedback = feedback;
    FaceRenderer::Draw(expected, s);
    const std::string text = FaceRenderer::StatusText(trials, pos, feedback);
    const double end = MonotonicClock::NowMs() + timeoutMs;
    long diff = 0;
    while ((diff = StatusBoxDiff(screen, expected.image())) != 0 && MonotonicClock::NowMs() < end) {
        MonotonicClock::SleepForMs(20);
        screen.grab();
    }
    if (diff == 0) {
        std::printf("%s\n", text.c_str());
        return 0;
    }
    std::fprintf(stderr, "orvi-probe: status box differs from \"%s\" in %ld pixels\n", text.c_str(),
                 diff);
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
