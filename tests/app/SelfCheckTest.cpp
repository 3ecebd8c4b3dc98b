#include <gtest/gtest.h>

#include <functional>

#include "SelfCheck.h"

namespace {

using Facts = SelfCheck::Facts;

// A machine with nothing to say against it: flips at a measured 60 Hz that RandR agrees with.
Facts ReadyMachine() {
    Facts facts;
    facts.display.path = "X11+Present";
    facts.display.width = 1920;
    facts.display.height = 1080;
    facts.display.randrHz = 60.0;
    facts.display.framesPresented = SelfCheck::kDisplayFrames;
    facts.display.meanPeriodMs = 1000.0 / 60;
    facts.display.modes = {"flip"};
    facts.settingsExist = facts.settingsRead = true;
    facts.folderWritable = true;
    return facts;
}

}  // namespace

TEST(SelfCheck, FaultsMakeItNotUsableAndWarningsUsable) {
    const struct {
        const char* what;
        std::function<void(Facts&)> change;
        int status;
    } cases[] = {
        {"ready", [](Facts&) {}, 0},
        {"no Present", [](Facts& f) { f.display.path = "X11 without Present"; }, 1},
        {"XWayland", [](Facts& f) { f.display.path = "XWayland"; }, 1},
        {"119 frames", [](Facts& f) { f.display.framesPresented = 119; }, 1},
        {"a missed frame", [](Facts& f) { f.display.missed = 1; }, 1},
        {"copies only", [](Facts& f) { f.display.modes = {"copy"}; }, 1},
        {"flips and copies", [](Facts& f) { f.display.modes.push_back("copy"); }, 0},
        {"1.5% off RandR", [](Facts& f) { f.display.meanPeriodMs = 1000 / 60.9; }, 1},
        {"0.5% off RandR", [](Facts& f) { f.display.meanPeriodMs = 1000 / 59.7; }, 0},
        {"no RandR rate", [](Facts& f) { f.display.randrHz.reset(); }, 0},
        {"compositor bypassed",
         [](Facts& f) { f.display.compositorRunning = f.display.bypassRequested = true; }, 0},
        {"compositor in the way", [](Facts& f) { f.display.compositorRunning = true; }, 1},
        {"no settings file yet", [](Facts& f) { f.settingsExist = f.settingsRead = false; }, 0},
        {"unreadable settings", [](Facts& f) { f.settingsRead = false; }, 1},
        {"read-only folder", [](Facts& f) { f.folderWritable = false; }, 1},
        {"no display", [](Facts& f) { (f.display = {}).path = "none"; }, 2},
        {"a silent cue", [](Facts& f) { f.cueProblems = {"sound1.wav is missing"}; }, 2},
    };
    for (const auto& c : cases) {
        Facts facts = ReadyMachine();
        c.change(facts);
        const SelfCheck::Verdict verdict = SelfCheck::Judge(facts);
        EXPECT_EQ(verdict.status, c.status) << c.what;
        EXPECT_EQ(verdict.faults.empty(), c.status < 2) << c.what;
        EXPECT_EQ(verdict.warnings.empty(), c.status != 1) << c.what;
    }
}
