#pragma once

#include "ExperimentPlatform.h"

// Dialogs and process services of the real program, on Qt widgets.
class QtExperimentPlatform : public ExperimentPlatform {
  public:
    std::string programPath() override;
    std::time_t calendarTime() override;
    bool chooseRecordFile(std::string& path) override;
    bool askYesNo(const std::string& text, const std::string& caption) override;
    void showMessage(const std::string& text, MessageIcon icon) override;
    [[noreturn]] void exitProcess(int code) override;
};
