#pragma once

#include <gtest/gtest.h>

#include <array>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <deque>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <stdexcept>
#include <string>
#include <vector>

#include "CExperiment.h"
#include "PosixFileSystem.h"

namespace fs = std::filesystem;

// 2023-11-14 22:13:20 UTC, a Tuesday. Markers carry local time: pinned to UTC.
constexpr std::time_t kT0 = 1700000000;
inline const bool kUtc = (setenv("TZ", "UTC0", 1), tzset(), true);

using Lines = std::vector<std::string>;
const char kMsgWrite[] = "stop 記録ファイルに書き込めません。終了します。";
const char kMsgTemp[] =
    "stop 一時ファイルが削除または作成できないため取り消しできません。\n"
    "拡張子が$$$のファイルを削除してから再起動してください。";

// What the fake platform throws instead of ending the process.
struct ProcessExit {};

// Answers the dialogs from a script (an unexpected file dialog throws) and logs the messages.
class FakePlatform : public ExperimentPlatform {
  public:
    std::string program;  // empty: no settings file
    std::time_t now = kT0;
    std::deque<std::string> choices;     // answers of the record-file dialog; "" cancels it
    int noes = 0;                        // how many continue questions are answered no before a yes
    std::vector<std::string> questions;  // "text|caption"
    std::vector<std::string> messages;   // "stop text", "information text", "exit 1"
    bool realExit = false;  // end the process for real (death tests), messages to stderr

    std::string programPath() override { return program; }
    std::time_t calendarTime() override { return now; }
    bool chooseRecordFile(std::string& path) override {
        path = choices.at(0);
        choices.pop_front();
        return !path.empty();
    }
    bool askYesNo(const std::string& text, const std::string& caption) override {
        questions.push_back(text + "|" + caption);
        return noes-- <= 0;
    }
    void showMessage(const std::string& text, MessageIcon icon) override {
        messages.push_back((icon == MessageIcon::Stop ? "stop " : "information ") + text);
        if (realExit) std::fprintf(stderr, "%s\n", messages.back().c_str());
    }
    [[noreturn]] void exitProcess(int code) override {
        if (realExit) std::exit(code);
        messages.push_back("exit " + std::to_string(code));
        throw ProcessExit{};
    }
};

// A fresh folder under /tmp, or another parent such as /dev/shm for large files that must not
// wait for a disk, removed with its content.
struct TempDir {
    explicit TempDir(const std::string& parent = "/tmp") : path(parent + "/orvi-exp-XXXXXX") {
        if (!mkdtemp(path.data())) throw std::runtime_error(path);
    }
    ~TempDir() { fs::remove_all(path); }
    TempDir(const TempDir&) = delete;
    std::string operator/(const std::string& name) const { return path + "/" + name; }
    std::string path;
};

// Real files, every operation logged ("read", "open:<path>", "append", ...) and the one at
// index failAt made to fail; a failed folder sync reports syncError.
class FailingFileSystem : public PosixFileSystem {
    using Real = PosixFileSystem;
    using Path = const std::string&;

    struct Stream : RecordStream {
        Stream(FailingFileSystem& f, RecordStream* r) : files(f), real(r) {}
        bool append(Path bytes) override { return files.Next("append") && real->append(bytes); }
        bool write(std::string_view b) override { return files.Next("write") && real->write(b); }
        bool sync() override { return files.Next("sync") && real->sync(); }
        bool tryLock() override { return files.Next("lock") && real->tryLock(); }
        bool isAt(Path p) override { return files.Next("check") && real->isAt(p); }
        bool permissions(Permissions& out) override { return real->permissions(out); }
        bool setPermissions(const Permissions& p) override {
            return files.Next("chmod") && real->setPermissions(p);
        }
        bool close() override { return real->close(); }
        FailingFileSystem& files;
        std::unique_ptr<RecordStream> real;
    };
    std::unique_ptr<RecordStream> Wrap(std::unique_ptr<RecordStream> real) {
        return real ? std::make_unique<Stream>(*this, real.release()) : nullptr;
    }

  public:
    int failAt = -1;
    int syncError = EIO;
    std::vector<std::string> log;

    bool Next(Path what) {
        log.push_back(what);
        return static_cast<int>(log.size()) - 1 != failAt;
    }
    Opened openForReading(Path p) override {
        return Next("read") ? Real::openForReading(p) : Opened{Opened::Result::Error, {}, "EIO"};
    }
    bool canOpenForReading(Path p) override { return Next("probe") && Real::canOpenForReading(p); }
    std::unique_ptr<RecordStream> open(Path p, OpenMode mode) override {
        return Next("open:" + p) ? Wrap(Real::open(p, mode)) : nullptr;
    }
    std::unique_ptr<RecordStream> createLocked(Path p) override {
        return Next("create:" + p) ? Wrap(Real::createLocked(p)) : nullptr;
    }
    bool remove(Path p) override { return Next("remove:" + p) && Real::remove(p); }
    bool rename(Path from, Path to) override { return Next("rename") && Real::rename(from, to); }
    int syncDirectory(Path p) override {
        return Next("syncdir") ? Real::syncDirectory(p) : syncError;
    }
};

template <class Files = PosixFileSystem>
class ExperimentTest : public ::testing::Test {
  protected:
    TempDir dir;
    FakePlatform platform;
    Files files;
    CExperiment e{platform, files};
};

inline std::string ReadBytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream content;
    if (!(content << in.rdbuf())) throw std::runtime_error("cannot read " + path);
    return content.str();
}

inline void WriteBytes(const std::string& path, const std::string& bytes) {
    if (!(std::ofstream(path, std::ios::binary) << bytes)) throw std::runtime_error(path);
}

inline std::string DataFile(const std::string& name) {
    return ReadBytes(std::string(ORVI_TEST_DATA) + "/" + name);
}

// A marker line: "### <kind> : <asctime text>" and the line end.
inline std::string Marker(const char* kind, std::time_t t, const char* lineEnd = "\n") {
    char text[64];
    std::strftime(text, sizeof text, "%a %b %e %H:%M:%S %Y", std::gmtime(&t));
    return std::string("### ") + kind + " : " + text + lineEnd;
}

// The six values of the settings file.
using Values = std::array<int, 6>;
const Values kDefaults = {1000, 1000, 1000, 500, 500, 1};
inline Values SettingsOf(const CExperiment& x) {
    return {x.m_nBeepDelay,  x.m_nBeepLength, x.m_nFaceDelay,
            x.m_nBlinkWhite, x.m_nBlinkRed,   x.m_nHideCursor};
}

// Makes one trial: the click's eye (-1 none) and reaction time, stored and advanced.
inline int Play(CExperiment& experiment, int response, double reactionTime) {
    experiment.m_nResponse = response, experiment.m_dReactionTime = reactionTime;
    experiment.RecordTrial();
    return experiment.AdvanceSchedule();
}

// Chooses the path in the dialog and starts the run.
inline void StartRunOn(CExperiment& experiment, FakePlatform& platform, const std::string& path) {
    platform.choices.push_back(path);
    experiment.StartRun();
}
