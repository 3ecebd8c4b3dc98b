#pragma once

#include <array>
#include <string>
#include <vector>

// One point of a plotted line: mean reaction time with its standard error (0 when unknown).
struct PlotPoint {
    double disparity;
    double mean;
    double se;
};

struct PlotData {
    std::string title;
    std::array<std::vector<PlotPoint>, 2> eyes;  // eye 1, eye 2; cells without a mean left out
};

enum class PlotFormat { Png, Svg };

// Line colours of eye 1 and eye 2 as "#RRGGBB", as they appear in the SVG.
inline constexpr std::array<const char*, 2> kEyeColours = {"#1F5FA8", "#D55E00"};

// Writes the chart with PLplot (device "pngcairo" or "svg"). Width and height are pixels for
// PNG and points for SVG. False with a message when the device or the file is not available.
bool WritePlot(const PlotData& data, PlotFormat format, const std::string& path, int width,
               int height, std::string& error);
