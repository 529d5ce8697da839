#include "frontend/input_probe.h"

#include "media_in/input_reader.h"

namespace klova {

FrameSize ReadInputFrameSize(const std::string& path)
{
    const InputReader reader(path, VideoRequestType, true);
    const BITMAPINFOHEADER& header = reader.GetMediaType().videoInfo.bmiHeader;
    return {header.biWidth, header.biHeight};
}

}  // namespace klova
