// What the window learns about an input before a conversion: its frame size, read by
// opening the video for a moment.
#pragma once

#include <cstdint>
#include <string>

namespace klova {

struct FrameSize {
    int32_t width = 0;
    int32_t height = 0;
};

// The size of the input's decoded video frames. Throws CMyException
// (ErrorCode::InputOpenFailed) when the file has no video that can be read.
FrameSize ReadInputFrameSize(const std::string& path);

}  // namespace klova
