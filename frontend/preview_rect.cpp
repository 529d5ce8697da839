#include "frontend/preview_rect.h"

#include <cstdlib>

namespace klova {

PreviewRect ComputePreviewRect(int32_t sourceWidth, int32_t sourceHeight, int32_t clientWidth,
                               int32_t clientHeight)
{
    PreviewRect rect{0, 0, clientWidth, clientHeight};
    // Frames of a top-down source carry a negative height; the picture is the same.
    const int32_t height = std::abs(sourceHeight);
    if (sourceWidth <= 0 || height == 0 || clientWidth <= 0 || clientHeight <= 0)
        return rect;
    const double aspect = static_cast<double>(sourceWidth) / height;
    const double cw = clientWidth;
    const double ch = clientHeight;
    if (aspect < cw / ch) {
        rect.left = static_cast<int32_t>(cw - aspect * ch) / 2;
        rect.right = static_cast<int32_t>(cw + aspect * ch) / 2;
    } else {
        rect.top = static_cast<int32_t>(ch - cw / aspect) / 2;
        rect.bottom = static_cast<int32_t>(ch + cw / aspect) / 2;
    }
    return rect;
}

}  // namespace klova
