#include "DisplayCheck.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <memory>

#include "FaceRenderer.h"
#include "MonotonicClock.h"
#include "PresentSurface.h"

#ifdef ORVI_HAVE_XCB
#include <poll.h>
#include <xcb/present.h>
#include <xcb/xcb.h>

namespace {

using Owned = std::unique_ptr<void, decltype(&std::free)>;

xcb_atom_t Atom(xcb_connection_t* c, const std::string& name) {
    auto* reply = xcb_intern_atom_reply(
        c, xcb_intern_atom(c, 0, static_cast<std::uint16_t>(name.size()), name.c_str()), nullptr);
    const Owned owned(reply, &std::free);
    return reply ? reply->atom : xcb_atom_t{XCB_ATOM_NONE};
}

std::string WindowName(xcb_connection_t* c, xcb_window_t window) {
    for (xcb_atom_t property : {Atom(c, "_NET_WM_NAME"), xcb_atom_t{XCB_ATOM_WM_NAME}}) {
        auto* reply = xcb_get_property_reply(
            c, xcb_get_property(c, 0, window, property, XCB_GET_PROPERTY_TYPE_ANY, 0, 256),
            nullptr);
        const Owned owned(reply, &std::free);
        if (reply && xcb_get_property_value_length(reply) > 0) {
            return std::string(static_cast<const char*>(xcb_get_property_value(reply)),
                               static_cast<std::size_t>(xcb_get_property_value_length(reply)));
        }
    }
    char id[32];
    std::snprintf(id, sizeof id, "window 0x%x", window);
    return id;
}

bool PropertyIsOne(xcb_connection_t* c, xcb_window_t window, xcb_atom_t property) {
    auto* reply = xcb_get_property_reply(
        c, xcb_get_property(c, 0, window, property, XCB_ATOM_CARDINAL, 0, 1), nullptr);
    const Owned owned(reply, &std::free);
    return reply && xcb_get_property_value_length(reply) == 4 &&
           *static_cast<const std::uint32_t*>(xcb_get_property_value(reply)) == 1;
}

// The next Present completion of our window, or null after timeoutMs.
xcb_present_complete_notify_event_t* NextCompletion(xcb_connection_t* c, std::uint8_t opcode,
                                                    double untilMs) {
    for (;;) {
        while (xcb_generic_event_t* event = xcb_poll_for_event(c)) {
            const auto* ge = reinterpret_cast<const xcb_ge_generic_event_t*>(event);
            if ((event->response_type & 0x7f) == XCB_GE_GENERIC && ge->extension == opcode &&
                ge->event_type == XCB_PRESENT_EVENT_COMPLETE_NOTIFY) {
                return reinterpret_cast<xcb_present_complete_notify_event_t*>(event);
            }
            std::free(event);
        }
        const double left = untilMs - MonotonicClock::NowMs();
        if (left <= 0 || xcb_connection_has_error(c)) {
            return nullptr;
        }
        pollfd fd{xcb_get_file_descriptor(c), POLLIN, 0};
        poll(&fd, 1, static_cast<int>(std::ceil(left)));
    }
}

// A full-screen window that asks any compositor to leave it alone.
xcb_window_t OpenFullScreen(xcb_connection_t* c, const xcb_screen_t* screen,
                            DisplayReport& report) {
    const xcb_window_t window = xcb_generate_id(c);
    const std::uint32_t values[] = {screen->black_pixel, 1};
    xcb_create_window(c, XCB_COPY_FROM_PARENT, window, screen->root, 0, 0, screen->width_in_pixels,
                      screen->height_in_pixels, 0, XCB_WINDOW_CLASS_INPUT_OUTPUT,
                      screen->root_visual, XCB_CW_BACK_PIXEL | XCB_CW_OVERRIDE_REDIRECT, values);
    const xcb_atom_t state = Atom(c, "_NET_WM_STATE"), full = Atom(c, "_NET_WM_STATE_FULLSCREEN");
    xcb_change_property(c, XCB_PROP_MODE_REPLACE, window, state, XCB_ATOM_ATOM, 32, 1, &full);
    PresentSurface::AskToBypassCompositor(c, window);
    report.bypassRequested = PropertyIsOne(c, window, Atom(c, "_NET_WM_BYPASS_COMPOSITOR"));
    xcb_map_window(c, window);
    return window;
}

// Two full-screen grey pixmaps, presented in turn.
class GreyFrames {
  public:
    GreyFrames(xcb_connection_t* c, const xcb_screen_t* screen, xcb_window_t window)
        : m_c(c), m_gc(xcb_generate_id(c)) {
        constexpr Rgb kGrey = FaceRenderer::kGrey;
        const std::uint32_t grey = kGrey.r << 16 | kGrey.g << 8 | kGrey.b;
        xcb_create_gc(c, m_gc, window, XCB_GC_FOREGROUND, &grey);
        const xcb_rectangle_t all{0, 0, screen->width_in_pixels, screen->height_in_pixels};
        for (xcb_pixmap_t& p : m_pixmaps) {
            p = xcb_generate_id(c);
            xcb_create_pixmap(c, screen->root_depth, p, window, all.width, all.height);
            xcb_poly_fill_rectangle(c, p, m_gc, 1, &all);
        }
    }
    ~GreyFrames() {
        for (xcb_pixmap_t p : m_pixmaps) {
            xcb_free_pixmap(m_c, p);
        }
        xcb_free_gc(m_c, m_gc);
    }
    GreyFrames(const GreyFrames&) = delete;
    GreyFrames& operator=(const GreyFrames&) = delete;
    xcb_pixmap_t operator[](int i) const { return m_pixmaps[i % 2]; }

  private:
    xcb_connection_t* m_c;
    xcb_gcontext_t m_gc;
    xcb_pixmap_t m_pixmaps[2];
};

// What the completions told, frame by frame.
struct Tally {
    std::uint64_t lastMsc = 0, lastUst = 0;  // the latest frame shown
    std::vector<double> periods;
    bool flip = false, copy = false, skip = false, clockOk = true;

    // A measured frame counts in the report; the first only finds the counter.
    void add(const xcb_present_complete_notify_event_t& done, std::uint64_t target, double sentUs,
             bool measured, DisplayReport& report) {
        const double ust = static_cast<double>(done.ust);
        clockOk = clockOk && FrameGrid::clockAgrees(sentUs, ust, MonotonicClock::NowMs() * 1000.0);
        const bool skipped = done.mode == XCB_PRESENT_COMPLETE_MODE_SKIP;
        if (measured) {
            ++report.framesPresented;
            report.missed += FrameGrid::missed(target, done.msc, skipped);
            flip = flip || done.mode == XCB_PRESENT_COMPLETE_MODE_FLIP;
            skip = skip || skipped;
            copy = copy || (!skipped && done.mode != XCB_PRESENT_COMPLETE_MODE_FLIP);
            if (!skipped && done.msc > lastMsc) {
                periods.push_back((ust - static_cast<double>(lastUst)) / 1000.0 /
                                  static_cast<double>(done.msc - lastMsc));
            }
        }
        if (!skipped) {
            lastMsc = done.msc;
            lastUst = done.ust;
        }
    }
};

// Presents frames + 1 frames, each aimed at the blank after the last one shown.
Tally PresentFrames(xcb_connection_t* c, xcb_window_t window, const GreyFrames& grey, int frames,
                    DisplayReport& report) {
    const std::uint8_t opcode = xcb_get_extension_data(c, &xcb_present_id)->major_opcode;
    xcb_present_select_input(c, xcb_generate_id(c), window, XCB_PRESENT_EVENT_MASK_COMPLETE_NOTIFY);
    Tally tally;
    std::uint64_t target = 0;
    const double untilMs = MonotonicClock::NowMs() + 5000 + frames * 50.0;
    for (int i = 0; i <= frames; ++i) {
        const double sentUs = MonotonicClock::NowMs() * 1000.0;
        xcb_present_pixmap(c, window, grey[i], static_cast<std::uint32_t>(i), 0, 0, 0, 0, 0, 0, 0,
                           XCB_PRESENT_OPTION_NONE, target, 0, 0, 0, nullptr);
        xcb_flush(c);
        auto* done = NextCompletion(c, opcode, untilMs);
        if (!done) {
            report.notes.push_back("frames stopped completing after " + std::to_string(i));
            break;
        }
        const Owned owned(done, &std::free);
        tally.add(*done, target, sentUs, i > 0, report);
        target = tally.lastMsc + 1;
    }
    return tally;
}

// The sample SD; 0 for a single value.
void MeanAndSd(const std::vector<double>& values, double& mean, double& sd) {
    double sum = 0, sq = 0;
    for (double v : values) {
        sum += v;
    }
    mean = sum / static_cast<double>(values.size());
    for (double v : values) {
        sq += (v - mean) * (v - mean);
    }
    sd = values.size() > 1 ? std::sqrt(sq / static_cast<double>(values.size() - 1)) : 0;
}

void Summarise(const Tally& tally, DisplayReport& report) {
    if (tally.flip) {
        report.modes.push_back("flip");
    }
    if (tally.copy) {
        report.modes.push_back("copy");
    }
    if (tally.skip) {
        report.modes.push_back("skip");
    }
    if (!tally.periods.empty()) {
        MeanAndSd(tally.periods, report.meanPeriodMs, report.sdPeriodMs);
    }
    if (!tally.clockOk) {
        report.notes.push_back(
            "the Present timestamps are not on CLOCK_MONOTONIC: orvi will not "
            "use them");
    }
}

void MeasureFrames(xcb_connection_t* c, const xcb_screen_t* screen, int frames,
                   DisplayReport& report) {
    const xcb_window_t window = OpenFullScreen(c, screen, report);
    {
        const GreyFrames grey(c, screen, window);
        Summarise(PresentFrames(c, window, grey, frames, report), report);
    }
    xcb_destroy_window(c, window);
    xcb_flush(c);
}

// Without DISPLAY: a Wayland session, or none.
DisplayReport NoX11() {
    DisplayReport report;
    const char* wayland = std::getenv("WAYLAND_DISPLAY");
    report.path = wayland && *wayland ? "Wayland" : "none";
    report.notes.push_back(wayland && *wayland
                               ? "a Wayland session without X: orvi needs an X11 session"
                               : "no display (DISPLAY is not set)");
    return report;
}

// The owner of the screen's compositing-manager selection, if any.
void FindCompositor(xcb_connection_t* c, int screenNumber, DisplayReport& report) {
    const std::string cm = "_NET_WM_CM_S" + std::to_string(screenNumber);
    auto* owner =
        xcb_get_selection_owner_reply(c, xcb_get_selection_owner(c, Atom(c, cm)), nullptr);
    if (owner && owner->owner) {
        report.compositorRunning = true;
        report.compositorOwner = WindowName(c, owner->owner);
    }
    std::free(owner);
}

// The screen of that number; the last one where there are fewer.
const xcb_screen_t* ScreenAt(xcb_connection_t* c, int screenNumber) {
    auto roots = xcb_setup_roots_iterator(xcb_get_setup(c));
    for (int i = 0; i < screenNumber && roots.rem > 1; ++i) {
        xcb_screen_next(&roots);
    }
    return roots.data;
}

// What the measurement means for orvi's timing.
void AddWarnings(DisplayReport& report) {
    if (report.path == "XWayland") {
        report.notes.push_back(
            "XWayland's timestamps are software timers, not scanout: orvi "
            "uses its old path here");
    }
    if (report.randrHz && report.meanPeriodMs > 0 &&
        std::abs(1000.0 / report.meanPeriodMs - *report.randrHz) > *report.randrHz * 0.01) {
        report.notes.push_back("the measured refresh rate differs from RandR's by more than 1%");
    }
    if (report.compositorRunning && !report.modes.empty() &&
        std::find(report.modes.begin(), report.modes.end(), "flip") == report.modes.end()) {
        report.notes.push_back(
            "a compositor runs and no frame was flipped: onsets may come a "
            "frame or more after the timestamps");
    }
}

}  // namespace

DisplayReport CheckDisplay(int frames) {
    const char* x11 = std::getenv("DISPLAY");
    if (!x11 || !*x11) {
        return NoX11();
    }
    DisplayReport report;
    int screenNumber = 0;
    xcb_connection_t* c = xcb_connect(nullptr, &screenNumber);
    const std::unique_ptr<xcb_connection_t, decltype(&xcb_disconnect)> owned(c, &xcb_disconnect);
    if (xcb_connection_has_error(c)) {
        report.path = "none";
        report.notes.push_back(std::string("cannot open the display ") + x11);
        return report;
    }
    report.path = PresentSurface::Probe(c);
    const xcb_screen_t* screen = ScreenAt(c, screenNumber);
    report.width = screen->width_in_pixels;
    report.height = screen->height_in_pixels;
    if (const double period = PresentSurface::RandrPeriodUs(c, screen->root); period > 0) {
        report.randrHz = 1e6 / period;
    }
    FindCompositor(c, screenNumber, report);
    if (report.path == "X11 without Present") {
        report.notes.push_back("the X server has no Present extension: no vertical-blank timing");
        return report;
    }
    MeasureFrames(c, screen, frames, report);
    AddWarnings(report);
    return report;
}

#else

DisplayReport CheckDisplay(int) {
    DisplayReport report;
    report.path = "none";
    report.notes.push_back("built without X support");
    return report;
}

#endif
