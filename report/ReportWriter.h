#pragma once

#include <iosfwd>
#include <string>
#include <vector>

#include "BidsDataset.h"
#include "OutputFiles.h"
#include "ReportPlot.h"

// Writes a report's outputs through OutputFiles, telling `err` of each that fails and keeping
// the rest for the summary's list of what was written.
class ReportWriter {
  public:
    ReportWriter(const OutputFiles& files, std::ostream& err);

    // Creates the folder when it is missing.
    bool MakeFolder(const std::string& dir);

    void WriteText(const std::string& path, const std::string& text);

    // Nothing when the folder holds another participant's data; otherwise file by file, each
    // whole, up to the first that cannot be written.
    void WriteBids(const std::string& dir, const std::vector<DatasetFile>& dataset);

    void WritePlot(const std::string& path, const PlotData& data, PlotFormat format, int width,
                   int height);

    // "Wrote: ..." with the plots as `plotPattern`; nothing when nothing was written.
    void PrintWritten(std::ostream& out, const std::string& plotPattern) const;

    // Every output asked for was written.
    bool Complete() const { return m_complete; }

  private:
    void Failed(const std::string& path, const std::string& error);
    bool BidsFolderReady(const std::string& dir, const std::vector<DatasetFile>& dataset);

    const OutputFiles& m_files;
    std::ostream& m_err;
    std::vector<std::string> m_written;  // tables, and the BIDS folder
    int m_plots = 0;
    bool m_complete = true;
};
