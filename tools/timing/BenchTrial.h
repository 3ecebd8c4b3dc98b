#pragma once

#include <cmath>
#include <string>

// One trial as the probe ran it, then as orvi's trace, record file and sound capture saw it.
struct Trial {
    int run = 0, index = 0, viewpoint = -1;
    double delay = 0;         // D: the wait the probe chose
    double enterSent = NAN;   // probe clock as the Enter request was written to the server
    double faceSeen = NAN;    // first poll that showed the face
    double faceUnseen = NAN;  // the poll before it
    double clickSent = NAN;   // as the press request was written to the server
    // From the trace.
    double start = NAN, beepStart = NAN, beepEnd = NAN, onsetRequest = NAN, onset = NAN,
           click = NAN;
    double recordRt = NAN;
    // The face's present line: the blank it was aimed at, the one it landed on, the mode.
    long long target = -1, msc = -1;
    std::string mode;
    // From the sound capture.
    double beepFrames = NAN, beepHz = NAN;
};

// A colour change of the blinking eye, as the probe saw it.
struct BlinkEdge {
    int run;
    double key;           // when key 1 was sent
    double seen, unseen;  // first poll showing the new colour, and the one before it
    bool red;             // the colour it turned to
};

// The settings orvi ran with (ms).
struct BenchSettings {
    int beepDelay = 0, beepLength = 0, faceDelay = 0, blinkWhite = 0, blinkRed = 0;
};
