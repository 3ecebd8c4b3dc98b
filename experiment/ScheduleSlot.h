#pragma once

enum { SLOT_PENDING = -1, SLOT_MISSED = 0, SLOT_DONE = 1 };

// One position of the run's item order.
struct ScheduleSlot {
    int item;             // item number, 0 to 15
    int status;           // SLOT_PENDING, SLOT_MISSED or SLOT_DONE
    double reactionTime;  // -1.0 untouched, 0.0 after a miss or a re-queue, else the hit's time
};
