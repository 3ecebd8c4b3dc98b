#include "QImageCanvas.h"

#include <QFontDatabase>
#include <QFontMetrics>
#include <QGuiApplication>
#include <QPainter>
#include <QPolygon>
#include <QString>
#include <algorithm>
#include <cmath>
#include <cstdint>

#include "FaceRenderer.h"

namespace {

constexpr double kPi = 3.14159265358979323846;

QColor ToQColor(Rgb c) { return QColor(c.r, c.g, c.b); }

// RGB32 stores 0xffRRGGBB; the alpha byte is ignored when comparing.
constexpr std::uint32_t kRgbMask = 0x00ffffffu;
std::uint32_t Packed(Rgb c) {
    return (std::uint32_t(c.r) << 16) | (std::uint32_t(c.g) << 8) | std::uint32_t(c.b);
}

QPen BlackPen(int width) {
    return QPen(Qt::black, width, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin);
}

// Canvas boxes exclude their right and bottom edges: the outline of (l, t, r, b) runs
// through pixels l and r - 1. The half-pixel shift makes Qt's aliased 5-pixel ellipse
// stroke straddle those pixels evenly (unshifted, its right and bottom sides land one pixel
// short).
QRectF OutlineBox(int left, int top, int right, int bottom) {
    return QRectF(left + 0.5, top + 0.5, right - left - 1, bottom - top - 1);
}

// Angle of the ray from the box's centre through p, counterclockwise on screen, in 1/16
// degree. Both are in pixel indices, so the centre is the middle of l..r-1.
double ScreenAngle16(int left, int top, int right, int bottom, PixelPoint p) {
    const double cx = (left + right - 1) / 2.0, cy = (top + bottom - 1) / 2.0;
    const double radians = std::atan2(cy - p.y, p.x - cx);
    return radians * 180.0 / kPi * 16.0;
}

class Painter : public QPainter {
  public:
    explicit Painter(QImage& image) : QPainter(&image) { setRenderHint(Antialiasing, false); }
};

}  // namespace

QImageCanvas::QImageCanvas(int width, int height) { resize(width, height); }

void QImageCanvas::resize(int width, int height) {
    image_ = QImage(std::max(width, 1), std::max(height, 1), QImage::Format_RGB32);
    image_.fill(ToQColor(FaceRenderer::kGrey));
    changes_ = QRegion(image_.rect());
}

// Generous by a pen's width: round caps and the stroke's rounding reach past the box.
void QImageCanvas::changed(const QRect& area) {
    constexpr int kMargin = 8;
    changes_ += area.normalized().adjusted(-kMargin, -kMargin, kMargin, kMargin) & image_.rect();
}

QRegion QImageCanvas::takeChanges() {
    QRegion taken;
    std::swap(taken, changes_);
    return taken;
}

int QImageCanvas::width() const { return image_.width(); }
int QImageCanvas::height() const { return image_.height(); }

void QImageCanvas::fillRect(int left, int top, int right, int bottom, Rgb colour) {
    Painter p(image_);
    p.fillRect(QRect(left, top, right - left, bottom - top), ToQColor(colour));
    changed(QRect(left, top, right - left, bottom - top));
}

void QImageCanvas::ellipse(int left, int top, int right, int bottom, Rgb fill, int penWidth) {
    Painter p(image_);
    p.setPen(BlackPen(penWidth));
    p.setBrush(ToQColor(fill));
    p.drawEllipse(OutlineBox(left, top, right, bottom));
    changed(QRect(left, top, right - left, bottom - top)
                .adjusted(-penWidth, -penWidth, penWidth, penWidth));
}

void QImageCanvas::rectangle(int left, int top, int right, int bottom, Rgb fill) {
    Painter p(image_);
    p.setPen(QPen(Qt::black, 1, Qt::SolidLine, Qt::SquareCap, Qt::MiterJoin));
    p.setBrush(ToQColor(fill));
    p.drawRect(QRect(left, top, right - left - 1, bottom - top - 1));
    changed(QRect(left, top, right - left, bottom - top));
}

void QImageCanvas::polyline(const std::vector<PixelPoint>& points, int penWidth) {
    QPolygon polygon;
    polygon.reserve(static_cast<int>(points.size()));
    for (const PixelPoint& pt : points) polygon << QPoint(pt.x, pt.y);
    Painter p(image_);
    p.setPen(BlackPen(penWidth));
    p.drawPolyline(polygon);
    changed(polygon.boundingRect().adjusted(-penWidth, -penWidth, penWidth, penWidth));
}

void QImageCanvas::arc(int left, int top, int right, int bottom, PixelPoint start, PixelPoint end,
                       int penWidth) {
    const double from = ScreenAngle16(left, top, right, bottom, start);
    double span = ScreenAngle16(left, top, right, bottom, end) - from;
    // Counterclockwise from start to end; equal rays mean the whole ellipse.
    while (span <= 0) span += 360 * 16;
    while (span > 360 * 16) span -= 360 * 16;
    Painter p(image_);
    p.setPen(BlackPen(penWidth));
    p.drawArc(OutlineBox(left, top, right, bottom), static_cast<int>(std::lround(from)),
              static_cast<int>(std::lround(span)));
    changed(QRect(left, top, right - left, bottom - top)
                .adjusted(-penWidth, -penWidth, penWidth, penWidth));
}

// Scanline span fill straight on the framebuffer: the face onset is timed, and this is the
// one operation whose cost grows with the screen.
void QImageCanvas::floodFill(int x, int y, Rgb target, Rgb fill) {
    const int w = image_.width(), h = image_.height();
    if (x < 0 || y < 0 || x >= w || y >= h) return;
    const std::uint32_t want = Packed(target);
    const std::uint32_t paint = 0xff000000u | Packed(fill);
    if (want == (paint & kRgbMask)) return;

    std::uint8_t* bits = image_.bits();
    const qsizetype stride = image_.bytesPerLine();
    auto row = [&](int yy) { return reinterpret_cast<std::uint32_t*>(bits + yy * stride); };
    auto isTarget = [&](const std::uint32_t* r, int xx) { return (r[xx] & kRgbMask) == want; };

    if (!isTarget(row(y), x)) return;

    struct Seed {
        int x, y;
    };
    std::vector<Seed> stack;
    stack.reserve(1024);
    stack.push_back({x, y});
    int minX = x, maxX = x, minY = y, maxY = y;

    while (!stack.empty()) {
        const Seed s = stack.back();
        stack.pop_back();
        std::uint32_t* r = row(s.y);
        if (!isTarget(r, s.x)) continue;  // painted since it was pushed

        int lx = s.x, rx = s.x;
        while (lx > 0 && isTarget(r, lx - 1)) --lx;
        while (rx + 1 < w && isTarget(r, rx + 1)) ++rx;
        for (int i = lx; i <= rx; ++i) r[i] = paint;
        minX = std::min(minX, lx);
        maxX = std::max(maxX, rx);
        minY = std::min(minY, s.y);
        maxY = std::max(maxY, s.y);

        // One seed per run of target pixels directly above and below the span (4-connected:
        // no diagonal reach past its ends).
        for (int ny : {s.y - 1, s.y + 1}) {
            if (ny < 0 || ny >= h) continue;
            const std::uint32_t* nr = row(ny);
            int i = lx;
            while (i <= rx) {
                if (!isTarget(nr, i)) {
                    ++i;
                    continue;
                }
                stack.push_back({i, ny});
                while (i <= rx && isTarget(nr, i)) ++i;
            }
        }
    }
    changed(QRect(QPoint(minX, minY), QPoint(maxX, maxY)));
}

// A fixed pixel size keeps the status box the same on every screen resolution and DPI setting.
static QFont StatusFont() {
    QFont font = QGuiApplication::font();
    if (QFontDatabase::families().contains(QStringLiteral("IPAGothic")))
        font.setFamily(QStringLiteral("IPAGothic"));
    font.setPixelSize(16);
    return font;
}

void QImageCanvas::text(int x, int y, const std::string& utf8) {
    const QString s = QString::fromUtf8(utf8.data(), static_cast<qsizetype>(utf8.size()));
    Painter p(image_);
    p.setFont(StatusFont());
    const QFontMetrics fm = p.fontMetrics();
    // Opaque white behind the glyphs, as a fresh paint context draws text.
    const QRect background(x, y, fm.horizontalAdvance(s), fm.height());
    p.fillRect(background, Qt::white);
    p.setPen(Qt::black);
    p.drawText(x, y + fm.ascent(), s);
    changed(background | fm.boundingRect(s).translated(x, y + fm.ascent()));
}
