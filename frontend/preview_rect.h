// Where the preview draws the output frames: the largest rectangle of the preview's
// client area with the source's aspect ratio, centred.
#pragma once

#include <cstdint>

namespace klova {

struct PreviewRect {
    int32_t left = 0;
    int32_t top = 0;
    int32_t right = 0;  // exclusive
    int32_t bottom = 0;  // exclusive
    int32_t width() const { return right - left; }
    int32_t height() const { return bottom - top; }
    friend bool operator==(const PreviewRect&, const PreviewRect&) = default;
};

// The source's aspect kept also when the output frames have another: they are
// stretched into this rectangle. Bars go left and right when the area is wider than the
// picture, else top and bottom; each edge is an integer halved with truncation. A
// source without a size fills the whole area.
PreviewRect ComputePreviewRect(int32_t sourceWidth, int32_t sourceHeight, int32_t clientWidth,
                               int32_t clientHeight);

}  // namespace klova
