#include "COrviApp.h"

#include <QFont>
#include <QFontDatabase>
#include <QLibraryInfo>
#include <QLocale>
#include <QMessageBox>
#include <QPixmap>
#include <iostream>

#include "CAboutDlg.h"
#include "CMainFrame.h"
#include "CueCheck.h"
#include "FaceRenderer.h"
#include "MonotonicClock.h"
#include "OrviVersion.h"
#include "OrviWidget.h"
#include "QImageCanvas.h"
#include "SdlSoundDevice.h"
#include "ViewEnums.h"

namespace {

// The program's icon is its own face, upright.
QIcon FaceIcon() {
    QImageCanvas canvas(64, 64);
    SceneState scene{};
    scene.faceMode = FACE_PLAIN;
    scene.redrawFace = 1;
    scene.viewpoint = 4;
    FaceRenderer::Draw(canvas, scene);
    return QIcon(QPixmap::fromImage(canvas.image().copy(0, 0, 64, 64)));
}

}  // namespace

COrviApp::COrviApp(int& argc, char** argv) : m_app(argc, argv) {
    QApplication::setApplicationName(QStringLiteral("orvi"));
    QApplication::setApplicationVersion(QStringLiteral(ORVI_VERSION));
    QLocale::setDefault(QLocale(QLocale::Japanese, QLocale::Japan));
    if (m_translator.load(QStringLiteral("qtbase_ja"),
                          QLibraryInfo::path(QLibraryInfo::TranslationsPath))) {
        QApplication::installTranslator(&m_translator);
    }
    if (QFontDatabase::families().contains(QStringLiteral("IPAGothic"))) {
        QApplication::setFont(QFont(QStringLiteral("IPAGothic")));
    }
    m_icon = FaceIcon();
    QApplication::setWindowIcon(m_icon);
    MonotonicClock::TightenTimerSlack();
}

COrviApp::~COrviApp() {
    m_frame.reset();
    m_sound.reset();
}

bool COrviApp::InitInstance() {
    if (!m_doc.OnNewDocument()) {
        return false;
    }
    m_sound = std::make_unique<SdlSoundDevice>();
    WarnOfSilentCues();
    auto* view = new OrviWidget(*m_sound, m_platform, m_files);
    m_frame = std::make_unique<CMainFrame>(view);
    m_frame->ShowOverScreen();
    return true;
}

void COrviApp::WarnOfSilentCues() {
    const CueCheck cues(*m_sound);
    const std::vector<std::string> problems = cues.problems();
    if (problems.empty()) {
        return;
    }
    for (const std::string& problem : problems) {
        std::cerr << "orvi: " << problem << "\n";
    }
    std::cerr << "orvi: trials with a silent cue are still recorded as valid\n";
    QMessageBox box(QMessageBox::Warning, QStringLiteral("orvi"),
                    QString::fromStdString(cues.japaneseMessage()), QMessageBox::Ok);
    box.exec();
}

int COrviApp::Run() { return QApplication::exec(); }

void COrviApp::OnAbout() {
    CAboutDlg dialog(m_icon, m_frame.get());
    dialog.exec();
}
