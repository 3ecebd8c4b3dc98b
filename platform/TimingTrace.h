#pragma once

#include <cstdio>
#include <string>

// Optional per-trial timing audit, switched on by ORVI_TIMING_TRACE=<file>. One line per event:
// "<event>\t<microseconds on the monotonic clock>". It never touches the record file.
class TimingTrace {
  public:
    static constexpr const char* kEnvironmentVariable = "ORVI_TIMING_TRACE";

    TimingTrace();
    ~TimingTrace();
    TimingTrace(const TimingTrace&) = delete;
    TimingTrace& operator=(const TimingTrace&) = delete;

    bool enabled() const { return m_file != nullptr; }
    void write(const char* event, double ms);
    // A whole line of other fields, newline included; flushed at once (it is rare or late).
    void writeLine(const char* line);

  private:
    std::FILE* m_file = nullptr;
};
