// Generated test media for the writer library: bottom-up 24-bit frames with a moving,
// moderately detailed pattern, and a continuous PCM tone cut into chunks of any
// length. Both are deterministic.
#pragma once

#include <cstddef>
#include <cmath>
#include <cstdint>
#include <vector>

namespace klova::test {

// Bytes per row of a bottom-up 24-bit DIB (rows padded to 4 bytes).
inline size_t DibRowBytes(int width) { return ((24 * static_cast<size_t>(width) + 31) / 32) * 4; }

// Draws frame `index` of the pattern into a DIB of DibRowBytes(width) * height bytes.
// The pattern scrolls a gradient, a textured band and a block grid, and moves a box,
// so that every frame differs and a codec has detail to spend bits on.
void DrawPatternFrame(int width, int height, int index, uint8_t* dib);

// A sine tone as one endless little-endian 16-bit PCM byte stream. Fill hands out
// the next bytes in order, so chunks whose length is not a whole number of sample
// blocks still join into the same stream.
// Bytes of sound that output frame `frame` (0-based) carries: the whole sample blocks
// nearest its share of the rate, as the program hands it to the library.
inline size_t FrameShareBytes(uint32_t samplesPerSecond, uint32_t blockAlign, double framesPerSecond, int64_t frame)
{
    const auto blocksAfter = [&](int64_t frames) {
        return std::llround(static_cast<double>(frames) * samplesPerSecond / framesPerSecond);
    };
    return static_cast<size_t>(blocksAfter(frame + 1) - blocksAfter(frame)) * blockAlign;
}

class ToneSource {
public:
    ToneSource(int samplesPerSecond, int channels, double frequency, double amplitude);
    void Fill(uint8_t* bytes, size_t count);

private:
    void RenderBlock();

    int samplesPerSecond_;
    int channels_;
    double frequency_;
    double amplitude_;
    int64_t sampleIndex_ = 0;
    std::vector<uint8_t> block_;  // the current sample block
    size_t blockUsed_;            // bytes of block_ already handed out
};

}  // namespace klova::test
