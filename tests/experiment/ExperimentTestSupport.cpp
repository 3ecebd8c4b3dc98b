#include "ExperimentTestSupport.h"

#include <sys/stat.h>

#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <sstream>
#include <stdexcept>

#include "RecordStream.h"

namespace {

// Markers carry local time; pin it so that expected files can be written down.
const bool kUtc = [] {
    setenv("TZ", "UTC0", 1);
    tzset();
    return true;
}();

class FailingStream : public RecordStream {
  public:
    FailingStream(FailingFileSystem& files, std::unique_ptr<RecordStream> real)
        : m_files(files), m_real(std::move(real)) {}
    bool append(const std::string& bytes) override {
        return m_files.Next("append") && m_real->append(bytes);
    }
    bool close() override { return m_real->close(); }

  private:
    FailingFileSystem& m_files;
    std::unique_ptr<RecordStream> m_real;
};

}  // namespace

bool FakePlatform::chooseRecordFile(std::string& path) {
    if (choices.empty()) {
        throw std::logic_error("unexpected record-file dialog");
    }
    const std::optional<std::string> choice = choices.front();
    choices.pop_front();
    if (!choice) {
        return false;
    }
    path = *choice;
    return true;
}

bool FakePlatform::askYesNo(const std::string& text, const std::string& caption) {
    questions.push_back(text + "|" + caption);
    if (answers.empty()) {
        throw std::logic_error("unexpected question");
    }
    const bool answer = answers.front();
    answers.pop_front();
    return answer;
}

void FakePlatform::showMessage(const std::string& text, MessageIcon icon) {
    messages.emplace_back(text, icon);
    if (realExit) {
        std::fprintf(stderr, "%s [%s]\n", text.c_str(),
                     icon == MessageIcon::Stop ? "stop" : "information");
    }
}

void FakePlatform::exitProcess(int code) {
    if (realExit) {
        std::exit(code);
    }
    throw ProcessExit{code};
}

TempDir::TempDir() {
    char name[] = "/tmp/orvi-exp-XXXXXX";
    if (mkdtemp(name) == nullptr) {
        throw std::runtime_error("mkdtemp failed");
    }
    m_path = name;
}

TempDir::~TempDir() {
    std::error_code ignored;
    std::filesystem::remove_all(m_path, ignored);
}

bool FailingFileSystem::Next(const std::string& what) {
    log.push_back(what);
    return static_cast<int>(log.size()) - 1 != failAt;
}

FileSystem::ReadResult FailingFileSystem::readFile(const std::string& path, std::string& content) {
    if (!Next("read")) {
        return ReadResult::Error;
    }
    return m_real.readFile(path, content);
}

bool FailingFileSystem::canOpenForReading(const std::string& path) {
    return Next("probe") && m_real.canOpenForReading(path);
}

std::unique_ptr<RecordStream> FailingFileSystem::open(const std::string& path, OpenMode mode) {
    static const char* const kModes[] = {"append", "create", "truncate"};
    if (!Next(std::string("open-") + kModes[static_cast<int>(mode)] + ":" + path)) {
        return nullptr;
    }
    std::unique_ptr<RecordStream> real = m_real.open(path, mode);
    if (!real) {
        return nullptr;
    }
    return std::make_unique<FailingStream>(*this, std::move(real));
}

bool FailingFileSystem::remove(const std::string& path) {
    return Next("remove:" + path) && m_real.remove(path);
}

bool FailingFileSystem::rename(const std::string& from, const std::string& to) {
    return Next("rename") && m_real.rename(from, to);
}

bool FailingFileSystem::syncDirectory(const std::string& path) {
    return Next("syncdir") && m_real.syncDirectory(path);
}

std::string ReadBytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        throw std::runtime_error("cannot read " + path);
    }
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

void WriteBytes(const std::string& path, const std::string& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << bytes;
    if (!out.flush()) {
        throw std::runtime_error("cannot write " + path);
    }
}

bool Exists(const std::string& path) {
    struct stat info;
    return ::stat(path.c_str(), &info) == 0;
}

std::string DataFile(const std::string& name) {
    return ReadBytes(std::string(ORVI_TEST_DATA) + "/" + name);
}

int Play(CExperiment& experiment, int response, double reactionTime) {
    experiment.m_nResponse = response;
    experiment.m_dReactionTime = reactionTime;
    experiment.RecordTrial();
    return experiment.AdvanceSchedule();
}

void StartRunOn(CExperiment& experiment, FakePlatform& platform, const std::string& path) {
    platform.choices.push_back(path);
    platform.answers.push_back(true);
    experiment.StartRun();
    platform.answers.clear();
}

std::string MarkerTime(std::time_t t) {
    char text[64];
    std::strftime(text, sizeof text, "%a %b %e %H:%M:%S %Y", std::gmtime(&t));
    return text;
}
