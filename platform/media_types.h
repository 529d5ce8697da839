// Plain little-endian media records shared by the engine, the readers and the writers,
// with the byte layouts the profile and the writer library rely on.
#pragma once

#include <cmath>
#include <cstdint>
#include <cstdlib>

namespace klova {

using MediaTime = int64_t;  // 100-ns units
inline constexpr MediaTime kUnitsPerSecond = 10'000'000;

using HRESULT = int32_t;
inline constexpr HRESULT S_OK = 0;
inline constexpr HRESULT S_FALSE = 1;
inline constexpr HRESULT VFW_S_NO_MORE_ITEMS = 0x00040103;
inline constexpr HRESULT E_FAIL = static_cast<HRESULT>(0x80004005u);
inline constexpr HRESULT E_POINTER = static_cast<HRESULT>(0x80004003u);
inline constexpr HRESULT E_ABORT = static_cast<HRESULT>(0x80004004u);
inline constexpr HRESULT E_INVALIDARG = static_cast<HRESULT>(0x80070057u);
inline constexpr HRESULT E_OUTOFMEMORY = static_cast<HRESULT>(0x8007000Eu);
inline constexpr bool Succeeded(HRESULT hr) { return hr >= 0; }
inline constexpr bool Failed(HRESULT hr) { return hr < 0; }

#pragma pack(push, 1)
struct WAVEFORMATEX {
    uint16_t wFormatTag = 0;
    uint16_t nChannels = 0;
    uint32_t nSamplesPerSec = 0;
    uint32_t nAvgBytesPerSec = 0;
    uint16_t nBlockAlign = 0;
    uint16_t wBitsPerSample = 0;
    uint16_t cbSize = 0;
};

struct RECT {
    int32_t left = 0;
    int32_t top = 0;
    int32_t right = 0;
    int32_t bottom = 0;
};

struct BITMAPINFOHEADER {
    uint32_t biSize = 40;
    int32_t biWidth = 0;
    int32_t biHeight = 0;
    uint16_t biPlanes = 1;
    uint16_t biBitCount = 0;
    uint32_t biCompression = 0;  // BI_RGB
    uint32_t biSizeImage = 0;
    int32_t biXPelsPerMeter = 0;
    int32_t biYPelsPerMeter = 0;
    uint32_t biClrUsed = 0;
    uint32_t biClrImportant = 0;
};

struct VIDEOINFOHEADER {
    RECT rcSource;
    RECT rcTarget;
    uint32_t dwBitRate = 0;
    uint32_t dwBitErrorRate = 0;
    int64_t AvgTimePerFrame = 0;  // 100-ns units
    BITMAPINFOHEADER bmiHeader;
};

// The video compression options record ("VideoFormat" in the profile).
struct AVICOMPRESSOPTIONS {
    uint32_t fccType = 0;
    uint32_t fccHandler = 0;
    uint32_t dwKeyFrameEvery = 0;
    uint32_t dwQuality = 0;
    uint32_t dwBytesPerSecond = 0;
    uint32_t dwFlags = 0;
    uint32_t lpFormat = 0;
    uint32_t cbFormat = 0;
    uint32_t lpParms = 0;
    uint32_t cbParms = 0;
    uint32_t dwInterleaveEvery = 0;
};
#pragma pack(pop)

static_assert(sizeof(WAVEFORMATEX) == 18);
static_assert(sizeof(BITMAPINFOHEADER) == 40);
static_assert(sizeof(VIDEOINFOHEADER) == 88);
static_assert(sizeof(AVICOMPRESSOPTIONS) == 44);

inline constexpr uint16_t WAVE_FORMAT_PCM = 1;
inline constexpr uint16_t WAVE_FORMAT_EXTENSIBLE = 0xFFFE;

// The shape of one pixel, width : height, in lowest terms; 1 : 1 is square. A picture
// of w x h pixels displays at (w * x) : (h * y).
struct PixelAspect {
    int32_t x = 1;
    int32_t y = 1;

    bool IsSquare() const { return x == y; }
    friend bool operator==(const PixelAspect&, const PixelAspect&) = default;
};
inline constexpr uint32_t AVICOMPRESSF_DATARATE = 2;
inline constexpr uint32_t AVICOMPRESSF_KEYFRAMES = 4;

// Plain PCM: whole samples of every channel in one block.
inline WAVEFORMATEX MakePcmFormat(uint16_t channels, uint32_t samplesPerSec, uint16_t bitsPerSample)
{
    WAVEFORMATEX format;
    format.wFormatTag = WAVE_FORMAT_PCM;
    format.nChannels = channels;
    format.nSamplesPerSec = samplesPerSec;
    format.wBitsPerSample = bitsPerSample;
    format.nBlockAlign = static_cast<uint16_t>(channels * bitsPerSample / 8);
    format.nAvgBytesPerSec = format.nBlockAlign * samplesPerSec;
    format.cbSize = 0;
    return format;
}

// Bytes per row of a DIB: rows are padded to a multiple of 4 bytes.
inline constexpr int32_t DibStride(int32_t width, int32_t bitCount = 24)
{
    return ((bitCount * width + 31) / 32) * 4;
}

inline constexpr uint32_t DibImageSize(int32_t width, int32_t height, int32_t bitCount = 24)
{
    return static_cast<uint32_t>(DibStride(width, bitCount)) * static_cast<uint32_t>(height < 0 ? -height : height);
}

// Length of one frame at the given rate: trunc(10,000,000 / rate). The quotient is
// nudged by a relative epsilon first, so a rate derived from a whole frame duration
// (10,000,000 / 400,000) never comes back one unit short through rounding error.
inline MediaTime FrameDuration(double framesPerSecond)
{
    const double exact = static_cast<double>(kUnitsPerSecond) / framesPerSecond;
    return static_cast<MediaTime>(exact * (1.0 + 1e-12));
}

}  // namespace klova
