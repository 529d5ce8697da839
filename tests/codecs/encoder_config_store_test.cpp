// Settings made on an encoder's configuration page reach every later instance.
#include "codecs/encoder_config_store.h"
#include "platform/gst_ptr.h"

#include <gtest/gtest.h>

namespace klova {
namespace {

GValue IntValue(int value)
{
    GValue result = G_VALUE_INIT;
    g_value_init(&result, G_TYPE_INT);
    g_value_set_int(&result, value);
    return result;
}

int GetInt(GstElement* element, const char* property)
{
    int value = 0;
    g_object_get(element, property, &value, nullptr);
    return value;
}

class EncoderConfigStoreTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        GstPtr<GstElementFactory> mpeg4 = adopt(gst_element_factory_find("avenc_mpeg4"));
        GstPtr<GstElementFactory> msmpeg4 = adopt(gst_element_factory_find("avenc_msmpeg4"));
        if (!mpeg4 || !msmpeg4)
            GTEST_SKIP() << "libav encoders missing";
    }
};

TEST_F(EncoderConfigStoreTest, AppliesRememberedValuesToEveryNewInstanceOfThatEncoderOnly)
{
    EncoderConfigStore store;
    GValue gop = IntValue(7);
    store.Remember("avenc_mpeg4", "gop-size", gop);
    g_value_unset(&gop);

    for (int instance = 0; instance < 2; ++instance) {
        GstPtr<GstElement> encoder = MakeElement("avenc_mpeg4");
        store.Apply(encoder.get());
        EXPECT_EQ(GetInt(encoder.get(), "gop-size"), 7);
    }
    GstPtr<GstElement> other = MakeElement("avenc_msmpeg4");
    const int otherDefault = GetInt(other.get(), "gop-size");
    store.Apply(other.get());
    EXPECT_EQ(GetInt(other.get(), "gop-size"), otherDefault);
}

TEST_F(EncoderConfigStoreTest, LaterValueReplacesEarlierAndClearForgetsAll)
{
    EncoderConfigStore store;
    GValue first = IntValue(5);
    GValue second = IntValue(9);
    store.Remember("avenc_mpeg4", "gop-size", first);
    store.Remember("avenc_mpeg4", "gop-size", second);
    g_value_unset(&first);
    g_value_unset(&second);

    GstPtr<GstElement> encoder = MakeElement("avenc_mpeg4");
    const int defaultGop = GetInt(encoder.get(), "gop-size");
    store.Apply(encoder.get());
    EXPECT_EQ(GetInt(encoder.get(), "gop-size"), 9);

    store.Clear();
    GstPtr<GstElement> fresh = MakeElement("avenc_mpeg4");
    store.Apply(fresh.get());
    EXPECT_EQ(GetInt(fresh.get(), "gop-size"), defaultGop);
}

TEST_F(EncoderConfigStoreTest, SkipsPropertiesTheEncoderDoesNotHave)
{
    EncoderConfigStore store;
    GValue value = IntValue(3);
    store.Remember("avenc_mpeg4", "no-such-property", value);
    GValue text = G_VALUE_INIT;
    g_value_init(&text, G_TYPE_STRING);
    g_value_set_string(&text, "not a number");
    store.Remember("avenc_mpeg4", "gop-size", text);
    g_value_unset(&value);
    g_value_unset(&text);

    GstPtr<GstElement> encoder = MakeElement("avenc_mpeg4");
    const int defaultGop = GetInt(encoder.get(), "gop-size");
    store.Apply(encoder.get());
    EXPECT_EQ(GetInt(encoder.get(), "gop-size"), defaultGop);
}

TEST_F(EncoderConfigStoreTest, RemembersTheInputFormatAConfigurationAsksFor)
{
    EncoderConfigStore store;
    GstPtr<GstElement> mpeg4 = MakeElement("avenc_mpeg4");
    GstPtr<GstElement> msmpeg4 = MakeElement("avenc_msmpeg4");
    EXPECT_EQ(store.InputFormat(mpeg4.get()), "");
    store.RememberInputFormat("avenc_mpeg4", "Y444");
    store.RememberInputFormat("avenc_mpeg4", "Y42B");
    EXPECT_EQ(store.InputFormat(mpeg4.get()), "Y42B");
    EXPECT_EQ(store.InputFormat(msmpeg4.get()), "");
    EXPECT_EQ(store.InputFormat(nullptr), "");
    store.RememberInputFormat("avenc_mpeg4", "");
    EXPECT_EQ(store.InputFormat(mpeg4.get()), "");
    store.RememberInputFormat("avenc_mpeg4", "Y444");
    store.Clear();
    EXPECT_EQ(store.InputFormat(mpeg4.get()), "");
}

}  // namespace
}  // namespace klova
