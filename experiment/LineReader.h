#pragma once

#include <cstddef>
#include <string>

#include "ByteSource.h"
#include "LineSplitter.h"

// Reads a source piece by piece as LineSplitter cuts content, holding only a bounded window of
// it, so that memory does not grow with the size or the line count of a file.
class LineReader {
  public:
    LineReader(ByteSource& source, std::size_t bufferSize);

    // The next piece; its views stay valid until the next call. False at the end of the content
    // or when reading failed (see failed()).
    bool next(LinePiece& piece);

    bool failed() const { return m_failed; }

    // True when the first line end read so far is CR LF; false while none has been read.
    bool usesCrlf() const { return m_crlf; }

  private:
    void fill();

    ByteSource& m_source;
    std::size_t m_limit;
    std::string m_buffer;
    std::size_t m_start = 0;
    bool m_atEnd = false;
    bool m_failed = false;
    bool m_lineEndSeen = false;
    bool m_crlf = false;
};
