#pragma once
// The averaging resize of the target theme build and the previews.
#include "bitmap/Bitmap.h"

namespace vexaro {

// Integer part of v, plus one when the fraction is 0.5 or more; a negative v is truncated
// toward zero. 2.5 -> 3, 2.4999 -> 2, 4.0 -> 4.
int RoundHalfUp(float v);

// Scales `source` into `target` (width x height, 24 bits per pixel); each target pixel is the
// average of a span of source pixels.
//
// Span edges advance in single precision (every addition is rounded to float before it is
// used again), both ends of a span are inclusive, and the last edge of each axis is clamped to
// the last source row or column. Span positions outside the source count as black pixels. The
// operation never throws: at an empty span, or any other failure, it stops quietly and the
// target keeps what it held (its earlier pixels top-left, white elsewhere, after the resize
// to width x height).
void AverageResize(const Bitmap& source, Bitmap& target, int width, int height);

} // namespace vexaro
