// The line splitter, the streaming line reader and the record-line parser against the C
// library: fgets() for the pieces, sscanf() for every field.
#include <algorithm>
#include <cstring>
#include <memory>
#include <string>

#include "FuzzSupport.h"
#include "LineReader.h"
#include "LineSplitter.h"
#include "RecordLineParser.h"

namespace {

std::string Shown(std::string_view text) {
    std::string shown;
    for (unsigned char c : text.substr(0, 200)) {
        char hex[8];
        std::snprintf(hex, sizeof hex, c >= 32 && c < 127 ? "%c" : "\\x%02x", c);
        shown += hex;
    }
    return shown;
}

// Hands the content over in the short reads that the input's own bytes choose.
class ChunkedSource : public ByteSource {
  public:
    explicit ChunkedSource(std::string_view content) : m_content(content), m_rest(content) {}
    long read(char* buffer, std::size_t size) override {
        if (m_rest.empty()) return 0;
        const auto pick = static_cast<unsigned char>(m_content[m_rest.size() % m_content.size()]);
        const std::size_t want = 1 + pick * 3u;
        const std::size_t n = std::min<std::size_t>({size, want, m_rest.size()});
        m_rest.copy(buffer, n);
        m_rest.remove_prefix(n);
        return static_cast<long>(n);
    }

  private:
    std::string_view m_content, m_rest;
};

// The streaming reader too when `stream` (it costs a 64 KiB buffer, so once an input).
void CheckPieces(std::string_view content, std::size_t bufferSize, bool stream) {
    const std::vector<LinePiece> pieces = LineSplitter::Split(content, bufferSize);
    const std::vector<std::string> expected = FgetsPieces(content, static_cast<int>(bufferSize));
    FUZZ_CHECK(pieces.size() == expected.size(), "buffer %zu: %zu pieces, fgets reads %zu",
               bufferSize, pieces.size(), expected.size());
    ChunkedSource source(content);
    std::unique_ptr<LineReader> reader =
        stream ? std::make_unique<LineReader>(source, bufferSize) : nullptr;
    std::size_t at = 0;
    for (std::size_t i = 0; i < pieces.size(); ++i) {
        const LinePiece& p = pieces[i];
        const std::string got = std::string(p.text) + (p.lineEnd.empty() ? "" : "\n");
        FUZZ_CHECK(got == expected[i], "buffer %zu piece %zu: '%s', fgets reads '%s'", bufferSize,
                   i, Shown(got).c_str(), Shown(expected[i]).c_str());
        FUZZ_CHECK(content.substr(at, p.text.size() + p.lineEnd.size()) ==
                       std::string(p.text) + std::string(p.lineEnd),
                   "piece %zu is not the content at %zu", i, at);
        at += p.text.size() + p.lineEnd.size();
        LinePiece streamed;
        FUZZ_CHECK(!reader || (reader->next(streamed) && streamed.text == p.text &&
                               streamed.lineEnd == p.lineEnd),
                   "buffer %zu: the line reader's piece %zu differs", bufferSize, i);
    }
    if (!reader) return;
    LinePiece extra;
    FUZZ_CHECK(!reader->next(extra) && !reader->failed(), "the line reader reads on");
    FUZZ_CHECK(reader->usesCrlf() == LineSplitter::UsesCrlf(content), "line ends told apart");
}

// Each field from where the previous one ended, as one sscanf call goes on.
int ExpectedFields(const std::string& text, const bool* real, int count, ScannedField* fields) {
    int at = 0;
    for (int i = 0; i < count; ++i) {
        fields[i] =
            real[i] ? ScanField(text.c_str() + at, true) : ScanField(text.c_str() + at, false);
        if (!fields[i].ok) return i;
        at += fields[i].used;
    }
    return count;
}

bool SameReal(double a, double b) { return std::memcmp(&a, &b, sizeof a) == 0; }

void CheckParser(std::string_view piece) {
    // Letters that make glibc read hex, "inf" or "nan", which the program's reader refuses on
    // purpose (the original system's library does not know them), become a plain stop.
    std::string text(piece);
    for (char& c : text) {
        if (std::strchr("xXiInN", c) != nullptr && c != '\0') c = '#';
    }

    constexpr int kSentinel = -12345;
    const bool trialReal[9] = {false, false, false, false, true, false, false, false, false};
    ScannedField want[9];
    const int expected = ExpectedFields(text, trialReal, 9, want);
    TrialLine line{kSentinel, kSentinel, kSentinel, kSentinel, -0.5,
                   kSentinel, kSentinel, kSentinel, kSentinel};
    const int converted = RecordLineParser::ScanTrialFields(text, line);
    FUZZ_CHECK(converted == expected, "'%s': %d trial fields, sscanf converts %d",
               Shown(text).c_str(), converted, expected);
    const int ints[8] = {line.number,   line.item,    line.eye,   line.viewpoint,
                         line.response, line.correct, line.valid, line.cancelled};
    for (int i = 0, k = 0; i < 9; ++i) {
        if (i == 4) {
            const double got = line.reactionTime;
            FUZZ_CHECK(i < expected ? SameReal(got, want[i].real) : SameReal(got, -0.5),
                       "'%s': reaction time %.17g, sscanf reads %.17g", Shown(text).c_str(), got,
                       want[i].real);
            continue;
        }
        FUZZ_CHECK(i < expected ? ints[k] == want[i].integer : ints[k] == kSentinel,
                   "'%s': field %d is %d, sscanf reads %lld", Shown(text).c_str(), i + 1, ints[k],
                   want[i].integer);
        ++k;
    }
    TrialLine parsed{};
    FUZZ_CHECK(RecordLineParser::ParseTrialLine(text, parsed) ==
                   (!text.empty() && text[0] >= '0' && text[0] <= '9' && expected == 9),
               "'%s': taken as a trial line wrongly", Shown(text).c_str());

    const bool intReal[7] = {};
    int values[7] = {kSentinel, kSentinel, kSentinel, kSentinel, kSentinel, kSentinel, kSentinel};
    const bool parameterLine = text.compare(0, 9, "# param: ") == 0;
    ScannedField params[7];
    const int wantParams = parameterLine ? ExpectedFields(text.substr(9), intReal, 7, params) : 0;
    FUZZ_CHECK(RecordLineParser::ScanParameters(text, values) == wantParams,
               "'%s': parameter count", Shown(text).c_str());
    for (int i = 0; i < 7; ++i)
        FUZZ_CHECK(values[i] == (i < wantParams ? params[i].integer : kSentinel),
                   "'%s': parameter %d is %d", Shown(text).c_str(), i + 1, values[i]);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view content(reinterpret_cast<const char*>(data), size);
    const std::size_t sizes[] = {2, 3, LineSplitter::kSettingsBuffer, LineSplitter::kRecordBuffer};
    for (std::size_t i = 0; i < 4; ++i) CheckPieces(content, sizes[i], i == size % 4);
    for (const LinePiece& piece : LineSplitter::Split(content, LineSplitter::kRecordBuffer))
        CheckParser(piece.text);
    return 0;
}
