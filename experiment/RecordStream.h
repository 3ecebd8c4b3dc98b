#pragma once

#include <string>

// A file open for appending: the record file of a run, or a file being written whole.
class RecordStream {
  public:
    virtual ~RecordStream();

    // Appends the bytes at the end of the file as one block and makes them durable on disk.
    // On failure the file is cut back to the size it had before, so that what was there stays
    // intact and no torn line is left, and the result is false.
    virtual bool append(const std::string& bytes) = 0;

    // Releases the file; false when the system reports an error. Further calls do nothing.
    virtual bool close() = 0;
};
