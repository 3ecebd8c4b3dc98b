#pragma once

#include <QWidget>

class OrviWidget;

// One borderless window over the whole screen, with the view filling it.
class CMainFrame : public QWidget {
    Q_OBJECT
  public:
    explicit CMainFrame(OrviWidget* view);
    void ShowOverScreen();

  private:
    OrviWidget* m_view;
};
