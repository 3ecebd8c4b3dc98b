#pragma once
// Shared by the fuzz harnesses: a check that stops the run, a reader of the fuzzer's bytes, the
// C library's answers to compare with, and real files in memory that can fail on demand.

#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <string_view>
#include <vector>

#include "ExperimentPlatform.h"
#include "PosixFileSystem.h"

// A finding: print what was expected and stop, so that libFuzzer keeps the input.
#define FUZZ_CHECK(cond, ...)                                                             \
    do {                                                                                  \
        if (!(cond)) {                                                                    \
            std::fprintf(stderr, "%s:%d: check failed: %s\n", __FILE__, __LINE__, #cond); \
            std::fprintf(stderr, __VA_ARGS__);                                            \
            std::fputc('\n', stderr);                                                     \
            std::abort();                                                                 \
        }                                                                                 \
    } while (0)

// Control values come from the end of the input, so that a plain file given as a seed is still
// mostly content.
struct FuzzInput {
    FuzzInput(const std::uint8_t* data, std::size_t size)
        : rest(reinterpret_cast<const char*>(data), size) {}
    std::uint8_t byte() {
        if (rest.empty()) return 0;
        const auto last = static_cast<std::uint8_t>(rest.back());
        rest.remove_suffix(1);
        return last;
    }
    std::string_view rest;
};

// The pieces fgets() reads with a buffer of `size` bytes from a stream that turns CR LF into one
// line end, as a text stream on the original system does: each piece's characters, with "\n"
// when it ends its line.
inline std::vector<std::string> FgetsPieces(std::string_view content, int size) {
    std::string text;
    for (std::size_t i = 0; i < content.size(); ++i)
        if (content.substr(i, 2) != "\r\n") text += content[i];
    std::vector<std::string> pieces;
    if (text.empty()) return pieces;
    FILE* in = fmemopen(text.data(), text.size(), "r");
    FUZZ_CHECK(in != nullptr, "fmemopen");
    std::vector<char> buffer(static_cast<std::size_t>(size));
    // The length comes from the position: a piece may hold NUL bytes.
    for (long at = 0, next; std::fgets(buffer.data(), size, in) != nullptr; at = next) {
        next = std::ftell(in);
        pieces.emplace_back(buffer.data(), static_cast<std::size_t>(next - at));
    }
    std::fclose(in);
    return pieces;
}

// One field as sscanf reads it from the front of `text`: whether it converted, its value and the
// characters it took. Values the program's reader refuses by design count as no conversion:
// integers beyond 32 bits (undefined for "%d") and reals beyond the range of double.
struct ScannedField {
    bool ok = false;
    long long integer = 0;
    double real = 0.0;
    int used = 0;
};

inline ScannedField ScanField(const char* text, bool real) {
    ScannedField f;
    errno = 0;
    if (real)
        f.ok = std::sscanf(text, " %lf%n", &f.real, &f.used) == 1 &&
               !(errno == ERANGE && (f.real == 0.0 || f.real > 1e308 || f.real < -1e308));
    else
        f.ok = std::sscanf(text, " %lld%n", &f.integer, &f.used) == 1 && errno != ERANGE &&
               f.integer >= INT32_MIN && f.integer <= INT32_MAX;
    return f;
}

// Answers the record-file dialog with one path, says yes to continuing, and throws instead of
// ending the process.
struct FuzzExit {};

struct FuzzPlatform : ExperimentPlatform {
    std::string program, recordPath;  // program empty: no settings file
    std::string programPath() override { return program; }
    std::time_t calendarTime() override { return 1700000000; }
    bool chooseRecordFile(std::string& path) override { return path = recordPath, true; }
    bool askYesNo(const std::string&, const std::string&) override { return true; }
    void showMessage(const std::string&, MessageIcon) override {}
    [[noreturn]] void exitProcess(int) override { throw FuzzExit{}; }
};

// Real files in a folder of /dev/shm, emptied for each run. The operation numbered `failAt`
// (counted from 0 over every call, streams' too) fails as the system call would.
class FuzzFiles : public PosixFileSystem {
    using Path = const std::string&;
    struct Stream : RecordStream {
        Stream(FuzzFiles& f, std::unique_ptr<RecordStream> r) : files(f), real(std::move(r)) {}
        bool append(Path b) override { return files.ok() && real->append(b); }
        bool write(std::string_view b) override { return files.ok() && real->write(b); }
        bool sync() override { return files.ok() && real->sync(); }
        bool tryLock() override { return files.ok() && real->tryLock(); }
        bool isAt(Path p) override { return files.ok() && real->isAt(p); }
        bool permissions(Permissions& out) override { return files.ok() && real->permissions(out); }
        bool setPermissions(const Permissions& p) override {
            return files.ok() && real->setPermissions(p);
        }
        bool close() override {
            const bool closed = real->close();
            return files.ok() && closed;
        }
        FuzzFiles& files;
        std::unique_ptr<RecordStream> real;
    };
    std::unique_ptr<RecordStream> wrap(std::unique_ptr<RecordStream> real) {
        return real ? std::make_unique<Stream>(*this, std::move(real)) : nullptr;
    }

  public:
    FuzzFiles() {
        static const struct Dir {
            Dir() { FUZZ_CHECK(mkdtemp(path.data()), "no folder %s", path.c_str()); }
            ~Dir() { std::filesystem::remove_all(path); }
            std::string path = "/dev/shm/orvi-fuzz-XXXXXX";
        } dir;
        for (const auto& entry : std::filesystem::directory_iterator(dir.path))
            std::filesystem::remove(entry.path());
        folder = dir.path + "/";
    }
    void put(Path name, std::string_view data) const {
        std::ofstream(folder + name, std::ios::binary).write(data.data(), data.size());
    }
    std::string contentOf(Path name) const {
        std::ifstream in(folder + name, std::ios::binary);
        return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    }
    bool ok() { return operations++ != failAt; }

    std::string folder;
    int failAt = -1, operations = 0;

    Opened openForReading(Path p) override {
        return ok() ? PosixFileSystem::openForReading(p) : Opened{Opened::Result::Error, {}, "EIO"};
    }
    bool canOpenForReading(Path p) override {
        return ok() && PosixFileSystem::canOpenForReading(p);
    }
    std::unique_ptr<RecordStream> open(Path p, OpenMode mode) override {
        return ok() ? wrap(PosixFileSystem::open(p, mode)) : nullptr;
    }
    std::unique_ptr<RecordStream> createLocked(Path p) override {
        return ok() ? wrap(PosixFileSystem::createLocked(p)) : nullptr;
    }
    bool remove(Path p) override { return ok() && PosixFileSystem::remove(p); }
    bool rename(Path from, Path to) override { return ok() && PosixFileSystem::rename(from, to); }
    int syncDirectory(Path p) override { return ok() ? PosixFileSystem::syncDirectory(p) : EIO; }
};

// The harness's entry point, called by libFuzzer or by the replay of a corpus.
extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size);
