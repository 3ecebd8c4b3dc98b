#pragma once

#include <QApplication>
#include <QIcon>
#include <QTranslator>
#include <memory>

#include "COrviDoc.h"
#include "PosixFileSystem.h"
#include "QtExperimentPlatform.h"

class CMainFrame;
class SdlSoundDevice;

// The program: Japanese user interface, the cue device, the document, and the full-screen
// frame with its view. Members are destroyed in reverse: the frame (and with it the view,
// which closes the cues) goes before the sound device.
class COrviApp {
  public:
    COrviApp(int& argc, char** argv);
    ~COrviApp();

    // Builds the frame and view (which starts the first run) and shows them.
    bool InitInstance();
    int Run();
    void OnAbout();

  private:
    // Before the record-file dialog: says on stderr and in one message box which cue cannot
    // sound, then goes on as before.
    void WarnOfSilentCues();

    QApplication m_app;
    QTranslator m_translator;
    QIcon m_icon;
    PosixFileSystem m_files;
    QtExperimentPlatform m_platform;
    std::unique_ptr<SdlSoundDevice> m_sound;
    COrviDoc m_doc;
    std::unique_ptr<CMainFrame> m_frame;
};
