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

#include "COrviView.h"
#include "MonotonicClock.h"
#include "QImageCanvas.h"
#include "ViewEnums.h"

#ifdef ORVI_HAVE_XCB
#include <xcb/xcb.h>
#endif

#ifdef ORVI_HAVE_XCB
// A frame held in a pixmap of the X server: showing it is one copy inside the server instead
// of a paint, a copy into Qt's backing store and a transfer of the whole window.
struct OrviWidget::ServerFrame {
    xcb_connection_t* connection = nullptr;
    xcb_window_t window = 0;
    xcb_pixmap_t pixmap = 0;
    xcb_gcontext_t gc = 0;
    std::uint8_t depth = 0;
    int width = 0, height = 0;
    ~ServerFrame() {
        if (gc) xcb_free_gc(connection, gc);
        if (pixmap) xcb_free_pixmap(connection, pixmap);
        xcb_flush(connection);
    }
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

bool SameScene(const SceneState& a, const SceneState& b) {
    return a.faceMode == b.faceMode && a.redrawFace == b.redrawFace && a.viewpoint == b.viewpoint &&
           a.feedback == b.feedback && a.trials == b.trials && a.pos == b.pos &&
           a.eyeX[0] == b.eyeX[0] && a.eyeX[1] == b.eyeX[1] && a.eyeY[0] == b.eyeY[0] &&
           a.eyeY[1] == b.eyeY[1] && a.eyeRadius == b.eyeRadius;
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
    const xcb_setup_t* setup = xcb_get_setup(c);
    const auto serverOrder =
        Q_BYTE_ORDER == Q_LITTLE_ENDIAN ? XCB_IMAGE_ORDER_LSB_FIRST : XCB_IMAGE_ORDER_MSB_FIRST;
    if (setup->image_byte_order != serverOrder) return false;
    bool pixel32 = false;
    for (auto f = xcb_setup_pixmap_formats_iterator(setup); f.rem; xcb_format_next(&f))
        if (f.data->depth == depth) pixel32 = f.data->bits_per_pixel == 32;
    if (!pixel32) return false;
    xcb_get_window_attributes_reply_t* attrs =
        xcb_get_window_attributes_reply(c, xcb_get_window_attributes(c, window), nullptr);
    if (!attrs) return false;
    const xcb_visualid_t visual = attrs->visual;
    std::free(attrs);
    for (auto s = xcb_setup_roots_iterator(setup); s.rem; xcb_screen_next(&s))
        for (auto d = xcb_screen_allowed_depths_iterator(s.data); d.rem; xcb_depth_next(&d))
            for (auto v = xcb_depth_visuals_iterator(d.data); v.rem; xcb_visualtype_next(&v))
                if (v.data->visual_id == visual)
                    return v.data->red_mask == 0xff0000u && v.data->green_mask == 0xff00u &&
                           v.data->blue_mask == 0xffu;
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
            if (reply && reply->present) m_xinput = reply->major_opcode;
            std::free(reply);
        }
#endif
    }

    bool nativeEventFilter(const QByteArray& type, void* message, qintptr*) override {
#ifdef ORVI_HAVE_XCB
        if (type != "xcb_generic_event_t") return false;
        const auto* event = static_cast<const xcb_generic_event_t*>(message);
        const std::uint8_t kind = event->response_type & 0x7f;
        bool press = kind == XCB_KEY_PRESS || kind == XCB_BUTTON_PRESS;
        if (kind == XCB_GE_GENERIC && m_xinput >= 0) {
            // XInput 2 key and button presses (XI_KeyPress 2, XI_ButtonPress 4).
            const auto* ge = static_cast<const xcb_ge_generic_event_t*>(message);
            press = ge->extension == m_xinput && (ge->event_type == 2 || ge->event_type == 4);
        }
        if (press) m_lastMs = MonotonicClock::NowMs();
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
        const double at = m_lastMs;
        m_lastMs = -1;
        return at >= 0 && MonotonicClock::NowMs() - at < kFreshMs ? at : -1;
    }

  private:
    double m_lastMs = -1;
    int m_xinput = -1;
};

OrviWidget::OrviWidget(SoundDevice& sound, ExperimentPlatform& platform, FileSystem& files,
                       QWidget* parent)
    : QWidget(parent), m_canvas(std::make_unique<QImageCanvas>(1, 1)) {
    setAttribute(Qt::WA_OpaquePaintEvent);
    setAttribute(Qt::WA_NoSystemBackground);
    setFocusPolicy(Qt::StrongFocus);
    setMouseTracking(false);
    for (int id = 1; id <= 3; ++id)
        m_timers[id] = std::make_unique<PreciseTimer>(
            [this, id] {
                const PressScope noPress(m_pressMs, -1);
                m_view->OnTimer(id);
            },
            this);
    m_pressClock = std::make_unique<PressClock>();
    QCoreApplication::instance()->installNativeEventFilter(m_pressClock.get());
    m_view = std::make_unique<COrviView>(*this, sound, platform, files);
}

OrviWidget::~OrviWidget() {
    for (auto& timer : m_timers)
        if (timer) timer->stop();
    m_view.reset();
    QCoreApplication::instance()->removeNativeEventFilter(m_pressClock.get());
}

void OrviWidget::SetTimer(int id, int delayMs) {
    if (id >= 1 && id <= 3) m_timers[id]->start(delayMs, InputTimeMs());
}

void OrviWidget::KillTimer(int id) {
    if (id >= 1 && id <= 3) m_timers[id]->stop();
}

void OrviWidget::Invalidate(bool erase) {
    m_dirty = true;
    m_erase = m_erase || erase;
    // Drawn from the event loop like a Qt update, but only what changed goes to the window: a
    // blink phase sends two eyes, not the screen.
    if (m_changesPosted) return;
    m_changesPosted = true;
    QMetaObject::invokeMethod(this, &OrviWidget::paintChanges, Qt::QueuedConnection);
}

void OrviWidget::paintChanges() {
    m_changesPosted = false;
    if (!isVisible()) return;  // its first paint draws everything
    renderIfDirty();
    const QRegion changes = m_canvas->takeChanges();
    if (changes.isEmpty()) return;
    if (devicePixelRatioF() == 1.0)
        repaint(changes);
    else
        repaint();
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
        // A new framebuffer holds nothing: the face has to be drawn whole into it.
        m_canvas->resize(w, h);
        m_view->m_bRedrawFace = 1;
        m_dirty = true;
    }
    if (!m_dirty) return;
    if (m_erase) m_canvas->fillRect(0, 0, w, h, Rgb{255, 255, 255});
    m_view->DrawScene(*m_canvas);
    m_dirty = false;
    m_erase = false;
}

void OrviWidget::paintEvent(QPaintEvent* event) {
    renderIfDirty();
    QPainter painter(this);
    QImage& image = m_canvas->image();
    image.setDevicePixelRatio(devicePixelRatioF());
    if ((QRegion(rect()) - event->region()).isEmpty()) m_canvas->takeChanges();  // all goes now
    if (devicePixelRatioF() != 1.0) {
        painter.drawImage(QPointF(0, 0), image);
        return;
    }
    for (const QRect& r : event->region()) painter.drawImage(r.topLeft(), image, r);
}

void OrviWidget::PaintNow() {
    const bool staged = m_hasStaged && SameScene(m_view->Scene(), m_stagedFor) &&
                        m_staged->width() == deviceSize().width() &&
                        m_staged->height() == deviceSize().height();
    m_hasStaged = false;
    if (!staged) {
        m_dirty = true;
        repaint();
        m_canvas->takeChanges();  // all sent
        flushToDisplay();
        return;
    }
    std::swap(m_canvas, m_staged);
    m_canvas->takeChanges();
    m_view->TakeDrawnScene(m_stagedDrawn);
    m_dirty = false;
    m_erase = false;
    if (showServerFrame()) {
        update();  // Qt's backing store catches up with the screen after the onset
        return;
    }
    repaint();
    flushToDisplay();
}

void OrviWidget::PrepareFrame(const SceneState& next, int timerId) {
    m_hasStaged = false;
    // Only a frame drawn whole can be drawn ahead; eyes drawn over the last frame cannot.
    if (next.faceMode != FACE_NONE && next.redrawFace != 1) return;
    if (timerId < 1 || timerId > 3) return;
    // Drawing and sending a frame take a few ms: not worth it when the frame is due sooner.
    PreciseTimer& due = *m_timers[timerId];
    constexpr double kLeastAheadMs = 20;
    if (!due.isActive() || due.deadlineMs() - NowMs() < kLeastAheadMs) return;
    const QSize size = deviceSize();
    if (!m_staged) m_staged = std::make_unique<QImageCanvas>(size.width(), size.height());
    if (m_staged->width() != size.width() || m_staged->height() != size.height())
        m_staged->resize(size.width(), size.height());
    m_stagedFor = next;
    m_stagedDrawn = next;
    FaceRenderer::Draw(*m_staged, m_stagedDrawn);
    m_hasStaged = true;
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

bool OrviWidget::uploadServerFrame() {
#ifdef ORVI_HAVE_XCB
    xcb_connection_t* c = XcbConnection();
    if (!c || !window()->windowHandle()) return false;
    const auto window = static_cast<xcb_window_t>(this->window()->winId());
    const QImage& image = m_staged->image();
    const int w = image.width(), h = image.height();
    if (image.format() != QImage::Format_RGB32) return false;
    if (!m_serverFrame || m_serverFrame->connection != c || m_serverFrame->window != window ||
        m_serverFrame->width != w || m_serverFrame->height != h) {
        m_serverFrame.reset();
        xcb_get_geometry_reply_t* geometry =
            xcb_get_geometry_reply(c, xcb_get_geometry(c, window), nullptr);
        if (!geometry) return false;
        const std::uint8_t depth = geometry->depth;
        std::free(geometry);
        if (!WindowTakesRgb32(c, window, depth)) return false;
        auto frame = std::make_unique<ServerFrame>();
        frame->connection = c;
        frame->window = window;
        frame->depth = depth;
        frame->width = w;
        frame->height = h;
        // Checked: a server short of memory refuses it, and then Qt paints the frame.
        const xcb_pixmap_t pixmap = xcb_generate_id(c);
        if (xcb_generic_error_t* error =
                xcb_request_check(c, xcb_create_pixmap_checked(c, depth, pixmap, window,
                                                               static_cast<std::uint16_t>(w),
                                                               static_cast<std::uint16_t>(h)))) {
            std::free(error);
            return false;
        }
        frame->pixmap = pixmap;
        frame->gc = xcb_generate_id(c);
        const std::uint32_t noExposures = 0;
        xcb_create_gc(c, frame->gc, frame->pixmap, XCB_GC_GRAPHICS_EXPOSURES, &noExposures);
        m_serverFrame = std::move(frame);
    }
    // In strips that fit a request; then wait, so the server's copy is not still queued ahead
    // of the onset.
    const int stride = static_cast<int>(image.bytesPerLine());
    const std::uint64_t maxBytes = std::uint64_t{xcb_get_maximum_request_length(c)} * 4 - 64;
    const int rows = static_cast<int>(std::clamp<std::uint64_t>(maxBytes / stride, 1, 64));
    for (int y = 0; y < h; y += rows) {
        const int n = std::min(rows, h - y);
        xcb_put_image(c, XCB_IMAGE_FORMAT_Z_PIXMAP, m_serverFrame->pixmap, m_serverFrame->gc,
                      static_cast<std::uint16_t>(w), static_cast<std::uint16_t>(n), 0,
                      static_cast<std::int16_t>(y), 0, m_serverFrame->depth,
                      static_cast<std::uint32_t>(n * stride), image.constScanLine(y));
    }
    RoundTrip(c);
    return true;
#else
    return false;
#endif
}

bool OrviWidget::showServerFrame() {
#ifdef ORVI_HAVE_XCB
    if (!m_serverFrame || XcbConnection() != m_serverFrame->connection ||
        static_cast<xcb_window_t>(window()->winId()) != m_serverFrame->window)
        return false;
    const QPoint at = mapTo(window(), QPoint(0, 0)) * devicePixelRatioF();
    xcb_connection_t* c = m_serverFrame->connection;
    const double start = MonotonicClock::NowMs();
    xcb_copy_area(c, m_serverFrame->pixmap, m_serverFrame->window, m_serverFrame->gc, 0, 0,
                  static_cast<std::int16_t>(at.x()), static_cast<std::int16_t>(at.y()),
                  static_cast<std::uint16_t>(m_serverFrame->width),
                  static_cast<std::uint16_t>(m_serverFrame->height));
    RoundTrip(c);
    constexpr std::size_t kShowTimesKept = 7;
    if (m_showTimesMs.size() == kShowTimesKept) m_showTimesMs.erase(m_showTimesMs.begin());
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
    if (xcb_connection_t* connection = XcbConnection()) RoundTrip(connection);
#endif
}

void OrviWidget::ShowMessage(const std::string& text) {
    QMessageBox::information(this, QStringLiteral("orvi"), QString::fromStdString(text));
}

void OrviWidget::SetBlankCursor(bool blank) {
    if (blank)
        setCursor(Qt::BlankCursor);
    else
        unsetCursor();
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
int practiceKey(const QKeyEvent& event) {
    constexpr quint32 kDigitRowOne = 10, kDigitRowTwo = 11;
    if (event.modifiers() & Qt::KeypadModifier) return 0;
    if (const quint32 code = event.nativeScanCode(); code != 0)
        return code == kDigitRowOne ? 1 : code == kDigitRowTwo ? 2 : 0;
    return event.key() == Qt::Key_1 ? 1 : event.key() == Qt::Key_2 ? 2 : 0;
}

}  // namespace

void OrviWidget::keyPressEvent(QKeyEvent* event) {
    const PressScope press(m_pressMs, m_pressClock->take());
    if (event->modifiers() & (Qt::ShiftModifier | Qt::ControlModifier | Qt::AltModifier)) return;
    if (const int practice = practiceKey(*event); practice != 0) {
        if (practice == 1) m_view->OnDemoBlink();
        if (practice == 2) m_view->OnDemoSound();
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
    if (event->button() != Qt::LeftButton) return;
    const qreal dpr = devicePixelRatioF();
    const QPointF p = event->position() * dpr;
    m_view->OnLButtonDown(static_cast<int>(std::floor(p.x())), static_cast<int>(std::floor(p.y())));
}

// Qt turns the second press of a double click into this event; it is not a new press.
void OrviWidget::mouseDoubleClickEvent(QMouseEvent*) {}
