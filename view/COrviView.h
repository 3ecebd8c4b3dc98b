#pragma once

#include "CExperiment.h"

class Canvas;
struct SceneState;
class SoundDevice;
class ViewHost;

// The trial controller: turns operator commands, timers, presses and cue notifications into
// the course of trials and practice demonstrations, and says what the renderer paints.
class COrviView {
  public:
    static constexpr int kBeepFrequencyHz = 2048;
    static constexpr int kFirstRedPhaseMs = 500;

    // Reads or creates the settings, opens the cues and starts the first run. A run that gets
    // no record file ends the process inside.
    COrviView(ViewHost& host, SoundDevice& sound, ExperimentPlatform& platform, FileSystem& files);
    virtual ~COrviView();
    COrviView(const COrviView&) = delete;
    COrviView& operator=(const COrviView&) = delete;

    // Operator commands.
    void OnDemoBlink();
    void OnDemoSound();
    void OnTrialStart();
    void OnTrialCancel();
    void OnRedrawFace();

    void OnTimer(int id);
    // A frame handed with SetFrameTimer(id, ...) is on the display since onsetMs.
    void OnFrameShown(int id, double onsetMs);
    // Left-button press at (x, y) in device pixels of the view.
    void OnLButtonDown(int x, int y);
    // Completion report of the cue device.
    int OnMciNotify(int code);
    // True when the view shows the blank cursor.
    bool OnSetCursor();

    void DrawScene(Canvas& canvas);
    // What a paint would draw now.
    SceneState Scene() const;

    // Cues.
    void OpenCues();
    void PlayCue(int eye);
    void StopCues();
    void CloseCues();
    int CueIndex(int eye) const;

    int m_nFaceMode;
    int m_bRedrawFace;
    int m_nState;
    int m_nFeedback;
    int m_nTargetEye;
    int m_nViewpoint;
    int m_nCancelDepth;
    int m_nEyeX[2] = {0, 0};
    int m_nEyeY[2] = {0, 0};
    int m_nEyeRadius = 0;
    CExperiment m_experiment;
    double m_clkOnset;     // monotonic ms at the face onset; 0 outside a trial
    double m_clkResponse;  // monotonic ms at the response press; 0 outside a trial

  private:
    // The timer's work; shownMs is when the frame it brings reached the display.
    void Advance(int id, double shownMs);
    // The trial timer in STATE_WAIT_BEEP: beeps and hands over the face for its onset.
    void BeepThenAwaitFace();
    // The trial timer in STATE_WAIT_FACE: the face is on the display since shownMs.
    void FaceOnset(double shownMs);
    // STATE_IDLE, or STATE_FINISHED when the run has no item left.
    int IdleOrFinished() const;
    // Hands the host the scene as it is now, to show at once as frame `what`.
    void ShowStimulus(int what);
    // The scene with another face mode, as the next frame of the blink practice.
    SceneState SceneWith(int faceMode) const;
    // Takes what a drawn scene leaves behind: the face counts as drawn, the eyes placed.
    void TakeDrawn(const SceneState& drawn);
    // The press at (x, y) answers the trial: records it and blanks the face.
    void TakeResponse(int x, int y);
    void FinishTrial();
    void ResetViewpointForDemo();
    bool HitsEye(int eye, int x, int y) const;
    void UnexpectedTimer(int id);

    ViewHost& m_host;
    SoundDevice& m_sound;
    // The size of the view at the latest paint: frames the host draws come out at this size.
    int m_viewWidth = 0, m_viewHeight = 0;
};
