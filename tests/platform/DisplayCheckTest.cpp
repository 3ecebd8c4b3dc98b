// The display self-check on an X server of its own with a fake 60 Hz vertical blank.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <string>

#include "DisplayCheck.h"

namespace {

// Runs the check with DISPLAY set to `display` (unset if empty), then restores it.
DisplayReport CheckOn(const std::string& display) {
    const char* before = std::getenv("DISPLAY");
    const std::string saved = before ? before : "";
    display.empty() ? unsetenv("DISPLAY") : setenv("DISPLAY", display.c_str(), 1);
    const DisplayReport r = CheckDisplay(120);
    before ? setenv("DISPLAY", saved.c_str(), 1) : unsetenv("DISPLAY");
    return r;
}

}  // namespace

TEST(DisplayCheck, MeasuresTheFakeBlankOfXvfb) {
    // Xvfb on the first free display number, which it writes to us (-displayfd).
    int out[2];
    ASSERT_EQ(pipe(out), 0);
    const pid_t pid = fork();
    ASSERT_GE(pid, 0);
    if (pid == 0) {
        dup2(out[1], 3);
        dup2(open("/dev/null", O_WRONLY), 2);
        execlp("Xvfb", "Xvfb", "-displayfd", "3", "-fakescreenfps", "60", "-screen", "0",
               "640x480x24", "-nolisten", "tcp", nullptr);
        _exit(127);
    }
    close(out[1]);
    std::string display = ":";  // Xvfb writes the number and a newline once it listens
    for (char c; read(out[0], &c, 1) == 1 && c != '\n';) display += c;
    close(out[0]);
    DisplayReport r;
    if (display.size() > 1) r = CheckOn(display);
    kill(pid, SIGTERM);
    waitpid(pid, nullptr, 0);
    ASSERT_GT(display.size(), 1u) << "Xvfb did not start";

    EXPECT_EQ(r.path, "X11+Present") << display << " " << (r.notes.empty() ? "" : r.notes[0]);
    EXPECT_EQ(r.width, 640);
    EXPECT_EQ(r.height, 480);
    EXPECT_FALSE(r.randrHz) << "Xvfb's mode has no dot clock";
    EXPECT_GE(r.framesPresented, 120);
    EXPECT_NEAR(r.meanPeriodMs, 1000.0 / 60, 1000.0 / 60 * 0.01);
    EXPECT_GT(r.sdPeriodMs, 0) << "Xvfb's millisecond timers jitter";
    EXPECT_EQ(r.modes, std::vector<std::string>{"copy"});
    EXPECT_FALSE(r.compositorRunning);
    EXPECT_TRUE(r.bypassRequested);
}

TEST(DisplayCheck, WithoutADisplayItSaysSo) {
    const DisplayReport r = CheckOn("");
    EXPECT_TRUE(r.path == "none" || r.path == "Wayland") << r.path;
    EXPECT_EQ(r.framesPresented, 0);
    EXPECT_FALSE(r.notes.empty());
}
