#include "QtExperimentPlatform.h"

#include <unistd.h>

#include <QApplication>
#include <QFileDialog>
#include <QMessageBox>
#include <cstdio>
#include <cstdlib>
#include <ctime>

std::string QtExperimentPlatform::programPath() {
    char buffer[4096];
    const ssize_t n = readlink("/proc/self/exe", buffer, sizeof buffer - 1);
    if (n <= 0) {
        return {};
    }
    return std::string(buffer, static_cast<size_t>(n));
}

std::time_t QtExperimentPlatform::calendarTime() { return std::time(nullptr); }

bool QtExperimentPlatform::chooseRecordFile(std::string& path) {
    // Open mode, but a new name may be typed: the run starts a new file then.
    QFileDialog dialog(QApplication::activeWindow());
    dialog.setAcceptMode(QFileDialog::AcceptOpen);
    dialog.setFileMode(QFileDialog::AnyFile);
    dialog.setOption(QFileDialog::DontUseNativeDialog);
    dialog.setDefaultSuffix(QStringLiteral("txt"));
    dialog.setNameFilters({QStringLiteral("テキストファイル(*.txt)"), QStringLiteral("全て(*)")});
    dialog.setWindowTitle(QStringLiteral("開く"));
    if (dialog.exec() != QDialog::Accepted) {
        return false;
    }
    const QStringList chosen = dialog.selectedFiles();
    if (chosen.isEmpty()) {
        return false;
    }
    path = QFile::encodeName(chosen.first()).toStdString();
    return true;
}

bool QtExperimentPlatform::askYesNo(const std::string& text, const std::string& caption) {
    QMessageBox box(QMessageBox::Question, QString::fromStdString(caption),
                    QString::fromStdString(text), QMessageBox::Yes | QMessageBox::No,
                    QApplication::activeWindow());
    return box.exec() == QMessageBox::Yes;
}

void QtExperimentPlatform::showMessage(const std::string& text, MessageIcon icon) {
    const QMessageBox::Icon qtIcon = icon == MessageIcon::Stop       ? QMessageBox::Critical
                                     : icon == MessageIcon::Question ? QMessageBox::Question
                                                                     : QMessageBox::Information;
    QMessageBox box(qtIcon, QStringLiteral("orvi"), QString::fromStdString(text), QMessageBox::Ok,
                    QApplication::activeWindow());
    box.exec();
}

void QtExperimentPlatform::exitProcess(int code) {
    std::fflush(nullptr);
    std::exit(code);
}
