#include "LineSplitter.h"

std::size_t LineSplitter::CutPiece(std::string_view window, std::size_t limit, LinePiece& piece) {
    std::size_t i = 0;
    std::string_view lineEnd;
    while (i < window.size() && i < limit) {
        if (window[i] == '\n') {
            lineEnd = window.substr(i, 1);
            break;
        }
        if (window[i] == '\r' && i + 1 < window.size() && window[i + 1] == '\n') {
            lineEnd = window.substr(i, 2);
            break;
        }
        ++i;
    }
    piece = {window.substr(0, i), lineEnd};
    return i + lineEnd.size();
}

std::vector<LinePiece> LineSplitter::Split(std::string_view content, std::size_t bufferSize) {
    std::vector<LinePiece> pieces;
    const std::size_t limit = PieceLimit(bufferSize);
    while (!content.empty()) {
        LinePiece piece;
        content.remove_prefix(CutPiece(content, limit, piece));
        pieces.push_back(piece);
    }
    return pieces;
}

bool LineSplitter::UsesCrlf(std::string_view content) {
    const std::size_t lf = content.find('\n');
    return lf != std::string_view::npos && lf > 0 && content[lf - 1] == '\r';
}
