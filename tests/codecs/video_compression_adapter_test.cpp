// Quality and key-frame settings reach each encoder's own properties.
#include "codecs/video_compression_adapter.h"
#include "platform/gst_ptr.h"

#include <gtest/gtest.h>

#include <string>

namespace klova {
namespace {

double GetNumber(GstElement* element, const char* property)
{
    GParamSpec* spec = g_object_class_find_property(G_OBJECT_GET_CLASS(element), property);
    GValue value = G_VALUE_INIT;
    g_value_init(&value, G_TYPE_DOUBLE);
    GValue raw = G_VALUE_INIT;
    g_value_init(&raw, spec->value_type);
    g_object_get_property(G_OBJECT(element), property, &raw);
    g_value_transform(&raw, &value);
    const double number = g_value_get_double(&value);
    g_value_unset(&raw);
    g_value_unset(&value);
    return number;
}

std::string EnumNick(GstElement* element, const char* property)
{
    GParamSpec* spec = g_object_class_find_property(G_OBJECT_GET_CLASS(element), property);
    GValue value = G_VALUE_INIT;
    g_value_init(&value, spec->value_type);
    g_object_get_property(G_OBJECT(element), property, &value);
    const GEnumValue* found = g_enum_get_value(G_PARAM_SPEC_ENUM(spec)->enum_class, g_value_get_enum(&value));
    g_value_unset(&value);
    return found ? found->value_nick : "";
}

struct EncoderCase {
    const char* factory;
    const char* qualityProperty;  // null: no quality control
    const char* upperProperty;    // the upper end of a quantizer range, or null
    const char* modeProperty;     // null: none to switch
    const char* modeNick;
    double valueAtThreeQuarters;  // what quality 0.75 sets
    double valueAtBest;           // what quality 1.0 sets
    const char* keyFrameProperty;  // null: no key-frame control
};

class VideoCompressionAdapterTest : public ::testing::TestWithParam<EncoderCase> {
protected:
    void SetUp() override
    {
        encoder_ = MakeElement(GetParam().factory);
        if (!encoder_)
            GTEST_SKIP() << GetParam().factory << " is not installed";
    }
    GstPtr<GstElement> encoder_;
};

TEST_P(VideoCompressionAdapterTest, ReportsWhatTheEncoderCanSet)
{
    VideoCompressionAdapter adapter(encoder_.get());
    int32_t capabilities = -1;
    std::string description;
    ASSERT_EQ(adapter.GetInfo(nullptr, &description, nullptr, nullptr, nullptr, &capabilities), S_OK);
    EXPECT_FALSE(description.empty());
    EXPECT_EQ((capabilities & VideoCompressionAdapter::CompressionCaps_CanQuality) != 0,
              GetParam().qualityProperty != nullptr);
    EXPECT_EQ((capabilities & VideoCompressionAdapter::CompressionCaps_CanKeyFrame) != 0,
              GetParam().keyFrameProperty != nullptr);
}

TEST_P(VideoCompressionAdapterTest, QualityIsSpreadOverTheValuesTheEncoderHonours)
{
    const EncoderCase& c = GetParam();
    VideoCompressionAdapter adapter(encoder_.get());
    if (!c.qualityProperty) {
        EXPECT_EQ(adapter.put_Quality(0.75), E_FAIL);
        return;
    }
    ASSERT_EQ(adapter.put_Quality(0.75), S_OK);
    EXPECT_DOUBLE_EQ(GetNumber(encoder_.get(), c.qualityProperty), c.valueAtThreeQuarters);
    if (c.upperProperty) {
        EXPECT_DOUBLE_EQ(GetNumber(encoder_.get(), c.upperProperty), c.valueAtThreeQuarters);
    }
    if (c.modeProperty) {
        EXPECT_EQ(EnumNick(encoder_.get(), c.modeProperty), c.modeNick);
    }
    double quality = -1.0;
    adapter.GetInfo(nullptr, nullptr, nullptr, nullptr, &quality, nullptr);
    EXPECT_NEAR(quality, 0.75, 0.1);  // the value is rounded to a whole quantizer

    ASSERT_EQ(adapter.put_Quality(1.0), S_OK);
    EXPECT_DOUBLE_EQ(GetNumber(encoder_.get(), c.qualityProperty), c.valueAtBest);
    if (c.upperProperty) {
        EXPECT_DOUBLE_EQ(GetNumber(encoder_.get(), c.upperProperty), c.valueAtBest);
    }
}

TEST_P(VideoCompressionAdapterTest, QualityOutOfRangeLeavesTheEncoderDefault)
{
    const EncoderCase& c = GetParam();
    if (!c.qualityProperty)
        return;  // covered by QualityIsSpreadOverTheValuesTheEncoderHonours
    VideoCompressionAdapter adapter(encoder_.get());
    const double before = GetNumber(encoder_.get(), c.qualityProperty);
    const double upperBefore = c.upperProperty ? GetNumber(encoder_.get(), c.upperProperty) : 0.0;
    const std::string modeBefore = c.modeProperty ? EnumNick(encoder_.get(), c.modeProperty) : "";
    if (c.upperProperty || c.modeProperty || std::string(c.qualityProperty) != "quality") {
        double quality = 0.0;
        adapter.GetInfo(nullptr, nullptr, nullptr, nullptr, &quality, nullptr);
        EXPECT_EQ(quality, -1.0);  // a quantizer encoder starts on its own rate control
    }
    EXPECT_EQ(adapter.put_Quality(10.0), E_INVALIDARG);  // dwQuality 100000, the fresh profile's value
    EXPECT_EQ(adapter.put_Quality(-1.0), S_OK);          // "default"
    EXPECT_EQ(GetNumber(encoder_.get(), c.qualityProperty), before);
    if (c.upperProperty) {
        EXPECT_EQ(GetNumber(encoder_.get(), c.upperProperty), upperBefore);
    }
    if (c.modeProperty) {
        EXPECT_EQ(EnumNick(encoder_.get(), c.modeProperty), modeBefore);
    }
}

TEST_P(VideoCompressionAdapterTest, KeyFrameSpacingIsSetAndClamped)
{
    const EncoderCase& c = GetParam();
    VideoCompressionAdapter adapter(encoder_.get());
    if (!c.keyFrameProperty) {
        EXPECT_EQ(adapter.put_KeyFrameRate(10), E_FAIL);
        return;
    }
    const double before = GetNumber(encoder_.get(), c.keyFrameProperty);
    EXPECT_EQ(adapter.put_KeyFrameRate(0), S_OK);
    EXPECT_EQ(GetNumber(encoder_.get(), c.keyFrameProperty), before);
    ASSERT_EQ(adapter.put_KeyFrameRate(10), S_OK);
    EXPECT_EQ(GetNumber(encoder_.get(), c.keyFrameProperty), 10.0);
    int32_t reported = 0;
    adapter.GetInfo(nullptr, nullptr, &reported, nullptr, nullptr, nullptr);
    EXPECT_EQ(reported, 10);
}

INSTANTIATE_TEST_SUITE_P(
    Encoders, VideoCompressionAdapterTest,
    ::testing::Values(
        // qmin = qmax from 31 to 1 in equal ratios: 0.75 -> 31^0.25 = 2.36, rounded
        EncoderCase{"avenc_mpeg4", "qmin", "qmax", nullptr, nullptr, 2.0, 1.0, "gop-size"},
        // a libav encoder that is not MPEG-style ignores both quantizer settings
        EncoderCase{"avenc_huffyuv", nullptr, nullptr, nullptr, nullptr, 0.0, 0.0, "gop-size"},
        // quantizer 50..1 (0 would be lossless): 0.75 -> 13.25, rounded
        EncoderCase{"x264enc", "quantizer", nullptr, "pass", "quant", 13.0, 1.0, "key-int-max"},
        // min = max quantizer 63..0: 0.75 -> 15.75, rounded
        EncoderCase{"vp8enc", "min-quantizer", "max-quantizer", nullptr, nullptr, 16.0, 0.0, "keyframe-max-dist"},
        // quantisation 31..1 in equal ratios: 0.75 -> 2.36, rounded
        EncoderCase{"mpeg2enc", "quantisation", nullptr, nullptr, nullptr, 2.0, 1.0, "max-gop-size"},
        // min = max QP 51..12: 0.75 -> 21.75, rounded
        EncoderCase{"openh264enc", "qp-min", "qp-max", nullptr, nullptr, 22.0, 12.0, "gop-size"},
        // quality 0..100
        EncoderCase{"jpegenc", "quality", nullptr, nullptr, nullptr, 75.0, 100.0, nullptr},
        EncoderCase{"openjpegenc", nullptr, nullptr, nullptr, nullptr, 0.0, 0.0, nullptr}),
    [](const auto& info) { return std::string(info.param.factory); });

TEST(VideoCompressionAdapter, KeepsRelatedSettingsConsistent)
{
    // mpeg2enc's minimum GOP left on its default (12) above a shorter maximum crashes it.
    GstPtr<GstElement> mpeg2 = MakeElement("mpeg2enc");
    if (mpeg2) {
        VideoCompressionAdapter adapter(mpeg2.get());
        ASSERT_EQ(adapter.put_KeyFrameRate(10), S_OK);
        EXPECT_EQ(GetNumber(mpeg2.get(), "max-gop-size"), 10.0);
        EXPECT_EQ(GetNumber(mpeg2.get(), "min-gop-size"), 10.0);
        ASSERT_EQ(adapter.put_KeyFrameRate(100000), S_OK);
        EXPECT_EQ(GetNumber(mpeg2.get(), "max-gop-size"), 250.0);
        EXPECT_EQ(GetNumber(mpeg2.get(), "min-gop-size"), 250.0);
    }
    // VP8 refuses a constrained-quality level outside its quantizer range.
    GstPtr<GstElement> vp8 = MakeElement("vp8enc");
    if (vp8) {
        VideoCompressionAdapter adapter(vp8.get());
        ASSERT_EQ(adapter.put_Quality(1.0), S_OK);
        EXPECT_EQ(GetNumber(vp8.get(), "cq-level"), 0.0);
        ASSERT_EQ(adapter.put_Quality(0.0), S_OK);
        EXPECT_EQ(GetNumber(vp8.get(), "cq-level"), 63.0);
    }
    if (!mpeg2 && !vp8)
        GTEST_SKIP() << "mpeg2enc and vp8enc are not installed";
}

}  // namespace
}  // namespace klova
