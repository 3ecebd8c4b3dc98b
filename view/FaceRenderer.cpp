#include "FaceRenderer.h"

#include <cstdio>

#include "FaceGeometry.h"
#include "TrialItem.h"
#include "ViewEnums.h"

namespace {

// The largest centred square of the client area.
struct FaceSquare {
    int side, x0, y0;

    // Truncate the product before adding the offset, as the click test's numbers assume.
    int X(double u) const { return x0 + static_cast<int>(u * side); }
    int Y(double v) const { return y0 + static_cast<int>(v * side); }
    PixelPoint Map(const UnitPoint& p) const { return {X(p.x), Y(p.y)}; }
};

FaceSquare SquareFor(int w, int h) {
    if (h > w) {
        return {w, 0, (h - w) / 2};
    }
    return {h, (w - h) / 2, 0};
}

void DrawArc(Canvas& canvas, const FaceSquare& sq, const UnitArc& a) {
    canvas.arc(sq.X(a.box.left), sq.Y(a.box.top), sq.X(a.box.right), sq.Y(a.box.bottom),
               sq.Map(a.start), sq.Map(a.end), FaceRenderer::kPenWidth);
}

void DrawWholeFace(Canvas& canvas, const FaceSquare& sq, const FaceGeometry& g) {
    canvas.fillRect(0, 0, canvas.width(), canvas.height(), FaceRenderer::kGrey);
    canvas.ellipse(sq.x0, sq.y0, sq.x0 + sq.side, sq.y0 + sq.side, FaceRenderer::kWhite,
                   FaceRenderer::kPenWidth);

    std::vector<PixelPoint> line;
    line.reserve(15);
    for (const UnitPoint& p : g.boundary) {
        line.push_back(sq.Map(p));
    }
    canvas.polyline(line, FaceRenderer::kPenWidth);

    const PixelPoint seed = sq.Map(g.fillSeed);
    canvas.floodFill(seed.x, seed.y, FaceRenderer::kWhite, FaceRenderer::kBlack);

    DrawArc(canvas, sq, g.eyeArcs[0]);
    DrawArc(canvas, sq, g.eyeArcs[1]);
    DrawArc(canvas, sq, g.smallArc);
    DrawArc(canvas, sq, g.wideArc);
}

}  // namespace

void FaceRenderer::PlaceEyes(int width, int height, int viewpoint, SceneState& s) {
    const FaceSquare sq = SquareFor(width, height);
    const FaceGeometry& g = kFaceGeometry[viewpoint];
    // One radius for both eyes, from eye 0's stored width: the rounding of the table
    // shows in it (6 or 7 pixels at S = 100 depending on the viewpoint).
    s.eyeRadius = static_cast<int>((g.eyes[0].right - g.eyes[0].left) * 0.5 * sq.side);
    for (int i = 0; i < 2; ++i) {
        s.eyeX[i] = sq.X(g.eyes[i].left) + s.eyeRadius;
        s.eyeY[i] = sq.Y(g.eyes[i].top) + s.eyeRadius;
    }
}

void FaceRenderer::Settle(int width, int height, SceneState& s) {
    if (s.faceMode == FACE_NONE) {
        return;
    }
    if (s.redrawFace == 1) {
        s.redrawFace = 0;
    }
    PlaceEyes(width, height, s.viewpoint, s);
}

PixelPoint FaceRenderer::ToPixel(int width, int height, double u, double v) {
    const FaceSquare sq = SquareFor(width, height);
    return {sq.X(u), sq.Y(v)};
}

std::string FaceRenderer::StatusText(int trials, int pos, int feedback) {
    const char* word = feedback == FEEDBACK_NONE ? "" : feedback == FEEDBACK_OK ? "OK" : "NG";
    char buf[64];
    std::snprintf(buf, sizeof buf, "[%02d/%02d/%d] %s", trials + 1,
                  pos < kItemCount ? pos + 1 : kItemCount, kItemCount, word);
    return buf;
}

void FaceRenderer::Draw(Canvas& canvas, SceneState& s) {
    const int w = canvas.width();
    const int h = canvas.height();

    if (s.faceMode == FACE_NONE) {
        canvas.fillRect(0, 0, w, h, kGrey);
    } else {
        const FaceSquare sq = SquareFor(w, h);
        const FaceGeometry& g = kFaceGeometry[s.viewpoint];

        if (s.redrawFace == 1) {
            DrawWholeFace(canvas, sq, g);
        }

        const int redEye = s.faceMode == FACE_EYE0_RED ? 0 : s.faceMode == FACE_EYE1_RED ? 1 : -1;
        for (int i = 0; i < 2; ++i) {
            const UnitBox& e = g.eyes[i];
            canvas.ellipse(sq.X(e.left), sq.Y(e.top), sq.X(e.right), sq.Y(e.bottom),
                           i == redEye ? kRed : kWhite, kPenWidth);
        }
        Settle(w, h, s);
    }

    const int left = w - kStatusBox.width;
    const int top = h - kStatusBox.height;
    canvas.rectangle(left, top, w, h, kWhite);
    canvas.text(left + kStatusInset, top + kStatusInset, StatusText(s.trials, s.pos, s.feedback));
}
