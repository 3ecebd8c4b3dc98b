#pragma once

#include <ctime>
#include <deque>
#include <string>
#include <vector>

#include "ExperimentPlatform.h"

// 2023-11-14 22:13:20 UTC, a Tuesday.
constexpr std::time_t kT0 = 1700000000;

// What the fake platform throws instead of ending the process.
struct ProcessExit {
    int code;
};

// Answers the dialogs from a script and logs the messages ("stop text", "information text",
// "exit 1").
class FakePlatform : public ExperimentPlatform {
  public:
    std::string program;  // empty: no settings file
    std::time_t now = kT0;
    std::deque<std::string> choices;  // the record-file dialog's answers; "" or none left cancels
    int noes = 0;                     // how many continue questions are answered no before a yes
    std::vector<std::string> questions;  // "text|caption"
    std::vector<std::string> messages;
    bool realExit = false;  // end the process for real (death tests), messages to stderr

    std::string programPath() override { return program; }
    std::time_t calendarTime() override { return now; }
    bool chooseRecordFile(std::string& path) override;
    bool askYesNo(const std::string& text, const std::string& caption) override;
    void showMessage(const std::string& text, MessageIcon icon) override;
    [[noreturn]] void exitProcess(int code) override;
};
