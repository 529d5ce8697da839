// What an encoder's Configure and About pages are built from: the properties a page may
// change (and those it must not show), their values within range, and the encoder's
// description.
#include "codecs/encoder_description.h"
#include "codecs/encoder_properties.h"
#include "codecs/property_value.h"
#include "platform/gst_ptr.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <limits>
#include <map>

namespace klova {
namespace {

class EncoderPropertiesTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        encoder_ = MakeElement("avenc_mpeg4");
        if (!encoder_)
            GTEST_SKIP() << "libav MPEG-4 encoder missing";
        for (const EncoderProperty& property : ConfigurableProperties(encoder_.get()))
            properties_[property.spec->name] = property;
    }

    const EncoderProperty& Property(const std::string& name)
    {
        const auto found = properties_.find(name);
        if (found == properties_.end())
            throw std::runtime_error("no property " + name);
        return found->second;
    }

    GstPtr<GstElement> encoder_;
    std::map<std::string, EncoderProperty> properties_;
};

TEST_F(EncoderPropertiesTest, OffersTheEncodingSettingsByKindAndHidesWhatOnlyThePipelineNeeds)
{
    const std::pair<const char*, PropertyKind> kinds[] = {
        {"bitrate", PropertyKind::SignedInteger},     {"maxrate", PropertyKind::SignedInteger},
        {"alternate-scan", PropertyKind::Boolean},    {"b-qfactor", PropertyKind::Real},
        {"cmp", PropertyKind::Enumeration},           {"flags", PropertyKind::Flags},
        {"rc-eq", PropertyKind::Text},                {"pass", PropertyKind::Enumeration},
        {"quantizer", PropertyKind::Real},
    };
    for (const auto& [name, kind] : kinds)
        EXPECT_EQ(Property(name).kind, kind) << name;

    // Name and parent, a file of the host, the base class's QoS and key-unit switches.
    for (const char* hidden : {"name", "parent", "multipass-cache-file", "qos", "min-force-key-unit-interval"})
        EXPECT_EQ(properties_.count(hidden), 0u) << hidden;
    for (const auto& [name, property] : properties_) {
        EXPECT_TRUE(property.spec->flags & G_PARAM_READABLE) << name;
        EXPECT_TRUE(property.spec->flags & G_PARAM_WRITABLE) << name;
        EXPECT_FALSE(property.spec->flags & G_PARAM_CONSTRUCT_ONLY) << name;
    }

    const std::vector<EncoderProperty> listed = ConfigurableProperties(encoder_.get());
    EXPECT_TRUE(std::is_sorted(listed.begin(), listed.end(), [](const auto& a, const auto& b) {
        return std::string(a.spec->name) < std::string(b.spec->name);
    }));
    EXPECT_TRUE(ConfigurableProperties(nullptr).empty());
}

TEST_F(EncoderPropertiesTest, NumbersAreReadWholeAndSetWithinTheirRange)
{
    const EncoderProperty& bitrate = Property("bitrate");  // int, 0 .. 2147483647
    PropertyValue value(G_TYPE_INT);
    SetSigned(bitrate.spec, value.get(), 800000);
    EXPECT_EQ(g_value_get_int(value.get()), 800000);
    EXPECT_EQ(GetSigned(*value.get()), 800000);
    SetSigned(bitrate.spec, value.get(), -5);
    EXPECT_EQ(g_value_get_int(value.get()), 0);
    SetSigned(bitrate.spec, value.get(), std::numeric_limits<int64_t>::max());
    EXPECT_EQ(g_value_get_int(value.get()), std::numeric_limits<int>::max());

    // 64-bit values keep every digit, up to the ends of their range.
    GParamSpec* wideSpec = g_param_spec_ref_sink(
        g_param_spec_uint64("wide", nullptr, nullptr, 1, G_MAXUINT64, 1, G_PARAM_READWRITE));
    PropertyValue wide(G_TYPE_UINT64);
    SetUnsigned(wideSpec, wide.get(), G_MAXUINT64 - 1);
    EXPECT_EQ(GetUnsigned(*wide.get()), G_MAXUINT64 - 1);
    SetUnsigned(wideSpec, wide.get(), 0);
    EXPECT_EQ(GetUnsigned(*wide.get()), 1u);
    uint64_t minimum = 0;
    uint64_t maximum = 0;
    UnsignedLimits(wideSpec, &minimum, &maximum);
    EXPECT_EQ(minimum, 1u);
    EXPECT_EQ(maximum, G_MAXUINT64);
    g_param_spec_unref(wideSpec);

    const EncoderProperty& qfactor = Property("b-qfactor");  // float
    PropertyValue real(G_TYPE_FLOAT);
    SetReal(qfactor.spec, real.get(), 1.5);
    EXPECT_FLOAT_EQ(g_value_get_float(real.get()), 1.5f);
    EXPECT_DOUBLE_EQ(GetReal(*real.get()), 1.5);
}

TEST_F(EncoderPropertiesTest, DescriptionTellsWhatTheSettingDoesItsRangeAndItsDefault)
{
    const std::string bitrate = DescribeProperty(Property("bitrate"));
    EXPECT_NE(bitrate.find("bitrate"), std::string::npos) << bitrate;
    EXPECT_NE(bitrate.find("Range: 0 to 2147483647."), std::string::npos) << bitrate;
    EXPECT_NE(bitrate.find("Default: 200000."), std::string::npos) << bitrate;
    EXPECT_NE(DescribeProperty(Property("cmp")).find("Default: sum of absolute differences, fast."), std::string::npos);
    EXPECT_NE(DescribeProperty(Property("flags")).find("Default: (none)."), std::string::npos);
    EXPECT_NE(DescribeProperty(Property("alternate-scan")).find("Default: off."), std::string::npos);
    EXPECT_NE(DescribeProperty(Property("rc-eq")).find("Default: none."), std::string::npos);
}

TEST_F(EncoderPropertiesTest, DescribesTheEncoderFromItsFactoryAndPlugin)
{
    const EncoderDescription about = DescribeEncoder(gst_element_get_factory(encoder_.get()));
    EXPECT_EQ(about.longName, "libav MPEG-4 part 2 encoder");
    EXPECT_EQ(about.factoryName, "avenc_mpeg4");
    EXPECT_FALSE(about.description.empty());
    EXPECT_FALSE(about.author.empty());
    EXPECT_EQ(about.plugin.rfind("libav", 0), 0u) << about.plugin;
    EXPECT_FALSE(about.version.empty());
    EXPECT_EQ(about.license, "LGPL");
    EXPECT_FALSE(about.package.empty());
    EXPECT_TRUE(DescribeEncoder(nullptr).longName.empty());
}

}  // namespace
}  // namespace klova
