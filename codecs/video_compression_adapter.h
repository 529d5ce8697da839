// Quality and key-frame spacing of a video encoder, set through the encoder's own
// properties: each encoder names them differently (quantizer, qmin and qmax, cq-level,
// gop-size, key-int-max, ...), and this adapter finds the ones it has and says which exist.
#pragma once

#include "platform/media_types.h"

#include <gst/gst.h>

#include <cstdint>
#include <string>

namespace klova {

class VideoCompressionAdapter {
public:
    // Capability flags, as the compressor interface reports them.
    static constexpr int32_t CompressionCaps_CanQuality = 1;
    static constexpr int32_t CompressionCaps_CanKeyFrame = 4;

    // The encoder is borrowed and must outlive the adapter.
    explicit VideoCompressionAdapter(GstElement* encoder);

    // Version (the plug-in's) and description (the factory's long-name); the current key-frame
    // spacing and quality, -1 where the encoder has none or is on its own default;
    // P frames per key frame is always -1 (not adjustable); the capability flags.
    // Any out pointer may be null.
    HRESULT GetInfo(std::string* version, std::string* description, int32_t* defaultKeyFrameRate,
                    int32_t* defaultPFramesPerKey, double* defaultQuality, int32_t* capabilities) const;

    // Quality from 0.0 (lowest) to 1.0 (highest), mapped onto the values of the encoder's
    // quality or quantizer property that change its output (inverted for quantizers,
    // where lower is better): evenly where the property is already on a logarithmic
    // scale, in equal ratios where it is a quantizer step size. A quantizer range
    // (minimum and maximum) is closed onto the one value, and a property that must lie
    // within it follows; a rate-control mode property is switched to constant quality
    // where the encoder needs it. A negative value keeps the encoder's default. A value
    // above 1.0 is out of range: E_INVALIDARG, nothing changes. E_FAIL when the encoder
    // has no such property.
    HRESULT put_Quality(double quality);

    // Frames from one key frame to the next, clamped to the property's range; a minimum
    // spacing the encoder has is set to the same value, so key frames come exactly that
    // often. 0 or negative keeps the encoder's default. E_FAIL when the encoder has no
    // such property.
    HRESULT put_KeyFrameRate(int32_t keyFrameRate);

private:
    void FindQualityRule();
    void FindKeyFrameRule();
    bool QualityRange(double* coarsest, double* finest) const;
    double CurrentQuality() const;

    GstElement* encoder_;
    int qualityRule_ = -1;  // index into the quality rules, -1 when none applies
    GParamSpec* qualitySpec_ = nullptr;
    GParamSpec* upperSpec_ = nullptr;  // upper end of a quantizer range, or null
    int keyFrameRule_ = -1;  // index into the key-frame rules, -1 when none applies
    GParamSpec* keyFrameSpec_ = nullptr;
};

}  // namespace klova
