#include "LineReader.h"

namespace {
constexpr std::size_t kChunkBytes = 65536;
}

LineReader::LineReader(ByteSource& source, std::size_t bufferSize)
    : m_source(source), m_limit(LineSplitter::PieceLimit(bufferSize)) {}

void LineReader::fill() {
    // A piece needs its characters plus a CR LF of lookahead.
    while (!m_atEnd && m_buffer.size() - m_start < m_limit + 2) {
        if (m_start > 0 && m_start >= m_buffer.size() / 2) {
            m_buffer.erase(0, m_start);
            m_start = 0;
        }
        const std::size_t old = m_buffer.size();
        m_buffer.resize(old + kChunkBytes);
        const long n = m_source.read(&m_buffer[old], kChunkBytes);
        m_buffer.resize(old + (n > 0 ? static_cast<std::size_t>(n) : 0));
        if (n <= 0) {
            m_atEnd = true;
            m_failed = n < 0;
        }
    }
}

bool LineReader::next(LinePiece& piece) {
    fill();
    if (m_failed) {
        return false;
    }
    const std::string_view window = std::string_view(m_buffer).substr(m_start);
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
