#include "ReportInputs.h"

#include <ostream>

#include "ParticipantPool.h"

namespace {

// False when the file has lines that cannot be used.
bool TellLineProblems(const ParticipantFile& file, std::ostream& err) {
    for (const LineProblem& problem : file.problems) {
        err << file.path << ":" << problem.line << ": " << problem.message << "\n";
        if (problem.more > 0) {
            err << "\u2026 and " << problem.more << " more line" << (problem.more == 1 ? "" : "s")
                << " like this in " << file.path << "\n";
        }
    }
    return file.problems.empty();
}

// One verdict per pooled trial; each file's share goes to its rows of the trial table.
void ShareVerdicts(const ParticipantPool& pool, const std::vector<ParticipantFile>& files,
                   const Trimming& trimming, std::vector<TrialTableFile>& tables) {
    const std::vector<TrialUse> uses = ClassifyTrials(pool.trials, trimming);
    auto next = uses.begin();
    for (std::size_t k : pool.members) {
        const auto end = next + static_cast<std::ptrdiff_t>(files[k].trials.size());
        tables[k] = {&files[k], pool.id, {next, end}};
        next = end;
    }
}

ParticipantReport Summarize(const ParticipantPool& pool, const Trimming& trimming,
                            SdCutReach& sdCutReach) {
    ParticipantReport report;
    report.id = pool.id;
    report.counts = pool.counts;
    report.cells = SummarizeCells(pool.trials, trimming);
    if (trimming.sdCut) {
        CountSdCutReach(SummarizeCells(pool.trials, {trimming.minRt, std::nullopt}),
                        *trimming.sdCut, sdCutReach);
    }
    report.slopes = FitSlopes(report.cells);
    return report;
}

}  // namespace

ReadFiles ReadInputFiles(const ReportOptions& options, const ParticipantLabels& labels,
                         FileSystem& files, std::ostream& err) {
    ReadFiles read;
    for (std::size_t i = 0; i < options.files.size(); ++i) {
        if (labels.ids[i].empty()) {
            err << options.files[i] << ": name does not match --participant '"
                << *options.participant << "'\n";
            read.complete = false;
            continue;
        }
        ParticipantFile file = ReadParticipantFile(files, options.files[i]);
        if (!file.readable) {
            err << file.path << ": " << file.readError << "\n";
            read.complete = false;
            continue;
        }
        read.complete = TellLineProblems(file, err) && read.complete;
        if (file.Counts().valid == 0) {
            read.withoutData.push_back(file.path);
            read.complete = false;
        }
        read.files.push_back(std::move(file));
        read.ids.push_back(labels.ids[i]);
    }
    return read;
}

PooledFiles PoolFiles(const ReadFiles& read, const Trimming& trimming) {
    PooledFiles pooled;
    pooled.tables.resize(read.files.size());
    for (const ParticipantPool& pool : PoolByParticipant(read.files, read.ids)) {
        ShareVerdicts(pool, read.files, trimming, pooled.tables);
        if (pool.counts.valid == 0) {
            continue;
        }
        pooled.participants.push_back(Summarize(pool, trimming, pooled.sdCutReach));
        std::vector<std::string>& paths = pooled.paths.emplace_back();
        for (std::size_t k : pool.members) {
            paths.push_back(read.files[k].path);
        }
    }
    return pooled;
}
