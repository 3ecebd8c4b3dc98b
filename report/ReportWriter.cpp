#include "ReportWriter.h"

#include <sys/stat.h>
#include <sys/types.h>

#include <cerrno>
#include <cstring>
#include <ostream>

#include "ReportPaths.h"

namespace {

bool EnsureDirectory(const std::string& dir, std::string& error) {
    struct stat info {};
    if (::stat(dir.c_str(), &info) == 0) {
        if (S_ISDIR(info.st_mode)) {
            return true;
        }
        error = "not a folder";
        return false;
    }
    if (::mkdir(dir.c_str(), 0777) == 0) {
        return true;
    }
    error = std::string("cannot create folder (") + std::strerror(errno) + ")";
    return false;
}

}  // namespace

ReportWriter::ReportWriter(const OutputFiles& files, std::ostream& err)
    : m_files(files), m_err(err) {}

void ReportWriter::Failed(const std::string& path, const std::string& error) {
    m_err << path << ": " << error << "\n";
    m_complete = false;
}

bool ReportWriter::MakeFolder(const std::string& dir) {
    std::string error;
    if (!EnsureDirectory(dir, error)) {
        Failed(dir, error);
        return false;
    }
    return true;
}

void ReportWriter::WriteText(const std::string& path, const std::string& text) {
    std::string error;
    if (m_files.WriteText(path, text, error)) {
        m_written.push_back(path);
    } else {
        Failed(path, error);
    }
}

bool ReportWriter::BidsFolderReady(const std::string& dir,
                                   const std::vector<DatasetFile>& dataset) {
    const std::string foreign = ForeignSubjectEntry(dir, dataset);
    if (!foreign.empty()) {
        m_err << dir << ": holds " << foreign
              << ", which is not among these participants' files; no BIDS dataset written "
                 "(remove it or choose another folder)\n";
        m_complete = false;
        return false;
    }
    return MakeFolder(dir);
}

void ReportWriter::WriteBids(const std::string& dir, const std::vector<DatasetFile>& dataset) {
    if (!BidsFolderReady(dir, dataset)) {
        return;
    }
    for (const DatasetFile& file : dataset) {
        const std::string path = ReportPaths::Join(dir, file.path);
        std::string error;
        if (!(file.folder ? EnsureDirectory(path, error)
                          : m_files.WriteText(path, file.text, error))) {
            Failed(path, error);
            return;
        }
    }
    m_written.push_back(dir + "/ (BIDS)");
}

void ReportWriter::WritePlot(const std::string& path, const PlotData& data, PlotFormat format,
                             int width, int height) {
    const auto plot = [&](const std::string& temporary, std::string& plotError) {
        return ::WritePlot(data, format, temporary, width, height, plotError);
    };
    std::string error;
    if (m_files.Write(path, plot, error)) {
        ++m_plots;
    } else {
        Failed(path, error);
    }
}

void ReportWriter::PrintWritten(std::ostream& out, const std::string& plotPattern) const {
    if (m_written.empty() && m_plots == 0) {
        return;
    }
    out << "\nWrote:";
    for (const std::string& path : m_written) {
        out << " " << path;
    }
    if (m_plots > 0) {
        out << " and " << m_plots << " plots " << plotPattern;
    }
    out << "\n";
}
