#pragma once

#include <string>

// The nine fields of a trial line as the record file holds them (item, eye, viewpoint and
// response one higher than in memory).
struct TrialLine {
    int number;
    int item;
    int eye;
    int viewpoint;
    double reactionTime;
    int response;
    int correct;
    int valid;
    int cancelled;

    // "%02d %02d %d %d %4.0lf %d %d %d %d", without the line end.
    std::string Format() const;
};
