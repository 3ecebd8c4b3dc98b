#include "RecordLineParser.h"

#include <charconv>
#include <cstdint>
#include <limits>
#include <string>
#include <system_error>

namespace {

bool IsSpace(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

// Reads fields from the front of a text, as one sscanf call does.
class Scanner {
  public:
    explicit Scanner(std::string_view text) : m_text(text.substr(0, text.find('\0'))) {}

    bool ReadInt(int& value) {
        SkipSpace();
        std::size_t i = m_pos;
        bool negative = false;
        if (i < m_text.size() && (m_text[i] == '+' || m_text[i] == '-')) {
            negative = m_text[i] == '-';
            ++i;
        }
        if (i >= m_text.size() || !IsDigit(m_text[i])) {
            return false;
        }
        const std::int64_t limit = negative
                                       ? -static_cast<std::int64_t>(std::numeric_limits<int>::min())
                                       : static_cast<std::int64_t>(std::numeric_limits<int>::max());
        std::int64_t magnitude = 0;
        for (; i < m_text.size() && IsDigit(m_text[i]); ++i) {
            magnitude = magnitude * 10 + (m_text[i] - '0');
            if (magnitude > limit) {
                return false;
            }
        }
        value = static_cast<int>(negative ? -magnitude : magnitude);
        m_pos = i;
        return true;
    }

    bool ReadDouble(double& value) {
        SkipSpace();
        std::size_t i = m_pos;
        std::string number;
        if (!TakeMantissa(i, number)) {
            return false;
        }
        TakeExponent(i, number);
        double parsed = 0.0;
        const auto result = std::from_chars(number.data(), number.data() + number.size(), parsed);
        if (result.ec != std::errc() || result.ptr != number.data() + number.size()) {
            return false;
        }
        value = parsed;
        m_pos = i;
        return true;
    }

  private:
    // Sign, digits and fraction from text position i on, appended to number; false without a
    // digit.
    bool TakeMantissa(std::size_t& i, std::string& number) const {
        if (i < m_text.size() && (m_text[i] == '+' || m_text[i] == '-')) {
            if (m_text[i] == '-') {
                number += '-';
            }
            ++i;
        }
        std::size_t digits = TakeDigits(i, number);
        if (i < m_text.size() && m_text[i] == '.') {
            number += '.';
            ++i;
            digits += TakeDigits(i, number);
        }
        return digits > 0;
    }

    // Like the C library here, an exponent marker without digits is taken and ignored.
    void TakeExponent(std::size_t& i, std::string& number) const {
        if (i >= m_text.size() || (m_text[i] != 'e' && m_text[i] != 'E')) {
            return;
        }
        std::string exponent = "e";
        ++i;
        if (i < m_text.size() && (m_text[i] == '+' || m_text[i] == '-')) {
            exponent += m_text[i];
            ++i;
        }
        if (TakeDigits(i, exponent) > 0) {
            number += exponent;
        }
    }

    std::size_t TakeDigits(std::size_t& i, std::string& to) const {
        const std::size_t start = i;
        for (; i < m_text.size() && IsDigit(m_text[i]); ++i) {
            to += m_text[i];
        }
        return i - start;
    }

    void SkipSpace() {
        while (m_pos < m_text.size() && IsSpace(m_text[m_pos])) {
            ++m_pos;
        }
    }

    std::string_view m_text;
    std::size_t m_pos = 0;
};

}  // namespace

int RecordLineParser::ScanIntegers(std::string_view text, int* values, int count) {
    Scanner scanner(text);
    int converted = 0;
    while (converted < count && scanner.ReadInt(values[converted])) {
        ++converted;
    }
    return converted;
}

int RecordLineParser::ScanTrialFields(std::string_view text, TrialLine& line) {
    Scanner scanner(text);
    int* const before[] = {&line.number, &line.item, &line.eye, &line.viewpoint};
    int* const after[] = {&line.response, &line.correct, &line.valid, &line.cancelled};
    int converted = 0;
    for (int* field : before) {
        if (!scanner.ReadInt(*field)) {
            return converted;
        }
        ++converted;
    }
    if (!scanner.ReadDouble(line.reactionTime)) {
        return converted;
    }
    ++converted;
    for (int* field : after) {
        if (!scanner.ReadInt(*field)) {
            return converted;
        }
        ++converted;
    }
    return converted;
}

bool RecordLineParser::ParseTrialLine(std::string_view text, TrialLine& line) {
    return !text.empty() && IsDigit(text[0]) && ScanTrialFields(text, line) == kTrialFields;
}

bool RecordLineParser::IsParameterLine(std::string_view text) {
    return text.substr(0, kParameterPrefix.size()) == kParameterPrefix;
}

int RecordLineParser::ScanParameters(std::string_view text, int* values) {
    if (!IsParameterLine(text)) {
        return 0;
    }
    return ScanIntegers(text.substr(kParameterPrefix.size()), values, kParameterCount);
}
