#pragma once

#include <ctime>
#include <deque>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "CExperiment.h"
#include "ExperimentPlatform.h"
#include "FileSystem.h"
#include "PosixFileSystem.h"

// 2023-11-14 22:13:20 UTC, a Tuesday; the tests run with TZ=UTC0.
constexpr std::time_t kT0 = 1700000000;

// What the fake platform throws instead of ending the process.
struct ProcessExit {
    int code;
};

class FakePlatform : public ExperimentPlatform {
  public:
    std::string program;  // empty: no settings file
    std::time_t now = kT0;
    std::deque<std::optional<std::string>> choices;  // nullopt cancels the dialog
    std::deque<bool> answers;
    std::vector<std::string> questions;  // "text|caption"
    std::vector<std::pair<std::string, MessageIcon>> messages;
    bool realExit = false;  // end the process for real (death tests): message to stderr

    std::string programPath() override { return program; }
    std::time_t calendarTime() override { return now; }
    bool chooseRecordFile(std::string& path) override;
    bool askYesNo(const std::string& text, const std::string& caption) override;
    void showMessage(const std::string& text, MessageIcon icon) override;
    [[noreturn]] void exitProcess(int code) override;
};

// A folder under /tmp, removed with its content.
class TempDir {
  public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;
    std::string operator/(const std::string& name) const { return m_path + "/" + name; }
    const std::string& path() const { return m_path; }

  private:
    std::string m_path;
};

// Real files, with every operation logged and any one of them made to fail.
class FailingFileSystem : public FileSystem {
  public:
    int failAt = -1;               // index of the operation that fails, -1 for none
    std::vector<std::string> log;  // one entry per operation, e.g. "append", "rename"

    ReadResult readFile(const std::string& path, std::string& content) override;
    bool canOpenForReading(const std::string& path) override;
    std::unique_ptr<RecordStream> open(const std::string& path, OpenMode mode) override;
    bool remove(const std::string& path) override;
    bool rename(const std::string& from, const std::string& to) override;
    bool syncDirectory(const std::string& path) override;

    // Logs the operation; false when it is the one to fail.
    bool Next(const std::string& what);

  private:
    PosixFileSystem m_real;
};

std::string ReadBytes(const std::string& path);
void WriteBytes(const std::string& path, const std::string& bytes);
bool Exists(const std::string& path);
std::string DataFile(const std::string& name);

// Makes one trial: the click's eye (-1 none) and reaction time, stored and advanced.
int Play(CExperiment& experiment, int response, double reactionTime);

// Chooses the path in the dialog, answers yes if asked to continue, and starts the run.
void StartRunOn(CExperiment& experiment, FakePlatform& platform, const std::string& path);

// Runs a call that must end the process through the fake platform: "<code> <icon> <message>",
// or "no exit".
template <class Call>
std::string Ending(FakePlatform& platform, Call call) {
    platform.messages.clear();
    try {
        call();
    } catch (const ProcessExit& exit) {
        std::string text = std::to_string(exit.code);
        for (const auto& [message, icon] : platform.messages) {
            text += (icon == MessageIcon::Stop ? " stop " : " information ") + message;
        }
        return text;
    }
    return "no exit";
}

// The asctime text of a marker line for a given time, e.g. "Tue Nov 14 22:13:20 2023".
std::string MarkerTime(std::time_t t);
