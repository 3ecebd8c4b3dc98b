#pragma once

#include <string>
#include <string_view>

// A file open for appending: the record file of a run, or a file being written whole.
class RecordStream {
  public:
    // Mode bits, owner and group of a file.
    struct Permissions {
        unsigned mode = 0;
        long long owner = -1;
        long long group = -1;
    };

    virtual ~RecordStream();

    // Appends the bytes at the end of the file as one block and makes them durable on disk.
    // On failure the file is cut back to the size it had before, so that what was there stays
    // intact and no torn line is left, and the result is false.
    virtual bool append(const std::string& bytes) = 0;

    // Appends without making the bytes durable, for a file that is written whole and then
    // synced; false on failure, leaving what was written so far.
    virtual bool write(std::string_view bytes) = 0;

    // Makes everything written durable on disk.
    virtual bool sync() = 0;

    // Takes the exclusive advisory lock on the file without waiting; false when another open
    // of the file holds it, in this process or another.
    virtual bool tryLock() = 0;

    // True when the path (a symbolic link followed) still names this very file.
    virtual bool isAt(const std::string& path) = 0;

    virtual bool permissions(Permissions& out) = 0;

    // Gives the file the mode bits, and the owner and group where the process may; false when
    // the mode bits cannot be set.
    virtual bool setPermissions(const Permissions& permissions) = 0;

    // Releases the file, and with it the lock; false when the system reports an error. Further
    // calls do nothing.
    virtual bool close() = 0;
};
