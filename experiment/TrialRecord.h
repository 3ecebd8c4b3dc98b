#pragma once

// One trial of the run, counted from 0 in memory (the record file writes item, eye, viewpoint
// and response one higher).
struct TrialRecord {
    int item;
    int eye;
    int viewpoint;
    double reactionTime;
    int response;   // eye hit, -1 for none
    int correct;    // 1 when response == eye
    int valid;      // 1 when an eye was hit, 0 when not
    int cancelled;  // 1 once cancelled
};
