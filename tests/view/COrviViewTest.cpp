#include <gtest/gtest.h>
#include <stdlib.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <memory>
#include <sstream>

#include "COrviView.h"
#include "PosixFileSystem.h"
#include "ViewEnums.h"
#include "ViewFakes.h"

namespace fs = std::filesystem;

namespace {

std::string ReadAll(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

std::vector<std::string> TrialLines(const std::string& path) {
    std::vector<std::string> lines;
    std::istringstream in(ReadAll(path));
    for (std::string line; std::getline(in, line);)
        if (!line.empty() && line[0] >= '0' && line[0] <= '9') lines.push_back(line);
    return lines;
}

class TrialControllerTest : public ::testing::Test {
  protected:
    void SetUp() override {
        char tmpl[] = "/tmp/orvi-view-XXXXXX";
        dir = mkdtemp(tmpl);
        platform.exePath = dir + "/orvi";
        record = dir + "/s01.txt";
        sound.onBeep = [this](int ms) { host.now += ms; };
    }
    void TearDown() override {
        view.reset();
        fs::remove_all(dir);
    }
    void writeSettings(const std::string& text) { std::ofstream(dir + "/orvi.ini") << text; }
    void create() {
        if (platform.files.empty()) platform.files.push_back(record);
        view = std::make_unique<COrviView>(host, sound, platform, files);
        host.view = view.get();
        host.dirty = true;  // the window's first paint
        host.paint();
    }
    // Enter, then let the beep and face delays run out: the face is up and the clock runs.
    void toResponse() {
        view->OnTrialStart();
        host.advance(view->m_experiment.m_nBeepDelay);
        host.advance(view->m_experiment.m_nFaceDelay);
        ASSERT_EQ(view->m_nState, STATE_WAIT_RESPONSE);
    }
    void clickEye(int eye) { view->OnLButtonDown(view->m_nEyeX[eye], view->m_nEyeY[eye]); }
    void clickNowhere() { view->OnLButtonDown(2, 2); }
    void hitTrials(int n) {
        for (int i = 0; i < n; ++i) {
            toResponse();
            clickEye(view->m_nTargetEye);
            host.paint();
        }
    }
    void enterState(int state) {
        switch (state) {
            case STATE_IDLE:
                return;
            case STATE_BLINK_DEMO:
                return view->OnDemoBlink();
            case STATE_SOUND_DEMO:
                return view->OnDemoSound();
            case STATE_WAIT_BEEP:
                return view->OnTrialStart();
            case STATE_WAIT_FACE:
                view->OnTrialStart();
                return host.advance(view->m_experiment.m_nBeepDelay);
            case STATE_WAIT_RESPONSE:
                return toResponse();
            case STATE_FINISHED:
                return hitTrials(16);
        }
    }

    std::string dir, record;
    ScriptedPlatform platform;
    PosixFileSystem files;
    RecordingSound sound;
    ClockedHost host;
    std::unique_ptr<COrviView> view;
};

// Everything an event could change, to show that a cell of the table leaves it alone.
struct Snapshot {
    int state, faceMode, redraw, feedback, target, viewpoint, depth, pos, trials, invalidates;
    size_t commands, messages, timersStarted;
    std::string file;
    bool operator==(const Snapshot& o) const {
        return std::tie(state, faceMode, redraw, feedback, target, viewpoint, depth, pos, trials,
                        invalidates, commands, messages, timersStarted,
                        file) == std::tie(o.state, o.faceMode, o.redraw, o.feedback, o.target,
                                          o.viewpoint, o.depth, o.pos, o.trials, o.invalidates,
                                          o.commands, o.messages, o.timersStarted, o.file);
    }
};

class EveryState : public TrialControllerTest, public ::testing::WithParamInterface<int> {
  protected:
    Snapshot snap() {
        return {view->m_nState,
                view->m_nFaceMode,
                view->m_bRedrawFace,
                view->m_nFeedback,
                view->m_nTargetEye,
                view->m_nViewpoint,
                view->m_nCancelDepth,
                view->m_experiment.m_nPos,
                view->m_experiment.m_nTrials,
                host.invalidates,
                sound.commands.size(),
                host.messages.size(),
                host.started.size(),
                ReadAll(record)};
    }
    void SetUp() override {
        TrialControllerTest::SetUp();
        writeSettings("100\n100\n100\n500\n500\n1\n");
        create();
        enterState(GetParam());
        host.paint();
        ASSERT_EQ(view->m_nState, GetParam());
    }
};

}  // namespace

TEST_F(TrialControllerTest, ConstructionOpensCuesStartsRunAndShowsPlainFaceAtViewpointZero) {
    create();
    ASSERT_GE(sound.commands.size(), 2u);
    EXPECT_EQ(sound.commands[0], "open sound1.wav alias left");
    EXPECT_EQ(sound.commands[1], "open sound2.wav alias right");
    EXPECT_EQ(view->m_nState, STATE_IDLE);
    EXPECT_EQ(view->m_nFaceMode, FACE_PLAIN);
    EXPECT_EQ(view->m_nViewpoint, 0);
    EXPECT_EQ(view->m_bRedrawFace, 0) << "the first paint drew the whole face";
    EXPECT_EQ(view->m_nEyeRadius, 53);
    EXPECT_EQ(view->m_nEyeX[0], 733);
    EXPECT_TRUE(fs::exists(record));
    EXPECT_TRUE(host.blankCursor);
    view.reset();
    EXPECT_EQ(sound.last(), "close all");
}

TEST_F(TrialControllerTest, CursorShowsWhenSettingsDoNotHideIt) {
    writeSettings("1000\n1000\n1000\n500\n500\n0\n");
    create();
    EXPECT_FALSE(host.blankCursor);
    EXPECT_FALSE(view->OnSetCursor());
}

TEST_F(TrialControllerTest, RoadOfOneTrialTimesBeepFaceAndReactionFromTheDisplayedFrame) {
    writeSettings("300\n200\n700\n500\n500\n1\n");
    create();
    const int eye = view->m_experiment.m_nCurEye;
    const int viewpoint = view->m_experiment.m_nCurViewpoint;

    view->OnTrialStart();
    EXPECT_EQ(view->m_nState, STATE_WAIT_BEEP);
    EXPECT_EQ(view->m_nFaceMode, FACE_NONE);
    EXPECT_EQ(view->m_nTargetEye, eye);
    EXPECT_EQ(view->m_nViewpoint, viewpoint);
    EXPECT_EQ(host.started.back(), std::make_pair(int(TIMER_TRIAL), 300));

    host.advance(299);
    EXPECT_TRUE(sound.beeps.empty());
    host.advance(1);
    ASSERT_EQ(sound.beeps.size(), 1u);
    EXPECT_EQ(sound.beeps[0], std::make_pair(2048, 200));
    EXPECT_EQ(view->m_nState, STATE_WAIT_FACE);
    const double beepEnd = host.now;  // the face delay counts from the beep's end
    EXPECT_EQ(host.timers.at(TIMER_TRIAL), beepEnd + 700);

    const size_t before = sound.commands.size();
    host.paintCostMs = 6.5;
    host.advance(700);
    EXPECT_EQ(view->m_nState, STATE_WAIT_RESPONSE);
    ASSERT_EQ(sound.commands.size(), before + 1);
    EXPECT_EQ(sound.commands.back(),
              eye == view->CueIndex(0) ? "play left from 0 notify" : "play right from 0 notify");
    EXPECT_EQ(host.syncPaints, 1);
    EXPECT_DOUBLE_EQ(view->m_clkOnset, beepEnd + 700 + 6.5);

    host.now += 532.25;
    clickEye(eye);
    EXPECT_DOUBLE_EQ(view->m_experiment.m_dReactionTime, 532.25);
    EXPECT_EQ(sound.last(), "stop all");
    EXPECT_EQ(view->m_nFeedback, FEEDBACK_OK);
    EXPECT_EQ(view->m_nFaceMode, FACE_NONE);
    EXPECT_EQ(view->m_nState, STATE_IDLE);
    EXPECT_EQ(view->m_clkOnset, 0);
    EXPECT_EQ(view->m_experiment.m_nPos, 1);
    auto lines = TrialLines(record);
    ASSERT_EQ(lines.size(), 1u);
    char expected[64];
    std::snprintf(expected, sizeof expected, "01 %02d %d %d  532 %d 1 1 0", eye * 8 + viewpoint + 1,
                  eye + 1, viewpoint + 1, eye + 1);
    EXPECT_EQ(lines[0], expected);
    host.paint();
    EXPECT_EQ(host.canvas.lastText, "[02/02/16] OK");
}

TEST_F(TrialControllerTest, PressOutsideTheEyesIsRecordedAsNgAndTheItemComesBack) {
    create();
    toResponse();
    clickNowhere();
    EXPECT_EQ(view->m_nFeedback, FEEDBACK_NG);
    EXPECT_EQ(view->m_experiment.m_nResponse, -1);
    EXPECT_EQ(view->m_experiment.m_nPos, 0);
    EXPECT_EQ(view->m_experiment.m_nTrials, 1);
    auto lines = TrialLines(record);
    ASSERT_EQ(lines.size(), 1u);
    EXPECT_EQ(lines[0].substr(lines[0].size() - 7), "0 0 0 0");
}

TEST_F(TrialControllerTest, PressOnTheOtherEyeIsOkButIncorrect) {
    create();
    toResponse();
    clickEye(1 - view->m_nTargetEye);
    EXPECT_EQ(view->m_nFeedback, FEEDBACK_OK);
    EXPECT_EQ(view->m_experiment.m_nPos, 1);
    auto line = TrialLines(record).at(0);
    const std::string tail = std::to_string(2 - view->m_nTargetEye) + " 0 1 0";
    EXPECT_EQ(line.substr(line.size() - tail.size()), tail);
}

TEST_F(TrialControllerTest, EyeHitTestIsStrictlyInsideTheRadiusAndPrefersEyeZero) {
    create();
    toResponse();
    view->m_nEyeX[0] = 100, view->m_nEyeY[0] = 100;
    view->m_nEyeX[1] = 400, view->m_nEyeY[1] = 100;
    view->m_nEyeRadius = 10;
    view->OnLButtonDown(110, 100);  // on the circle: a miss
    EXPECT_EQ(view->m_experiment.m_nResponse, -1);
    toResponse();
    view->m_nEyeX[0] = 100, view->m_nEyeY[0] = 100, view->m_nEyeRadius = 10;
    view->m_nEyeX[1] = 105, view->m_nEyeY[1] = 100;
    view->OnLButtonDown(109, 100);  // inside both: eye 0
    EXPECT_EQ(view->m_experiment.m_nResponse, 0);
    toResponse();
    view->m_nEyeX[0] = 100, view->m_nEyeY[0] = 100, view->m_nEyeRadius = 10;
    view->m_nEyeX[1] = 200, view->m_nEyeY[1] = 100;
    view->OnLButtonDown(200, 109);
    EXPECT_EQ(view->m_experiment.m_nResponse, 1);
}

TEST_F(TrialControllerTest, SixteenHitsFinishTheRunAndEnterStartsANewRunWithANewFile) {
    create();
    hitTrials(15);
    EXPECT_EQ(view->m_nState, STATE_IDLE);
    hitTrials(1);
    EXPECT_EQ(view->m_nState, STATE_FINISHED);
    EXPECT_EQ(TrialLines(record).size(), 16u);
    view->OnTrialCancel();  // reopen, then finish again
    EXPECT_EQ(view->m_nState, STATE_IDLE);
    EXPECT_EQ(view->m_experiment.m_nPos, 15);
    hitTrials(1);
    ASSERT_EQ(view->m_nState, STATE_FINISHED);

    const std::string second = dir + "/s02.txt";
    platform.files.push_back(second);
    const int erases = host.erases;
    view->OnTrialStart();
    EXPECT_EQ(view->m_nState, STATE_IDLE);
    EXPECT_EQ(host.erases, erases + 1);
    EXPECT_EQ(view->m_bRedrawFace, 1);
    EXPECT_EQ(view->m_nFeedback, FEEDBACK_NONE);
    EXPECT_EQ(view->m_nFaceMode, FACE_NONE) << "no face until a trial or demonstration";
    EXPECT_EQ(view->m_experiment.m_nPos, 0);
    EXPECT_TRUE(fs::exists(second));
    EXPECT_NE(ReadAll(record).find("### close trial : "), std::string::npos);
}

TEST_F(TrialControllerTest,
       ContinuedCompleteFileStartsFinishedAndCancelOfAHandEditedMissStaysFinished) {
    std::ofstream out(record);
    out << "# param: 0 0 0 500 500 1 0\n";
    for (int i = 0; i < 16; ++i)
        out << (i < 9 ? "0" : "") << i + 1 << " " << (i < 9 ? "0" : "") << i + 1 << " " << i / 8 + 1
            << " " << i % 8 + 1 << "  500 1 1 1 0\n";
    out << "17 01 1 1  400 0 0 0 0\n";  // a miss after the run was complete
    out.close();
    create();
    EXPECT_EQ(view->m_nState, STATE_FINISHED);
    view->OnTrialCancel();
    EXPECT_EQ(view->m_experiment.m_nPos, 16);
    EXPECT_EQ(view->m_nState, STATE_FINISHED) << "no trial may start beyond the 16th position";
    platform.files.push_back(dir + "/next.txt");
    view->OnTrialStart();
    EXPECT_EQ(view->m_experiment.m_nPos, 0);
    EXPECT_TRUE(fs::exists(dir + "/next.txt"));
}

TEST_F(TrialControllerTest, RepeatedCancelsReachFurtherBackAndEnterResetsTheDepth) {
    writeSettings("0\n0\n0\n500\n500\n1\n");
    create();
    hitTrials(4);
    view->OnTrialCancel();
    view->OnTrialCancel();
    EXPECT_EQ(view->m_nCancelDepth, 2);
    auto lines = TrialLines(record);
    ASSERT_EQ(lines.size(), 4u);
    EXPECT_EQ(lines[3].back(), '1');
    EXPECT_EQ(lines[2].back(), '1');
    EXPECT_EQ(lines[1].back(), '0');
    EXPECT_EQ(view->m_experiment.m_nPos, 2);
    view->OnTrialStart();  // depth back to 0: the next cancel takes the newest trial
    EXPECT_EQ(view->m_nCancelDepth, 0);
    host.advance(0);
    clickEye(view->m_nTargetEye);
    view->OnTrialCancel();
    lines = TrialLines(record);
    ASSERT_EQ(lines.size(), 5u);
    EXPECT_EQ(lines[4].back(), '1');
    EXPECT_EQ(lines[1].back(), '0');
}

TEST_F(TrialControllerTest, BlinkDemoFirstRedIsFixedThenAlternatesWithTheSettings) {
    writeSettings("1000\n1000\n1000\n300\n700\n1\n");
    create();
    std::srand(7);
    const int expectedTarget = [] {
        std::srand(7);
        return std::rand() % 2 == 0 ? 0 : 1;
    }();
    std::srand(7);
    view->OnDemoBlink();
    EXPECT_EQ(view->m_nState, STATE_BLINK_DEMO);
    EXPECT_EQ(view->m_nTargetEye, expectedTarget);
    const int red = expectedTarget == 0 ? FACE_EYE0_RED : FACE_EYE1_RED;
    EXPECT_EQ(view->m_nFaceMode, red);
    EXPECT_EQ(host.started.back(), std::make_pair(int(TIMER_RED_END), 500));
    EXPECT_EQ(sound.last(), expectedTarget == view->CueIndex(0) ? "play left from 0 notify"
                                                                : "play right from 0 notify");
    host.advance(500);
    EXPECT_EQ(view->m_nFaceMode, FACE_PLAIN);
    EXPECT_EQ(host.started.back(), std::make_pair(int(TIMER_WHITE_END), 300));
    host.advance(300);
    EXPECT_EQ(view->m_nFaceMode, red);
    EXPECT_EQ(host.started.back(), std::make_pair(int(TIMER_RED_END), 700));
    host.advance(699);
    EXPECT_EQ(view->m_nFaceMode, red);
    host.advance(1);
    EXPECT_EQ(view->m_nFaceMode, FACE_PLAIN);

    const size_t commands = sound.commands.size();
    clickEye(1 - expectedTarget);
    clickNowhere();
    EXPECT_EQ(view->m_nState, STATE_BLINK_DEMO);
    EXPECT_EQ(sound.commands.size(), commands);
    clickEye(expectedTarget);
    EXPECT_EQ(view->m_nState, STATE_IDLE);
    EXPECT_EQ(view->m_nFaceMode, FACE_PLAIN);
    EXPECT_EQ(sound.last(), "stop all");
    EXPECT_TRUE(host.timers.empty());
    EXPECT_TRUE(host.messages.empty());
}

TEST_F(TrialControllerTest, DemosResetTheViewpointAndRedrawOnlyWhenItChanged) {
    writeSettings("0\n0\n0\n500\n500\n1\n");
    create();
    // Find a trial at a viewpoint other than 0, then one at 0.
    for (int guard = 0; guard < 40 && view->m_experiment.m_nCurViewpoint == 0; ++guard) {
        toResponse();
        clickNowhere();
    }
    toResponse();
    clickEye(view->m_nTargetEye);
    host.paint();
    ASSERT_NE(view->m_nViewpoint, 0);
    view->OnDemoSound();
    EXPECT_EQ(view->m_nViewpoint, 0);
    EXPECT_EQ(view->m_bRedrawFace, 1);
    const int invalidates = host.invalidates;
    clickEye(view->m_nTargetEye);  // eyes of the last face drawn
    EXPECT_EQ(view->m_nState, STATE_IDLE);
    EXPECT_EQ(host.invalidates, invalidates) << "the sound demonstration never repaints";

    view->OnDemoBlink();
    host.paint();
    EXPECT_EQ(view->m_bRedrawFace, 0);
    clickEye(view->m_nTargetEye);
    view->OnDemoBlink();
    EXPECT_EQ(view->m_bRedrawFace, 0) << "viewpoint already 0: no whole-face redraw";
}

TEST_F(TrialControllerTest, ZeroAndNegativeTimingsRunAtOnce) {
    writeSettings("-200\n0\n-5\n0\n-1\n1\n");
    create();
    view->OnTrialStart();
    EXPECT_EQ(host.started.back().second, 0);
    host.advance(0);
    EXPECT_EQ(view->m_nState, STATE_WAIT_RESPONSE);
    EXPECT_EQ(sound.beeps.at(0).second, 0);
    clickEye(view->m_nTargetEye);
    view->OnDemoBlink();
    host.now += 500;
    host.step();
    EXPECT_EQ(host.started.back(), std::make_pair(int(TIMER_WHITE_END), 0));
    host.step();
    EXPECT_EQ(host.started.back(), std::make_pair(int(TIMER_RED_END), 0));
}

TEST_F(TrialControllerTest, CueIndexFollowsTheSwapFlag) {
    create();
    view->m_experiment.m_nSwapSides = 0;
    EXPECT_EQ(view->CueIndex(0), 0);
    EXPECT_EQ(view->CueIndex(1), 1);
    for (int swap : {1, 5, -3}) {
        view->m_experiment.m_nSwapSides = swap;
        EXPECT_EQ(view->CueIndex(0), 1);
        EXPECT_EQ(view->CueIndex(1), 0);
    }
    view->m_nState = STATE_SOUND_DEMO;
    view->m_nTargetEye = 0;
    view->m_experiment.m_nSwapSides = 1;
    sound.cueEnded();
    EXPECT_EQ(sound.last(), "play right from 0 notify");
}

TEST_F(TrialControllerTest, DialogCancelledAtStartEndsTheProcessWithCodeZero) {
    platform.files.clear();
    try {
        view = std::make_unique<COrviView>(host, sound, platform, files);
        FAIL() << "constructor returned without a record file";
    } catch (const ProcessExit& e) {
        EXPECT_EQ(e.code, 0);
    }
    ASSERT_EQ(platform.messages.size(), 1u);
    EXPECT_EQ(platform.messages[0], "記録ファイルが指定されなかったので終了します。");
}

// --- The event/state table, one event over every state. ---

// Each suite runs over the states whose cells it describes.
class BusyState : public EveryState {};
class OutsideBlinkDemo : public EveryState {};
class OutsideTrialWaits : public EveryState {};
class NotWaitingForAPress : public EveryState {};

#define ORVI_STATES(suite, ...)                                                      \
    INSTANTIATE_TEST_SUITE_P(TrialController, suite, ::testing::Values(__VA_ARGS__), \
                             [](const auto& p) { return "State" + std::to_string(p.param); })

ORVI_STATES(EveryState, STATE_IDLE, STATE_BLINK_DEMO, STATE_SOUND_DEMO, STATE_WAIT_BEEP,
            STATE_WAIT_FACE, STATE_WAIT_RESPONSE, STATE_FINISHED);
ORVI_STATES(BusyState, STATE_BLINK_DEMO, STATE_SOUND_DEMO, STATE_WAIT_BEEP, STATE_WAIT_FACE,
            STATE_WAIT_RESPONSE);
ORVI_STATES(OutsideBlinkDemo, STATE_IDLE, STATE_SOUND_DEMO, STATE_WAIT_BEEP, STATE_WAIT_FACE,
            STATE_WAIT_RESPONSE, STATE_FINISHED);
ORVI_STATES(OutsideTrialWaits, STATE_IDLE, STATE_BLINK_DEMO, STATE_SOUND_DEMO, STATE_WAIT_RESPONSE,
            STATE_FINISHED);
ORVI_STATES(NotWaitingForAPress, STATE_IDLE, STATE_WAIT_BEEP, STATE_WAIT_FACE, STATE_FINISHED);

TEST_P(EveryState, DemoCommandsActOnlyWhenIdle) {
    const Snapshot before = snap();
    view->OnDemoBlink();
    if (GetParam() == STATE_IDLE) {
        EXPECT_EQ(view->m_nState, STATE_BLINK_DEMO);
        return;
    }
    view->OnDemoSound();
    EXPECT_TRUE(snap() == before);
}

TEST_P(BusyState, EnterDuringDemoOrTrialOnlyResetsCancelDepth) {
    view->m_nCancelDepth = 3;
    Snapshot before = snap();
    view->OnTrialStart();
    before.depth = 0;
    EXPECT_TRUE(snap() == before);
}

TEST_P(EveryState, CancelActsOnlyWhenIdleOrFinished) {
    const Snapshot before = snap();
    view->OnTrialCancel();
    if (GetParam() == STATE_IDLE || GetParam() == STATE_FINISHED) {
        EXPECT_EQ(view->m_nState, STATE_IDLE);
        EXPECT_EQ(view->m_nCancelDepth, 1);
        EXPECT_GT(host.invalidates, before.invalidates);
    } else {
        EXPECT_TRUE(snap() == before);
    }
}

TEST_P(EveryState, TabOnlyAsksForAWholeFaceRedraw) {
    Snapshot before = snap();
    view->OnRedrawFace();
    EXPECT_EQ(view->m_bRedrawFace, 1);
    before.redraw = 1;
    before.invalidates += 1;
    EXPECT_TRUE(snap() == before);
}

TEST_P(OutsideBlinkDemo, BlinkTimersShowAMessageAndRepaint) {
    Snapshot before = snap();
    view->OnTimer(TIMER_RED_END);
    view->OnTimer(TIMER_WHITE_END);
    ASSERT_EQ(host.messages.size(), 2u);
    EXPECT_EQ(host.messages[0], "これが表示されたら異常(1)");
    EXPECT_EQ(host.messages[1], "これが表示されたら異常(2)");
    before.messages += 2;
    before.invalidates += 2;
    EXPECT_TRUE(snap() == before);
}

TEST_P(OutsideTrialWaits, TrialTimerShowsAMessageWithoutRepaint) {
    Snapshot before = snap();
    view->OnTimer(TIMER_TRIAL);
    ASSERT_EQ(host.messages.size(), 1u);
    EXPECT_EQ(host.messages[0], "これが表示されたら異常(3)");
    before.messages += 1;
    EXPECT_TRUE(snap() == before);
}

TEST_P(EveryState, TimerWithAnotherIdIsOnlyKilled) {
    host.timers[42] = host.now;
    const Snapshot before = snap();
    view->OnTimer(42);
    EXPECT_EQ(host.timers.count(42), 0u);
    EXPECT_TRUE(snap() == before);
}

TEST_P(NotWaitingForAPress, PressesAreIgnored) {
    const Snapshot before = snap();
    clickEye(0);
    clickEye(1);
    clickNowhere();
    EXPECT_TRUE(snap() == before);
}

TEST_P(EveryState, CueEndRestartsTheCueOnlyWhileOneShouldPlay) {
    const int s = GetParam();
    const size_t before = sound.commands.size();
    sound.cueEnded(SoundDevice::kNotifyAborted);
    EXPECT_EQ(sound.commands.size(), before);
    sound.cueEnded();
    if (s == STATE_BLINK_DEMO || s == STATE_SOUND_DEMO || s == STATE_WAIT_RESPONSE) {
        ASSERT_EQ(sound.commands.size(), before + 1);
        EXPECT_EQ(sound.last(), view->CueIndex(view->m_nTargetEye) == 0
                                    ? "play left from 0 notify"
                                    : "play right from 0 notify");
    } else {
        EXPECT_EQ(sound.commands.size(), before);
    }
}
