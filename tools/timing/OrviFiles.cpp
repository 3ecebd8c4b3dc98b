#include "OrviFiles.h"

#include <unistd.h>

#include "CExperiment.h"
#include "FolderPlatform.h"
#include "LineReader.h"
#include "PosixFileSystem.h"
#include "RecordLineParser.h"

std::vector<double> ReadRecordTimes(const std::string& path) {
    std::vector<double> times;
    PosixFileSystem files;
    FileSystem::Opened opened = files.openForReading(path);
    if (opened.result != FileSystem::Opened::Result::Ok) return times;
    LineReader reader(*opened.source, LineSplitter::kRecordBuffer);
    LinePiece piece;
    TrialLine line{};
    while (reader.next(piece))
        if (RecordLineParser::ParseTrialLine(piece.text, line)) times.push_back(line.reactionTime);
    return times;
}

void MatchRecordTimes(const std::vector<double>& times, int run, std::vector<Trial>& trials) {
    std::size_t i = 0;
    for (Trial& t : trials)
        if (t.run == run && i < times.size()) t.recordRt = times[i++];
}

std::optional<BenchSettings> ReadBenchSettings(const std::string& folder) {
    // orvi would write the defaults into a missing file; the bench only reads.
    if (access((folder + "/orvi.ini").c_str(), R_OK) != 0) return std::nullopt;
    FolderPlatform platform(folder + "/orvi");
    PosixFileSystem files;
    const CExperiment experiment(platform, files);
    return BenchSettings{experiment.m_nBeepDelay, experiment.m_nBeepLength, experiment.m_nFaceDelay,
                         experiment.m_nBlinkWhite, experiment.m_nBlinkRed};
}
