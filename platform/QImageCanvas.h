#pragma once

#include <QImage>
#include <QRegion>

#include "Canvas.h"

// Canvas on a persistent RGB32 framebuffer. Drawing is aliased so that every outline is a
// solid run of one exact colour: the flood fill relies on it to stay inside the face.
class QImageCanvas : public Canvas {
  public:
    QImageCanvas(int width, int height);

    // Replaces the framebuffer; the old picture is dropped and the new one starts grey.
    void resize(int width, int height);

    QImage& image() { return m_image; }
    const QImage& image() const { return m_image; }

    int width() const override;
    int height() const override;
    void fillRect(int left, int top, int right, int bottom, Rgb colour) override;
    void ellipse(int left, int top, int right, int bottom, Rgb fill, int penWidth) override;
    void rectangle(int left, int top, int right, int bottom, Rgb fill) override;
    void polyline(const std::vector<PixelPoint>& points, int penWidth) override;
    void arc(int left, int top, int right, int bottom, PixelPoint start, PixelPoint end,
             int penWidth) override;
    void floodFill(int x, int y, Rgb target, Rgb fill) override;
    void text(int x, int y, const std::string& utf8) override;

    // Where the drawing since the last call may have changed pixels; clears it.
    QRegion takeChanges();

  private:
    void changed(const QRect& area);

    QImage m_image;
    QRegion m_changes;
};
