// The report's reader and tables: whatever the record files hold, the reader keeps only lines
// the experiment could have written, and every number in the tables is finite and printed
// whole as the value it stands for (the columns' layout: tests/report ReportCommand).
#include <cmath>

#include "FuzzSupport.h"
#include "ParticipantFile.h"
#include "ReportTables.h"
#include "SlopeTest.h"
#include "Statistics.h"
#include "WithinSubjectInterval.h"

namespace {

std::vector<std::string> Split(const std::string& text, char separator) {
    std::vector<std::string> parts(1);
    for (char c : text) c == separator ? parts.emplace_back() : parts.back() += c;
    return parts;
}

// Every row has as many fields as the header (each value's printing: CheckPrinted).
void CheckCsv(const std::string& csv, const char* name) {
    const std::vector<std::string> rows = Split(csv, '\n');
    FUZZ_CHECK(rows.size() >= 2 && rows.back().empty(), "%s: rows", name);
    for (std::size_t r = 1; r + 1 < rows.size(); ++r)
        FUZZ_CHECK(Split(rows[r], ',').size() == Split(rows[0], ',').size(), "%s row %zu", name, r);
}

// The printed value is the value, to its decimals.
void CheckPrinted(std::optional<double> value, int decimals, const char* what) {
    if (!value) return;
    FUZZ_CHECK(std::isfinite(*value), "%s is %g", what, *value);
    const std::string text = FormatFixed(value, decimals);
    const double back = std::strtod(text.c_str(), nullptr);
    FUZZ_CHECK(
        std::fabs(back - *value) <= 0.51 * std::pow(10.0, -decimals) + 1e-15 * std::fabs(*value),
        "%s %.17g printed as '%s'", what, *value, text.c_str());
}

void CheckDescriptives(const Descriptives& d, const char* what) {
    for (const std::optional<double>& v : {d.mean, d.median, d.sd, d.se}) CheckPrinted(v, 2, what);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    FuzzInput input(data, size);
    Trimming trimming;
    const std::uint8_t rules = input.byte();
    if (rules & 1) trimming.minRt = input.byte() * 4.0;
    if (rules & 2) trimming.sdCut = 0.5 + input.byte() / 32.0;

    // Form feeds part the input into participants' files.
    std::vector<ParticipantReport> participants;
    std::vector<CellTable> tables;
    const std::vector<std::string> contents = Split(std::string(input.rest), '\f');
    for (std::size_t i = 0; i < contents.size() && i < 4; ++i) {
        ParticipantFile file;
        file.path = "s" + std::to_string(i) + ".txt";
        ScanRecordContent(contents[i], file);
        FUZZ_CHECK(file.trials.size() == file.origins.size(), "trials without origins");
        for (const TrialLine& line : file.trials)
            FUZZ_CHECK(CheckTrialLine(line).empty() && std::isfinite(line.reactionTime),
                       "kept the trial '%s'", line.Format().c_str());

        ParticipantReport report;
        report.id = file.path;
        report.counts = file.Counts();
        report.cells = SummarizeCells(file.trials, trimming);
        report.slopes = FitSlopes(report.cells);
        for (const Cell& cell : report.cells) {
            FUZZ_CHECK(cell.rt.n + cell.trimmed == cell.correct && cell.correct <= cell.valid,
                       "cell counts");
            CheckPrinted(cell.accuracy, 4, "accuracy");
            CheckDescriptives(cell.rt, "cell RT");
        }
        for (const LineFit& fit :
             {report.slopes.eye[0], report.slopes.eye[1], report.slopes.both}) {
            CheckPrinted(fit.slope, 4, "slope");
            CheckPrinted(fit.intercept, 2, "intercept");
        }
        tables.push_back(report.cells);
        participants.push_back(std::move(report));
    }
    CheckCsv(FormatCellsCsv(participants), "cells");
    CheckCsv(FormatSlopesCsv(participants), "slopes");
    if (participants.size() < 2) return 0;

    // The pooled outputs, as the report makes them for two or more participants.
    const GroupTable group = PoolParticipants(tables);
    const WithinSubjectTable within = WithinSubjectIntervals(tables);
    for (std::size_t i = 0; i < group.size(); ++i) {
        CheckDescriptives(group[i].rt, "group RT");
        CheckPrinted(group[i].accuracy, 4, "group accuracy");
        CheckPrinted(within[i].halfWidth, 2, "within-subject interval");
    }
    CheckCsv(FormatGroupCsv(group, within), "group");
    std::vector<SlopeTest> tests;
    for (int k = 0; k < 3; ++k) {
        std::vector<double> slopes;
        for (const ParticipantReport& p : participants) {
            const LineFit& fit = k < 2 ? p.slopes.eye[static_cast<std::size_t>(k)] : p.slopes.both;
            if (fit.slope) slopes.push_back(*fit.slope);
        }
        tests.push_back(TestSlopesAgainstZero("eye" + std::to_string(k), slopes));
    }
    CheckCsv(FormatSlopeTestsCsv(tests), "tests");
    const std::vector<std::string> lines = Split(FormatSlopeTestsText(tests), '\n');
    FUZZ_CHECK(lines.size() == tests.size() + 3 && lines.back().empty(),
               "the slope tests' summary has %zu lines", lines.size());
    return 0;
}
