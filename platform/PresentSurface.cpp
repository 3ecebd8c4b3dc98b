#include "PresentSurface.h"

#include <QImage>
#include <QSocketNotifier>
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "MonotonicClock.h"
#include "PreciseTimer.h"

namespace {

// Runs of changed pixels in one row; runs closer than kJoinPx are one, since a rectangle more
// costs the server more than copying a few unchanged pixels.
std::vector<std::pair<int, int>> ChangedRuns(const quint32* a, const quint32* b, int width) {
    constexpr int kJoinPx = 32;
    std::vector<std::pair<int, int>> runs;
    for (int x = 0; x < width; ++x) {
        if (a[x] == b[x]) continue;
        if (!runs.empty() && x - runs.back().second <= kJoinPx) {
            runs.back().second = x + 1;
        } else {
            runs.push_back({x, x + 1});
        }
    }
    return runs;
}

}  // namespace

std::vector<QRect> PresentSurface::ChangedAreas(const QImage& before, const QImage& after) {
    if (before.size() != after.size() || before.format() != after.format() || after.depth() != 32) {
        return {after.rect()};
    }
    std::vector<QRect> done, open;  // open: those the previous row's runs extend
    for (int y = 0; y < after.height(); ++y) {
        const auto* a = reinterpret_cast<const quint32*>(before.constScanLine(y));
        const auto* b = reinterpret_cast<const quint32*>(after.constScanLine(y));
        std::vector<QRect> next;
        for (const auto& [x0, x1] : ChangedRuns(a, b, after.width())) {
            auto same = std::find_if(open.begin(), open.end(), [&](const QRect& r) {
                return r.left() == x0 && r.right() == x1 - 1;
            });
            if (same != open.end()) {
                same->setBottom(y);
                next.push_back(*same);
                open.erase(same);
            } else {
                next.push_back(QRect(x0, y, x1 - x0, 1));
            }
        }
        done.insert(done.end(), open.begin(), open.end());
        open = std::move(next);
    }
    done.insert(done.end(), open.begin(), open.end());
    return done;
}

#ifdef ORVI_HAVE_XCB
#include <xcb/present.h>
#include <xcb/randr.h>
#include <xcb/xcb.h>
#include <xcb/xfixes.h>

#include "XcbFrameUploader.h"

namespace {

constexpr std::uint32_t kClockSerial = 0xfffffff0u;  // the "now" notification of the clock check
constexpr std::uint32_t kBlankSerial = 0xfffffff1u;  // notifications that learn the grid
constexpr double kMarginUs = 2000;                   // a request's least lead on its blank
constexpr std::size_t kMostPixmaps = 8;

double NowUs() { return MonotonicClock::NowMs() * 1000.0; }

bool HasExtension(xcb_connection_t* c, const char* name) {
    xcb_query_extension_reply_t* reply = xcb_query_extension_reply(
        c, xcb_query_extension(c, static_cast<std::uint16_t>(std::strlen(name)), name), nullptr);
    const bool present = reply && reply->present;
    std::free(reply);
    return present;
}

// No background (an expose keeps what was there) and no input (presses go to Qt's window).
xcb_window_t CreateStimulusWindow(xcb_connection_t* c, xcb_window_t parent, const QRect& area) {
    const xcb_window_t window = xcb_generate_id(c);
    const std::uint32_t values[] = {XCB_BACK_PIXMAP_NONE, XCB_EVENT_MASK_EXPOSURE};
    xcb_create_window(
        c, XCB_COPY_FROM_PARENT, window, parent, static_cast<std::int16_t>(area.x()),
        static_cast<std::int16_t>(area.y()), static_cast<std::uint16_t>(std::max(1, area.width())),
        static_cast<std::uint16_t>(std::max(1, area.height())), 0, XCB_WINDOW_CLASS_INPUT_OUTPUT,
        XCB_COPY_FROM_PARENT, XCB_CW_BACK_PIXMAP | XCB_CW_EVENT_MASK, values);
    xcb_map_window(c, window);
    return window;
}

// XFixes regions can name the part of a frame that changed.
bool HasRegions(xcb_connection_t* c) {
    const auto* xfixes = xcb_get_extension_data(c, &xcb_xfixes_id);
    if (!xfixes || !xfixes->present) {
        return false;
    }
    auto* version = xcb_xfixes_query_version_reply(c, xcb_xfixes_query_version(c, 2, 0), nullptr);
    const bool regions = version && version->major_version >= 2;
    std::free(version);
    return regions;
}

// The period of that mode; 0 where its dot clock is unknown.
double ModePeriodUs(const xcb_randr_mode_info_t* modes, int count, xcb_randr_mode_t id) {
    for (int m = 0; m < count; ++m) {
        if (modes[m].id == id && modes[m].dot_clock && modes[m].htotal && modes[m].vtotal) {
            return 1e6 * modes[m].htotal * modes[m].vtotal / modes[m].dot_clock;
        }
    }
    return 0;
}

}  // namespace

struct PresentSurface::Connection {
    xcb_connection_t* c = nullptr;
    xcb_window_t window = 0;
    xcb_cursor_t blankCursor = 0;
    std::uint8_t opcode = 0;  // the Present extension's
    bool regions = false;     // XFixes regions can name the part of a frame that changed
    std::unique_ptr<XcbFrameUploader> uploader;
    struct Pixmap {
        xcb_pixmap_t id;
        int width, height;
        // Xvfb sends IdleNotify as soon as a copy is queued, yet reads the pixmap at the
        // blank: a pixmap is free again only once its present has completed and gone idle.
        bool awaitingComplete, awaitingIdle;
        bool busy() const { return awaitingComplete || awaitingIdle; }
    };
    std::vector<Pixmap> pixmaps;
    Pixmap* pixmap(xcb_pixmap_t id) {
        auto it = std::find_if(pixmaps.begin(), pixmaps.end(),
                               [id](const Pixmap& p) { return p.id == id; });
        return it == pixmaps.end() ? nullptr : &*it;
    }
    ~Connection() {
        if (!c) {
            return;
        }
        for (const Pixmap& p : pixmaps) {
            xcb_free_pixmap(c, p.id);
        }
        uploader.reset();
        xcb_disconnect(c);
    }
};

struct PresentSurface::Frame {
    std::uint32_t serial;
    std::uint32_t pixmap;       // its pixmap in the server
    double deadlineUs;          // NaN until the frame it follows has landed
    std::uint32_t after;        // that frame; 0: none
    double delayUs;             // from that frame's onset
    std::uint64_t baseMsc = 0;  // the blank that frame landed on
    bool soon;                  // as soon as the display can
    bool sent = false;
    bool withdrawn = false;
    std::uint64_t target = 0;
    QImage image;
    std::vector<QRect> changed;  // what it changes on the screen, once sent
    // Timed, and its request not sent yet.
    bool waiting() const { return !sent && !std::isnan(deadlineUs); }
};

std::string PresentSurface::Probe(void* connection) {
    auto* c = static_cast<xcb_connection_t*>(connection);
    if (HasExtension(c, "XWAYLAND")) {
        return "XWayland";
    }
    if (!HasExtension(c, "Present")) {
        return "X11 without Present";
    }
    return "X11+Present";
}

double PresentSurface::RandrPeriodUs(void* connection, std::uint32_t root) {
    auto* c = static_cast<xcb_connection_t*>(connection);
    double period = 0;
    // The mode's dot clock gives the period exactly where the driver knows it (not on Xvfb).
    xcb_randr_get_screen_resources_current_reply_t* res =
        xcb_randr_get_screen_resources_current_reply(
            c, xcb_randr_get_screen_resources_current(c, root), nullptr);
    if (!res) {
        return 0;
    }
    const xcb_randr_crtc_t* crtcs = xcb_randr_get_screen_resources_current_crtcs(res);
    const xcb_randr_mode_info_t* modes = xcb_randr_get_screen_resources_current_modes(res);
    const int nModes = xcb_randr_get_screen_resources_current_modes_length(res);
    for (int i = 0; i < xcb_randr_get_screen_resources_current_crtcs_length(res) && !period; ++i) {
        xcb_randr_get_crtc_info_reply_t* crtc = xcb_randr_get_crtc_info_reply(
            c, xcb_randr_get_crtc_info(c, crtcs[i], res->config_timestamp), nullptr);
        if (crtc) {
            period = ModePeriodUs(modes, nModes, crtc->mode);
        }
        std::free(crtc);
    }
    std::free(res);
    return period;
}

void PresentSurface::AskToBypassCompositor(void* connection, std::uint32_t window) {
    auto* c = static_cast<xcb_connection_t*>(connection);
    static const char kName[] = "_NET_WM_BYPASS_COMPOSITOR";
    xcb_intern_atom_reply_t* atom =
        xcb_intern_atom_reply(c, xcb_intern_atom(c, 0, sizeof kName - 1, kName), nullptr);
    if (!atom) {
        return;
    }
    const std::uint32_t bypass = 1;
    xcb_change_property(c, XCB_PROP_MODE_REPLACE, window, atom->atom, XCB_ATOM_CARDINAL, 32, 1,
                        &bypass);
    std::free(atom);
    xcb_flush(c);
}

std::unique_ptr<PresentSurface> PresentSurface::Open(std::uint32_t topLevel, const QRect& area,
                                                     std::string& why) {
    std::unique_ptr<PresentSurface> surface(new PresentSurface());
    if (!surface->start(topLevel, area, why)) {
        return nullptr;
    }
    return surface;
}

PresentSurface::PresentSurface() {
    m_sendTimer = std::make_unique<PreciseTimer>([this] { sendDue(); }, this);
}

PresentSurface::~PresentSurface() = default;

bool PresentSurface::start(std::uint32_t topLevel, const QRect& area, std::string& why) {
    m_x = std::make_unique<Connection>();
    m_x->c = xcb_connect(nullptr, nullptr);
    xcb_connection_t* c = m_x->c;
    if (xcb_connection_has_error(c)) {
        why = "no X display";
        return false;
    }
    why = Probe(c);
    if (why != "X11+Present") {
        return false;
    }
    m_x->opcode = xcb_get_extension_data(c, &xcb_present_id)->major_opcode;
    std::free(xcb_present_query_version_reply(c, xcb_present_query_version(c, 1, 2), nullptr));
    m_x->regions = HasRegions(c);
    const xcb_window_t root = openWindow(topLevel, area, why);
    if (!root) {
        return false;
    }
    m_grid = FrameGrid(RandrPeriodUs(c, root));
    // A compositor would add its own frame of delay and hide the flips from us.
    AskToBypassCompositor(c, topLevel);
    listen();
    return true;
}

// The stimulus window over `area`, and an uploader in its depth. Returns the screen's root, or
// 0 with the reason when the window cannot take our frames.
std::uint32_t PresentSurface::openWindow(std::uint32_t topLevel, const QRect& area,
                                         std::string& why) {
    xcb_connection_t* c = m_x->c;
    m_x->window = CreateStimulusWindow(c, topLevel, area);
    xcb_get_geometry_reply_t* geometry =
        xcb_get_geometry_reply(c, xcb_get_geometry(c, m_x->window), nullptr);
    if (!geometry) {
        why = "X11+Present, but the stimulus window is not there";
        return 0;
    }
    const std::uint8_t depth = geometry->depth;
    const xcb_window_t root = geometry->root;
    std::free(geometry);
    if (depth != 24 || !XcbFrameUploader::Takes32BitPixels(c, depth)) {
        why = "X11+Present, but the screen does not take 32-bit RGB pixels";
        return 0;
    }
    // Asked now, before any event can come: a reply waited for later could take Present's
    // events off the socket into xcb's queue, where the socket notifier never sees them.
    xcb_get_maximum_request_length(c);
    m_x->uploader = std::make_unique<XcbFrameUploader>(c, m_x->window, depth);
    return root;
}

// Reads Present's events from here on, and starts with the clock check, whose answer starts
// the notifications that learn the grid.
void PresentSurface::listen() {
    xcb_connection_t* c = m_x->c;
    xcb_present_select_input(
        c, xcb_generate_id(c), m_x->window,
        XCB_PRESENT_EVENT_MASK_COMPLETE_NOTIFY | XCB_PRESENT_EVENT_MASK_IDLE_NOTIFY);
    m_notifier =
        std::make_unique<QSocketNotifier>(xcb_get_file_descriptor(c), QSocketNotifier::Read);
    connect(m_notifier.get(), &QSocketNotifier::activated, this, [this] { readEvents(); });
    m_clockCheckSentUs = NowUs();
    xcb_present_notify_msc(c, m_x->window, kClockSerial, 0, 0, 0);
    xcb_flush(c);
    readQueuedLater();
}

void PresentSurface::fail(const std::string& why) {
    if (m_failed) {
        return;
    }
    m_failed = true;
    if (onFailed) {
        onFailed(why);
    }
}

// Drops free pixmaps of an old size; reuses a free one; makes one while under the limit.
int PresentSurface::freePixmap(int width, int height) {
    auto& pixmaps = m_x->pixmaps;
    for (int i = 0; i < static_cast<int>(pixmaps.size()); ++i) {
        if (!pixmaps[i].busy() && (pixmaps[i].width != width || pixmaps[i].height != height)) {
            xcb_free_pixmap(m_x->c, pixmaps[i].id);
            pixmaps.erase(pixmaps.begin() + i--);
        }
    }
    for (int i = 0; i < static_cast<int>(pixmaps.size()); ++i) {
        if (!pixmaps[i].busy()) {
            return i;
        }
    }
    if (pixmaps.size() >= kMostPixmaps) {
        return 0;  // the server holds too many
    }
    pixmaps.push_back({m_x->uploader->createPixmap(width, height), width, height, false, false});
    return static_cast<int>(pixmaps.size()) - 1;
}

int PresentSurface::upload(const QImage& image) {
    const int slot = freePixmap(image.width(), image.height());
    Connection::Pixmap& pixmap = m_x->pixmaps[static_cast<std::size_t>(slot)];
    pixmap.awaitingComplete = pixmap.awaitingIdle = true;
    m_x->uploader->put(pixmap.id, image);
    xcb_flush(m_x->c);
    readQueuedLater();
    return slot;
}

std::uint32_t PresentSurface::schedule(const QImage& image, double deadlineMs) {
    return enqueue(image, deadlineMs * 1000.0, 0, 0, false);
}

std::uint32_t PresentSurface::scheduleAfter(const QImage& image, std::uint32_t afterSerial,
                                            double delayMs) {
    return enqueue(image, NAN, afterSerial, delayMs * 1000.0, false);
}

std::uint32_t PresentSurface::scheduleAfterBlank(const QImage& image, std::uint64_t msc,
                                                 double delayMs) {
    if (!m_grid.ready()) {
        return schedule(image, MonotonicClock::NowMs() + delayMs);
    }
    const double delayUs = delayMs * 1000.0;
    return enqueue(image, m_grid.blankUs(msc) + delayUs, 0, delayUs, false, msc);
}

std::uint32_t PresentSurface::showSoon(const QImage& image) {
    return enqueue(image, NowUs(), 0, 0, true);
}

std::uint32_t PresentSurface::enqueue(const QImage& image, double deadlineUs, std::uint32_t after,
                                      double delayUs, bool soon, std::uint64_t baseMsc) {
    auto frame = std::make_unique<Frame>();
    frame->serial = m_nextSerial++;
    if (m_nextSerial >= kClockSerial) {
        m_nextSerial = 1;
    }
    frame->pixmap = m_x->pixmaps[static_cast<std::size_t>(upload(image))].id;
    frame->deadlineUs = deadlineUs;
    frame->after = after;
    frame->delayUs = delayUs;
    frame->baseMsc = baseMsc;
    frame->soon = soon;
    frame->image = image;
    const std::uint32_t serial = frame->serial;
    m_frames.push_back(std::move(frame));
    if (soon) {
        send(*m_frames.back(), NowUs());
    } else {
        armSend();
    }
    return serial;
}

bool PresentSurface::pending(std::uint32_t serial) const {
    return std::any_of(m_frames.begin(), m_frames.end(),
                       [&](const auto& f) { return f->serial == serial && !f->withdrawn; });
}

void PresentSurface::withdraw(std::uint32_t serial) {
    for (auto it = m_frames.begin(); it != m_frames.end(); ++it) {
        Frame& f = **it;
        if (f.serial != serial) {
            continue;
        }
        if (!f.sent) {
            if (Connection::Pixmap* p = m_x->pixmap(f.pixmap)) {
                p->awaitingComplete = p->awaitingIdle = false;
            }
            m_frames.erase(it);
            armSend();
            return;
        }
        // Sent already: the next frame aims at the same blank and goes whole, as the server
        // skips an earlier frame for a blank only for one without an update region.
        f.withdrawn = true;
        m_wholeNext = true;
        if (m_lastTarget == f.target && f.target > 0) {
            m_lastTarget = f.target - 1;
        }
        return;
    }
}

// A request needs a frame plus the margin ahead of its blank; the timer that sends it is given
// another frame (or 10 ms) of slack, so that a busy machine waking it late still makes it.
double PresentSurface::sendLeadUs() const {
    const double period = m_grid.periodUs();
    return period + std::max(period, 10000.0) + kMarginUs;
}

std::uint64_t PresentSurface::aim(const Frame& f, double nowUs) const {
    // A frame timed from another lasts whole frames: counted on the counter, not the clock.
    if (f.baseMsc) {
        return std::max(f.baseMsc + FrameGrid::framesFor(f.delayUs, m_grid.periodUs()),
                        m_grid.target(0, nowUs, kMarginUs, m_lastTarget));
    }
    return m_grid.target(f.deadlineUs, nowUs, kMarginUs, m_lastTarget);
}

// When the frame's request must go: its blank less the lead; its deadline while the grid is
// unknown.
double PresentSurface::sendTimeUs(const Frame& frame, double nowUs) const {
    return m_grid.ready() ? m_grid.blankUs(aim(frame, nowUs)) - sendLeadUs() : frame.deadlineUs;
}

void PresentSurface::armSend() {
    double sendAtUs = INFINITY;
    for (const auto& f : m_frames) {
        if (f->waiting()) {
            sendAtUs = std::min(sendAtUs, sendTimeUs(*f, NowUs()));
        }
    }
    if (std::isinf(sendAtUs)) {
        m_sendTimer->stop();
        return;
    }
    m_sendTimer->start(0, sendAtUs / 1000.0);
    askForBlank();
}

// Fresh blanks while a frame waits, so that it is aimed by the latest phase of the grid.
void PresentSurface::askForBlank() {
    if (m_ticking || !m_grid.ready()) {
        return;
    }
    m_ticking = true;
    const double now = NowUs();
    xcb_present_notify_msc(m_x->c, m_x->window, kBlankSerial,
                           m_grid.target(now, now, 0, m_grid.lastMsc()), 0, 0);
    xcb_flush(m_x->c);
    readQueuedLater();
}

void PresentSurface::sendDue() {
    const double now = NowUs();
    for (auto& f : m_frames) {
        if (f->waiting() && sendTimeUs(*f, now) <= now + 500) {
            send(*f, now);
        }
    }
    armSend();
}

void PresentSurface::send(Frame& frame, double nowUs) {
    xcb_connection_t* c = m_x->c;
    std::uint32_t options = XCB_PRESENT_OPTION_NONE;
    if (m_grid.ready()) {
        // A frame for now gets the same lead as one sent ahead: a frame plus the margin.
        frame.target =
            frame.soon ? m_grid.target(nowUs, nowUs, m_grid.periodUs() + kMarginUs, m_lastTarget)
                       : aim(frame, nowUs);
    } else if (m_grid.lastMsc() > 0) {
        frame.target = std::max(m_grid.lastMsc(), m_lastTarget) + 1;
    } else {
        options = XCB_PRESENT_OPTION_ASYNC;  // nothing known of the blanks yet: at once
    }
    const std::uint32_t update = updateRegion(frame);
    frame.sent = true;
    m_lastTarget = std::max(m_lastTarget, frame.target);
    xcb_present_pixmap(c, m_x->window, frame.pixmap, frame.serial, 0, update, 0, 0, 0, 0, 0,
                       options, frame.target, 0, 0, 0, nullptr);
    // The server keeps its own copy of the region with the request.
    if (update) xcb_xfixes_destroy_region(c, update);
    xcb_flush(c);
    readQueuedLater();
    if (onSent) onSent(frame.serial);
}

// The server copies only what a frame changes: a whole frame takes it a few tenths of a ms,
// which would come between a face's timestamp and its pixels. What changed is counted from
// the last frame sent, together with what the sent frames not yet shown change, since one
// of them may be skipped. 0 (the whole frame) when nothing reliable is known.
std::uint32_t PresentSurface::updateRegion(Frame& frame) {
    const bool whole = m_wholeNext || m_lastSent.size() != frame.image.size();
    std::vector<QRect> changed =
        whole ? std::vector<QRect>{frame.image.rect()} : ChangedAreas(m_lastSent, frame.image);
    for (const auto& f : m_frames) {
        if (f->sent) {
            changed.insert(changed.end(), f->changed.begin(), f->changed.end());
        }
    }
    frame.changed = changed;
    m_lastSent = frame.image;
    m_wholeNext = false;
    frame.image = QImage();
    if (!m_x->regions || whole) {
        return 0;
    }
    std::vector<xcb_rectangle_t> boxes;
    for (const QRect& r : changed) {
        boxes.push_back({static_cast<std::int16_t>(r.x()), static_cast<std::int16_t>(r.y()),
                         static_cast<std::uint16_t>(r.width()),
                         static_cast<std::uint16_t>(r.height())});
    }
    const std::uint32_t region = xcb_generate_id(m_x->c);
    xcb_xfixes_create_region(m_x->c, region, static_cast<std::uint32_t>(boxes.size()),
                             boxes.data());
    return region;
}

// While xcb writes a long request it also reads what the server sends, so events can wait in
// its queue with nothing left on the socket for the notifier: they are read from the loop.
void PresentSurface::readQueuedLater() {
    if (m_readPosted) {
        return;
    }
    m_readPosted = true;
    QMetaObject::invokeMethod(
        this,
        [this] {
            m_readPosted = false;
            readEvents();
        },
        Qt::QueuedConnection);
}

void PresentSurface::readEvents() {
    xcb_connection_t* c = m_x->c;
    if (xcb_connection_has_error(c)) {
        m_notifier->setEnabled(false);
        return fail("the X connection broke");
    }
    while (xcb_generic_event_t* event = xcb_poll_for_event(c)) {
        const std::unique_ptr<xcb_generic_event_t, decltype(&std::free)> owned(event, &std::free);
        const std::uint8_t type = event->response_type & 0x7f;
        if (type == XCB_EXPOSE) {
            // The last of a series: the window lost (part of) its picture.
            m_wholeNext = true;
            if (reinterpret_cast<const xcb_expose_event_t*>(event)->count == 0 && onExposed) {
                onExposed();
            }
        } else if (type == XCB_GE_GENERIC &&
                   !presentEvent(*reinterpret_cast<const xcb_ge_generic_event_t*>(event))) {
            return;
        }
    }
}

bool PresentSurface::presentEvent(const xcb_ge_generic_event_t& event) {
    if (event.extension != m_x->opcode) {
        return true;
    }
    if (event.event_type == XCB_PRESENT_EVENT_IDLE_NOTIFY) {
        const auto& idle = reinterpret_cast<const xcb_present_idle_notify_event_t&>(event);
        if (Connection::Pixmap* p = m_x->pixmap(idle.pixmap)) {
            p->awaitingIdle = false;
        }
        return true;
    }
    if (event.event_type != XCB_PRESENT_EVENT_COMPLETE_NOTIFY) {
        return true;
    }
    const auto& done = reinterpret_cast<const xcb_present_complete_notify_event_t&>(event);
    if (done.kind == XCB_PRESENT_COMPLETE_KIND_NOTIFY_MSC) {
        return blankNotified(done);
    }
    frameCompleted(done);
    return true;
}

bool PresentSurface::blankNotified(const xcb_present_complete_notify_event_t& done) {
    if (done.serial != kClockSerial) {
        const bool wasReady = m_grid.ready();
        m_grid.add(done.msc, done.ust);
        m_ticking = false;
        if (!wasReady || std::any_of(m_frames.begin(), m_frames.end(),
                                     [](const auto& f) { return f->waiting(); })) {
            armSend();
        }
        return true;
    }
    if (!FrameGrid::clockAgrees(m_clockCheckSentUs, static_cast<double>(done.ust), NowUs())) {
        fail("the Present timestamps are not on CLOCK_MONOTONIC");
        return false;
    }
    // The next blanks, one by one, give the grid its period and phase.
    for (std::uint64_t k = 1; k <= FrameGrid::kSpan + 1; ++k) {
        xcb_present_notify_msc(m_x->c, m_x->window, kBlankSerial, done.msc + k, 0, 0);
    }
    xcb_flush(m_x->c);
    return true;
}

void PresentSurface::frameCompleted(const xcb_present_complete_notify_event_t& done) {
    auto it = std::find_if(m_frames.begin(), m_frames.end(),
                           [&](const auto& f) { return f->serial == done.serial; });
    if (it == m_frames.end()) {
        return;
    }
    const std::unique_ptr<Frame> frame = std::move(*it);
    m_frames.erase(it);
    if (Connection::Pixmap* p = m_x->pixmap(frame->pixmap)) {
        p->awaitingComplete = false;
    }
    const bool skipped = done.mode == XCB_PRESENT_COMPLETE_MODE_SKIP;
    if (!skipped) {
        m_grid.add(done.msc, done.ust);
    }
    timeFollowers(frame->serial, done);
    armSend();
    if (frame->withdrawn || !onShown) {
        return;
    }
    const char* mode = skipped                                       ? "skip"
                       : done.mode == XCB_PRESENT_COMPLETE_MODE_FLIP ? "flip"
                                                                     : "copy";
    onShown({frame->serial, static_cast<double>(done.ust) / 1000.0, frame->target, done.msc, mode,
             frame->target > 0 && FrameGrid::missed(frame->target, done.msc, skipped)});
}

// Frames that wait for this one's onset now have their deadlines.
void PresentSurface::timeFollowers(std::uint32_t serial,
                                   const xcb_present_complete_notify_event_t& done) {
    const bool skipped = done.mode == XCB_PRESENT_COMPLETE_MODE_SKIP;
    // From the grid's blank rather than the raw ust, whose timer jitter would otherwise turn a
    // whole number of frames into one more.
    const double onsetUs =
        skipped || !m_grid.ready() ? static_cast<double>(done.ust) : m_grid.blankUs(done.msc);
    for (auto& f : m_frames) {
        if (f->after == serial) {
            f->deadlineUs = onsetUs + f->delayUs;
            if (!skipped) {
                f->baseMsc = done.msc;
            }
            f->after = 0;
        }
    }
}

void PresentSurface::setBlankCursor(bool blank) {
    xcb_connection_t* c = m_x->c;
    if (blank && !m_x->blankCursor) {
        // A cursor whose mask is all clear: nothing of it is drawn.
        const xcb_pixmap_t bits = xcb_generate_id(c);
        xcb_create_pixmap(c, 1, bits, m_x->window, 1, 1);
        const xcb_gcontext_t gc = xcb_generate_id(c);
        const std::uint32_t zero = 0;
        xcb_create_gc(c, gc, bits, XCB_GC_FOREGROUND, &zero);
        const xcb_rectangle_t pixel{0, 0, 1, 1};
        xcb_poly_fill_rectangle(c, bits, gc, 1, &pixel);
        m_x->blankCursor = xcb_generate_id(c);
        xcb_create_cursor(c, m_x->blankCursor, bits, bits, 0, 0, 0, 0, 0, 0, 0, 0);
        xcb_free_gc(c, gc);
        xcb_free_pixmap(c, bits);
    }
    // Without one of its own the window shows its parent's: Qt's, as Qt sets it.
    const std::uint32_t cursor = blank ? m_x->blankCursor : std::uint32_t{XCB_CURSOR_NONE};
    xcb_change_window_attributes(c, m_x->window, XCB_CW_CURSOR, &cursor);
    xcb_flush(c);
}

void PresentSurface::setGeometry(const QRect& area) {
    const std::uint32_t values[] = {static_cast<std::uint32_t>(area.x()),
                                    static_cast<std::uint32_t>(area.y()),
                                    static_cast<std::uint32_t>(std::max(1, area.width())),
                                    static_cast<std::uint32_t>(std::max(1, area.height()))};
    xcb_configure_window(m_x->c, m_x->window,
                         XCB_CONFIG_WINDOW_X | XCB_CONFIG_WINDOW_Y | XCB_CONFIG_WINDOW_WIDTH |
                             XCB_CONFIG_WINDOW_HEIGHT,
                         values);
    xcb_flush(m_x->c);
    m_wholeNext = true;
}

#else

struct PresentSurface::Connection {};
std::uint32_t PresentSurface::updateRegion(Frame&) { return 0; }
struct PresentSurface::Frame {};
std::string PresentSurface::Probe(void*) { return "none"; }
double PresentSurface::RandrPeriodUs(void*, std::uint32_t) { return 0; }
void PresentSurface::AskToBypassCompositor(void*, std::uint32_t) {}
std::unique_ptr<PresentSurface> PresentSurface::Open(std::uint32_t, const QRect&,
                                                     std::string& why) {
    why = "built without X";
    return nullptr;
}
PresentSurface::~PresentSurface() = default;
void PresentSurface::setGeometry(const QRect&) {}
void PresentSurface::setBlankCursor(bool) {}
// Unreachable without X: Open never makes a surface.
std::uint32_t PresentSurface::schedule(const QImage&, double) { return 0; }
std::uint32_t PresentSurface::scheduleAfter(const QImage&, std::uint32_t, double) { return 0; }
std::uint32_t PresentSurface::showSoon(const QImage&) { return 0; }
std::uint32_t PresentSurface::scheduleAfterBlank(const QImage&, std::uint64_t, double) { return 0; }
void PresentSurface::withdraw(std::uint32_t) {}
bool PresentSurface::pending(std::uint32_t) const { return false; }

#endif
