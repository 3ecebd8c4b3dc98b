#pragma once

#include <X11/Xlib.h>

#include <string>

// The participant's hand on the X server (XTest), and the windows it acts on.
class XInput {
  public:
    XInput();
    ~XInput();
    XInput(const XInput&) = delete;
    XInput& operator=(const XInput&) = delete;

    // Sends one key press and release; returns the clock as the press was written out.
    double Key(KeySym sym);
    void Type(const std::string& text);
    void MoveTo(int x, int y);
    // Returns the clock as the press was written out.
    double Press();
    void Release();

    // A viewable top-level window titled exactly `title`; 0 when there is none yet.
    Window Find(const std::string& title);
    Window WaitFor(const std::string& title, double timeoutMs);
    void Focus(Window w);

  private:
    std::string Title(Window w);

    Display* m_display = nullptr;
    Atom m_netWmName = 0, m_utf8 = 0;
};
