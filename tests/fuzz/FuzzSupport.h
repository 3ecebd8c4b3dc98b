#pragma once
// Shared by the fuzz harnesses: a check that stops the run, a reader of the fuzzer's bytes, the
// C library's answers to compare with, and real files in memory that can fail on demand.

#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

#include "FailingFileSystem.h"
#include "FakePlatform.h"
#include "TempDir.h"
#include "TestFiles.h"

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

// Real files in a folder of /dev/shm, emptied for each run; the operation numbered `failAt`
// (counted from 0 over every call, streams' too) fails as the system call would.
struct FuzzFiles : FailingFileSystem {
    FuzzFiles() : folder(Dir().path + "/") { Dir().empty(); }
    static const TempDir& Dir() {
        static const TempDir dir("/dev/shm");
        return dir;
    }
    std::string folder;
};

// The harness's entry point, called by libFuzzer or by the replay of a corpus.
extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size);
