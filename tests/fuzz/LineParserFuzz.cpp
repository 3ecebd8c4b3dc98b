// The line splitter and the record-line parser against the C
// library: fgets() for the pieces, sscanf() for every field.
#include <algorithm>
#include <cstring>

#include "FuzzSupport.h"
#include "LineSplitter.h"
#include "RecordLineParser.h"

namespace {

void CheckPieces(std::string_view content, std::size_t bufferSize) {
    const std::vector<LinePiece> pieces = LineSplitter::Split(content, bufferSize);
    const std::vector<std::string> expected = FgetsPieces(content, static_cast<int>(bufferSize));
    FUZZ_CHECK(pieces.size() == expected.size(), "buffer %zu: %zu pieces, fgets reads %zu",
               bufferSize, pieces.size(), expected.size());
    std::size_t at = 0;
    for (std::size_t i = 0; i < pieces.size(); ++i) {
        const LinePiece& p = pieces[i];
        const std::string got = std::string(p.text) + (p.lineEnd.empty() ? "" : "\n");
        FUZZ_CHECK(got == expected[i], "buffer %zu piece %zu: '%s', fgets reads '%s'", bufferSize,
                   i, got.c_str(), expected[i].c_str());
        const std::string whole = std::string(p.text) + std::string(p.lineEnd);
        FUZZ_CHECK(content.substr(at, whole.size()) == whole, "piece %zu is not at %zu", i, at);
        at += whole.size();
    }
}

// Fields `got` against one sscanf call going on from field to field: those it converts must
// match bit for bit, the rest keep `kUnset`. Returns how many sscanf converts.
constexpr double kUnset = -12345;
int CompareFields(const std::string& text, const bool* real, const double* got, int count) {
    int converted = 0;
    for (int at = 0; converted < count; ++converted) {
        const ScannedField f = ScanField(text.c_str() + at, real[converted]);
        if (!f.ok) break;
        at += f.used;
        const double want = real[converted] ? f.real : static_cast<double>(f.integer);
        FUZZ_CHECK(std::memcmp(&got[converted], &want, sizeof want) == 0,
                   "'%s': field %d is %.17g, sscanf reads %.17g", text.c_str(), converted + 1,
                   got[converted], want);
    }
    for (int i = converted; i < count; ++i)
        FUZZ_CHECK(got[i] == kUnset, "'%s': field %d set", text.c_str(), i + 1);
    return converted;
}

void CheckParser(std::string_view piece) {
    // Letters that make glibc read hex, "inf" or "nan", which the program's reader refuses on
    // purpose (the original system's library does not know them), become a plain stop.
    std::string text(piece);
    std::replace_if(
        text.begin(), text.end(), [](char c) { return c && std::strchr("xXiInN", c); }, '#');

    constexpr int u = static_cast<int>(kUnset);
    TrialLine line{u, u, u, u, kUnset, u, u, u, u};
    const int converted = RecordLineParser::ScanTrialFields(text, line);
    const double got[9] = {double(line.number),    double(line.item),  double(line.eye),
                           double(line.viewpoint), line.reactionTime,  double(line.response),
                           double(line.correct),   double(line.valid), double(line.cancelled)};
    const bool trialReal[9] = {false, false, false, false, true};
    const int expected = CompareFields(text, trialReal, got, 9);
    FUZZ_CHECK(converted == expected, "'%s': %d trial fields, sscanf converts %d", text.c_str(),
               converted, expected);
    TrialLine parsed{};
    FUZZ_CHECK(RecordLineParser::ParseTrialLine(text, parsed) ==
                   (!text.empty() && text[0] >= '0' && text[0] <= '9' && expected == 9),
               "'%s': taken as a trial line wrongly", text.c_str());

    int values[7] = {u, u, u, u, u, u, u};
    const int count = RecordLineParser::ScanParameters(text, values);
    double params[7];
    std::copy(values, values + 7, params);
    const bool intReal[7] = {};
    const std::string after = text.compare(0, 9, "# param: ") == 0 ? text.substr(9) : "";
    const int wantCount = CompareFields(after, intReal, params, 7);
    FUZZ_CHECK(count == wantCount, "'%s': parameter count", text.c_str());
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view content(reinterpret_cast<const char*>(data), size);
    const std::size_t sizes[] = {2, 3, LineSplitter::kSettingsBuffer, LineSplitter::kRecordBuffer};
    for (std::size_t bufferSize : sizes) CheckPieces(content, bufferSize);
    for (const LinePiece& piece : LineSplitter::Split(content, LineSplitter::kRecordBuffer))
        CheckParser(piece.text);
    return 0;
}
