// Audio encoders whose bit rate depends on the sample rate get one that is valid for
// their input.
#include "codecs/audio_bit_rate_rule.h"
#include "platform/gst_ptr.h"

#include <gtest/gtest.h>

namespace klova {
namespace {

TEST(AudioBitRateRule, PicksTheNearestLayerTwoRateValidForTheInput)
{
    // 16 to 24 kHz: 8..160 kbit/s.
    EXPECT_EQ(AudioBitRateRule::NearestLayerTwoKbps(192, 16000, 1), 160);
    EXPECT_EQ(AudioBitRateRule::NearestLayerTwoKbps(192, 22050, 2), 160);
    EXPECT_EQ(AudioBitRateRule::NearestLayerTwoKbps(8, 24000, 1), 8);
    // 32 to 48 kHz, mono: 32..192, no 144.
    EXPECT_EQ(AudioBitRateRule::NearestLayerTwoKbps(192, 44100, 1), 192);
    EXPECT_EQ(AudioBitRateRule::NearestLayerTwoKbps(384, 48000, 1), 192);
    EXPECT_EQ(AudioBitRateRule::NearestLayerTwoKbps(8, 32000, 1), 32);
    EXPECT_EQ(AudioBitRateRule::NearestLayerTwoKbps(144, 48000, 1), 128);  // equally near: the lower
    // Stereo: 64..384, without 80.
    EXPECT_EQ(AudioBitRateRule::NearestLayerTwoKbps(32, 48000, 2), 64);
    EXPECT_EQ(AudioBitRateRule::NearestLayerTwoKbps(80, 44100, 2), 64);
    EXPECT_EQ(AudioBitRateRule::NearestLayerTwoKbps(192, 48000, 2), 192);
}

// Without the rule TwoLAME refuses 16 kHz mono at its default 192 kbit/s.
TEST(AudioBitRateRule, TwoLameEncodesSixteenKilohertzMono)
{
    GstPtr<GstElement> pipeline = retain(gst_parse_launch(
        "audiotestsrc num-buffers=20 ! audio/x-raw,rate=16000,channels=1 ! twolamemp2enc name=encoder ! fakesink",
        nullptr));
    if (!pipeline)
        GTEST_SKIP() << "twolamemp2enc is not installed";
    GstPtr<GstElement> encoder = adopt(gst_bin_get_by_name(GST_BIN(pipeline.get()), "encoder"));
    AudioBitRateRule::Attach(encoder.get());
    ASSERT_NE(gst_element_set_state(pipeline.get(), GST_STATE_PLAYING), GST_STATE_CHANGE_FAILURE);
    GstPtr<GstBus> bus = adopt(gst_element_get_bus(pipeline.get()));
    GstPtr<GstMessage> message = adopt(gst_bus_timed_pop_filtered(
        bus.get(), 10 * GST_SECOND, static_cast<GstMessageType>(GST_MESSAGE_EOS | GST_MESSAGE_ERROR)));
    gst_element_set_state(pipeline.get(), GST_STATE_NULL);
    ASSERT_TRUE(message);
    EXPECT_EQ(GST_MESSAGE_TYPE(message.get()), GST_MESSAGE_EOS);
    int kbps = 0;
    g_object_get(encoder.get(), "bitrate", &kbps, nullptr);
    EXPECT_EQ(kbps, 160);
}

}  // namespace
}  // namespace klova
