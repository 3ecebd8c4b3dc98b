#pragma once

#include <cstddef>

// Bytes read in order from a file or from memory, so that readers never need the whole content
// at once.
class ByteSource {
  public:
    virtual ~ByteSource();

    // Reads up to `size` bytes; returns how many, 0 at the end, or -1 when reading failed.
    virtual long read(char* buffer, std::size_t size) = 0;
};
