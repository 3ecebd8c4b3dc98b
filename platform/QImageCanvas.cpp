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

// Paints the pixels of the target colour 4-connected to a seed, a run at a time.
class SpanFill {
  public:
    SpanFill(QImage& image, std::uint32_t want, std::uint32_t paint)
        : m_bits(image.bits()),
          m_stride(image.bytesPerLine()),
          m_width(image.width()),
          m_height(image.height()),
          m_want(want),
          m_paint(paint) {}

    std::uint32_t* row(int y) const {
        return reinterpret_cast<std::uint32_t*>(m_bits + y * m_stride);
    }
    bool isTarget(const std::uint32_t* row, int x) const { return (row[x] & kRgbMask) == m_want; }

    // The box of the pixels painted.
    QRect fill(int x, int y) {
        QRect painted(x, y, 1, 1);
        m_seeds.reserve(1024);
        m_seeds.push_back({x, y});
        while (!m_seeds.empty()) {
            const Seed s = m_seeds.back();
            m_seeds.pop_back();
            std::uint32_t* r = row(s.y);
            if (!isTarget(r, s.x)) {
                continue;  // painted since it was pushed
            }
            int left = s.x, right = s.x;
            while (left > 0 && isTarget(r, left - 1)) {
                --left;
            }
            while (right + 1 < m_width && isTarget(r, right + 1)) {
                ++right;
            }
            std::fill(r + left, r + right + 1, m_paint);
            painted |= QRect(QPoint(left, s.y), QPoint(right, s.y));
            seedRuns(s.y - 1, left, right);
            seedRuns(s.y + 1, left, right);
        }
        return painted;
    }

  private:
    struct Seed {
        int x, y;
    };

    // One seed per run of target pixels in row y between left and right: 4-connected, no
    // diagonal reach past a span's ends.
    void seedRuns(int y, int left, int right) {
        if (y < 0 || y >= m_height) {
            return;
        }
        const std::uint32_t* r = row(y);
        int i = left;
        while (i <= right) {
            if (!isTarget(r, i)) {
                ++i;
                continue;
            }
            m_seeds.push_back({i, y});
            while (i <= right && isTarget(r, i)) {
                ++i;
            }
        }
    }

    std::uint8_t* m_bits;
    qsizetype m_stride;
    int m_width, m_height;
    std::uint32_t m_want, m_paint;
    std::vector<Seed> m_seeds;
};

class Painter : public QPainter {
  public:
    explicit Painter(QImage& image) : QPainter(&image) { setRenderHint(Antialiasing, false); }
};

// A fixed pixel size keeps the status box the same on every screen resolution and DPI setting.
QFont StatusFont() {
    QFont font = QGuiApplication::font();
    if (QFontDatabase::families().contains(QStringLiteral("IPAGothic"))) {
        font.setFamily(QStringLiteral("IPAGothic"));
    }
    font.setPixelSize(16);
    return font;
}

}  // namespace

QImageCanvas::QImageCanvas(int width, int height) { resize(width, height); }

void QImageCanvas::resize(int width, int height) {
    m_image = QImage(std::max(width, 1), std::max(height, 1), QImage::Format_RGB32);
    m_image.fill(ToQColor(FaceRenderer::kGrey));
    m_changes = QRegion(m_image.rect());
}

// Generous by a pen's width: round caps and the stroke's rounding reach past the box.
void QImageCanvas::changed(const QRect& area) {
    constexpr int kMargin = 8;
    m_changes += area.normalized().adjusted(-kMargin, -kMargin, kMargin, kMargin) & m_image.rect();
}

QRegion QImageCanvas::takeChanges() {
    QRegion taken;
    std::swap(taken, m_changes);
    return taken;
}

int QImageCanvas::width() const { return m_image.width(); }
int QImageCanvas::height() const { return m_image.height(); }

void QImageCanvas::fillRect(int left, int top, int right, int bottom, Rgb colour) {
    Painter p(m_image);
    p.fillRect(QRect(left, top, right - left, bottom - top), ToQColor(colour));
    changed(QRect(left, top, right - left, bottom - top));
}

void QImageCanvas::ellipse(int left, int top, int right, int bottom, Rgb fill, int penWidth) {
    Painter p(m_image);
    p.setPen(BlackPen(penWidth));
    p.setBrush(ToQColor(fill));
    p.drawEllipse(OutlineBox(left, top, right, bottom));
    changed(QRect(left, top, right - left, bottom - top)
                .adjusted(-penWidth, -penWidth, penWidth, penWidth));
}

void QImageCanvas::rectangle(int left, int top, int right, int bottom, Rgb fill) {
    Painter p(m_image);
    p.setPen(QPen(Qt::black, 1, Qt::SolidLine, Qt::SquareCap, Qt::MiterJoin));
    p.setBrush(ToQColor(fill));
    p.drawRect(QRect(left, top, right - left - 1, bottom - top - 1));
    changed(QRect(left, top, right - left, bottom - top));
}

void QImageCanvas::polyline(const std::vector<PixelPoint>& points, int penWidth) {
    QPolygon polygon;
    polygon.reserve(static_cast<int>(points.size()));
    for (const PixelPoint& pt : points) {
        polygon << QPoint(pt.x, pt.y);
    }
    Painter p(m_image);
    p.setPen(BlackPen(penWidth));
    p.drawPolyline(polygon);
    changed(polygon.boundingRect().adjusted(-penWidth, -penWidth, penWidth, penWidth));
}

void QImageCanvas::arc(int left, int top, int right, int bottom, PixelPoint start, PixelPoint end,
                       int penWidth) {
    const double from = ScreenAngle16(left, top, right, bottom, start);
    double span = ScreenAngle16(left, top, right, bottom, end) - from;
    // Counterclockwise from start to end; equal rays mean the whole ellipse.
    while (span <= 0) {
        span += 360 * 16;
    }
    while (span > 360 * 16) {
        span -= 360 * 16;
    }
    Painter p(m_image);
    p.setPen(BlackPen(penWidth));
    p.drawArc(OutlineBox(left, top, right, bottom), static_cast<int>(std::lround(from)),
              static_cast<int>(std::lround(span)));
    changed(QRect(left, top, right - left, bottom - top)
                .adjusted(-penWidth, -penWidth, penWidth, penWidth));
}

// Scanline span fill straight on the framebuffer: the face onset is timed, and this is the
// one operation whose cost grows with the screen.
void QImageCanvas::floodFill(int x, int y, Rgb target, Rgb fill) {
    if (x < 0 || y < 0 || x >= m_image.width() || y >= m_image.height()) {
        return;
    }
    const std::uint32_t want = Packed(target);
    const std::uint32_t paint = 0xff000000u | Packed(fill);
    if (want == (paint & kRgbMask)) {
        return;
    }
    SpanFill spans(m_image, want, paint);
    if (spans.isTarget(spans.row(y), x)) {
        changed(spans.fill(x, y));
    }
}

void QImageCanvas::text(int x, int y, const std::string& utf8) {
    const QString s = QString::fromUtf8(utf8.data(), static_cast<qsizetype>(utf8.size()));
    Painter p(m_image);
    p.setFont(StatusFont());
    const QFontMetrics fm = p.fontMetrics();
    // Opaque white behind the glyphs, as a fresh paint context draws text.
    const QRect background(x, y, fm.horizontalAdvance(s), fm.height());
    p.fillRect(background, Qt::white);
    p.setPen(Qt::black);
    p.drawText(x, y + fm.ascent(), s);
    changed(background | fm.boundingRect(s).translated(x, y + fm.ascent()));
}
