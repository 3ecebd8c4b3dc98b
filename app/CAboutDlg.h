#pragma once

#include <QDialog>

// Version box. The program keeps it for completeness; no key opens it.
class CAboutDlg : public QDialog {
    Q_OBJECT
  public:
    explicit CAboutDlg(const QIcon& icon, QWidget* parent = nullptr);
};
