#pragma once

// Controller states.
enum {
    STATE_IDLE = 0,
    STATE_BLINK_DEMO = 1,
    STATE_SOUND_DEMO = 2,
    STATE_WAIT_BEEP = 3,
    STATE_WAIT_FACE = 4,
    STATE_WAIT_RESPONSE = 5,
    STATE_FINISHED = 6
};

// What the renderer draws.
enum { FACE_NONE = 0, FACE_PLAIN = 1, FACE_EYE0_RED = 2, FACE_EYE1_RED = 3 };

// Word in the status box.
enum { FEEDBACK_NONE = 0, FEEDBACK_OK = 1, FEEDBACK_NG = 2 };

// One-shot view timers.
enum { TIMER_RED_END = 1, TIMER_WHITE_END = 2, TIMER_TRIAL = 3 };

// Stimulus frames, as the timing trace names them: face, blank, red, white.
enum { FRAME_FACE = 0, FRAME_BLANK = 1, FRAME_RED = 2, FRAME_WHITE = 3 };
