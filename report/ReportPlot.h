#pragma once

#include <array>
#include <string>
#include <vector>

// One point of a plotted line: mean reaction time with the half-width of its error bar (0: no
// bar).
struct PlotPoint {
    double disparity;
    double mean;
    double bar;
};

struct PlotData {
    std::string title;
    std::string caption;  // under the title: what the plot holds and what its bars show
    // Eye 1, eye 2; cells without a mean are left out, and the line breaks there.
    std::array<std::vector<PlotPoint>, 2> eyes;
};

enum class PlotFormat { Png, Svg, Pdf };

// "png", "svg", "pdf": the file name extension and the --format name.
const char* PlotExtension(PlotFormat format);

// Line colours of eye 1 and eye 2 as "#RRGGBB", as they appear in the SVG.
inline constexpr std::array<const char*, 2> kEyeColours = {"#1F5FA8", "#D55E00"};

// Writes the chart with PLplot (device "pngcairo", "svg" or "pdfcairo"). Width and height are
// pixels for PNG and points for SVG and PDF; lines, markers and text scale with them. False with a
// message when the device or the file is not available.
bool WritePlot(const PlotData& data, PlotFormat format, const std::string& path, int width,
               int height, std::string& error);
