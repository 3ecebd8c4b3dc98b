#include "ParticipantFile.h"

#include <cstdio>
#include <cstring>

#include "LineReader.h"
#include "LineSplitter.h"
#include "RecordLineParser.h"
#include "StringByteSource.h"

namespace {

std::string OutsideRange(const char* field, int value, int low, int high) {
    return std::string(field) + " " + std::to_string(value) + " outside " + std::to_string(low) +
           "-" + std::to_string(high);
}

std::string NotAFlag(const char* field, int value) {
    return std::string(field) + " " + std::to_string(value) + " is not 0 or 1";
}

}  // namespace

TrialCounts ParticipantFile::Counts() const {
    TrialCounts counts;
    for (const TrialLine& line : trials) {
        ++counts.trials;
        if (line.cancelled == 1) {
            ++counts.cancelled;
        } else if (line.valid == 1) {
            ++counts.valid;
            counts.correct += line.correct;
        } else {
            ++counts.misses;
        }
    }
    return counts;
}

std::string CheckTrialLine(const TrialLine& line) {
    if (line.item < 1 || line.item > 16) {
        return OutsideRange("item", line.item, 1, 16);
    }
    if (line.eye < 1 || line.eye > 2) {
        return OutsideRange("eye", line.eye, 1, 2);
    }
    if (line.viewpoint < 1 || line.viewpoint > 8) {
        return OutsideRange("viewpoint", line.viewpoint, 1, 8);
    }
    const int expectedItem = (line.eye - 1) * 8 + line.viewpoint;
    if (line.item != expectedItem) {
        return "item " + std::to_string(line.item) + " does not match eye " +
               std::to_string(line.eye) + " and viewpoint " + std::to_string(line.viewpoint) +
               " (item " + std::to_string(expectedItem) + " expected)";
    }
    // The scanner only yields finite numbers; a negative time cannot come from a clock.
    if (line.reactionTime < 0.0) {
        char text[64];
        std::snprintf(text, sizeof text, "negative reaction time %g", line.reactionTime);
        return text;
    }
    if (line.response < 0 || line.response > 2) {
        return OutsideRange("response", line.response, 0, 2);
    }
    if (line.correct != 0 && line.correct != 1) {
        return NotAFlag("correct flag", line.correct);
    }
    if (line.valid != 0 && line.valid != 1) {
        return NotAFlag("valid flag", line.valid);
    }
    if (line.cancelled != 0 && line.cancelled != 1) {
        return NotAFlag("cancel flag", line.cancelled);
    }
    // The experiment derives both flags from the click; a line where they disagree was edited,
    // and the report cannot tell which field is right.
    if (line.valid != (line.response != 0 ? 1 : 0)) {
        return "valid flag " + std::to_string(line.valid) + " does not match response " +
               std::to_string(line.response);
    }
    if (line.correct != (line.response == line.eye ? 1 : 0)) {
        return "correct flag " + std::to_string(line.correct) + " does not match eye " +
               std::to_string(line.eye) + " and response " + std::to_string(line.response);
    }
    return std::string();
}

namespace {

constexpr std::string_view kOpenMarker = "### open trial  : ";

void ScanPiece(const LinePiece& piece, int pieceLine, ParticipantFile& file) {
    if (piece.text.empty() || piece.text[0] < '0' || piece.text[0] > '9') {
        if (piece.text.substr(0, kOpenMarker.size()) == kOpenMarker) {
            file.runOpened.emplace_back(piece.text.substr(kOpenMarker.size()));
        } else if (file.parameters.empty() && RecordLineParser::IsParameterLine(piece.text)) {
            int values[RecordLineParser::kParameterCount] = {};
            const int n = RecordLineParser::ScanParameters(piece.text, values);
            file.parameters.assign(values, values + n);
        }
        return;
    }
    TrialLine line{};
    if (!RecordLineParser::ParseTrialLine(piece.text, line)) {
        const int fields = RecordLineParser::ScanTrialFields(piece.text, line);
        file.problems.push_back(
            {pieceLine, "trial line with " + std::to_string(fields) + " of 9 fields"});
        return;
    }
    std::string fault = CheckTrialLine(line);
    if (!fault.empty()) {
        file.problems.push_back({pieceLine, std::move(fault)});
        return;
    }
    file.trials.push_back(line);
    file.origins.push_back({pieceLine, static_cast<int>(file.runOpened.size())});
}

}  // namespace

void ScanRecord(ByteSource& source, ParticipantFile& file) {
    LineReader reader(source, LineSplitter::kRecordBuffer);
    int lineNumber = 1;
    for (LinePiece piece; reader.next(piece);) {
        const int pieceLine = lineNumber;
        if (!piece.lineEnd.empty()) {
            ++lineNumber;
        }
        ScanPiece(piece, pieceLine, file);
    }
    if (reader.failed()) {
        file.readable = false;
        file.readError = "cannot read";
    }
}

void ScanRecordContent(std::string_view content, ParticipantFile& file) {
    StringByteSource source(content);
    ScanRecord(source, file);
}

ParticipantFile ReadParticipantFile(FileSystem& files, const std::string& path) {
    ParticipantFile file;
    file.path = path;
    FileSystem::Opened opened = files.openForReading(path);
    if (opened.result != FileSystem::Opened::Result::Ok) {
        file.readError = opened.result == FileSystem::Opened::Result::NotRegular
                             ? "not a regular file"
                             : "cannot open (" + opened.reason + ")";
        return file;
    }
    file.readable = true;
    ScanRecord(*opened.source, file);
    return file;
}
