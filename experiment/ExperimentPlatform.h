#pragma once

#include <ctime>
#include <string>

// The platform services the bookkeeping needs: the program's own path, the calendar clock,
// the record-file dialog, message boxes and the end of the process. Texts are UTF-8.
enum class MessageIcon { Information, Stop, Question };

class ExperimentPlatform {
  public:
    virtual ~ExperimentPlatform() = default;

    // Full path of the running program; empty when it cannot be obtained.
    virtual std::string programPath() = 0;

    // Calendar time in seconds; seeds the generator and dates the record-file markers.
    virtual std::time_t calendarTime() = 0;

    // Modal open-mode file dialog for the record file (a new name may be typed).
    // True with the full path when a file was chosen, false when the dialog was cancelled.
    virtual bool chooseRecordFile(std::string& path) = 0;

    // Yes/no question without owner window; true for yes.
    virtual bool askYesNo(const std::string& text, const std::string& caption) = 0;

    // Application message box with an OK button.
    virtual void showMessage(const std::string& text, MessageIcon icon) = 0;

    // Ends the process with the given exit code.
    [[noreturn]] virtual void exitProcess(int code) = 0;
};
