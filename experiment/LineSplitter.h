#pragma once

#include <cstddef>
#include <string_view>
#include <vector>

// One read of a line into a fixed buffer: a whole short line, or a piece of a long one.
struct LinePiece {
    std::string_view text;     // without the line end
    std::string_view lineEnd;  // "\n", "\r\n", or empty when the line goes on or the file ends
};

// Cuts file content into the pieces that reading line by line into a buffer of a given size
// yields: at most size - 1 characters each, ending after a line end. A CR LF pair counts as one
// character, as it does for a text stream that turns it into one line end.
class LineSplitter {
  public:
    static constexpr std::size_t kSettingsBuffer = 256;
    static constexpr std::size_t kRecordBuffer = 512;

    // For content already in memory; LineReader cuts the same pieces from a stream.
    static std::vector<LinePiece> Split(std::string_view content, std::size_t bufferSize);

    // Characters a piece holds at most for a buffer of the given size.
    static std::size_t PieceLimit(std::size_t bufferSize) {
        return bufferSize > 1 ? bufferSize - 1 : 1;
    }

    // Cuts the first piece of a non-empty window that holds at least `limit` + 2 characters or
    // runs to the end of the content; returns the characters used, line end included.
    static std::size_t CutPiece(std::string_view window, std::size_t limit, LinePiece& piece);

    // True when the first line end of the content is CR LF (a file written on Windows).
    static bool UsesCrlf(std::string_view content);
};
