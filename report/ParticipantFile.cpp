#include "ParticipantFile.h"

#include <array>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <map>

#include "LineReader.h"
#include "LineSplitter.h"
#include "RecordLineParser.h"
#include "StringByteSource.h"
#include "TrialItem.h"

namespace {

std::string OutsideRange(const char* field, int value, int low, int high) {
    return std::string(field) + " " + std::to_string(value) + " outside " + std::to_string(low) +
           "-" + std::to_string(high);
}

std::string NotAFlag(const char* field, int value) {
    return std::string(field) + " " + std::to_string(value) + " is not 0 or 1";
}

// The item, eye and viewpoint: each in range, and the item the one the other two make.
std::string ItemFault(const TrialLine& line) {
    if (line.item < 1 || line.item > kItemCount) {
        return OutsideRange("item", line.item, 1, kItemCount);
    }
    if (line.eye < 1 || line.eye > kEyeCount) {
        return OutsideRange("eye", line.eye, 1, kEyeCount);
    }
    if (line.viewpoint < 1 || line.viewpoint > kViewpointCount) {
        return OutsideRange("viewpoint", line.viewpoint, 1, kViewpointCount);
    }
    const int expectedItem = ItemNumber(line.eye - 1, line.viewpoint - 1) + 1;
    if (line.item != expectedItem) {
        return "item " + std::to_string(line.item) + " does not match eye " +
               std::to_string(line.eye) + " and viewpoint " + std::to_string(line.viewpoint) +
               " (item " + std::to_string(expectedItem) + " expected)";
    }
    return std::string();
}

// A negative time cannot come from a clock, nor a huge one from a run; either would dominate
// every mean and slope it enters.
std::string ReactionTimeFault(const TrialLine& line) {
    if (line.reactionTime < 0.0 || !(line.reactionTime <= kMaxReactionTimeMs)) {
        char text[64];
        std::snprintf(text, sizeof text,
                      line.reactionTime < 0.0 ? "negative reaction time %g"
                                              : "reaction time %g beyond 10000000 ms",
                      line.reactionTime);
        return text;
    }
    return std::string();
}

std::string ResponseFault(const TrialLine& line) {
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
    return std::string();
}

// The experiment derives both flags from the click; a line where they disagree was edited, and
// the report cannot tell which field is right.
std::string FlagsFault(const TrialLine& line) {
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
    for (auto fault : {ItemFault, ReactionTimeFault, ResponseFault, FlagsFault}) {
        std::string text = fault(line);
        if (!text.empty()) {
            return text;
        }
    }
    return std::string();
}

namespace {

constexpr std::string_view kOpenMarker = "### open trial  : ";
constexpr const char* kFieldNames[RecordLineParser::kTrialFields] = {
    "trial", "item", "eye", "viewpoint", "reaction time", "response", "correct", "valid", "cancel"};
constexpr std::size_t kReactionTimeField = 4;
constexpr std::size_t kShownChars = 24;

bool IsSpace(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

// The token in the form the parser takes whole: "%d" for whole numbers, "%lf" for the reaction
// time.
bool LooksLikeNumber(std::string_view token, bool decimal) {
    std::size_t i = token.empty() || (token[0] != '+' && token[0] != '-') ? 0 : 1;
    std::size_t digits = 0;
    for (; i < token.size() && IsDigit(token[i]); ++i, ++digits) {
    }
    if (decimal && i < token.size() && token[i] == '.') {
        for (++i; i < token.size() && IsDigit(token[i]); ++i, ++digits) {
        }
    }
    if (decimal && digits > 0 && i < token.size() && (token[i] == 'e' || token[i] == 'E')) {
        i += i + 1 < token.size() && (token[i + 1] == '+' || token[i + 1] == '-') ? 2 : 1;
        for (; i < token.size() && IsDigit(token[i]); ++i) {
        }
    }
    return digits > 0 && i == token.size();
}

std::string Quoted(std::string_view text) {
    return "\"" + std::string(text.substr(0, kShownChars)) +
           (text.size() > kShownChars ? "...\"" : "\"");
}

// Why the parser rejected a line that starts with a digit: the first of its nine fields that is
// not a number, else how many fields it has. The text is in `message` or static.
std::string_view FieldFault(std::string_view text, int converted, std::string& message) {
    static const auto kCounts = [] {
        std::array<std::string, RecordLineParser::kTrialFields> counts;
        for (std::size_t n = 0; n < counts.size(); ++n) {
            counts[n] = "trial line with " + std::to_string(n) + " of 9 fields";
        }
        return counts;
    }();
    text = text.substr(0, text.find('\0'));  // where the parser stops reading
    std::string_view fields[RecordLineParser::kTrialFields];
    std::size_t count = 0;
    for (std::size_t i = 0; i < text.size() && count < RecordLineParser::kTrialFields;) {
        if (IsSpace(text[i])) {
            ++i;
            continue;
        }
        std::size_t end = i;
        while (end < text.size() && !IsSpace(text[end])) {
            ++end;
        }
        fields[count++] = text.substr(i, end - i);
        i = end;
    }
    for (std::size_t k = 0; k < count; ++k) {
        const bool decimal = k == kReactionTimeField;
        if (!LooksLikeNumber(fields[k], decimal)) {
            message = "field " + std::to_string(k + 1) + " (" + kFieldNames[k] + ") is not " +
                      (decimal ? "a number: " : "a whole number: ") + Quoted(fields[k]);
            return message;
        }
    }
    if (count == RecordLineParser::kTrialFields) {
        // Every field is a number in form, so the one the parser stopped at is too large.
        message = "field " + std::to_string(converted + 1) + " (" + kFieldNames[converted] +
                  ") is out of range: " + Quoted(fields[static_cast<std::size_t>(converted)]);
        return message;
    }
    return kCounts[count];
}

// The complaint without its numbers and quoted text: lines whose complaints read alike but for
// those are summarised together.
std::string ProblemKind(std::string_view message) {
    std::string kind;
    bool quoted = false;
    for (char c : message) {
        if (c == '"') {
            quoted = !quoted;
        } else if (!quoted && !(IsDigit(c) && !kind.empty() && kind.back() == '#')) {
            kind += IsDigit(c) ? '#' : c;
        }
    }
    return kind;
}

// Keeps the first few complaints of each kind; later ones only count.
class ProblemTally {
  public:
    std::string scratch;  // storage for messages that are mostly only counted

    void Add(ParticipantFile& file, int line, std::string_view message) {
        // A flood of bad lines mostly repeats one complaint word for word.
        if (m_previous == nullptr || message != m_previousMessage) {
            m_previous = &m_kinds[ProblemKind(message)];
            m_previousMessage = message;
        }
        Kind& kind = *m_previous;
        if (kind.kept < ParticipantFile::kProblemsKept) {
            ++kind.kept;
            kind.last = file.problems.size();
            file.problems.push_back({line, std::string(message)});
        } else {
            ++file.problems[kind.last].more;
        }
    }

  private:
    struct Kind {
        int kept = 0;
        std::size_t last = 0;
    };
    std::map<std::string, Kind> m_kinds;
    Kind* m_previous = nullptr;
    std::string m_previousMessage;
};

void ScanPiece(const LinePiece& piece, int pieceLine, ParticipantFile& file, ProblemTally& tally) {
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
    // The first character is a digit, so this is ParseTrialLine without a second scan.
    const int converted = RecordLineParser::ScanTrialFields(piece.text, line);
    if (converted != RecordLineParser::kTrialFields) {
        tally.Add(file, pieceLine, FieldFault(piece.text, converted, tally.scratch));
        return;
    }
    const std::string fault = CheckTrialLine(line);
    if (!fault.empty()) {
        tally.Add(file, pieceLine, fault);
        return;
    }
    file.trials.push_back(line);
    file.origins.push_back({pieceLine, static_cast<int>(file.runOpened.size())});
}

}  // namespace

void ScanRecord(ByteSource& source, ParticipantFile& file) {
    LineReader reader(source, LineSplitter::kRecordBuffer);
    ProblemTally tally;
    int lineNumber = 1;
    for (LinePiece piece; reader.next(piece);) {
        const int pieceLine = lineNumber;
        if (!piece.lineEnd.empty()) {
            ++lineNumber;
        }
        ScanPiece(piece, pieceLine, file, tally);
    }
    if (reader.failed()) {
        // The failed read is the last call that sets errno.
        file.readable = false;
        file.readError = std::string("cannot read (") + std::strerror(errno) + ")";
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
