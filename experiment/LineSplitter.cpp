#include "LineSplitter.h"

std::vector<LinePiece> LineSplitter::Split(std::string_view content, std::size_t bufferSize) {
    std::vector<LinePiece> pieces;
    const std::size_t limit = bufferSize > 1 ? bufferSize - 1 : 1;
    std::size_t i = 0;
    while (i < content.size()) {
        const std::size_t start = i;
        std::size_t count = 0;
        std::string_view lineEnd;
        while (i < content.size() && count < limit) {
            if (content[i] == '\n') {
                lineEnd = content.substr(i, 1);
                break;
            }
            if (content[i] == '\r' && i + 1 < content.size() && content[i + 1] == '\n') {
                lineEnd = content.substr(i, 2);
                break;
            }
            ++i;
            ++count;
        }
        pieces.push_back({content.substr(start, i - start), lineEnd});
        i += lineEnd.size();
    }
    return pieces;
}

bool LineSplitter::UsesCrlf(std::string_view content) {
    const std::size_t lf = content.find('\n');
    return lf != std::string_view::npos && lf > 0 && content[lf - 1] == '\r';
}
