// What the controller gives a host that keeps time closely: each stimulus frame handed over
// ahead of its deadline, its onset taken from the display, presses timed from their arrival.
#include <gtest/gtest.h>

#include <cstring>
#include <memory>

#include "COrviView.h"
#include "FaceRenderer.h"
#include "PosixFileSystem.h"
#include "ViewEnums.h"
#include "ViewFakes.h"

namespace {

class TracingHost : public ClockedHost {
  public:
    double pressAt = -1;  // when the press being handled arrived; -1: none
    std::vector<std::pair<std::string, double>> traced;
    double InputTimeMs() override { return pressAt >= 0 ? pressAt : now; }
    void Trace(const char* event, double ms) override { traced.emplace_back(event, ms); }
    double last(const std::string& event) const {
        for (auto it = traced.rbegin(); it != traced.rend(); ++it)
            if (it->first == event) return it->second;
        return -1;
    }
};

class TrialControllerHostTimingTest : public ::testing::Test {
  protected:
    void SetUp() override {
        scratch.answer(platform);
        sound.onBeep = [this](int ms) { host.now += ms; };
        view = std::make_unique<COrviView>(host, sound, platform, files);
        host.view = view.get();
        host.dirty = true;
        host.paint();
    }
    ScratchFolder scratch;
    ScriptedPlatform platform;
    PosixFileSystem files;
    RecordingSound sound;
    TracingHost host;
    std::unique_ptr<COrviView> view;
};

}  // namespace

TEST_F(TrialControllerHostTimingTest, TheFaceIsHandedAtTheBeepEndAndCountsFromItsOnset) {
    host.frameLagMs = 11.25;  // the display's vertical blank came that long after the deadline
    for (int trial = 0; trial < 3; ++trial) {
        host.frames.clear();
        view->OnTrialStart();
        host.advance(view->m_experiment.m_nBeepDelay - 1);
        EXPECT_TRUE(host.frames.empty()) << "nothing is handed over before the beep";
        host.advance(1);
        ASSERT_EQ(host.frames.size(), 1u);
        const SceneState face = host.frames[0].scene;
        EXPECT_EQ(host.frames[0].timerId, TIMER_TRIAL);
        EXPECT_EQ(face.faceMode, FACE_PLAIN);
        EXPECT_EQ(face.redrawFace, 1);
        EXPECT_EQ(face.viewpoint, view->m_experiment.m_nCurViewpoint);
        EXPECT_EQ(view->m_nFaceMode, FACE_NONE) << "the face is not shown before the onset";

        const double deadline = host.now + view->m_experiment.m_nFaceDelay;
        host.advance(view->m_experiment.m_nFaceDelay + 20);
        ASSERT_EQ(view->m_nState, STATE_WAIT_RESPONSE);
        EXPECT_DOUBLE_EQ(view->m_clkOnset, deadline + 11.25);
        EXPECT_DOUBLE_EQ(host.last("onset"), view->m_clkOnset);

        // The eyes of the face as the host draws it are the ones the press is tested on.
        SceneState placed = face;
        FaceRenderer::Draw(host.canvas, placed);
        EXPECT_EQ(view->m_nEyeX[1], placed.eyeX[1]);
        EXPECT_EQ(view->m_nEyeY[1], placed.eyeY[1]);
        EXPECT_EQ(view->m_nEyeRadius, placed.eyeRadius);
        EXPECT_EQ(view->m_bRedrawFace, 0) << "the face counts as drawn";
        const int eye = view->m_nTargetEye;
        host.now += 300;
        host.pressAt = host.now - 0.375;  // the handler runs a little after the press came in
        view->OnLButtonDown(view->m_nEyeX[eye], view->m_nEyeY[eye]);
        host.pressAt = -1;
        EXPECT_EQ(view->m_experiment.m_nResponse, eye);
        EXPECT_DOUBLE_EQ(view->m_experiment.m_dReactionTime, 300 - 0.375 - 11.25 + 20);
        ASSERT_EQ(host.frames.size(), 2u);
        EXPECT_EQ(host.frames[1].what, FRAME_BLANK);
        EXPECT_EQ(host.frames[1].timerId, 0) << "the trial's end is shown at once";
    }
}

TEST_F(TrialControllerHostTimingTest, BlinkPhasesAreTracedAtTheirOnset) {
    host.frameLagMs = 7;
    view->OnDemoBlink();
    for (int phase = 0; phase < 4; ++phase) {
        const double deadline = host.timers.begin()->second;
        ASSERT_TRUE(host.fireDue(deadline));
        EXPECT_DOUBLE_EQ(host.last(phase % 2 ? "red" : "white"), deadline + 7) << phase;
    }
}
