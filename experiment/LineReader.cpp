#include "LineReader.h"

#include <algorithm>

namespace {
constexpr std::size_t kChunkBytes = 65536;
}

LineReader::LineReader(ByteSource& source, std::size_t bufferSize)
    : m_source(source),
      m_limit(LineSplitter::PieceLimit(bufferSize)),
      m_capacity(kChunkBytes + m_limit + 2),
      m_buffer(new char[m_capacity]) {}

void LineReader::fill() {
    // A piece needs its characters plus a CR LF of lookahead.
    while (!m_atEnd && m_end - m_start < m_limit + 2) {
        if (m_start > 0) {
            std::copy(m_buffer.get() + m_start, m_buffer.get() + m_end, m_buffer.get());
            m_end -= m_start;
            m_start = 0;
        }
        const long n = m_source.read(m_buffer.get() + m_end, m_capacity - m_end);
        if (n <= 0) {
            m_atEnd = true;
            m_failed = n < 0;
        } else {
            m_end += static_cast<std::size_t>(n);
        }
    }
}

bool LineReader::next(LinePiece& piece) {
    fill();
    if (m_failed) {
        return false;
    }
    const std::string_view window(m_buffer.get() + m_start, m_end - m_start);
    if (window.empty()) {
        return false;
    }
    const std::size_t used = LineSplitter::CutPiece(window, m_limit, piece);
    if (!m_lineEndSeen && !piece.lineEnd.empty()) {
        m_lineEndSeen = true;
        m_crlf = piece.lineEnd.size() == 2;
    }
    m_start += used;
    return true;
}
