#pragma once

#include "Canvas.h"
#include "FaceGeometry.h"

// Where a viewpoint's telltale pixels lie on a width x height screen: its hair seed and its eye
// centres, from the same table the renderer draws from.
struct FaceAt {
    int viewpoint = -1;
    int eyeX[2] = {0, 0}, eyeY[2] = {0, 0};
    int eyeRadius = 0;
    int seedX = 0, seedY = 0;
};

class FaceLocator {
  public:
    FaceLocator(int width, int height);

    const FaceAt& layout(int viewpoint) const { return m_layouts[viewpoint]; }

    // The viewpoint on screen, or -1. A face is shown when some viewpoint's hair seed is black
    // and both its eye centres are eye-coloured: three pixels a photodiode could sit on.
    // pixelAt(x, y) gives the screen's colour there.
    template <class PixelAt>
    int find(const PixelAt& pixelAt) const {
        for (int v = 0; v < kViewpointCount; ++v) {
            const FaceAt& f = m_layouts[v];
            if (IsHair(pixelAt(f.seedX, f.seedY)) && IsEye(pixelAt(f.eyeX[0], f.eyeY[0])) &&
                IsEye(pixelAt(f.eyeX[1], f.eyeY[1])))
                return v;
        }
        return -1;
    }

  private:
    static bool IsHair(Rgb c);
    static bool IsEye(Rgb c);

    FaceAt m_layouts[kViewpointCount];
};
