#include "ReportPlot.h"

#include <plplot.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string_view>
#include <vector>

namespace {

constexpr int kBackground = 0;
constexpr int kInk = 1;
constexpr int kGrid = 4;
constexpr int kEyeColour0 = 2;  // colour map 0 index of eye 1; eye 2 follows

// Eyes are drawn a little apart so that their error bars do not hide each other.
constexpr double kDodge = 2.0;

// Cells lie this far apart; a wider gap between two points is a cell without data.
constexpr double kCellStep = 45.0;

// Line widths and marker sizes are chosen for 800x600 and grow with the plot.
constexpr double kBaseWidth = 800.0;
constexpr double kBaseHeight = 600.0;

// Filled circle and square (UTF-8), drawn with the device's own font.
constexpr const char* kMarkers[2] = {"\u25CF", "\u25A0"};

void SetColourFromHex(int index, const char* hex) {
    const long rgb = std::strtol(hex + 1, nullptr, 16);
    plscol0(index, static_cast<PLINT>((rgb >> 16) & 0xFF), static_cast<PLINT>((rgb >> 8) & 0xFF),
            static_cast<PLINT>(rgb & 0xFF));
}

bool DeviceAvailable(const char* name) {
    const char* menus[64];
    const char* devices[64];
    const char** menuList = menus;
    const char** deviceList = devices;
    int count = 64;
    plgDevs(&menuList, &deviceList, &count);
    for (int i = 0; i < count; ++i) {
        if (std::strcmp(deviceList[i], name) == 0) {
            return true;
        }
    }
    return false;
}

// PLplot ends the process on errors it cannot recover from; everything that can be checked
// beforehand is, so this only runs on a fault inside the library.
int OnPlplotExit(const char* message) {
    std::fflush(stdout);
    std::fprintf(stderr, "orvi-report: plotting failed: %s\n", message ? message : "");
    return 1;
}

// A y range with room above and below, in round numbers of 50 ms.
void YRange(const PlotData& data, double& low, double& high) {
    low = 1e300;
    high = -1e300;
    for (const auto& eye : data.eyes) {
        for (const PlotPoint& p : eye) {
            low = std::min(low, p.mean - p.bar);
            high = std::max(high, p.mean + p.bar);
        }
    }
    if (low > high) {
        low = 0.0;
        high = 1000.0;
    }
    const double pad = std::max(25.0, (high - low) * 0.1);
    low = std::max(0.0, std::floor((low - pad) / 50.0) * 50.0);
    high = std::ceil((high + pad) / 50.0) * 50.0;
}

void DrawEye(const std::vector<PlotPoint>& points, int eyeIndex, double scale) {
    if (points.empty()) {
        return;
    }
    const double offset = eyeIndex == 0 ? -kDodge : kDodge;
    std::vector<PLFLT> x;
    std::vector<PLFLT> y;
    std::vector<PLFLT> barX;
    std::vector<PLFLT> low;
    std::vector<PLFLT> high;
    for (const PlotPoint& p : points) {
        x.push_back(p.disparity + offset);
        y.push_back(p.mean);
        if (p.bar > 0.0) {
            barX.push_back(p.disparity + offset);
            low.push_back(p.mean - p.bar);
            high.push_back(p.mean + p.bar);
        }
    }
    plcol0(kEyeColour0 + eyeIndex);
    plwidth(1.5 * scale);
    if (!barX.empty()) {
        // The caps are as long as the minor ticks.
        plsmin(0.0, 2.0);
        plerry(static_cast<PLINT>(barX.size()), barX.data(), low.data(), high.data());
        plsmin(0.0, 1.0);
    }
    plwidth(2.5 * scale);
    std::size_t start = 0;
    for (std::size_t i = 1; i <= points.size(); ++i) {
        if (i == points.size() || points[i].disparity - points[i - 1].disparity > kCellStep) {
            if (i - start >= 2) {
                plline(static_cast<PLINT>(i - start), &x[start], &y[start]);
            }
            start = i;
        }
    }
    plstring(static_cast<PLINT>(x.size()), x.data(), y.data(), kMarkers[eyeIndex]);
}

void DrawLegend(const PlotData& data, double scale) {
    PLINT options[2];
    PLINT textColours[2];
    const char* texts[2];
    PLINT lineColours[2];
    PLINT lineStyles[2];
    PLFLT lineWidths[2];
    PLINT symbolColours[2];
    PLFLT symbolScales[2];
    PLINT symbolNumbers[2];
    const char* symbols[2];
    static const char* const kNames[2] = {"Eye 1", "Eye 2"};
    PLINT n = 0;
    for (int e = 0; e < 2; ++e) {
        if (data.eyes[static_cast<std::size_t>(e)].empty()) {
            continue;
        }
        options[n] = PL_LEGEND_LINE | PL_LEGEND_SYMBOL;
        textColours[n] = kInk;
        texts[n] = kNames[e];
        lineColours[n] = kEyeColour0 + e;
        lineStyles[n] = 1;
        lineWidths[n] = 2.5 * scale;
        symbolColours[n] = kEyeColour0 + e;
        symbolScales[n] = 1.1;
        symbolNumbers[n] = 1;
        symbols[n] = kMarkers[e];
        ++n;
    }
    if (n == 0) {
        return;
    }
    PLFLT width = 0.0;
    PLFLT height = 0.0;
    pllegend(&width, &height, PL_LEGEND_BACKGROUND | PL_LEGEND_BOUNDING_BOX,
             PL_POSITION_TOP | PL_POSITION_LEFT | PL_POSITION_INSIDE, 0.03, 0.03, 0.08, kBackground,
             kGrid, 1, 0, 0, n, options, 1.0, 1.0, 2.2, 1.0, textColours, texts, nullptr, nullptr,
             nullptr, nullptr, lineColours, lineStyles, lineWidths, symbolColours, symbolScales,
             symbolNumbers, symbols);
}

// PLplot does not report failed writes, so a plot is checked for the end its format must have:
// a full disk or a file size limit cuts it short.
bool EndsComplete(const std::string& path, PlotFormat format) {
    std::FILE* file = std::fopen(path.c_str(), "rb");
    if (file == nullptr) {
        return false;
    }
    char tail[64];
    std::size_t n = 0;
    if (std::fseek(file, 0, SEEK_END) == 0) {
        const long size = std::ftell(file);
        const long start = size > static_cast<long>(sizeof tail) ? size - sizeof tail : 0;
        if (size >= 0 && std::fseek(file, start, SEEK_SET) == 0) {
            n = std::fread(tail, 1, sizeof tail, file);
        }
    }
    std::fclose(file);
    std::string_view end(tail, n);
    if (format == PlotFormat::Png) {
        // The IEND chunk: length 0, type, CRC.
        constexpr std::string_view kEnd("\0\0\0\0IEND\xAE\x42\x60\x82", 12);
        return end.size() >= kEnd.size() && end.substr(end.size() - kEnd.size()) == kEnd;
    }
    while (!end.empty() && std::isspace(static_cast<unsigned char>(end.back()))) {
        end.remove_suffix(1);
    }
    const std::string_view last = format == PlotFormat::Svg ? "</svg>" : "%%EOF";
    return end.size() >= last.size() && end.substr(end.size() - last.size()) == last;
}

// PLplot would end the process on a device it lacks or a file it cannot create.
bool CanPlot(const char* device, const std::string& path, std::string& error) {
    if (!DeviceAvailable(device)) {
        error = std::string("PLplot device \"") + device + "\" is not installed";
        return false;
    }
    std::FILE* probe = std::fopen(path.c_str(), "wb");
    if (probe == nullptr) {
        error = "cannot write (" + std::string(std::strerror(errno)) + ")";
        return false;
    }
    std::fclose(probe);
    return true;
}

void BeginPlot(const char* device, const std::string& path, int width, int height) {
    plsexit(OnPlplotExit);
    plsdev(device);
    plsfnam(path.c_str());
    const std::string geometry = std::to_string(width) + "x" + std::to_string(height);
    plsetopt("geometry", geometry.c_str());
    plscol0(kBackground, 255, 255, 255);
    plscol0(kInk, 0, 0, 0);
    plscol0(kGrid, 200, 200, 200);
    SetColourFromHex(kEyeColour0, kEyeColours[0]);
    SetColourFromHex(kEyeColour0 + 1, kEyeColours[1]);
    plinit();
}

// Axes, grid, labels, title and caption.
void DrawFrame(const PlotData& data, double scale) {
    double low = 0.0;
    double high = 0.0;
    YRange(data, low, high);
    pladv(0);
    plschr(0.0, 1.15);
    plvpor(0.12, 0.95, 0.13, 0.86);
    plwind(-12.0, 192.0, low, high);
    plcol0(kGrid);
    plwidth(0.8 * scale);
    plbox("g", 45.0, 0, "g", 0.0, 0);
    plcol0(kInk);
    plwidth(1.0 * scale);
    plbox("bcnst", 45.0, 3, "bcnstv", 0.0, 0);
    pllab("Angular disparity from upright (deg)", "Mean reaction time (ms)", "");
    plmtex("t", 2.2, 0.5, 0.5, data.title.c_str());
    plschr(0.0, 0.9);
    plmtex("t", 1.2, 0.5, 0.5, data.caption.c_str());
    plschr(0.0, 1.15);
}

}  // namespace

const char* PlotExtension(PlotFormat format) {
    switch (format) {
        case PlotFormat::Png: return "png";
        case PlotFormat::Svg: return "svg";
        case PlotFormat::Pdf: return "pdf";
    }
    return "";
}

bool WritePlot(const PlotData& data, PlotFormat format, const std::string& path, int width,
               int height, std::string& error) {
    const char* device = format == PlotFormat::Png   ? "pngcairo"
                         : format == PlotFormat::Svg ? "svg"
                                                     : "pdfcairo";
    if (!CanPlot(device, path, error)) {
        return false;
    }
    BeginPlot(device, path, width, height);
    const double scale = std::min(width / kBaseWidth, height / kBaseHeight);
    DrawFrame(data, scale);
    DrawEye(data.eyes[0], 0, scale);
    DrawEye(data.eyes[1], 1, scale);
    DrawLegend(data, scale);
    plend();
    if (!EndsComplete(path, format)) {
        error = "plot not written completely (disk full?)";
        return false;
    }
    return true;
}
