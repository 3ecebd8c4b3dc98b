#pragma once

#include <string>
#include <vector>

#include "ReportOptions.h"

// Where each output of a report goes, as the options name them.
class ReportPaths {
  public:
    // Keeps a reference: `options` must outlive this.
    explicit ReportPaths(const ReportOptions& options);

    const std::string& Cells() const { return m_cells; }
    std::string Slopes() const { return m_stem + "-slopes.csv"; }
    std::string Group() const { return m_stem + "-group.csv"; }
    std::string Tests() const { return m_stem + "-tests.csv"; }

    // The plot of a participant, or "group".
    std::string Plot(const std::string& name, PlotFormat format) const;

    // The plots as the summary names them, e.g. "out/orvi-report-*.png/svg".
    std::string PlotPattern() const;

    // Every path the report may write for files of these participants (ids of the labelled
    // files), whichever of them turn out to hold trials: checked before anything is written.
    std::vector<std::string> Possible(const std::vector<std::string>& ids) const;

    // `name` inside `dir`; "." and "" are the current folder and are left out.
    static std::string Join(const std::string& dir, const std::string& name);

  private:
    const ReportOptions& m_options;
    std::string m_cells;
    std::string m_stem;  // the cell table's path without ".csv": the other tables add to it
};
