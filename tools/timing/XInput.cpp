#include "XInput.h"

#include <X11/XKBlib.h>
#include <X11/Xutil.h>
#include <X11/extensions/XTest.h>
#include <X11/keysym.h>

#include "BenchFailure.h"
#include "MonotonicClock.h"

XInput::XInput() {
    m_display = XOpenDisplay(nullptr);
    if (!m_display) Die("cannot open the X display");
    int a, b, c, d;
    if (!XTestQueryExtension(m_display, &a, &b, &c, &d)) Die("the X server lacks XTest");
    m_netWmName = XInternAtom(m_display, "_NET_WM_NAME", False);
    m_utf8 = XInternAtom(m_display, "UTF8_STRING", False);
}

XInput::~XInput() { XCloseDisplay(m_display); }

double XInput::Key(KeySym sym) {
    const KeyCode code = XKeysymToKeycode(m_display, sym);
    const KeyCode shift = XKeysymToKeycode(m_display, XK_Shift_L);
    const bool shifted = XkbKeycodeToKeysym(m_display, code, 0, 0) != sym;
    if (shifted) XTestFakeKeyEvent(m_display, shift, True, CurrentTime);
    XTestFakeKeyEvent(m_display, code, True, CurrentTime);
    const double sent = MonotonicClock::NowMs();  // the request leaves in the write below
    XFlush(m_display);
    XTestFakeKeyEvent(m_display, code, False, CurrentTime);
    if (shifted) XTestFakeKeyEvent(m_display, shift, False, CurrentTime);
    XFlush(m_display);
    return sent;
}

void XInput::Type(const std::string& text) {
    for (char ch : text) {
        Key(static_cast<KeySym>(static_cast<unsigned char>(ch)));  // Latin-1 keysyms
        MonotonicClock::SleepForMs(5);
    }
}

void XInput::MoveTo(int x, int y) {
    XTestFakeMotionEvent(m_display, -1, x, y, CurrentTime);
    XFlush(m_display);
}

double XInput::Press() {
    XTestFakeButtonEvent(m_display, 1, True, CurrentTime);
    const double sent = MonotonicClock::NowMs();
    XFlush(m_display);
    return sent;
}

void XInput::Release() {
    XTestFakeButtonEvent(m_display, 1, False, CurrentTime);
    XSync(m_display, False);
}

Window XInput::Find(const std::string& title) {
    Window root = DefaultRootWindow(m_display), parent, *children = nullptr;
    unsigned int count = 0;
    if (!XQueryTree(m_display, root, &root, &parent, &children, &count)) return 0;
    Window found = 0;
    for (unsigned int i = 0; i < count && !found; ++i) {
        XWindowAttributes attrs;
        if (!XGetWindowAttributes(m_display, children[i], &attrs) || attrs.map_state != IsViewable)
            continue;
        if (Title(children[i]) == title) found = children[i];
    }
    if (children) XFree(children);
    return found;
}

Window XInput::WaitFor(const std::string& title, double timeoutMs) {
    const double end = MonotonicClock::NowMs() + timeoutMs;
    for (;;) {
        if (Window w = Find(title)) return w;
        if (MonotonicClock::NowMs() > end) Die("no window titled '" + title + "'");
        MonotonicClock::SleepForMs(50);
    }
}

void XInput::Focus(Window w) {
    XRaiseWindow(m_display, w);
    XSetInputFocus(m_display, w, RevertToPointerRoot, CurrentTime);
    XSync(m_display, False);
    MonotonicClock::SleepForMs(300);  // Qt activates the window on FocusIn, through its event loop
}

std::string XInput::Title(Window w) {
    Atom type;
    int format;
    unsigned long n, after;
    unsigned char* data = nullptr;
    std::string title;
    if (XGetWindowProperty(m_display, w, m_netWmName, 0, 256, False, m_utf8, &type, &format, &n,
                           &after, &data) == Success &&
        data) {
        title.assign(reinterpret_cast<char*>(data), n);
        XFree(data);
    }
    if (title.empty()) {
        char* name = nullptr;
        if (XFetchName(m_display, w, &name) && name) {
            title = name;
            XFree(name);
        }
    }
    return title;
}
