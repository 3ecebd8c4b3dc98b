#pragma once

#include <string>

#include "Canvas.h"

// What one paint needs from the view, and what it hands back.
struct SceneState {
    int faceMode;    // FACE_*
    int redrawFace;  // 1: draw the whole face; cleared once it has been drawn
    int viewpoint;   // 0..7, index into kFaceGeometry
    int feedback;    // FEEDBACK_*
    int trials;      // trials recorded so far
    int pos;         // schedule position 0..kItemCount
    // Written by every paint that shows a face; kept through FACE_NONE paints.
    int eyeX[2];
    int eyeY[2];
    int eyeRadius;
};

class FaceRenderer {
  public:
    static constexpr Rgb kBlack{0, 0, 0};
    static constexpr Rgb kWhite{255, 255, 255};
    static constexpr Rgb kRed{255, 0, 0};
    static constexpr Rgb kGrey{200, 200, 200};
    static constexpr int kPenWidth = 5;
    // The status box fills this much of the lower right corner; its text starts kStatusInset
    // pixels inside.
    static constexpr PixelSize kStatusBox{185, 25};
    static constexpr int kStatusInset = 5;

    // Paints the grey background or the face of s.viewpoint, then the status box.
    static void Draw(Canvas& canvas, SceneState& s);

    // What Draw on a width x height canvas leaves in s: the face counts as drawn, the eyes
    // placed. For a scene another party draws.
    static void Settle(int width, int height, SceneState& s);

    // Eye centres and radius of a viewpoint on a width x height view, as a paint leaves them.
    static void PlaceEyes(int width, int height, int viewpoint, SceneState& s);
    // The pixel of unit-square point (u, v) in the face square of a width x height view.
    static PixelPoint ToPixel(int width, int height, double u, double v);

    // "[tt/pp/16] word" as shown in the status box.
    static std::string StatusText(int trials, int pos, int feedback);
};
