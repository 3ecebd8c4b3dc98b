#pragma once

#include <string_view>

#include "TrialLine.h"

// Reads the numbers of record-file and settings lines the way the C library's sscanf with "%d"
// and "%lf" conversions does, without its undefined behaviour and independent of the locale:
//   - white space is skipped before every field; a NUL byte ends the text;
//   - "%d" takes an optional sign and decimal digits; a value that does not fit in 32 bits
//     counts as no integer;
//   - "%lf" takes decimal notation (sign, digits, fraction, exponent); a value outside the
//     range of double counts as no number; "inf", "nan" and hex notation are not numbers;
//   - the first field that does not convert ends the scan; later fields are not touched.
// Shared with the tools that read record files.
class RecordLineParser {
  public:
    static constexpr int kTrialFields = 9;
    static constexpr int kParameterCount = 7;
    // Begins the parameter line; the values follow, one space apart.
    static constexpr std::string_view kParameterPrefix = "# param: ";

    // Scans up to `count` integers ("%d %d ..."); returns how many converted into values[0..].
    static int ScanIntegers(std::string_view text, int* values, int count);

    // Scans "%d %d %d %d %lf %d %d %d %d" into the fields of `line` in order; returns how many
    // converted. Fields after the first failure keep their values.
    static int ScanTrialFields(std::string_view text, TrialLine& line);

    // A trial line as a record file is read back: its first character is a digit and all nine
    // fields convert.
    static bool ParseTrialLine(std::string_view text, TrialLine& line);

    // The line begins with "# param: ".
    static bool IsParameterLine(std::string_view text);

    // Scans the seven values after "# param: " into values[0..6]; returns how many converted.
    // 0 when the text is no parameter line.
    static int ScanParameters(std::string_view text, int* values);
};
