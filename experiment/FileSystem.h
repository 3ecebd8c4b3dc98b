#pragma once

#include <memory>
#include <string>

#include "ByteSource.h"
#include "RecordStream.h"

// The file operations the bookkeeping needs, so that tests can make any one of them fail.
class FileSystem {
  public:
    enum class ReadResult {
        Ok,          // whole content read
        CannotOpen,  // missing or not readable: treated as a new file
        Error,       // opened, but reading failed
    };

    enum class OpenMode {
        Append,     // create when missing, keep the content
        CreateNew,  // fails when the path exists
    };

    // Opening for reading never blocks: a FIFO or a device is NotRegular, not a file.
    struct Opened {
        enum class Result { Ok, Missing, NotRegular, Error } result;
        std::unique_ptr<ByteSource> source;  // only with Ok
        std::string reason;                  // the system's words for a failure
    };

    virtual ~FileSystem();

    virtual Opened openForReading(const std::string& path) = 0;

    // The whole content of a regular file; anything else that is there is an Error.
    virtual ReadResult readFile(const std::string& path, std::string& content) = 0;

    // True when the path can be opened for reading (the file exists for the user).
    virtual bool canOpenForReading(const std::string& path) = 0;

    // Opens the path for appending in the given mode; null on failure, and for anything but a
    // regular file.
    virtual std::unique_ptr<RecordStream> open(const std::string& path, OpenMode mode) = 0;

    // Creates the file anew and holds its exclusive lock. A file already at the path is removed
    // first, but only while this process holds its lock, so a file that another process holds
    // is never removed. Null when the path cannot be cleared or created, or another process
    // keeps its file locked for longer than a second.
    virtual std::unique_ptr<RecordStream> createLocked(const std::string& path) = 0;

    virtual bool remove(const std::string& path) = 0;

    // Atomically replaces `to` by `from` (both in one directory).
    virtual bool rename(const std::string& from, const std::string& to) = 0;

    // Makes the directory entries of the folder that holds `path` durable; 0, or the errno
    // value of the failure.
    virtual int syncDirectory(const std::string& path) = 0;

    // The path of the file that a symbolic link at `path` finally names; `path` itself when it
    // is no link or cannot be resolved.
    virtual std::string finalPath(const std::string& path) = 0;
};
