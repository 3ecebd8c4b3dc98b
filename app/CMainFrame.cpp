#include "CMainFrame.h"

#include <QGuiApplication>
#include <QScreen>
#include <QVBoxLayout>

#include "OrviWidget.h"

CMainFrame::CMainFrame(OrviWidget* view)
    : QWidget(nullptr, Qt::Window | Qt::FramelessWindowHint), m_view(view) {
    setWindowTitle(QStringLiteral("orvi"));
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    view->setParent(this);
    layout->addWidget(view);
    connect(view, &OrviWidget::exitRequested, this, &QWidget::close);
}

void CMainFrame::ShowOverScreen() {
    // Without a window manager showFullScreen() alone keeps the default size.
    if (QScreen* screen = QGuiApplication::primaryScreen()) {
        setGeometry(screen->geometry());
    }
    showFullScreen();
    raise();
    activateWindow();
    m_view->setFocus(Qt::OtherFocusReason);
}
