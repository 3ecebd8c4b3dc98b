#pragma once

#include "TrialItem.h"

// The schematic face in unit-square coordinates: (0, 0) is the top-left corner of the face
// square, (1, 1) its bottom-right corner, y down.

struct UnitPoint {
    double x, y;
};

// Always the bounding square of a circle.
struct UnitBox {
    double left, top, right, bottom;
};

// Part of the circle inscribed in box, counterclockwise on screen from the ray out of the
// centre through start to the ray through end.
struct UnitArc {
    UnitBox box;
    UnitPoint start, end;
};

struct FaceGeometry {
    // Runs from the rim back to the rim; with the rim it encloses the region filled black.
    UnitPoint boundary[15];
    UnitPoint fillSeed;
    UnitArc smallArc;
    UnitArc wideArc;
    // Eye 0, eye 1: these indices are the eye numbers everywhere else in the program.
    UnitBox eyes[2];
    UnitArc eyeArcs[2];
};

static_assert(sizeof(FaceGeometry) == 72 * sizeof(double), "FaceGeometry is 72 packed doubles");

// Indexed by viewpoint: record k is record 0 turned by k * 45 degrees counterclockwise on
// screen about the centre, each value rounded to a multiple of 0.001.
extern const FaceGeometry kFaceGeometry[kViewpointCount];
