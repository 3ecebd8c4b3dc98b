#include "ReportPaths.h"

#include "BidsDataset.h"
#include "PathName.h"

namespace {

// The path without a final ".csv", to which the other tables' suffixes are added.
std::string CsvStem(const std::string& path) {
    const std::string ext = ".csv";
    const std::size_t nameStart = PathName::FileNameStart(path);
    if (path.size() >= nameStart + ext.size() + 1 &&
        path.compare(path.size() - ext.size(), ext.size(), ext) == 0) {
        return path.substr(0, path.size() - ext.size());
    }
    return path;
}

}  // namespace

ReportPaths::ReportPaths(const ReportOptions& options)
    : m_options(options),
      m_cells(options.csvPath.empty() ? Join(options.outputDir, "orvi-report.csv")
                                      : options.csvPath),
      m_stem(CsvStem(m_cells)) {}

std::string ReportPaths::Join(const std::string& dir, const std::string& name) {
    if (dir.empty() || dir == ".") {
        return name;
    }
    return dir.back() == '/' ? dir + name : dir + "/" + name;
}

std::string ReportPaths::Plot(const std::string& name, PlotFormat format) const {
    return Join(m_options.outputDir, m_options.plotPrefix + "-" + name) + "." +
           PlotExtension(format);
}

std::string ReportPaths::PlotPattern() const {
    std::string pattern = Join(m_options.outputDir, m_options.plotPrefix + "-*.");
    for (std::size_t f = 0; f < m_options.formats.size(); ++f) {
        pattern += (f == 0 ? "" : "/") + std::string(PlotExtension(m_options.formats[f]));
    }
    return pattern;
}

std::vector<std::string> ReportPaths::Possible(const std::vector<std::string>& ids) const {
    std::vector<std::string> paths = {Cells(), Slopes(), Group(), Tests()};
    if (m_options.plots) {
        std::vector<std::string> names = ids;
        names.push_back("group");
        for (const std::string& name : names) {
            for (PlotFormat format : m_options.formats) {
                paths.push_back(Plot(name, format));
            }
        }
    }
    if (!m_options.trialsPath.empty()) {
        paths.push_back(m_options.trialsPath);
    }
    if (!m_options.bidsDir.empty()) {
        for (const std::string& path : PossibleBidsPaths(ids)) {
            paths.push_back(Join(m_options.bidsDir, path));
        }
    }
    return paths;
}
