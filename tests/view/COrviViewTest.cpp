#include <gtest/gtest.h>
#include <stdlib.h>

#include <filesystem>
#include <fstream>
#include <memory>
#include <sstream>

#include "COrviView.h"
#include "FaceRenderer.h"
#include "FakePlatform.h"
#include "PosixFileSystem.h"
#include "TempDir.h"
#include "TestFiles.h"
#include "TrialLine.h"
#include "ViewEnums.h"
#include "ViewFakes.h"

namespace fs = std::filesystem;

namespace {

std::vector<std::string> TrialLines(const std::string& path) {
    std::vector<std::string> lines;
    std::ifstream in(path, std::ios::binary);
    for (std::string line; std::getline(in, line);)
        if (!line.empty() && line[0] >= '0' && line[0] <= '9') lines.push_back(line);
    return lines;
}

std::string Play(int cueIndex) {
    return cueIndex == 0 ? "play left from 0 notify" : "play right from 0 notify";
}

class TrialControllerTest : public ::testing::Test {
  protected:
    void SetUp() override {
        platform.program = dir / "orvi";
        sound.onBeep = [this](int ms) { host.now += ms; };
    }
    void create(const std::string& settings = "") {
        if (!settings.empty()) std::ofstream(dir / "orvi.ini") << settings;
        if (platform.choices.empty()) platform.choices.push_back(record);
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
        for (int i = 0; i < n; ++i, host.paint()) toResponse(), clickEye(view->m_nTargetEye);
    }
    void enterState(int state) {
        switch (state) {
            case STATE_BLINK_DEMO: return view->OnDemoBlink();
            case STATE_SOUND_DEMO: return view->OnDemoSound();
            case STATE_WAIT_BEEP: return view->OnTrialStart();
            case STATE_WAIT_FACE: return view->OnTrialStart(), host.advance(100);
            case STATE_WAIT_RESPONSE: return toResponse();
            case STATE_FINISHED: return hitTrials(16);
        }
    }

    TempDir dir;
    const std::string record = dir / "s01.txt";
    FakePlatform platform;
    PosixFileSystem files;
    RecordingSound sound;
    ClockedHost host;
    std::unique_ptr<COrviView> view;
};

}  // namespace

TEST_F(TrialControllerTest, ConstructionOpensCuesStartsRunAndShowsPlainFaceAtViewpointZero) {
    create();
    EXPECT_EQ(
        std::vector<std::string>(sound.commands.begin(), sound.commands.begin() + 2),
        (std::vector<std::string>{"open sound1.wav alias left", "open sound2.wav alias right"}));
    // The first paint drew the whole face at viewpoint 0.
    EXPECT_EQ((std::vector<int>{view->m_nState, view->m_nFaceMode, view->m_bRedrawFace}),
              (std::vector<int>{STATE_IDLE, FACE_PLAIN, 0}));
    EXPECT_TRUE(fs::exists(record));
    EXPECT_TRUE(host.blankCursor);
    view.reset();
    EXPECT_EQ(sound.last(), "close all");
}

// Any non-zero swap flag trades the cues; which sound the device then plays is the cue index's
// alias (ConstructionOpens...).
TEST_F(TrialControllerTest, CueIndexFollowsTheSwapFlag) {
    create();
    for (int swap : {0, 1, 5, -3}) {
        view->m_experiment.m_nSwapSides = swap;
        EXPECT_EQ(view->CueIndex(0), swap ? 1 : 0);
        EXPECT_EQ(view->CueIndex(1), swap ? 0 : 1);
    }
}

// One road through a trial, twice: the beep after its delay, the face handed over at the beep's
// end and counted from its onset on the display, the press timed from its arrival.
TEST_F(TrialControllerTest, TrialsTimeBeepFaceAndReactionFromTheDisplayedFrame) {
    create("300\n200\n700\n500\n500\n1\n");
    host.frameLagMs = 11.25;  // the display's vertical blank came that long after the deadline
    for (int trial = 0; trial < 2; ++trial) {
        const int eye = view->m_experiment.m_nCurEye,
                  viewpoint = view->m_experiment.m_nCurViewpoint;
        host.frames.clear();
        sound.beeps.clear();
        view->OnTrialStart();
        EXPECT_EQ(std::make_pair(view->m_nState, view->m_nFaceMode),
                  std::make_pair(int(STATE_WAIT_BEEP), int(FACE_NONE)));
        host.advance(299);
        EXPECT_TRUE(sound.beeps.empty());
        EXPECT_TRUE(host.frames.empty()) << "nothing is handed over before the beep";
        host.advance(1);
        ASSERT_EQ(sound.beeps, (std::vector<std::pair<int, int>>{{2048, 200}}));
        EXPECT_EQ(view->m_nState, STATE_WAIT_FACE);
        const double deadline = host.now + 700;  // the face delay counts from the beep's end
        ASSERT_EQ(host.frames.size(), 1u);
        const SceneState face = host.frames[0].scene;
        EXPECT_EQ((std::vector<int>{host.frames[0].what, host.frames[0].timerId, face.faceMode,
                                    face.redrawFace, face.viewpoint}),
                  (std::vector<int>{FRAME_FACE, TIMER_TRIAL, FACE_PLAIN, 1, viewpoint}));
        EXPECT_EQ(view->m_nFaceMode, FACE_NONE) << "the face is not shown before the onset";

        host.advance(700 + 20);
        ASSERT_EQ(view->m_nState, STATE_WAIT_RESPONSE);
        EXPECT_EQ(view->m_nTargetEye, eye);
        EXPECT_EQ(view->m_nViewpoint, viewpoint);
        EXPECT_EQ(sound.last(), Play(view->CueIndex(eye)));
        EXPECT_DOUBLE_EQ(view->m_clkOnset, deadline + 11.25) << "onset: the frame on the display";
        EXPECT_DOUBLE_EQ(host.last("onset"), view->m_clkOnset);
        // The eyes of the face as the host draws it are the ones the press is tested on.
        SceneState placed = face;
        FaceRenderer::Draw(host.canvas, placed);
        EXPECT_EQ((std::vector<int>{view->m_nEyeX[1], view->m_nEyeY[1], view->m_nEyeRadius}),
                  (std::vector<int>{placed.eyeX[1], placed.eyeY[1], placed.eyeRadius}));
        EXPECT_EQ(view->m_bRedrawFace, 0) << "the face counts as drawn";

        host.now += 300;
        host.pressAt = host.now - 0.375;  // the handler runs a little after the press came in
        clickEye(eye);
        host.pressAt = -1;
        EXPECT_DOUBLE_EQ(view->m_experiment.m_dReactionTime, 300 - 0.375 - 11.25 + 20);
        EXPECT_EQ(sound.last(), "stop all");
        EXPECT_EQ((std::vector<double>{double(view->m_nFeedback), double(view->m_nFaceMode),
                                       double(view->m_nState), view->m_clkOnset}),
                  (std::vector<double>{FEEDBACK_OK, FACE_NONE, STATE_IDLE, 0}));
        const TrialLine line{
            trial + 1, eye * 8 + viewpoint + 1, eye + 1, viewpoint + 1, 308, eye + 1, 1, 1, 0};
        EXPECT_EQ(TrialLines(record).at(trial), line.Format());
        ASSERT_EQ(host.frames.size(), 2u);
        const SceneState& end = host.frames[1].scene;  // the trial's end, shown at once
        EXPECT_EQ((std::vector<int>{host.frames[1].what, host.frames[1].timerId, end.faceMode}),
                  (std::vector<int>{FRAME_BLANK, 0, FACE_NONE}));
        EXPECT_EQ(FaceRenderer::StatusText(end.trials, end.pos, end.feedback),
                  "[0" + std::to_string(trial + 2) + "/0" + std::to_string(trial + 2) + "/16] OK");
        host.paint();
    }
}

// Either eye answers (OK), whichever is the target; how a press on the other eye is recorded and
// moves the run on: ScheduleTest's golden run; a press outside the eyes: tests/e2e/session.sh.
TEST_F(TrialControllerTest, EyeHitTestIsStrictlyInsideTheRadiusAndPrefersEyeZero) {
    create("0\n0\n0\n500\n500\n1\n");
    struct Case {
        int x1, px, py, response;
    } cases[] = {{400, 110, 100, -1}, {105, 109, 100, 0}, {200, 200, 109, 1}};
    for (const Case& c : cases) {
        toResponse();
        view->m_nEyeX[0] = 100, view->m_nEyeY[0] = 100, view->m_nEyeRadius = 10;
        view->m_nEyeX[1] = c.x1, view->m_nEyeY[1] = 100;
        view->OnLButtonDown(c.px, c.py);
        EXPECT_EQ(view->m_experiment.m_nResponse, c.response) << c.px << "," << c.py;
        EXPECT_EQ(view->m_nFeedback, c.response < 0 ? FEEDBACK_NG : FEEDBACK_OK);
    }
}

// Cancelling in a finished run: EveryState.CancelActsOnlyWhenIdleOrFinished; the new run's
// file: tests/e2e/session.sh.
TEST_F(TrialControllerTest, SixteenHitsFinishTheRunAndEnterStartsANewRunWithANewFile) {
    create("0\n0\n0\n500\n500\n1\n");
    hitTrials(15);
    EXPECT_EQ(view->m_nState, STATE_IDLE);
    hitTrials(1);
    ASSERT_EQ(view->m_nState, STATE_FINISHED);

    platform.choices.push_back(dir / "s02.txt");
    view->OnTrialStart();
    // No face until a trial or demonstration.
    EXPECT_EQ((std::vector<int>{view->m_nState, host.erases, view->m_bRedrawFace, view->m_nFeedback,
                                view->m_nFaceMode, view->m_experiment.m_nPos}),
              (std::vector<int>{STATE_IDLE, 1, 1, FEEDBACK_NONE, FACE_NONE, 0}));
}

TEST_F(TrialControllerTest, CancelOfAHandEditedMissAfterACompleteRunStaysFinished) {
    std::ofstream out(record);
    out << "# param: 0 0 0 500 500 1 0\n";
    for (int i = 1; i <= 16; ++i)
        out << TrialLine{i, i, (i + 7) / 8, (i - 1) % 8 + 1, 500, 1, 1, 1, 0}.Format() << "\n";
    out << "17 01 1 1  400 0 0 0 0\n";
    out.close();
    create();
    EXPECT_EQ(view->m_nState, STATE_FINISHED);
    view->OnTrialCancel();
    EXPECT_EQ(view->m_experiment.m_nPos, 16);
    EXPECT_EQ(view->m_nState, STATE_FINISHED) << "no trial may start beyond the 16th position";
    platform.choices.push_back(dir / "next.txt");
    view->OnTrialStart();
    EXPECT_EQ(view->m_experiment.m_nPos, 0);
}

TEST_F(TrialControllerTest, RepeatedCancelsReachFurtherBackAndEnterResetsTheDepth) {
    create("0\n0\n0\n500\n500\n1\n");
    hitTrials(4);
    view->OnTrialCancel();
    view->OnTrialCancel();
    auto flags = [&] {
        std::string f;
        for (const auto& line : TrialLines(record)) f += line.back();
        return f;
    };
    EXPECT_EQ(flags(), "0011");
    EXPECT_EQ(view->m_experiment.m_nPos, 2);
    view->OnTrialStart();  // depth back to 0: the next cancel takes the newest trial
    EXPECT_EQ(view->m_nCancelDepth, 0);
    host.advance(0);
    clickEye(view->m_nTargetEye);
    view->OnTrialCancel();
    EXPECT_EQ(flags(), "00111");
}

// With the cursor shown (the default hides it: ConstructionOpens...).
TEST_F(TrialControllerTest, BlinkDemoFirstRedIsFixedThenAlternatesWithTheSettings) {
    create("1000\n1000\n1000\n300\n700\n0\n");
    EXPECT_FALSE(host.blankCursor);
    host.frameLagMs = 7;
    view->OnDemoBlink();
    const int target = view->m_nTargetEye, red = target == 0 ? FACE_EYE0_RED : FACE_EYE1_RED;
    EXPECT_EQ(view->m_nState, STATE_BLINK_DEMO);
    EXPECT_EQ(view->m_nFaceMode, red);
    EXPECT_EQ(sound.last(), Play(view->CueIndex(target)));
    const std::pair<int, int> phases[] = {
        {TIMER_RED_END, 500}, {TIMER_WHITE_END, 300}, {TIMER_RED_END, 700}, {TIMER_WHITE_END, 300}};
    for (int i = 0; i < 4; ++i) {
        EXPECT_EQ(host.started.back(), phases[i]);
        // Each phase hands over the next one's frame: red at once, then white, red, ...
        ASSERT_EQ(host.frames.size(), i + 2u);
        EXPECT_EQ(host.frames[i].what, i % 2 ? FRAME_WHITE : FRAME_RED);
        EXPECT_EQ(host.frames[i].scene.faceMode, i % 2 ? FACE_PLAIN : red);
        EXPECT_EQ(host.frames[i + 1].timerId, phases[i].first);
        EXPECT_EQ(view->m_nFaceMode, i % 2 ? FACE_PLAIN : red);
        host.advance(phases[i].second - 1);
        EXPECT_EQ(view->m_nFaceMode, i % 2 ? FACE_PLAIN : red) << "phase " << i << " ended early";
        const double deadline = host.timers.at(phases[i].first);
        host.advance(1);
        EXPECT_DOUBLE_EQ(host.last(i % 2 ? "red" : "white"), deadline + 7) << "traced at the onset";
    }
    const size_t commands = sound.commands.size();
    clickEye(1 - target);
    clickNowhere();
    EXPECT_EQ(view->m_nState, STATE_BLINK_DEMO);
    EXPECT_EQ(sound.commands.size(), commands);
    clickEye(target);
    EXPECT_EQ((std::vector<int>{view->m_nState, view->m_nFaceMode}),
              (std::vector<int>{STATE_IDLE, FACE_PLAIN}));
    EXPECT_EQ(sound.last(), "stop all");
    EXPECT_TRUE(host.timers.empty() && host.messages.empty());
}

TEST_F(TrialControllerTest, DemosResetTheViewpointAndTheSoundDemoNeverRepaints) {
    create("0\n0\n0\n500\n500\n1\n");
    for (int guard = 0; guard < 40 && view->m_experiment.m_nCurViewpoint == 0; ++guard)
        toResponse(), clickNowhere();
    hitTrials(1);
    ASSERT_NE(view->m_nViewpoint, 0);
    view->OnDemoSound();
    EXPECT_EQ((std::vector<int>{view->m_nState, view->m_nViewpoint, view->m_bRedrawFace}),
              (std::vector<int>{STATE_SOUND_DEMO, 0, 1}));
    const int invalidates = host.invalidates;
    clickEye(view->m_nTargetEye);  // the eyes of the last face drawn
    EXPECT_EQ(view->m_nState, STATE_IDLE);
    EXPECT_EQ(host.invalidates, invalidates);

    view->OnDemoBlink();
    host.paint();
    clickEye(view->m_nTargetEye);
    view->OnDemoBlink();
    EXPECT_EQ(view->m_bRedrawFace, 0) << "viewpoint already 0: no whole-face redraw";
}

TEST_F(TrialControllerTest, ZeroAndNegativeTimingsRunAtOnce) {
    create("-200\n0\n-5\n0\n-1\n1\n");
    view->OnTrialStart();
    host.advance(0);
    EXPECT_EQ(view->m_nState, STATE_WAIT_RESPONSE);
    EXPECT_EQ(sound.beeps.at(0).second, 0);
    clickEye(view->m_nTargetEye);
    view->OnDemoBlink();
    host.now += 500;
    host.fireDue(host.now);
    EXPECT_EQ(host.started.back(), std::make_pair(int(TIMER_WHITE_END), 0));
    host.fireDue(host.now);
    EXPECT_EQ(host.started.back(), std::make_pair(int(TIMER_RED_END), 0));
}

// --- The event/state table: each suite runs an event over the states its cells describe. ---

class EveryState : public TrialControllerTest, public ::testing::WithParamInterface<int> {
  protected:
    // Everything an event could change, to show that a cell of the table leaves it alone.
    std::string snap() {
        std::ostringstream s;
        s << view->m_nState << ' ' << view->m_nFaceMode << ' ' << view->m_bRedrawFace << ' '
          << view->m_nFeedback << ' ' << view->m_nTargetEye << ' ' << view->m_nViewpoint << ' '
          << view->m_nCancelDepth << ' ' << view->m_experiment.m_nPos << ' '
          << view->m_experiment.m_nTrials << " inv " << host.invalidates << " cmd "
          << sound.commands.size() << " msg " << host.messages.size() << " timers "
          << host.started.size() << '\n'
          << ReadBytes(record);
        return s.str();
    }
    void SetUp() override {
        TrialControllerTest::SetUp();
        create("100\n100\n100\n500\n500\n1\n");
        enterState(GetParam());
        host.paint();
        ASSERT_EQ(view->m_nState, GetParam());
    }
};
INSTANTIATE_TEST_SUITE_P(TrialController, EveryState,
                         ::testing::Values(STATE_IDLE, STATE_BLINK_DEMO, STATE_SOUND_DEMO,
                                           STATE_WAIT_BEEP, STATE_WAIT_FACE, STATE_WAIT_RESPONSE,
                                           STATE_FINISHED),
                         [](const auto& p) { return "State" + std::to_string(p.param); });

// Enter while busy only resets the cancel depth; demonstrations start only when idle; presses
// count only while a press is awaited.
TEST_P(EveryState, EventsTheStateIgnoresChangeNothing) {
    const int s = GetParam();
    const bool idle = s == STATE_IDLE || s == STATE_FINISHED;
    const bool awaiting =
        s == STATE_BLINK_DEMO || s == STATE_SOUND_DEMO || s == STATE_WAIT_RESPONSE;
    const std::string before = snap();
    if (!idle) view->m_nCancelDepth = 3, view->OnTrialStart();
    if (s != STATE_IDLE) view->OnDemoSound(), view->OnDemoBlink();
    if (!awaiting) clickEye(0), clickEye(1), clickNowhere();
    EXPECT_EQ(snap(), before);
}

TEST_P(EveryState, CancelActsOnlyWhenIdleOrFinished) {
    const std::string before = snap();
    const int invalidates = host.invalidates;
    view->OnTrialCancel();
    if (GetParam() == STATE_IDLE || GetParam() == STATE_FINISHED) {
        EXPECT_EQ((std::vector<int>{view->m_nState, view->m_nCancelDepth, host.invalidates}),
                  (std::vector<int>{STATE_IDLE, 1, invalidates + 1}));
    } else {
        EXPECT_EQ(snap(), before);
    }
}

TEST_P(EveryState, TabOnlyAsksForAWholeFaceRedraw) {
    view->m_bRedrawFace = 1, host.invalidates++;
    const std::string expected = snap();
    view->m_bRedrawFace = 0, host.invalidates--;
    view->OnRedrawFace();
    EXPECT_EQ(snap(), expected);
}

// A timer with an unknown id is only killed; a blink timer outside the blink demonstration shows
// a message and repaints; the trial timer outside the trial's waits shows one without repaint.
TEST_P(EveryState, StrayTimersAreKilledOrShowAMessage) {
    const int s = GetParam();
    host.timers[42] = host.now;
    const std::string before = snap();
    view->OnTimer(42);
    EXPECT_EQ(host.timers.count(42), 0u);
    EXPECT_EQ(snap(), before);
    if (s != STATE_WAIT_BEEP && s != STATE_WAIT_FACE) {
        view->OnTimer(TIMER_TRIAL);
        EXPECT_EQ(host.messages, std::vector<std::string>{"これが表示されたら異常(3)"});
        host.messages.clear();
        EXPECT_EQ(snap(), before);
    }
    if (s != STATE_BLINK_DEMO) {
        view->OnTimer(TIMER_RED_END);
        view->OnTimer(TIMER_WHITE_END);
        EXPECT_EQ(host.messages, (std::vector<std::string>{"これが表示されたら異常(1)",
                                                           "これが表示されたら異常(2)"}));
        host.messages.clear();
        host.invalidates -= 2;
        EXPECT_EQ(snap(), before);
    }
}

TEST_P(EveryState, CueEndRestartsTheCueOnlyWhileOneShouldPlay) {
    const int s = GetParam();
    const size_t before = sound.commands.size();
    sound.cueEnded(SoundDevice::kNotifyAborted);
    EXPECT_EQ(sound.commands.size(), before);
    sound.cueEnded();
    if (s == STATE_BLINK_DEMO || s == STATE_SOUND_DEMO || s == STATE_WAIT_RESPONSE) {
        ASSERT_EQ(sound.commands.size(), before + 1);
        EXPECT_EQ(sound.last(), Play(view->CueIndex(view->m_nTargetEye)));
    } else {
        EXPECT_EQ(sound.commands.size(), before);
    }
}
