// The display self-check on an X server of its own with a fake 60 Hz vertical blank.
#include <gtest/gtest.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <string>

#include "DisplayCheck.h"

extern char** environ;

namespace {

// Xvfb on the first free display number, which it writes to us (-displayfd).
class FakeScreen {
  public:
    explicit FakeScreen(int fps) {
        int out[2];
        if (pipe(out) != 0) return;
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_adddup2(&actions, out[1], 3);
        posix_spawn_file_actions_addclose(&actions, out[0]);
        posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", 0, 0);
        const std::string rate = std::to_string(fps);
        const char* argv[] = {"Xvfb",       "-displayfd", "3",    "-fakescreenfps",
                              rate.c_str(), "-screen",    "0",    "640x480x24",
                              "-nolisten",  "tcp",        nullptr};
        if (posix_spawnp(&m_pid, "Xvfb", &actions, nullptr, const_cast<char**>(argv), environ) != 0)
            m_pid = -1;
        posix_spawn_file_actions_destroy(&actions);
        close(out[1]);
        char buf[16] = {};
        const ssize_t n = read(out[0], buf, sizeof buf - 1);
        close(out[0]);
        if (n > 0) m_display = ":" + std::string(buf, static_cast<std::size_t>(n - 1));
    }
    ~FakeScreen() {
        if (m_pid <= 0) return;
        kill(m_pid, SIGTERM);
        waitpid(m_pid, nullptr, 0);
    }
    const std::string& display() const { return m_display; }

  private:
    pid_t m_pid = -1;
    std::string m_display;
};

}  // namespace

TEST(DisplayCheck, MeasuresTheFakeBlankOfXvfb) {
    FakeScreen screen(60);
    ASSERT_FALSE(screen.display().empty()) << "Xvfb did not start";
    const char* before = std::getenv("DISPLAY");
    const std::string saved = before ? before : "";
    setenv("DISPLAY", screen.display().c_str(), 1);
    const DisplayReport r = CheckDisplay(120);
    if (before)
        setenv("DISPLAY", saved.c_str(), 1);
    else
        unsetenv("DISPLAY");

    EXPECT_EQ(r.path, "X11+Present");
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
    const char* before = std::getenv("DISPLAY");
    const std::string saved = before ? before : "";
    unsetenv("DISPLAY");
    const DisplayReport r = CheckDisplay(120);
    if (before) setenv("DISPLAY", saved.c_str(), 1);
    EXPECT_TRUE(r.path == "none" || r.path == "Wayland") << r.path;
    EXPECT_EQ(r.framesPresented, 0);
    EXPECT_FALSE(r.notes.empty());
}
