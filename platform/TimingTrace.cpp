#include "TimingTrace.h"

#include <cinttypes>
#include <cmath>
#include <cstdlib>
#include <cstring>

TimingTrace::TimingTrace() {
    const char* path = std::getenv(kEnvironmentVariable);
    if (path && *path) {
        m_file = std::fopen(path, "a");
    }
}

TimingTrace::~TimingTrace() {
    if (m_file) {
        std::fclose(m_file);
    }
}

void TimingTrace::write(const char* event, double ms) {
    if (!m_file) {
        return;
    }
    std::fprintf(m_file, "%s\t%" PRId64 "\n", event,
                 static_cast<std::int64_t>(std::llround(ms * 1000.0)));
    // The click ends a trial's events; flushing there keeps the write off the timed path.
    if (std::strcmp(event, "click") == 0 || std::strcmp(event, "red") == 0 ||
        std::strcmp(event, "white") == 0) {
        std::fflush(m_file);
    }
}

void TimingTrace::writeLine(const char* line) {
    if (!m_file) {
        return;
    }
    std::fputs(line, m_file);
    std::fflush(m_file);
}
