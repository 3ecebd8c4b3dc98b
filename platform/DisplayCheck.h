#pragma once

#include <optional>
#include <string>
#include <vector>

// What the display offers for stimulus timing, measured on the machine itself.
struct DisplayReport {
    // "X11+Present", "X11 without Present", "XWayland", "Wayland" or "none" (no display opened).
    std::string path;
    int width = 0, height = 0;      // screen size in pixels
    std::optional<double> randrHz;  // from the CRTC's mode; empty where the dot clock is unknown
    int framesPresented = 0;        // completions received; 0 when frames could not be presented
    double meanPeriodMs = 0, sdPeriodMs = 0;  // between successive completions
    int missed = 0;                  // frames that completed after their target or were skipped
    std::vector<std::string> modes;  // completion modes seen: "flip", "copy", "skip"
    bool compositorRunning = false;
    std::string compositorOwner;     // WM_NAME or window id of the _NET_WM_CM_S<screen> owner
    bool bypassRequested = false;    // our window set _NET_WM_BYPASS_COMPOSITOR=1
    std::vector<std::string> notes;  // plain-English facts and warnings, one per entry
};

// Opens its own connection to $DISPLAY (no QApplication needed), shows a full-screen window,
// presents at least `frames` frames on the vertical blank and closes it again. Takes about
// frames × period (2 s at 60 Hz). Never throws; a failure is told in `path` and `notes`.
DisplayReport CheckDisplay(int frames = 120);
