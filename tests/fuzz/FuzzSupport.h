#pragma once
// Shared by the fuzz harnesses: a check that stops the run, a reader of the fuzzer's bytes, the
// C library's answers to compare with, and an in-memory file system that can fail on demand.

#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <map>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "ExperimentPlatform.h"
#include "FileSystem.h"
#include "StringByteSource.h"

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
class FuzzInput {
  public:
    FuzzInput(const std::uint8_t* data, std::size_t size)
        : m_data(reinterpret_cast<const char*>(data)), m_size(size) {}

    std::uint8_t byte() {
        if (m_size == 0) return 0;
        return static_cast<std::uint8_t>(m_data[--m_size]);
    }

    std::string_view rest() const { return {m_data, m_size}; }

  private:
    const char* m_data;
    std::size_t m_size;
};

// The pieces fgets() reads with a buffer of `size` bytes from a stream that turns CR LF into one
// line end, as a text stream on the original system does: each piece's characters, with "\n"
// when it ends its line.
inline std::vector<std::string> FgetsPieces(std::string_view content, int size) {
    std::string text;
    for (std::size_t i = 0; i < content.size(); ++i) {
        if (content[i] == '\r' && i + 1 < content.size() && content[i + 1] == '\n') continue;
        text += content[i];
    }
    std::vector<std::string> pieces;
    if (text.empty()) return pieces;
    FILE* in = fmemopen(text.data(), text.size(), "r");
    FUZZ_CHECK(in != nullptr, "fmemopen");
    std::vector<char> buffer(static_cast<std::size_t>(size));
    // The length comes from the position: a piece may hold NUL bytes.
    for (long at = 0; std::fgets(buffer.data(), size, in) != nullptr;) {
        const long next = std::ftell(in);
        pieces.emplace_back(buffer.data(), static_cast<std::size_t>(next - at));
        at = next;
    }
    std::fclose(in);
    return pieces;
}

// One field as the C library's sscanf reads it from the front of `text`: whether it converted,
// its value and the characters it took. Values the program's reader refuses by design count as
// no conversion: integers beyond 32 bits (sscanf's "%d" leaves those undefined) and reals beyond
// the range of double.
struct ScannedField {
    bool ok = false;
    long long integer = 0;
    double real = 0.0;
    int used = 0;
};

inline ScannedField ScanIntField(const char* text) {
    ScannedField f;
    errno = 0;
    f.ok = std::sscanf(text, " %lld%n", &f.integer, &f.used) == 1 && errno != ERANGE &&
           f.integer >= INT32_MIN && f.integer <= INT32_MAX;
    return f;
}

inline ScannedField ScanRealField(const char* text) {
    ScannedField f;
    errno = 0;
    f.ok = std::sscanf(text, " %lf%n", &f.real, &f.used) == 1 &&
           !(errno == ERANGE && (f.real == 0.0 || f.real > 1e308 || f.real < -1e308));
    return f;
}

// Answers the record-file dialog with one path, says yes to continuing, and throws instead of
// ending the process.
struct FuzzExit {};

class FuzzPlatform : public ExperimentPlatform {
  public:
    std::string program;  // empty: no settings file
    std::string recordPath = "/lab/s01.txt";

    std::string programPath() override { return program; }
    std::time_t calendarTime() override { return 1700000000; }
    bool chooseRecordFile(std::string& path) override {
        path = recordPath;
        return true;
    }
    bool askYesNo(const std::string&, const std::string&) override { return true; }
    void showMessage(const std::string&, MessageIcon) override {}
    [[noreturn]] void exitProcess(int) override { throw FuzzExit{}; }
};

// Files in memory. A path names a file the way a directory entry names an inode, so a stream
// keeps writing to its file after a rename or a removal, and a lock belongs to the file. The
// operation numbered `failAt` (counted from 0 over every call, streams' too) fails the way the
// system call would.
class MemoryFileSystem : public FileSystem {
  public:
    struct File {
        std::string data;
        RecordStream::Permissions permissions{0644, 1000, 1000};
        const void* lockedBy = nullptr;
    };
    std::map<std::string, std::shared_ptr<File>> files;
    int failAt = -1;
    int operations = 0;

    void put(const std::string& path, std::string data) {
        files[path] = std::make_shared<File>();
        files[path]->data = std::move(data);
    }
    std::string contentOf(const std::string& path) const {
        const auto it = files.find(path);
        return it == files.end() ? std::string() : it->second->data;
    }
    bool exists(const std::string& path) const { return files.count(path) != 0; }

    Opened openForReading(const std::string& path) override {
        if (fails()) return {Opened::Result::Error, nullptr, "injected failure"};
        const auto it = files.find(path);
        if (it == files.end()) return {Opened::Result::Missing, nullptr, "missing"};
        return {Opened::Result::Ok, std::make_unique<StringByteSource>(it->second->data), ""};
    }
    ReadResult readFile(const std::string& path, std::string& content) override {
        if (fails()) return ReadResult::Error;
        const auto it = files.find(path);
        if (it == files.end()) return ReadResult::CannotOpen;
        content = it->second->data;
        return ReadResult::Ok;
    }
    bool canOpenForReading(const std::string& path) override { return !fails() && exists(path); }
    std::unique_ptr<RecordStream> open(const std::string& path, OpenMode mode) override {
        if (fails() || (mode == OpenMode::CreateNew && exists(path))) return nullptr;
        std::shared_ptr<File>& file = files[path];
        if (!file) file = std::make_shared<File>();
        return std::make_unique<Stream>(*this, file);
    }
    std::unique_ptr<RecordStream> createLocked(const std::string& path) override {
        if (fails()) return nullptr;
        const auto it = files.find(path);
        if (it != files.end() && it->second->lockedBy != nullptr) return nullptr;
        put(path, "");
        auto stream = std::make_unique<Stream>(*this, files[path]);
        files[path]->lockedBy = stream.get();
        return stream;
    }
    bool remove(const std::string& path) override { return !fails() && files.erase(path) == 1; }
    bool rename(const std::string& from, const std::string& to) override {
        if (fails() || !exists(from)) return false;
        std::shared_ptr<File> moved = files[from];
        files.erase(from);
        files[to] = moved;
        return true;
    }
    int syncDirectory(const std::string&) override { return fails() ? EIO : 0; }
    std::string finalPath(const std::string& path) override { return path; }

  private:
    class Stream : public RecordStream {
      public:
        Stream(MemoryFileSystem& fs, std::shared_ptr<File> f) : m_fs(fs), m_file(std::move(f)) {}
        ~Stream() override { unlock(); }
        // A failed append leaves the file as it was, as the real stream promises.
        bool append(const std::string& bytes) override { return write(bytes); }
        bool write(std::string_view bytes) override {
            if (m_fs.fails()) return false;
            m_file->data += bytes;
            return true;
        }
        bool sync() override { return !m_fs.fails(); }
        bool tryLock() override {
            if (m_fs.fails() || (m_file->lockedBy != nullptr && m_file->lockedBy != this))
                return false;
            m_file->lockedBy = this;
            return true;
        }
        bool isAt(const std::string& path) override {
            const auto it = m_fs.files.find(path);
            return !m_fs.fails() && it != m_fs.files.end() && it->second == m_file;
        }
        bool permissions(Permissions& out) override {
            out = m_file->permissions;
            return !m_fs.fails();
        }
        bool setPermissions(const Permissions& permissions) override {
            if (m_fs.fails()) return false;
            m_file->permissions = permissions;
            return true;
        }
        bool close() override {
            unlock();
            return !m_fs.fails();
        }

      private:
        void unlock() {
            if (m_file->lockedBy == this) m_file->lockedBy = nullptr;
        }
        MemoryFileSystem& m_fs;
        std::shared_ptr<File> m_file;
    };

    bool fails() { return operations++ == failAt; }
};

// The harness's entry point, called by libFuzzer or by the replay of a corpus.
extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size);
