#pragma once

#include <thread>

#include "PressTimes.h"

struct xcb_connection_t;

// A thread on a connection of its own that notes when each X button press arrives (XInput 2
// raw events on the root window). Qt reads its events on one thread and hands them to the main
// thread through a queue; this skips both hops, which on a loaded machine take tenths of a ms.
class PressListener {
  public:
    explicit PressListener(PressTimes& times);
    ~PressListener();
    PressListener(const PressListener&) = delete;
    PressListener& operator=(const PressListener&) = delete;

    // False when there is no X display or no XInput 2: presses then keep the main thread's time.
    bool running() const { return m_thread.joinable(); }

  private:
    void run();

    PressTimes& m_times;
    xcb_connection_t* m_connection = nullptr;
    int m_xinput = -1;
    int m_stopPipe[2] = {-1, -1};
    std::thread m_thread;
};
