#include "TrialTable.h"

#include <charconv>
#include <cstdio>
#include <cstring>

#include "CueSounds.h"
#include "RecordLineParser.h"

namespace {

// Index of the swap flag on the parameter line, after the six settings.
constexpr std::size_t kSwapIndex = 6;

std::string Number(double value) {
    char text[64];
    const auto result = std::to_chars(text, text + sizeof text, value, std::chars_format::fixed);
    return std::string(text, result.ptr);
}

std::string CsvField(const std::string& text) {
    const std::string value = ValidUtf8(text);
    if (value.find_first_of(",\"\r\n") == std::string::npos) {
        return value;
    }
    std::string quoted = "\"";
    for (char c : value) {
        quoted += c;
        if (c == '"') {
            quoted += '"';
        }
    }
    return quoted + "\"";
}

}  // namespace

const std::vector<std::string>& TrialColumns() {
    static const std::vector<std::string> columns = {
        "participant",    "file",          "line",           "run",
        "run_opened",     "trial",         "item",           "target_eye",
        "viewpoint",      "disparity_deg", "cue_file",       "rt_ms",
        "response",       "correct",       "valid",          "cancelled",
        "swap",           "beep_delay_ms", "beep_length_ms", "face_delay_ms",
        "blink_white_ms", "blink_red_ms",  "hide_cursor",    "rt_used",
        "excluded_by"};
    return columns;
}

std::vector<std::vector<std::string>> TrialRows(const TrialTableFile& table) {
    const ParticipantFile& file = *table.file;
    // The parameter line's columns name the swap flag first, then the six settings in order.
    std::vector<std::string> parameters(RecordLineParser::kParameterCount);
    for (std::size_t i = 0; i < file.parameters.size() && i < parameters.size(); ++i) {
        const std::size_t column = i == kSwapIndex ? 0 : i + 1;
        parameters[column] = std::to_string(file.parameters[i]);
    }
    const bool knowsSwap = file.parameters.size() > kSwapIndex;
    std::vector<std::vector<std::string>> rows;
    for (std::size_t k = 0; k < file.trials.size(); ++k) {
        const TrialLine& t = file.trials[k];
        const TrialOrigin& origin = file.origins[k];
        const std::size_t run = static_cast<std::size_t>(origin.run);
        std::vector<std::string> row = {
            table.participant,
            file.path,
            std::to_string(origin.line),
            std::to_string(origin.run),
            run >= 1 && run <= file.runOpened.size() ? IsoFromAsctime(file.runOpened[run - 1])
                                                     : std::string(),
            std::to_string(t.number),
            std::to_string(t.item),
            std::to_string(t.eye),
            std::to_string(t.viewpoint),
            std::to_string(DisparityDegrees(t.viewpoint)),
            knowsSwap ? CueFileOf(t.eye, file.parameters[kSwapIndex]) : std::string(),
            Number(t.reactionTime),
            std::to_string(t.response),
            std::to_string(t.correct),
            std::to_string(t.valid),
            std::to_string(t.cancelled)};
        row.insert(row.end(), parameters.begin(), parameters.end());
        row.push_back(table.uses[k] == TrialUse::Used ? "1" : "0");
        row.push_back(ExclusionName(table.uses[k]));
        rows.push_back(std::move(row));
    }
    return rows;
}

std::string FormatTrialsCsv(const std::vector<TrialTableFile>& files) {
    std::string csv;
    const auto append = [&csv](const std::vector<std::string>& fields) {
        for (std::size_t i = 0; i < fields.size(); ++i) {
            csv += (i == 0 ? "" : ",") + CsvField(fields[i]);
        }
        csv += '\n';
    };
    append(TrialColumns());
    for (const TrialTableFile& file : files) {
        for (const std::vector<std::string>& row : TrialRows(file)) {
            append(row);
        }
    }
    return csv;
}

std::string IsoFromAsctime(const std::string& text) {
    static const char* const kMonths[] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                          "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
    char weekday[4] = {};
    char month[4] = {};
    int day = 0, hour = 0, minute = 0, second = 0, year = 0, used = 0;
    if (std::sscanf(text.c_str(), "%3s %3s %d %d:%d:%d %d%n", weekday, month, &day, &hour, &minute,
                    &second, &year, &used) != 7 ||
        text.find_first_not_of(" \t\r\n", static_cast<std::size_t>(used)) != std::string::npos) {
        return std::string();
    }
    int monthNumber = 0;
    for (int m = 0; m < 12; ++m) {
        if (std::strcmp(month, kMonths[m]) == 0) {
            monthNumber = m + 1;
        }
    }
    if (monthNumber == 0 || day < 1 || day > 31 || hour < 0 || hour > 23 || minute < 0 ||
        minute > 59 || second < 0 || second > 60 || year < 0 || year > 9999) {
        return std::string();
    }
    char iso[32];
    std::snprintf(iso, sizeof iso, "%04d-%02d-%02dT%02d:%02d:%02d", year, monthNumber, day, hour,
                  minute, second);
    return iso;
}

std::string CueFileOf(int fileEye, int swapSides) {
    return kCueFiles[static_cast<std::size_t>(CueIndexFor(fileEye - 1, swapSides))];
}

std::string ValidUtf8(const std::string& text) {
    std::string out;
    std::size_t i = 0;
    while (i < text.size()) {
        const auto byte = [&](std::size_t k) { return static_cast<unsigned char>(text[k]); };
        const unsigned char lead = byte(i);
        std::size_t length = lead < 0x80                    ? 1
                             : lead >= 0xC2 && lead <= 0xDF ? 2
                             : lead >= 0xE0 && lead <= 0xEF ? 3
                             : lead >= 0xF0 && lead <= 0xF4 ? 4
                                                            : 0;
        bool ok = length > 0 && i + length <= text.size();
        for (std::size_t k = 1; ok && k < length; ++k) {
            ok = (byte(i + k) & 0xC0) == 0x80;
        }
        // Overlong forms, surrogates and code points beyond U+10FFFF.
        if (ok && length == 3) {
            const unsigned char next = byte(i + 1);
            ok = !(lead == 0xE0 && next < 0xA0) && !(lead == 0xED && next >= 0xA0);
        } else if (ok && length == 4) {
            const unsigned char next = byte(i + 1);
            ok = !(lead == 0xF0 && next < 0x90) && !(lead == 0xF4 && next >= 0x90);
        }
        if (ok) {
            out.append(text, i, length);
            i += length;
        } else {
            out += "\xEF\xBF\xBD";
            ++i;
        }
    }
    return out;
}
