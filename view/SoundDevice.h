#pragma once

#include <functional>
#include <string>

// Stand-in for the command-string sound interface. Understands exactly:
//   "open <file> alias <name>", "play <name> from 0 notify", "stop all", "close all".
// A play that reaches its end reports kNotifySuccessful through the notify handler, on the UI
// thread. After "stop all" or "close all" no success report of an earlier play arrives.
class SoundDevice {
  public:
    static constexpr int kNotifySuccessful = 1;
    static constexpr int kNotifyAborted = 4;

    virtual ~SoundDevice() = default;

    // 0 on success, non-zero on failure; callers may ignore the result.
    virtual int sendCommand(const std::string& command) = 0;

    // Receives completion codes on the UI thread.
    virtual void setNotifyHandler(std::function<void(int code)> handler) = 0;

    // Synchronous tone of exactly lengthMs of samples: returns lengthMs after the call on the
    // monotonic clock (the face delay counts from there), with or without a device; the output
    // stream's own latency comes on top of what is heard. lengthMs <= 0 returns at once.
    virtual void beep(int frequencyHz, int lengthMs) = 0;

    // Monotonic ms at which the latest play's first sample went to the device; -1 when unknown.
    virtual double lastCueStartMs() const { return -1; }
};
