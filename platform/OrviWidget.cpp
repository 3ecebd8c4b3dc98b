#include "OrviWidget.h"

#include <QAbstractNativeEventFilter>
#include <QCoreApplication>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QMessageBox>
#include <QMouseEvent>
#include <QPaintEvent>
#include <QPainter>
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <utility>

#include "COrviView.h"
#include "FaceRenderer.h"
#include "MonotonicClock.h"
#include "PresentSurface.h"
#include "PressListener.h"
#include "PressTimes.h"
#include "QImageCanvas.h"
#include "ViewEnums.h"

#ifdef ORVI_HAVE_XCB
#include <xcb/xcb.h>

#include "XcbFrameUploader.h"

// A frame held in a pixmap of the X server: showing it is one copy inside the server instead
// of a paint, a copy into Qt's backing store and a transfer of the whole window.
struct OrviWidget::ServerFrame {
    // Null when the window's pixels are not RGB32 or the server has no room for the pixmap.
    static std::unique_ptr<ServerFrame> Make(xcb_connection_t* c, xcb_window_t window, int width,
                                             int height);
    ServerFrame(xcb_connection_t* c, xcb_window_t window, std::uint8_t depth, int w, int h)
        : uploader(c, window, depth),
          pixmap(uploader.createPixmapChecked(w, h)),
          width(w),
          height(h) {}
    ~ServerFrame() {
        if (pixmap) {
            xcb_free_pixmap(uploader.connection(), pixmap);
        }
    }
    bool fits(xcb_connection_t* c, xcb_window_t window, int w, int h) const {
        return uploader.connection() == c && uploader.window() == window && width == w &&
               height == h;
    }

    XcbFrameUploader uploader;
    xcb_pixmap_t pixmap;
    int width, height;
};
#else
struct OrviWidget::ServerFrame {};
#endif

namespace {

// The press being handled (-1: none), for InputTimeMs, while its handler runs; nested
// handlers (a modal loop's) get their own and give the outer one back.
class PressScope {
  public:
    PressScope(double& slot, double at) : m_slot(slot), m_outer(slot) { m_slot = at; }
    ~PressScope() { m_slot = m_outer; }
    PressScope(const PressScope&) = delete;
    PressScope& operator=(const PressScope&) = delete;

  private:
    double& m_slot;
    double m_outer;
};

const char* const kFrameNames[] = {"face", "blank", "red", "white"};

void TracePresent(TimingTrace& trace, double onsetMs, int what, std::uint64_t target,
                  std::uint64_t msc, const char* mode) {
    char line[160];
    std::snprintf(line, sizeof line, "present\t%lld\t%s\t%llu\t%llu\t%s\n",
                  std::llround(onsetMs * 1000.0), kFrameNames[what],
                  static_cast<unsigned long long>(target), static_cast<unsigned long long>(msc),
                  mode);
    trace.writeLine(line);
}

#ifdef ORVI_HAVE_XCB
xcb_connection_t* XcbConnection() {
    auto* x11 = qGuiApp->nativeInterface<QNativeInterface::QX11Application>();
    return x11 ? x11->connection() : nullptr;
}

void RoundTrip(xcb_connection_t* connection) {
    std::free(xcb_get_input_focus_reply(connection, xcb_get_input_focus(connection), nullptr));
}

// True when the window's pixels are laid out as a QImage::Format_RGB32 row: 32 bits per
// pixel, 8-bit red, green and blue at 16, 8 and 0, in this host's byte order.
bool WindowTakesRgb32(xcb_connection_t* c, xcb_window_t window, std::uint8_t depth) {
    if (!XcbFrameUploader::Takes32BitPixels(c, depth)) {
        return false;
    }
    const xcb_setup_t* setup = xcb_get_setup(c);
    xcb_get_window_attributes_reply_t* attrs =
        xcb_get_window_attributes_reply(c, xcb_get_window_attributes(c, window), nullptr);
    if (!attrs) {
        return false;
    }
    const xcb_visualid_t visual = attrs->visual;
    std::free(attrs);
    for (auto s = xcb_setup_roots_iterator(setup); s.rem; xcb_screen_next(&s)) {
        for (auto d = xcb_screen_allowed_depths_iterator(s.data); d.rem; xcb_depth_next(&d)) {
            for (auto v = xcb_depth_visuals_iterator(d.data); v.rem; xcb_visualtype_next(&v)) {
                if (v.data->visual_id == visual) {
                    return v.data->red_mask == 0xff0000u && v.data->green_mask == 0xff00u &&
                           v.data->blue_mask == 0xffu;
                }
            }
        }
    }
    return false;
}
#endif

}  // namespace

// Notes when a key or button press comes out of the window system, before Qt turns it into
// an event and delivers it: the earliest the program can read the clock for it.
class OrviWidget::PressClock : public QAbstractNativeEventFilter {
  public:
    PressClock() {
#ifdef ORVI_HAVE_XCB
        if (xcb_connection_t* c = XcbConnection()) {
            static const char kName[] = "XInputExtension";
            xcb_query_extension_reply_t* reply = xcb_query_extension_reply(
                c, xcb_query_extension(c, sizeof kName - 1, kName), nullptr);
            if (reply && reply->present) {
                m_xinput = reply->major_opcode;
            }
            std::free(reply);
        }
#endif
    }

    bool nativeEventFilter(const QByteArray& type, void* message, qintptr*) override {
#ifdef ORVI_HAVE_XCB
        if (type != "xcb_generic_event_t") return false;
        const auto* event = static_cast<const xcb_generic_event_t*>(message);
        const std::uint8_t kind = event->response_type & 0x7f;
        bool button = kind == XCB_BUTTON_PRESS;
        bool press = button || kind == XCB_KEY_PRESS;
        if (kind == XCB_GE_GENERIC && m_xinput >= 0) {
            // XInput 2 key and button presses (XI_KeyPress 2, XI_ButtonPress 4).
            const auto* ge = static_cast<const xcb_ge_generic_event_t*>(message);
            button = ge->extension == m_xinput && ge->event_type == 4;
            press = button || (ge->extension == m_xinput && ge->event_type == 2);
        }
        if (press) {
            m_lastMs = MonotonicClock::NowMs();
            m_lastIsButton = button;
        }
#else
        (void)type;
        (void)message;
#endif
        return false;
    }

    // The latest press not taken yet, if it came in a moment ago; -1 otherwise. Of two presses
    // read in one go the first gets the second's time: still no later than its handler.
    double take() {
        constexpr double kFreshMs = 50;
        const double at = std::exchange(m_lastMs, -1);
        if (at < 0 || MonotonicClock::NowMs() - at >= kFreshMs) return -1;
        // A click's time is its arrival on the listener's connection, when it has one. Qt may
        // see one click twice (core and XInput 2 events): only a handled press uses arrivals up.
        return m_lastIsButton ? m_arrivals.Take(at) : at;
    }

  private:
    double m_lastMs = -1;
    bool m_lastIsButton = false;
    int m_xinput = -1;
    PressTimes m_arrivals;
    PressListener m_listener{m_arrivals};
};

OrviWidget::OrviWidget(SoundDevice& sound, ExperimentPlatform& platform, FileSystem& files,
                       QWidget* parent)
    : QWidget(parent), m_canvas(std::make_unique<QImageCanvas>(1, 1)) {
    setAttribute(Qt::WA_OpaquePaintEvent);
    setAttribute(Qt::WA_NoSystemBackground);
    setFocusPolicy(Qt::StrongFocus);
    setMouseTracking(false);
    for (int id = 1; id <= 3; ++id) {
        m_timers[id] = std::make_unique<PreciseTimer>([this, id] { timerFired(id); }, this);
    }
    m_pressClock = std::make_unique<PressClock>();
    QCoreApplication::instance()->installNativeEventFilter(m_pressClock.get());
    m_view = std::make_unique<COrviView>(*this, sound, platform, files);
}

OrviWidget::~OrviWidget() {
    for (auto& timer : m_timers) {
        if (timer) {
            timer->stop();
        }
    }
    m_view.reset();
    QCoreApplication::instance()->removeNativeEventFilter(m_pressClock.get());
}

void OrviWidget::SetTimer(int id, int delayMs) {
    if (id < 1 || id > 3) {
        return;
    }
    withdrawFrame(id);
    m_timers[id]->start(delayMs, InputTimeMs());
}

void OrviWidget::KillTimer(int id) {
    if (id < 1 || id > 3) {
        return;
    }
    withdrawFrame(id);
    m_timers[id]->stop();
}

void OrviWidget::withdrawFrame(int id) {
    m_timedFrames[id].active = false;
    if (m_stagedTimer == id) {
        m_stagedTimer = 0;
    }
    if (const std::uint32_t serial = std::exchange(m_timerSerial[id], 0)) {
        if (m_present) {
            m_present->withdraw(serial);
        }
        m_stimuli.erase(serial);
    }
}

void OrviWidget::timerFired(int id) {
    const PressScope noPress(m_pressMs, -1);
    if (!m_timedFrames[id].active) {
        return m_view->OnTimer(id);
    }
    // The old path's frame timer: show the frame now and report when it got there.
    const TimedFrame frame = m_timedFrames[id];
    m_timedFrames[id].active = false;
    const bool staged = m_stagedTimer == id && m_staged &&
                        m_staged->width() == deviceSize().width() &&
                        m_staged->height() == deviceSize().height();
    m_stagedTimer = 0;
    if (staged) {
        showStaged();
    } else {
        paintOver(frame.scene);
        flushToDisplay();
    }
    const double onsetMs = NowMs();
    if (frame.what == FRAME_FACE) {
        m_trace.write("onset_request", m_timers[id]->deadlineMs());
    }
    const PressScope shown(m_pressMs, onsetMs);
    m_view->OnFrameShown(id, onsetMs);
}

void OrviWidget::showStaged() {
    std::swap(m_canvas, m_staged);
    m_canvas->takeChanges();
    if (showServerFrame()) {
        update();  // Qt's backing store catches up with the screen after the onset
    } else {
        repaint();
        flushToDisplay();
    }
}

// The old path: the scene drawn over the framebuffer and what changed painted at once.
void OrviWidget::paintOver(const SceneState& scene) {
    SceneState drawn = scene;
    renderIfDirty();
    FaceRenderer::Draw(*m_canvas, drawn);
    repaintChanges(m_canvas->takeChanges());
}

// Changes are in device pixels, repaint() takes the widget's own: scaled, the whole window goes.
void OrviWidget::repaintChanges(const QRegion& changes) {
    if (devicePixelRatioF() == 1.0) {
        repaint(changes);
    } else {
        repaint();
    }
}

void OrviWidget::Invalidate(bool erase) {
    m_dirty = true;
    m_erase = m_erase || erase;
    // Drawn from the event loop like a Qt update, but only what changed goes to the window: a
    // blink phase sends two eyes, not the screen.
    if (m_changesPosted) {
        return;
    }
    m_changesPosted = true;
    QMetaObject::invokeMethod(this, &OrviWidget::paintChanges, Qt::QueuedConnection);
}

void OrviWidget::paintChanges() {
    m_changesPosted = false;
    if (!isVisible()) {
        return;  // its first paint draws everything
    }
    renderIfDirty();
    const QRegion changes = m_canvas->takeChanges();
    if (changes.isEmpty()) {
        return;
    }
    if (m_present) {
        return present();
    }
    repaintChanges(changes);
}

QSize OrviWidget::deviceSize() const {
    const qreal dpr = devicePixelRatioF();
    return QSize(std::max(1, static_cast<int>(std::lround(width() * dpr))),
                 std::max(1, static_cast<int>(std::lround(height() * dpr))));
}

void OrviWidget::renderIfDirty() {
    const int w = deviceSize().width();
    const int h = deviceSize().height();
    if (m_canvas->width() != w || m_canvas->height() != h) {
        // A new framebuffer holds nothing; the view sees the new size and draws it whole.
        m_canvas->resize(w, h);
        m_dirty = true;
    }
    if (!m_dirty) {
        return;
    }
    if (m_erase) {
        m_canvas->fillRect(0, 0, w, h, FaceRenderer::kWhite);
    }
    m_view->DrawScene(*m_canvas);
    m_dirty = false;
    m_erase = false;
}

void OrviWidget::paintEvent(QPaintEvent* event) {
    renderIfDirty();
    if (m_present) {
        // Qt's own pixels never reach the screen here: the stimulus window covers them.
        if (!m_canvas->takeChanges().isEmpty()) {
            present();
        }
        return;
    }
    QPainter painter(this);
    QImage& image = m_canvas->image();
    image.setDevicePixelRatio(devicePixelRatioF());
    if ((QRegion(rect()) - event->region()).isEmpty()) {
        m_canvas->takeChanges();  // all goes now
    }
    if (devicePixelRatioF() != 1.0) {
        painter.drawImage(QPointF(0, 0), image);
        return;
    }
    for (const QRect& r : event->region()) {
        painter.drawImage(r.topLeft(), image, r);
    }
}

std::unique_ptr<QImageCanvas> OrviWidget::drawFrame(const SceneState& scene) {
    renderIfDirty();
    auto canvas = std::make_unique<QImageCanvas>(*m_canvas);
    SceneState drawn = scene;
    FaceRenderer::Draw(*canvas, drawn);
    canvas->takeChanges();
    return canvas;
}

void OrviWidget::ShowFrame(int what, const SceneState& scene) {
    if (!m_present) {
        return paintOver(scene);  // a hidden window's repaint paints nothing
    }
    std::unique_ptr<QImageCanvas> canvas = drawFrame(scene);
    const QImage& image = canvas->image();
    m_stimuli[m_present->showSoon(image)] = {what, 0, scene.trials + 1, std::move(canvas)};
}

void OrviWidget::SetFrameTimer(int id, int delayMs, int what, const SceneState& scene) {
    if (id < 1 || id > 3) return;
    withdrawFrame(id);
    m_timers[id]->stop();
    if (delayMs < 0) delayMs = 0;
    if (m_present) {
        return scheduleStimulus(id, delayMs, what, scene);
    }
    m_timedFrames[id] = {true, what, scene};
    m_timers[id]->start(delayMs, InputTimeMs());
    stageFrame(id, scene);
}

void OrviWidget::scheduleStimulus(int id, int delayMs, int what, const SceneState& scene) {
    // A frame still on its way is the starting point: the delay counts from its onset.
    std::uint32_t before = 0;
    for (const auto& [serial, frame] : m_stimuli) {
        if (m_present->pending(serial)) {
            before = std::max(before, serial);
        }
    }
    const double deadlineMs = InputTimeMs() + delayMs;  // before the drawing's time
    std::unique_ptr<QImageCanvas> canvas = drawFrame(scene);
    const QImage& image = canvas->image();
    // Started while a frame's onset is reported: whole frames from the blank it landed on.
    const std::uint32_t serial = before ? m_present->scheduleAfter(image, before, delayMs)
                                 : m_shownMsc
                                     ? m_present->scheduleAfterBlank(image, m_shownMsc, delayMs)
                                     : m_present->schedule(image, deadlineMs);
    if (what == FRAME_FACE && !before) {
        m_trace.write("onset_request", deadlineMs);
    }
    m_stimuli[serial] = {what, id, scene.trials + 1, std::move(canvas)};
    m_timerSerial[id] = serial;
}

// The old path draws a frame ahead and puts it in the server, so that its timer only copies it.
void OrviWidget::stageFrame(int id, const SceneState& scene) {
    PreciseTimer& due = *m_timers[id];
    // Only a frame drawn whole can be drawn ahead; eyes drawn over the last frame cannot.
    // Drawing and sending a frame take a few ms: not worth it when the frame is due sooner.
    constexpr double kLeastAheadMs = 20;
    if (scene.faceMode != FACE_NONE && scene.redrawFace != 1) {
        return;
    }
    if (due.deadlineMs() - NowMs() < kLeastAheadMs) {
        return;
    }
    m_staged = drawFrame(scene);
    m_stagedTimer = id;
    if (!uploadServerFrame()) {
        m_serverFrame.reset();
        return;
    }
    // Showing the frame takes a fairly steady fraction of a millisecond (the server's copy):
    // start it that much early, by the median of the latest shows, so it lands on time.
    if (!m_showTimesMs.empty()) {
        std::vector<double> times = m_showTimesMs;
        std::nth_element(times.begin(), times.begin() + times.size() / 2, times.end());
        due.advance(times[times.size() / 2]);
    }
}

void OrviWidget::present() {
    renderIfDirty();
    m_canvas->takeChanges();
    m_present->showSoon(m_canvas->image());
}

void OrviWidget::frameShown(std::uint32_t serial, double onsetMs, std::uint64_t target,
                            std::uint64_t msc, const char* mode, bool missed) {
    auto it = m_stimuli.find(serial);
    if (it == m_stimuli.end()) {
        return;  // not a stimulus
    }
    const int what = it->second.what, timerId = it->second.timerId, trial = it->second.trial;
    m_stimuli.erase(it);
    if (timerId && m_timerSerial[timerId] == serial) {
        m_timerSerial[timerId] = 0;
    }
    if (timerId) {
        // The controller first: the cue starts with the face, the trace can wait.
        const PressScope shown(m_pressMs, onsetMs);
        m_shownMsc = missed && std::strcmp(mode, "skip") == 0 ? 0 : msc;
        m_view->OnFrameShown(timerId, onsetMs);
        m_shownMsc = 0;
    }
    if (m_trace.enabled()) {
        TracePresent(m_trace, onsetMs, what, target, msc, mode);
    }
    if (missed) {
        reportMissed(onsetMs, what, trial, target, msc, mode);
    }
}

void OrviWidget::reportMissed(double onsetMs, int what, int trial, std::uint64_t target,
                              std::uint64_t msc, const char* mode) {
    ++m_missedFrames;
    std::fprintf(stderr,
                 "orvi: trial %d: the %s frame missed its vertical blank (aimed at %llu, "
                 "shown at %llu, %s); %d missed so far\n",
                 trial, kFrameNames[what], static_cast<unsigned long long>(target),
                 static_cast<unsigned long long>(msc), mode, m_missedFrames);
    char line[96];
    std::snprintf(line, sizeof line, "missed\t%lld\t%s\t%d\t%d\n", std::llround(onsetMs * 1000.0),
                  kFrameNames[what], trial, m_missedFrames);
    m_trace.writeLine(line);
}

void OrviWidget::tellDisplayPath(const std::string& path, bool vblank) {
    if (!vblank) {
        std::fprintf(stderr,
                     "orvi: display: %s; frames are shown as soon as they are drawn, without "
                     "vertical-blank timing\n",
                     path.c_str());
    }
    char line[256];
    std::snprintf(line, sizeof line, "display\t%lld\t%s\t%s\n", std::llround(NowMs() * 1000.0),
                  path.c_str(), vblank ? "vblank" : "no-vblank");
    m_trace.writeLine(line);
}

void OrviWidget::openPresent() {
    m_presentTried = true;
    const char* off = std::getenv("ORVI_NO_PRESENT");
    if (off && *off && std::strcmp(off, "0") != 0) {
        return tellDisplayPath("old path forced (ORVI_NO_PRESENT)", false);
    }
#ifdef ORVI_HAVE_XCB
    if (!XcbConnection()) {
        return tellDisplayPath("not X11", false);
    }
#endif
    std::string why;
    m_present =
        PresentSurface::Open(static_cast<std::uint32_t>(window()->winId()), deviceArea(), why);
    if (!m_present) {
        return tellDisplayPath(why, false);
    }
    connectPresent();
    m_present->setBlankCursor(m_blankCursor);
    tellDisplayPath("X11+Present", true);
}

void OrviWidget::connectPresent() {
    m_present->onShown = [this](const PresentSurface::Shown& s) {
        frameShown(s.serial, s.onsetMs, s.target, s.msc, s.mode, s.missed);
    };
    m_present->onSent = [this](std::uint32_t serial) {
        auto it = m_stimuli.find(serial);
        if (it == m_stimuli.end() || !it->second.canvas) {
            return;
        }
        // The frame on its way is the picture later paints draw over.
        m_canvas = std::move(it->second.canvas);
    };
    m_present->onExposed = [this] { present(); };
    m_present->onFailed = [this](const std::string& reason) {
        tellDisplayPath(reason, false);
        m_present.release()->deleteLater();
        m_stimuli.clear();
        Invalidate(true);
    };
}

void OrviWidget::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    if (!m_presentTried) {
        openPresent();
    }
}

void OrviWidget::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    if (m_present) {
        m_present->setGeometry(deviceArea());
    }
}

QRect OrviWidget::deviceArea() const {
    return QRect(mapTo(window(), QPoint(0, 0)) * devicePixelRatioF(), deviceSize());
}

#ifdef ORVI_HAVE_XCB
std::unique_ptr<OrviWidget::ServerFrame> OrviWidget::ServerFrame::Make(xcb_connection_t* c,
                                                                       xcb_window_t window,
                                                                       int width, int height) {
    xcb_get_geometry_reply_t* geometry =
        xcb_get_geometry_reply(c, xcb_get_geometry(c, window), nullptr);
    if (!geometry) {
        return nullptr;
    }
    const std::uint8_t depth = geometry->depth;
    std::free(geometry);
    if (!WindowTakesRgb32(c, window, depth)) {
        return nullptr;
    }
    // A server short of memory refuses the pixmap, and then Qt paints the frame.
    auto frame = std::make_unique<ServerFrame>(c, window, depth, width, height);
    return frame->pixmap ? std::move(frame) : nullptr;
}
#endif

bool OrviWidget::uploadServerFrame() {
#ifdef ORVI_HAVE_XCB
    xcb_connection_t* c = XcbConnection();
    if (!c || !window()->windowHandle() || !m_staged) {
        return false;
    }
    const auto window = static_cast<xcb_window_t>(this->window()->winId());
    const QImage& image = m_staged->image();
    const int w = image.width(), h = image.height();
    if (image.format() != QImage::Format_RGB32) {
        return false;
    }
    if (!m_serverFrame || !m_serverFrame->fits(c, window, w, h)) {
        m_serverFrame.reset();
        m_serverFrame = ServerFrame::Make(c, window, w, h);
        if (!m_serverFrame) {
            return false;
        }
    }
    // Then wait, so the server's copy is not still queued ahead of the onset.
    m_serverFrame->uploader.put(m_serverFrame->pixmap, image);
    RoundTrip(c);
    return true;
#else
    return false;
#endif
}

bool OrviWidget::showServerFrame() {
#ifdef ORVI_HAVE_XCB
    if (!m_serverFrame || XcbConnection() != m_serverFrame->uploader.connection() ||
        static_cast<xcb_window_t>(window()->winId()) != m_serverFrame->uploader.window()) {
        return false;
    }
    const QPoint at = mapTo(window(), QPoint(0, 0)) * devicePixelRatioF();
    const XcbFrameUploader& server = m_serverFrame->uploader;
    xcb_connection_t* c = server.connection();
    const double start = MonotonicClock::NowMs();
    xcb_copy_area(c, m_serverFrame->pixmap, server.window(), server.gc(), 0, 0,
                  static_cast<std::int16_t>(at.x()), static_cast<std::int16_t>(at.y()),
                  static_cast<std::uint16_t>(m_serverFrame->width),
                  static_cast<std::uint16_t>(m_serverFrame->height));
    RoundTrip(c);
    constexpr std::size_t kShowTimesKept = 7;
    if (m_showTimesMs.size() == kShowTimesKept) {
        m_showTimesMs.erase(m_showTimesMs.begin());
    }
    m_showTimesMs.push_back(MonotonicClock::NowMs() - start);
    return true;
#else
    return false;
#endif
}

// repaint() hands the frame to the window system; a round trip makes sure the X server has
// put it on the screen before the onset clock is read.
void OrviWidget::flushToDisplay() {
#ifdef ORVI_HAVE_XCB
    if (xcb_connection_t* connection = XcbConnection()) {
        RoundTrip(connection);
    }
#endif
}

void OrviWidget::ShowMessage(const std::string& text) {
    QMessageBox::information(this, QStringLiteral("orvi"), QString::fromStdString(text));
}

void OrviWidget::SetBlankCursor(bool blank) {
    m_blankCursor = blank;
    if (m_present) {
        m_present->setBlankCursor(blank);
    }
    if (blank) {
        setCursor(Qt::BlankCursor);
    } else {
        unsetCursor();
    }
}

double OrviWidget::NowMs() { return MonotonicClock::NowMs(); }

double OrviWidget::InputTimeMs() { return m_pressMs >= 0 ? m_pressMs : NowMs(); }

void OrviWidget::Trace(const char* event, double ms) { m_trace.write(event, ms); }

bool OrviWidget::focusNextPrevChild(bool) { return false; }  // Tab is a command here

namespace {

// The practice keys are the digit row's first two keys by position, whatever the layout prints
// on them: on AZERTY the unshifted '&' and 'é' keys. Their X keycodes (evdev's KEY_1 and KEY_2
// plus 8) are what Qt's X11 and Wayland platforms give as the native scan code. An event
// without one (sent from within the program) goes by its symbol. Returns 1, 2 or 0.
int PracticeKey(const QKeyEvent& event) {
    constexpr quint32 kDigitRowOne = 10, kDigitRowTwo = 11;
    if (event.modifiers() & Qt::KeypadModifier) {
        return 0;
    }
    if (const quint32 code = event.nativeScanCode(); code != 0) {
        return code == kDigitRowOne ? 1 : code == kDigitRowTwo ? 2 : 0;
    }
    return event.key() == Qt::Key_1 ? 1 : event.key() == Qt::Key_2 ? 2 : 0;
}

}  // namespace

void OrviWidget::keyPressEvent(QKeyEvent* event) {
    const PressScope press(m_pressMs, m_pressClock->take());
    if (event->modifiers() & (Qt::ShiftModifier | Qt::ControlModifier | Qt::AltModifier)) {
        return;
    }
    if (const int practice = PracticeKey(*event); practice != 0) {
        if (practice == 1) {
            m_view->OnDemoBlink();
        }
        if (practice == 2) {
            m_view->OnDemoSound();
        }
        return;
    }
    switch (event->key()) {
        case Qt::Key_Backspace: m_view->OnTrialCancel(); break;
        case Qt::Key_Return:
        case Qt::Key_Enter: m_view->OnTrialStart(); break;
        case Qt::Key_Tab: m_view->OnRedrawFace(); break;
        case Qt::Key_Escape: emit exitRequested(); break;
        default: break;
    }
}

void OrviWidget::mousePressEvent(QMouseEvent* event) {
    const PressScope press(m_pressMs, m_pressClock->take());
    if (event->button() != Qt::LeftButton) {
        return;
    }
    const qreal dpr = devicePixelRatioF();
    const QPointF p = event->position() * dpr;
    m_view->OnLButtonDown(static_cast<int>(std::floor(p.x())), static_cast<int>(std::floor(p.y())));
}

// Qt turns the second press of a double click into this event; it is not a new press.
void OrviWidget::mouseDoubleClickEvent(QMouseEvent*) {}
