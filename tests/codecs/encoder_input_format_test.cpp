// Which raw format each encoder is fed: 4:2:0 where it takes it, a configured format
// where it asks for one, negotiation otherwise.
#include "codecs/encoder_input_format.h"

#include <gtest/gtest.h>

#include <string>

namespace klova {
namespace {

// The format names of caps with one structure, joined by spaces ("" for null caps).
std::string Formats(const GstCaps* caps)
{
    if (!caps)
        return "";
    const GValue* field = gst_structure_get_value(gst_caps_get_structure(caps, 0), "format");
    if (!field)
        return "?";
    if (G_VALUE_HOLDS_STRING(field))
        return g_value_get_string(field);
    std::string names;
    for (guint i = 0; i < gst_value_list_get_size(field); ++i)
        names += std::string(i ? " " : "") + g_value_get_string(gst_value_list_get_value(field, i));
    return names;
}

struct FormatCase {
    const char* factory;
    const char* requested;
    const char* chosen;  // "" when the input is left to negotiation
};

void PrintTo(const FormatCase& c, std::ostream* out) { *out << c.factory << " " << c.requested; }

class EncoderInputFormatTest : public ::testing::TestWithParam<FormatCase> {};

TEST_P(EncoderInputFormatTest, ChoosesFourTwoZeroUnlessTheConfigurationAsksOtherwise)
{
    GstPtr<GstElement> encoder = MakeElement(GetParam().factory);
    if (!encoder)
        GTEST_SKIP() << GetParam().factory << " is not installed";
    GstPtr<GstCaps> formats = EncoderInputFormat::Choose(encoder.get(), GetParam().requested);
    EXPECT_EQ(Formats(formats.get()), GetParam().chosen);
}

INSTANTIATE_TEST_SUITE_P(
    Encoders, EncoderInputFormatTest,
    ::testing::Values(
        // x264 lists Y444 first; the converter in front would pick it from BGR.
        FormatCase{"x264enc", "", "I420 YV12 NV12"},
        FormatCase{"x264enc", "Y444", "Y444"},
        FormatCase{"x264enc", "GRAY8", "I420 YV12 NV12"},  // not taken: the configuration is ignored
        // jpegenc takes BGR straight, and codes it as a 4:4:4 picture.
        FormatCase{"jpegenc", "", "I420 YV12 NV21 NV12"},
        FormatCase{"avenc_mjpeg", "", "I420"},
        FormatCase{"avenc_huffyuv", "", ""},  // no 4:2:0 at all
        FormatCase{"pngenc", "", ""},
        FormatCase{"pngenc", "RGB", "RGB"}),
    [](const auto& info) {
        return std::string(info.param.factory) + (*info.param.requested ? std::string("_") + info.param.requested : "");
    });

TEST(EncoderInputFormat, FixesTheFramesAnEncoderWouldGetOrNoneWhenItTakesNoSuchSize)
{
    GstPtr<GstElement> x264 = MakeElement("x264enc");
    GstPtr<GstElement> dv = MakeElement("avenc_dvvideo");
    if (!x264 || !dv)
        GTEST_SKIP() << "x264enc or avenc_dvvideo is not installed";
    GstPtr<GstCaps> formats = EncoderInputFormat::Choose(x264.get(), "");
    GstPtr<GstCaps> fixed = EncoderInputFormat::FixedInput(x264.get(), formats.get(), 352, 288, 25.0);
    ASSERT_TRUE(fixed);
    EXPECT_TRUE(gst_caps_is_fixed(fixed.get()));
    GstStructure* frames = gst_caps_get_structure(fixed.get(), 0);
    EXPECT_STREQ(gst_structure_get_string(frames, "format"), "I420");
    int width = 0, height = 0, rateNumerator = 0, rateDenominator = 0;
    gst_structure_get_int(frames, "width", &width);
    gst_structure_get_int(frames, "height", &height);
    gst_structure_get_fraction(frames, "framerate", &rateNumerator, &rateDenominator);
    EXPECT_EQ(width, 352);
    EXPECT_EQ(height, 288);
    EXPECT_EQ(rateNumerator, 25);
    EXPECT_EQ(rateDenominator, 1);

    fixed = EncoderInputFormat::FixedInput(x264.get(), nullptr, 352, 288, 29.97);
    ASSERT_TRUE(fixed);
    EXPECT_STREQ(gst_structure_get_string(gst_caps_get_structure(fixed.get(), 0), "format"), "Y444");

    // DV takes its broadcast sizes only.
    EXPECT_FALSE(EncoderInputFormat::FixedInput(dv.get(), nullptr, 352, 288, 25.0));
    EXPECT_TRUE(EncoderInputFormat::FixedInput(dv.get(), nullptr, 720, 576, 25.0));
    EXPECT_FALSE(EncoderInputFormat::FixedInput(x264.get(), nullptr, 0, 288, 25.0));
}

}  // namespace
}  // namespace klova
