#include "TrialLine.h"

#include <cstdio>

std::string TrialLine::Format() const {
    static const char kFormat[] = "%02d %02d %d %d %4.0lf %d %d %d %d";
    // A reaction time near the double range prints hundreds of digits: measure first.
    const int length = std::snprintf(nullptr, 0, kFormat, number, item, eye, viewpoint,
                                     reactionTime, response, correct, valid, cancelled);
    if (length <= 0) {
        return std::string();
    }
    std::string text(static_cast<std::size_t>(length) + 1, '\0');
    std::snprintf(text.data(), text.size(), kFormat, number, item, eye, viewpoint, reactionTime,
                  response, correct, valid, cancelled);
    text.resize(static_cast<std::size_t>(length));
    return text;
}
