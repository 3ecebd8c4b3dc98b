#include "PressListener.h"

#include <fcntl.h>
#include <poll.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>

#include "MonotonicClock.h"

#ifdef ORVI_HAVE_XCB_XINPUT
#include <xcb/xcb.h>
#include <xcb/xinput.h>

namespace {

// Asks for raw button presses of every master device; the reply of a version query is read
// first, since the server ignores XI2 selections from a client that has not stated its version.
int SelectRawPresses(xcb_connection_t* c) {
    const xcb_query_extension_reply_t* ext = xcb_get_extension_data(c, &xcb_input_id);
    if (!ext || !ext->present) return -1;
    xcb_input_xi_query_version_reply_t* version =
        xcb_input_xi_query_version_reply(c, xcb_input_xi_query_version(c, 2, 2), nullptr);
    const bool xi2 = version && version->major_version >= 2;
    std::free(version);
    if (!xi2) return -1;
    struct {
        xcb_input_event_mask_t head;
        std::uint32_t bits;
    } mask{{XCB_INPUT_DEVICE_ALL_MASTER, 1}, XCB_INPUT_XI_EVENT_MASK_RAW_BUTTON_PRESS};
    const xcb_window_t root = xcb_setup_roots_iterator(xcb_get_setup(c)).data->root;
    xcb_generic_error_t* error =
        xcb_request_check(c, xcb_input_xi_select_events_checked(c, root, 1, &mask.head));
    std::free(error);
    return error ? -1 : ext->major_opcode;
}

}  // namespace

PressListener::PressListener(PressTimes& times) : m_times(times) {
    m_connection = xcb_connect(nullptr, nullptr);
    if (xcb_connection_has_error(m_connection)) return;
    m_xinput = SelectRawPresses(m_connection);
    if (m_xinput < 0 || ::pipe2(m_stopPipe, O_CLOEXEC) != 0) return;
    m_thread = std::thread([this] { run(); });
}

PressListener::~PressListener() {
    if (m_thread.joinable()) {
        (void)!::write(m_stopPipe[1], "x", 1);
        m_thread.join();
    }
    for (const int fd : m_stopPipe)
        if (fd >= 0) ::close(fd);
    if (m_connection) xcb_disconnect(m_connection);
}

void PressListener::run() {
    MonotonicClock::TightenTimerSlack();
    pollfd fds[2] = {{xcb_get_file_descriptor(m_connection), POLLIN, 0},
                     {m_stopPipe[0], POLLIN, 0}};
    for (;;) {
        // Read once per wake-up, as poll returns: what this wake-up reads arrived then.
        const double wokeMs = MonotonicClock::NowMs();
        while (xcb_generic_event_t* event = xcb_poll_for_event(m_connection)) {
            const auto* ge = reinterpret_cast<const xcb_ge_generic_event_t*>(event);
            if ((event->response_type & 0x7f) == XCB_GE_GENERIC && ge->extension == m_xinput &&
                ge->event_type == XCB_INPUT_RAW_BUTTON_PRESS &&
                reinterpret_cast<const xcb_input_raw_button_press_event_t*>(event)->detail <= 3)
                m_times.Arrived(wokeMs);  // buttons 4 to 7 are the wheel
            std::free(event);
        }
        if (xcb_connection_has_error(m_connection)) return;
        if (::poll(fds, 2, -1) < 0 && errno != EINTR) return;
        if (fds[1].revents) return;
    }
}
#else
PressListener::PressListener(PressTimes& times) : m_times(times) {}
PressListener::~PressListener() = default;
void PressListener::run() {}
#endif
