#pragma once

#include <QWidget>
#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "FaceRenderer.h"
#include "PreciseTimer.h"
#include "TimingTrace.h"
#include "ViewHost.h"

class COrviView;
class ExperimentPlatform;
class FileSystem;
class PresentSurface;
class QImageCanvas;
class SoundDevice;

// The view's window: forwards keys, presses and paints to the controller and gives it timers,
// repaints, message boxes and the clock. Paints go to a persistent framebuffer in device pixels
// that exposes are copied from.
class OrviWidget : public QWidget, public ViewHost {
    Q_OBJECT
  public:
    OrviWidget(SoundDevice& sound, ExperimentPlatform& platform, FileSystem& files,
               QWidget* parent = nullptr);
    ~OrviWidget() override;

    COrviView& view() { return *m_view; }

    // ViewHost
    void SetTimer(int id, int delayMs) override;
    void KillTimer(int id) override;
    void Invalidate(bool erase) override;
    void ShowFrame(int what, const SceneState& scene) override;
    void SetFrameTimer(int id, int delayMs, int what, const SceneState& scene) override;
    void ShowMessage(const std::string& text) override;
    void SetBlankCursor(bool blank) override;
    double NowMs() override;
    double InputTimeMs() override;
    void Trace(const char* event, double ms) override;

  signals:
    void exitRequested();

  protected:
    void keyPressEvent(QKeyEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
    bool focusNextPrevChild(bool next) override;
    void showEvent(QShowEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

  private:
    struct ServerFrame;
    class PressClock;
    // A stimulus frame handed to the display and not shown yet.
    struct Stimulus {
        int what;
        int timerId;  // 0: shown at once
        int trial;
        std::unique_ptr<QImageCanvas> canvas;
    };

    QSize deviceSize() const;
    QRect deviceArea() const;  // in the top-level window
    void renderIfDirty();
    void paintChanges();
    void flushToDisplay();
    void repaintChanges(const QRegion& changes);
    void paintOver(const SceneState& scene);
    bool uploadServerFrame();
    bool showServerFrame();
    void showStaged();
    void timerFired(int id);
    void scheduleStimulus(int id, int delayMs, int what, const SceneState& scene);
    void stageFrame(int id, const SceneState& scene);
    void withdrawFrame(int id);
    // The scene drawn whole over a copy of the picture of record.
    std::unique_ptr<QImageCanvas> drawFrame(const SceneState& scene);
    void openPresent();
    void connectPresent();
    void present();
    void frameShown(std::uint32_t serial, double onsetMs, std::uint64_t target, std::uint64_t msc,
                    const char* mode, bool missed);
    void reportMissed(double onsetMs, int what, int trial, std::uint64_t target, std::uint64_t msc,
                      const char* mode);
    void tellDisplayPath(const std::string& path, bool vblank);

    std::unique_ptr<QImageCanvas> m_canvas;
    // The old path's frame drawn ahead for a frame timer, and its copy in the X server.
    std::unique_ptr<QImageCanvas> m_staged;
    int m_stagedTimer = 0;
    // Frame timers of the old path: what they show.
    struct TimedFrame {
        bool active = false;
        int what = 0;
        SceneState scene{};
    };
    TimedFrame m_timedFrames[4];
    // How long the latest shows of a staged frame took to reach the display, newest last.
    std::vector<double> m_showTimesMs;
    std::unique_ptr<ServerFrame> m_serverFrame;
    // When presses reach the program, and the one being handled (-1: none).
    std::unique_ptr<PressClock> m_pressClock;
    double m_pressMs = -1;
    std::unique_ptr<PreciseTimer> m_timers[4];
    TimingTrace m_trace;
    // Stimulus frames on the vertical blank; null on the old path.
    std::unique_ptr<PresentSurface> m_present;
    bool m_presentTried = false;
    std::map<std::uint32_t, Stimulus> m_stimuli;  // by serial
    std::uint32_t m_timerSerial[4] = {0, 0, 0, 0};
    int m_missedFrames = 0;
    std::uint64_t m_shownMsc = 0;  // while a shown frame is reported: the blank it landed on
    bool m_blankCursor = false;
    bool m_dirty = true;
    bool m_erase = false;
    bool m_changesPosted = false;
    std::unique_ptr<COrviView> m_view;  // last: it calls back into the members above
};
