#include "OrviWidget.h"

#include <QGuiApplication>
#include <QKeyEvent>
#include <QMessageBox>
#include <QMouseEvent>
#include <QPainter>
#include <cmath>

#include "COrviView.h"
#include "MonotonicClock.h"
#include "QImageCanvas.h"

#ifdef ORVI_HAVE_XCB
#include <xcb/xcb.h>
#endif

OrviWidget::OrviWidget(SoundDevice& sound, ExperimentPlatform& platform, FileSystem& files,
                       QWidget* parent)
    : QWidget(parent), m_canvas(std::make_unique<QImageCanvas>(1, 1)) {
    setAttribute(Qt::WA_OpaquePaintEvent);
    setAttribute(Qt::WA_NoSystemBackground);
    setFocusPolicy(Qt::StrongFocus);
    setMouseTracking(false);
    for (int id = 1; id <= 3; ++id)
        m_timers[id] = std::make_unique<PreciseTimer>([this, id] { m_view->OnTimer(id); }, this);
    m_view = std::make_unique<COrviView>(*this, sound, platform, files);
}

OrviWidget::~OrviWidget() {
    for (auto& timer : m_timers)
        if (timer) timer->stop();
    m_view.reset();
}

void OrviWidget::SetTimer(int id, int delayMs) {
    if (id >= 1 && id <= 3) m_timers[id]->start(delayMs);
}

void OrviWidget::KillTimer(int id) {
    if (id >= 1 && id <= 3) m_timers[id]->stop();
}

void OrviWidget::Invalidate(bool erase) {
    m_dirty = true;
    m_erase = m_erase || erase;
    update();
}

void OrviWidget::renderIfDirty() {
    const qreal dpr = devicePixelRatioF();
    const int w = std::max(1, static_cast<int>(std::lround(width() * dpr)));
    const int h = std::max(1, static_cast<int>(std::lround(height() * dpr)));
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

void OrviWidget::paintEvent(QPaintEvent*) {
    renderIfDirty();
    QPainter painter(this);
    QImage& image = m_canvas->image();
    image.setDevicePixelRatio(devicePixelRatioF());
    painter.drawImage(QPointF(0, 0), image);
}

void OrviWidget::PaintNow() {
    m_dirty = true;
    repaint();
    flushToDisplay();
}

// repaint() hands the frame to the window system; a round trip makes sure the X server has
// put it on the screen before the onset clock is read.
void OrviWidget::flushToDisplay() {
#ifdef ORVI_HAVE_XCB
    if (auto* x11 = qGuiApp->nativeInterface<QNativeInterface::QX11Application>()) {
        if (xcb_connection_t* connection = x11->connection()) {
            xcb_get_input_focus_reply_t* reply =
                xcb_get_input_focus_reply(connection, xcb_get_input_focus(connection), nullptr);
            std::free(reply);
        }
    }
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

void OrviWidget::Trace(const char* event, double ms) { m_trace.write(event, ms); }

bool OrviWidget::focusNextPrevChild(bool) { return false; }  // Tab is a command here

void OrviWidget::keyPressEvent(QKeyEvent* event) {
    const Qt::KeyboardModifiers mods = event->modifiers();
    if (mods & (Qt::ShiftModifier | Qt::ControlModifier | Qt::AltModifier)) return;
    const bool keypad = mods & Qt::KeypadModifier;
    switch (event->key()) {
        case Qt::Key_1:
            if (!keypad) m_view->OnDemoBlink();
            break;
        case Qt::Key_2:
            if (!keypad) m_view->OnDemoSound();
            break;
        case Qt::Key_Backspace:
            m_view->OnTrialCancel();
            break;
        case Qt::Key_Return:
        case Qt::Key_Enter:
            m_view->OnTrialStart();
            break;
        case Qt::Key_Tab:
            m_view->OnRedrawFace();
            break;
        case Qt::Key_Escape:
            emit exitRequested();
            break;
        default:
            break;
    }
}

void OrviWidget::mousePressEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton) return;
    const qreal dpr = devicePixelRatioF();
    const QPointF p = event->position() * dpr;
    m_view->OnLButtonDown(static_cast<int>(std::floor(p.x())), static_cast<int>(std::floor(p.y())));
}

// Qt turns the second press of a double click into this event; it is not a new press.
void OrviWidget::mouseDoubleClickEvent(QMouseEvent*) {}
