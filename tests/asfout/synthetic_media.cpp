#include "tests/asfout/synthetic_media.h"

#include <algorithm>
#include <cmath>
#include <numbers>

namespace klova::test {
namespace {

uint32_t Hash(uint32_t x)
{
    x ^= x >> 16;
    x *= 0x7FEB352Du;
    x ^= x >> 15;
    x *= 0x846CA68Bu;
    x ^= x >> 16;
    return x;
}

}  // namespace

void DrawPatternFrame(int width, int height, int index, uint8_t* dib)
{
    const size_t rowBytes = DibRowBytes(width);
    const int boxSize = std::max(4, height / 4);
    const int boxX = (index * 5) % std::max(1, width + boxSize) - boxSize;
    const int boxY = height / 2 + static_cast<int>(std::lround((height / 4) * std::sin(index * 0.07))) - boxSize / 2;
    for (int y = 0; y < height; ++y) {
        // Row 0 of the picture is the DIB's last row.
        uint8_t* row = dib + rowBytes * static_cast<size_t>(height - 1 - y);
        const bool textureBand = (y / 16) % 6 == 1;
        for (int x = 0; x < width; ++x) {
            int blue;
            int green;
            int red;
            if (textureBand) {
                // Random 4 x 4 blocks scrolling left: detail that motion search can follow.
                const uint32_t cell = Hash(static_cast<uint32_t>(((x + index * 3) / 4) * 7919 + (y / 4)));
                blue = 40 + static_cast<int>(cell & 0x7F);
                green = 60 + static_cast<int>((cell >> 8) & 0x7F);
                red = 50 + static_cast<int>((cell >> 16) & 0x7F);
            } else {
                // A diagonal gradient under a grid of tinted tiles, panning together.
                const int panned = x + index * 2;
                const int ramp = (panned + y) & 0xFF;
                const uint32_t tile = Hash(static_cast<uint32_t>((panned / 40) * 31 + (y / 30)));
                blue = (ramp + static_cast<int>(tile & 0x3F)) & 0xFF;
                green = (255 - ramp + static_cast<int>((tile >> 8) & 0x3F)) & 0xFF;
                red = ((panned * 3) & 0xFF) / 2 + static_cast<int>((tile >> 16) & 0x3F);
                if (panned % 40 == 0 || y % 30 == 0)
                    blue = green = red = 235;
            }
            if (x >= boxX && x < boxX + boxSize && y >= boxY && y < boxY + boxSize) {
                const bool check = ((x - boxX) / 6 + (y - boxY) / 6) % 2 == 0;
                blue = green = red = check ? 250 : 16;
            }
            // Faint grain that changes every frame, like a camera's noise: coarse
            // quantizers drop it, fine ones pay for it.
            const int grain = static_cast<int>(Hash(static_cast<uint32_t>((index * height + y) * width + x)) % 9) - 4;
            row[3 * x] = static_cast<uint8_t>(std::clamp(blue + grain, 0, 255));
            row[3 * x + 1] = static_cast<uint8_t>(std::clamp(green + grain, 0, 255));
            row[3 * x + 2] = static_cast<uint8_t>(std::clamp(red + grain, 0, 255));
        }
        for (size_t pad = 3 * static_cast<size_t>(width); pad < rowBytes; ++pad)
            row[pad] = 0;
    }
}

ToneSource::ToneSource(int samplesPerSecond, int channels, double frequency, double amplitude)
    : samplesPerSecond_(samplesPerSecond),
      channels_(channels),
      frequency_(frequency),
      amplitude_(amplitude),
      block_(static_cast<size_t>(2 * channels)),
      blockUsed_(block_.size())
{
}

void ToneSource::RenderBlock()
{
    const double phase = 2.0 * std::numbers::pi * frequency_ * static_cast<double>(sampleIndex_) / samplesPerSecond_;
    const auto value = static_cast<int16_t>(std::lround(amplitude_ * 32767.0 * std::sin(phase)));
    for (int channel = 0; channel < channels_; ++channel) {
        block_[2 * channel] = static_cast<uint8_t>(value & 0xFF);
        block_[2 * channel + 1] = static_cast<uint8_t>((value >> 8) & 0xFF);
    }
    ++sampleIndex_;
    blockUsed_ = 0;
}

void ToneSource::Fill(uint8_t* bytes, size_t count)
{
    for (size_t i = 0; i < count; ++i) {
        if (blockUsed_ == block_.size())
            RenderBlock();
        bytes[i] = block_[blockUsed_++];
    }
}

}  // namespace klova::test
