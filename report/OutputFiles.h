#pragma once

#include <sys/types.h>

#include <functional>
#include <string>
#include <vector>

#include "FileSystem.h"

// Every file orvi-report writes goes through here, so that no output can take the place of an
// input and none is left half-written: an output is written to a temporary file beside it,
// checked, synced and renamed over the path (a device such as /dev/stdout is written to).
class OutputFiles {
  public:
    // Writes the content to the path it is given (an empty temporary file, or the device the
    // output names); false with a message when that failed or the content is not complete.
    using Writer = std::function<bool(const std::string& path, std::string& error)>;

    // Notes which files the inputs are, by path and by file identity (device and inode).
    // `files` resolves links to outputs, moves finished outputs into place and syncs their
    // folders.
    OutputFiles(const std::vector<std::string>& inputs, FileSystem& files);

    // Empty when `path` may be written; else the usage error naming the path and the input it
    // would overwrite (the same path, a symbolic link to it, or a hard link of it).
    std::string Clash(const std::string& path) const;

    // The same for each path; the first clash found, or empty.
    std::string Clash(const std::vector<std::string>& paths) const;

    bool WriteText(const std::string& path, const std::string& text, std::string& error) const;

    bool Write(const std::string& path, const Writer& writer, std::string& error) const;

    // The inputs without repeats of one file (by identity, else by the same path), in order;
    // `repeated` gets "LATER is ALREADY" pairs for the warnings.
    static std::vector<std::string> Distinct(
        const std::vector<std::string>& inputs,
        std::vector<std::pair<std::string, std::string>>& repeated);

  private:
    struct Input {
        std::string path;
        std::string resolved;  // absolute, without "." and "..", symbolic links followed
        bool exists;
        dev_t device;
        ino_t inode;
    };

    static Input Identify(const std::string& path);

    // Writes a regular file or a new one anew: into a temporary file beside it, then over it.
    bool Replace(const std::string& target, mode_t mode, const Writer& writer,
                 std::string& error) const;

    std::vector<Input> m_inputs;
    FileSystem& m_files;
};
