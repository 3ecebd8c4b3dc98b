#include "FaceLocator.h"

#include "FaceRenderer.h"

FaceLocator::FaceLocator(int width, int height) {
    for (int v = 0; v < kViewpointCount; ++v) {
        SceneState placed{};
        FaceRenderer::PlaceEyes(width, height, v, placed);
        const UnitPoint& seed = kFaceGeometry[v].fillSeed;
        const PixelPoint hair = FaceRenderer::ToPixel(width, height, seed.x, seed.y);
        FaceAt& f = m_layouts[v];
        f.viewpoint = v;
        for (int e = 0; e < 2; ++e) {
            f.eyeX[e] = placed.eyeX[e];
            f.eyeY[e] = placed.eyeY[e];
        }
        f.eyeRadius = placed.eyeRadius;
        f.seedX = hair.x;
        f.seedY = hair.y;
    }
}

bool FaceLocator::IsHair(Rgb c) { return c == FaceRenderer::kBlack; }

bool FaceLocator::IsEye(Rgb c) { return c == FaceRenderer::kWhite || c == FaceRenderer::kRed; }
