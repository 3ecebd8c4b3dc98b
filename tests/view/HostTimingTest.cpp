// What the controller gives a host that keeps time closely: the onset frame announced ahead of
// the face delay, and presses timed from when they reached the program.
#include <gtest/gtest.h>
#include <stdlib.h>

#include <cstring>
#include <memory>
#include <optional>

#include "COrviView.h"
#include "FaceRenderer.h"
#include "PosixFileSystem.h"
#include "ViewEnums.h"
#include "ViewFakes.h"


namespace {

// A scene is plain ints, so equal bytes are equal scenes.
bool Same(const SceneState& a, const SceneState& b) { return std::memcmp(&a, &b, sizeof a) == 0; }

// Draws an announced frame when it is announced and, when the scene at the paint is the
// announced one, shows that frame instead of drawing again.
class StagingHost : public ClockedHost {
  public:
    struct Announcement {
        SceneState scene;
        int timerId;
        int state;  // the controller's state when it announced
    };
    std::vector<Announcement> announced;
    std::optional<SceneState> staged;  // as drawn
    int stagedShows = 0;
    SceneState sceneAtPaint{};
    double pressAt = -1;  // when the press being handled arrived; -1: none

    double InputTimeMs() override { return pressAt >= 0 ? pressAt : now; }

    void PrepareFrame(const SceneState& next, int timerId) override {
        announced.push_back({next, timerId, view->m_nState});
        SceneState drawn = next;
        FaceRenderer::Draw(canvas, drawn);
        staged = drawn;
    }
    void PaintNow() override {
        ++syncPaints;
        sceneAtPaint = view->Scene();
        if (staged && Same(sceneAtPaint, announced.back().scene)) {
            view->TakeDrawnScene(*staged);
            ++stagedShows;
            dirty = false;
        } else {
            dirty = true;
            paint();
        }
        staged.reset();
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
    StagingHost host;
    std::unique_ptr<COrviView> view;
};

}  // namespace

TEST_F(TrialControllerHostTimingTest, BeepAnnouncesTheFaceThatTheOnsetPaints) {
    for (int trial = 0; trial < 3; ++trial) {
        const std::size_t before = host.announced.size();
        view->OnTrialStart();
        host.advance(view->m_experiment.m_nBeepDelay - 1);
        EXPECT_EQ(host.announced.size(), before) << "nothing is announced before the beep";
        host.advance(1);
        ASSERT_EQ(host.announced.size(), before + 1);
        const StagingHost::Announcement& a = host.announced.back();
        EXPECT_EQ(a.timerId, TIMER_TRIAL);
        EXPECT_EQ(a.state, STATE_WAIT_FACE);
        EXPECT_EQ(a.scene.faceMode, FACE_PLAIN);
        EXPECT_EQ(a.scene.redrawFace, 1);
        EXPECT_EQ(a.scene.viewpoint, view->m_experiment.m_nCurViewpoint);
        EXPECT_EQ(view->m_nFaceMode, FACE_NONE) << "the face is not shown before the onset";

        host.advance(view->m_experiment.m_nFaceDelay);
        ASSERT_EQ(view->m_nState, STATE_WAIT_RESPONSE);
        EXPECT_TRUE(Same(host.sceneAtPaint, a.scene)) << "trial " << trial;
        EXPECT_EQ(host.stagedShows, trial + 1);

        // The eyes handed back by the frame drawn ahead are the ones the press is tested on.
        SceneState placed{};
        FaceRenderer::PlaceEyes(host.canvas.width(), host.canvas.height(), a.scene.viewpoint,
                                placed);
        EXPECT_EQ(view->m_nEyeX[1], placed.eyeX[1]);
        EXPECT_EQ(view->m_nEyeY[1], placed.eyeY[1]);
        EXPECT_EQ(view->m_nEyeRadius, placed.eyeRadius);
        EXPECT_EQ(view->m_bRedrawFace, 0) << "the face counts as drawn";
        const int eye = view->m_nTargetEye;
        view->OnLButtonDown(view->m_nEyeX[eye], view->m_nEyeY[eye]);
        EXPECT_EQ(view->m_experiment.m_nResponse, eye);
        host.paint();
    }
}

TEST_F(TrialControllerHostTimingTest, DemonstrationsAnnounceNothing) {
    view->OnDemoBlink();
    host.advance(3000);
    view->OnLButtonDown(view->m_nEyeX[view->m_nTargetEye], view->m_nEyeY[view->m_nTargetEye]);
    view->OnDemoSound();
    host.advance(1000);
    EXPECT_TRUE(host.announced.empty());
}

TEST_F(TrialControllerHostTimingTest, PressesCountFromTheirArrivalNotFromTheirHandler) {
    view->OnTrialStart();
    host.advance(view->m_experiment.m_nBeepDelay);
    host.advance(view->m_experiment.m_nFaceDelay);
    ASSERT_EQ(view->m_nState, STATE_WAIT_RESPONSE);
    const double onset = view->m_clkOnset;
    host.now += 400;
    host.pressAt = host.now - 0.375;  // the handler runs a little after the press came in
    const int eye = view->m_nTargetEye;
    view->OnLButtonDown(view->m_nEyeX[eye], view->m_nEyeY[eye]);
    host.pressAt = -1;
    EXPECT_DOUBLE_EQ(view->m_experiment.m_dReactionTime, host.now - 0.375 - onset);
    EXPECT_EQ(view->m_experiment.m_nResponse, eye);
}
