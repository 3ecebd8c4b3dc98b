#pragma once

#include <string>

#include "ExperimentPlatform.h"

// A program that lives in one folder and never gets as far as a run: the bookkeeping asks it
// for the program's path, to find the settings file, and for nothing else.
class FolderPlatform : public ExperimentPlatform {
  public:
    explicit FolderPlatform(std::string program) : m_program(std::move(program)) {}
    std::string programPath() override { return m_program; }
    std::time_t calendarTime() override { return 0; }
    bool chooseRecordFile(std::string&) override { return false; }
    bool askYesNo(const std::string&, const std::string&) override { return false; }
    void showMessage(const std::string&, MessageIcon) override {}
    [[noreturn]] void exitProcess(int code) override;

  private:
    std::string m_program;
};
