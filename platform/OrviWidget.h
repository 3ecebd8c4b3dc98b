#pragma once

#include <QWidget>
#include <memory>
#include <vector>

#include "FaceRenderer.h"
#include "PreciseTimer.h"
#include "TimingTrace.h"
#include "ViewHost.h"

class COrviView;
class ExperimentPlatform;
class FileSystem;
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
    void PaintNow() override;
    void PrepareFrame(const SceneState& next, int timerId) override;
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

  private:
    struct ServerFrame;
    class PressClock;

    QSize deviceSize() const;
    void renderIfDirty();
    void paintChanges();
    void flushToDisplay();
    bool uploadServerFrame();
    bool showServerFrame();

    std::unique_ptr<QImageCanvas> m_canvas;
    // A frame drawn ahead (PrepareFrame): the scene it was asked for, what drawing handed back,
    // and its copy in the X server when there is one.
    std::unique_ptr<QImageCanvas> m_staged;
    SceneState m_stagedFor{};
    SceneState m_stagedDrawn{};
    bool m_hasStaged = false;
    // How long the latest shows of a staged frame took to reach the display, newest last.
    std::vector<double> m_showTimesMs;
    std::unique_ptr<ServerFrame> m_serverFrame;
    // When presses reach the program, and the one being handled (-1: none).
    std::unique_ptr<PressClock> m_pressClock;
    double m_pressMs = -1;
    std::unique_ptr<PreciseTimer> m_timers[4];
    TimingTrace m_trace;
    bool m_dirty = true;
    bool m_erase = false;
    bool m_changesPosted = false;
    std::unique_ptr<COrviView> m_view;  // last: it calls back into the members above
};
