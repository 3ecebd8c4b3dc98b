// The display self-check without a display. Its measurement on Xvfb's fake 60 Hz blank is
// caught end to end by tests/e2e/vblank.sh (the X11+Present path) and check.sh (--check's rate).
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

#include "DisplayCheck.h"

TEST(DisplayCheck, WithoutADisplayItSaysSo) {
    const char* before = std::getenv("DISPLAY");
    const std::string saved = before ? before : "";
    unsetenv("DISPLAY");
    const DisplayReport r = CheckDisplay(120);
    if (before) setenv("DISPLAY", saved.c_str(), 1);
    EXPECT_TRUE(r.path == "none" || r.path == "Wayland") << r.path;
    EXPECT_EQ(r.framesPresented, 0);
    EXPECT_FALSE(r.notes.empty());
}
