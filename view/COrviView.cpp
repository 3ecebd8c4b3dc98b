#include "COrviView.h"

#include <cmath>
#include <cstdlib>
#include <string>

#include "CueSounds.h"
#include "FaceRenderer.h"
#include "SoundDevice.h"
#include "ViewEnums.h"
#include "ViewHost.h"

namespace {

const char* const kCueCommands[2] = {"play left from 0 notify", "play right from 0 notify"};

// A zero or negative setting runs at once instead of arming a timer that never comes.
int NonNegative(int ms) { return ms > 0 ? ms : 0; }

}  // namespace

COrviView::COrviView(ViewHost& host, SoundDevice& sound, ExperimentPlatform& platform,
                     FileSystem& files)
    : m_nFaceMode(FACE_PLAIN),
      m_bRedrawFace(1),
      m_nState(STATE_FINISHED),
      m_nFeedback(FEEDBACK_NONE),
      m_nTargetEye(-1),
      m_nViewpoint(0),
      m_nCancelDepth(0),
      m_experiment(platform, files),
      m_clkOnset(0),
      m_clkResponse(0),
      m_host(host),
      m_sound(sound) {
    m_sound.setNotifyHandler([this](int code) { OnMciNotify(code); });
    OpenCues();
    m_experiment.StartRun();
    m_nState = IdleOrFinished();
    OnSetCursor();
}

COrviView::~COrviView() {
    CloseCues();
    m_sound.setNotifyHandler(nullptr);
}

void COrviView::OnTrialStart() {
    if (m_nState == STATE_IDLE) {
        m_nState = STATE_WAIT_BEEP;
        m_nFeedback = FEEDBACK_NONE;
        m_nViewpoint = m_experiment.m_nCurViewpoint;
        m_nTargetEye = m_experiment.m_nCurEye;
        m_nFaceMode = FACE_NONE;
        m_host.Trace("start", m_host.InputTimeMs());  // the beep delay counts from here
        m_host.Invalidate(false);
        m_host.SetTimer(TIMER_TRIAL, NonNegative(m_experiment.m_nBeepDelay));
        m_nCancelDepth = 0;
    } else if (m_nState == STATE_FINISHED) {
        m_experiment.StartRun();
        m_bRedrawFace = 1;
        m_host.Invalidate(true);
        m_nFeedback = FEEDBACK_NONE;
        m_nState = IdleOrFinished();
        m_nCancelDepth = 0;
        OnSetCursor();
    } else {
        m_nCancelDepth = 0;
    }
}

void COrviView::OnTrialCancel() {
    if (m_nState != STATE_IDLE && m_nState != STATE_FINISHED) {
        return;
    }
    m_experiment.CancelTrial(m_nCancelDepth);
    ++m_nCancelDepth;
    // A run whose last schedule position is still done cannot take another trial.
    m_nState = IdleOrFinished();
    m_host.Invalidate(false);
}

void COrviView::OnRedrawFace() {
    m_bRedrawFace = 1;
    m_host.Invalidate(false);
}

void COrviView::ResetViewpointForDemo() {
    if (m_nViewpoint != 0) {
        m_nViewpoint = 0;
        m_bRedrawFace = 1;
    }
}

void COrviView::OnDemoBlink() {
    if (m_nState != STATE_IDLE) {
        return;
    }
    ResetViewpointForDemo();
    m_nState = STATE_BLINK_DEMO;
    if (std::rand() % 2 == 0) {
        m_nTargetEye = 0;
        m_nFaceMode = FACE_EYE0_RED;
    } else {
        m_nTargetEye = 1;
        m_nFaceMode = FACE_EYE1_RED;
    }
    PlayCue(m_nTargetEye);
    ShowStimulus(FRAME_RED);
    m_host.SetFrameTimer(TIMER_RED_END, kFirstRedPhaseMs, FRAME_WHITE, SceneWith(FACE_PLAIN));
}

void COrviView::OnDemoSound() {
    if (m_nState != STATE_IDLE) {
        return;
    }
    ResetViewpointForDemo();
    m_nState = STATE_SOUND_DEMO;
    m_nTargetEye = std::rand() % 2 == 0 ? 0 : 1;
    PlayCue(m_nTargetEye);
}

void COrviView::OnTimer(int id) {
    m_host.KillTimer(id);
    Advance(id, m_host.NowMs());
}

void COrviView::OnFrameShown(int id, double onsetMs) { Advance(id, onsetMs); }

void COrviView::Advance(int id, double shownMs) {
    const int redMode = m_nTargetEye != 0 ? FACE_EYE1_RED : FACE_EYE0_RED;
    switch (id) {
        case TIMER_RED_END:
            if (m_nState != STATE_BLINK_DEMO) {
                return UnexpectedTimer(id);
            }
            m_nFaceMode = FACE_PLAIN;
            TakeDrawn(Scene());
            m_host.Trace("white", shownMs);
            m_host.SetFrameTimer(TIMER_WHITE_END, NonNegative(m_experiment.m_nBlinkWhite),
                                 FRAME_RED, SceneWith(redMode));
            return;
        case TIMER_WHITE_END:
            if (m_nState != STATE_BLINK_DEMO) {
                return UnexpectedTimer(id);
            }
            m_nFaceMode = redMode;
            TakeDrawn(Scene());
            m_host.Trace("red", shownMs);
            m_host.SetFrameTimer(TIMER_RED_END, NonNegative(m_experiment.m_nBlinkRed), FRAME_WHITE,
                                 SceneWith(FACE_PLAIN));
            return;
        case TIMER_TRIAL:
            if (m_nState == STATE_WAIT_BEEP) {
                return BeepThenAwaitFace();
            }
            if (m_nState == STATE_WAIT_FACE) {
                return FaceOnset(shownMs);
            }
            return UnexpectedTimer(id);
        default: return;
    }
}

void COrviView::BeepThenAwaitFace() {
    m_host.Trace("beep_start", m_host.NowMs());
    m_sound.beep(kBeepFrequencyHz, NonNegative(m_experiment.m_nBeepLength));
    m_host.Trace("beep_end", m_host.NowMs());
    m_nState = STATE_WAIT_FACE;
    // Handed now, the face can be drawn during the face delay and only has to be shown at the
    // onset.
    SceneState onset = SceneWith(FACE_PLAIN);
    onset.redrawFace = 1;
    m_host.SetFrameTimer(TIMER_TRIAL, NonNegative(m_experiment.m_nFaceDelay), FRAME_FACE, onset);
}

void COrviView::FaceOnset(double shownMs) {
    m_nFaceMode = FACE_PLAIN;
    m_bRedrawFace = 1;
    TakeDrawn(Scene());
    PlayCue(m_nTargetEye);
    m_nState = STATE_WAIT_RESPONSE;
    // The reaction time counts from the moment the face reached the display.
    m_clkOnset = shownMs;
    m_host.Trace("onset", m_clkOnset);
}

void COrviView::UnexpectedTimer(int id) {
    static const char* const kTexts[] = {"", "これが表示されたら異常(1)",
                                         "これが表示されたら異常(2)", "これが表示されたら異常(3)"};
    m_host.ShowMessage(kTexts[id]);
    if (id != TIMER_TRIAL) {
        m_host.Invalidate(false);
    }
}

bool COrviView::HitsEye(int eye, int x, int y) const {
    const double dx = static_cast<double>(m_nEyeX[eye]) - x;
    const double dy = static_cast<double>(m_nEyeY[eye]) - y;
    return std::sqrt(dx * dx + dy * dy) < m_nEyeRadius;
}

void COrviView::OnLButtonDown(int x, int y) {
    switch (m_nState) {
        case STATE_WAIT_RESPONSE: return TakeResponse(x, y);
        case STATE_BLINK_DEMO:
            if (!HitsEye(m_nTargetEye, x, y)) {
                return;
            }
            m_host.KillTimer(TIMER_RED_END);
            m_host.KillTimer(TIMER_WHITE_END);
            StopCues();
            m_nState = STATE_IDLE;
            m_nFaceMode = FACE_PLAIN;
            m_host.Invalidate(false);
            return;
        case STATE_SOUND_DEMO:
            if (!HitsEye(m_nTargetEye, x, y)) {
                return;
            }
            StopCues();
            m_nState = STATE_IDLE;
            return;
        default: return;
    }
}

void COrviView::TakeResponse(int x, int y) {
    m_clkResponse = m_host.InputTimeMs();
    m_experiment.m_dReactionTime = m_clkResponse - m_clkOnset;
    StopCues();
    m_host.Trace("cue_first_sample", m_sound.lastCueStartMs());
    m_host.Trace("click", m_clkResponse);
    m_experiment.m_nResponse = -1;
    for (int eye = 0; eye < 2; ++eye) {
        if (HitsEye(eye, x, y)) {
            m_experiment.m_nResponse = eye;
            break;
        }
    }
    m_nFeedback = m_experiment.m_nResponse == -1 ? FEEDBACK_NG : FEEDBACK_OK;
    FinishTrial();
}

void COrviView::FinishTrial() {
    m_experiment.RecordTrial();
    m_clkResponse = 0;
    m_clkOnset = 0;
    m_nState = STATE_IDLE;
    if (m_experiment.AdvanceSchedule() <= 0) {
        m_nState = STATE_FINISHED;
    }
    m_nFaceMode = FACE_NONE;
    ShowStimulus(FRAME_BLANK);
}

int COrviView::OnMciNotify(int code) {
    // A report that was already on its way when the cue was stopped must not restart it.
    const bool cueShouldLoop = m_nState == STATE_BLINK_DEMO || m_nState == STATE_SOUND_DEMO ||
                               m_nState == STATE_WAIT_RESPONSE;
    if (code == SoundDevice::kNotifySuccessful && cueShouldLoop) {
        PlayCue(m_nTargetEye);
    }
    return 1;
}

int COrviView::IdleOrFinished() const {
    return m_experiment.m_nPos < kItemCount ? STATE_IDLE : STATE_FINISHED;
}

bool COrviView::OnSetCursor() {
    const bool blank = m_experiment.m_nHideCursor != 0;
    m_host.SetBlankCursor(blank);
    return blank;
}

int COrviView::CueIndex(int eye) const { return CueIndexFor(eye, m_experiment.m_nSwapSides); }

void COrviView::OpenCues() {
    m_sound.sendCommand(std::string("open ") + kCueFiles[0] + " alias left");
    m_sound.sendCommand(std::string("open ") + kCueFiles[1] + " alias right");
}

void COrviView::PlayCue(int eye) { m_sound.sendCommand(kCueCommands[CueIndex(eye)]); }

void COrviView::StopCues() { m_sound.sendCommand("stop all"); }

void COrviView::CloseCues() { m_sound.sendCommand("close all"); }

SceneState COrviView::Scene() const {
    SceneState scene{};
    scene.faceMode = m_nFaceMode;
    scene.redrawFace = m_bRedrawFace;
    scene.viewpoint = m_nViewpoint;
    scene.feedback = m_nFeedback;
    scene.trials = m_experiment.m_nTrials;
    scene.pos = m_experiment.m_nPos;
    for (int eye = 0; eye < 2; ++eye) {
        scene.eyeX[eye] = m_nEyeX[eye];
        scene.eyeY[eye] = m_nEyeY[eye];
    }
    scene.eyeRadius = m_nEyeRadius;
    return scene;
}

SceneState COrviView::SceneWith(int faceMode) const {
    SceneState scene = Scene();
    scene.faceMode = faceMode;
    return scene;
}

void COrviView::ShowStimulus(int what) {
    const SceneState scene = Scene();
    m_host.ShowFrame(what, scene);
    TakeDrawn(scene);
}

void COrviView::TakeDrawn(const SceneState& scene) {
    SceneState drawn = scene;
    FaceRenderer::Settle(m_viewWidth, m_viewHeight, drawn);
    m_bRedrawFace = drawn.redrawFace;
    for (int eye = 0; eye < 2; ++eye) {
        m_nEyeX[eye] = drawn.eyeX[eye];
        m_nEyeY[eye] = drawn.eyeY[eye];
    }
    m_nEyeRadius = drawn.eyeRadius;
}

void COrviView::DrawScene(Canvas& canvas) {
    // A view of another size holds nothing of the face drawn before.
    if (canvas.width() != m_viewWidth || canvas.height() != m_viewHeight) {
        m_bRedrawFace = 1;
    }
    m_viewWidth = canvas.width();
    m_viewHeight = canvas.height();
    SceneState scene = Scene();
    FaceRenderer::Draw(canvas, scene);
    TakeDrawn(scene);
}
