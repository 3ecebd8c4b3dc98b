#pragma once

#include <cstdint>
#include <string>
#include <vector>

// What the face renderer draws with. Coordinates are device pixels, origin top-left, y down.
// Boxes are (left, top, right, bottom) with right/bottom exclusive as in the old GDI calls.
struct Rgb {
    std::uint8_t r, g, b;
    bool operator==(const Rgb& o) const { return r == o.r && g == o.g && b == o.b; }
};

struct PixelPoint {
    int x, y;
};

struct PixelSize {
    int width, height;
};

class Canvas {
  public:
    virtual ~Canvas() = default;

    virtual int width() const = 0;
    virtual int height() const = 0;

    // Fills the box with a colour, no outline.
    virtual void fillRect(int left, int top, int right, int bottom, Rgb colour) = 0;
    // Ellipse inscribed in the box: outline with the pen (penWidth, black), interior in fill.
    virtual void ellipse(int left, int top, int right, int bottom, Rgb fill, int penWidth) = 0;
    // Rectangle: one-pixel black outline, interior in fill.
    virtual void rectangle(int left, int top, int right, int bottom, Rgb fill) = 0;
    // Connected line segments with the black pen of penWidth (round caps and joins).
    virtual void polyline(const std::vector<PixelPoint>& points, int penWidth) = 0;
    // Arc of the ellipse inscribed in the box, counterclockwise on screen from the ray through
    // start to the ray through end, black pen of penWidth.
    virtual void arc(int left, int top, int right, int bottom, PixelPoint start, PixelPoint end,
                     int penWidth) = 0;
    // Repaints with fill the 4-connected area around (x, y) whose pixels are exactly target.
    virtual void floodFill(int x, int y, Rgb target, Rgb fill) = 0;
    // Text (UTF-8) with its top-left corner at (x, y), black on opaque white, default font.
    virtual void text(int x, int y, const std::string& utf8) = 0;
};
