// The compressor lists: contents, order, and lookup by friendly name.
#include "codecs/avi_encoder_check.h"
#include "codecs/device_moniker_list.h"
#include "tests/support/test_names.h"

#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

namespace klova {

// Found by the test framework next to the category's own namespace.
void PrintTo(CompressorCategory category, std::ostream* out)
{
    *out << (category == CompressorCategory::Video ? "Video" : "Audio");
}

namespace {

constexpr const char* kMpeg4Name = "libav MPEG-4 part 2 encoder";

std::vector<std::string> FriendlyNames(const DeviceMonikerList& list)
{
    const int32_t count = list.GetCount();
    std::vector<std::string> names(count);
    for (int32_t i = 0; i < count; ++i)
        EXPECT_EQ(list.GetFriendlyName(i, &names[i]), S_OK);
    return names;
}

GstPtr<GstCaps> MuxerCaps(const char* templateName)
{
    GstPtr<GstElementFactory> muxer = adopt(gst_element_factory_find("avimux"));
    for (const GList* item = gst_element_factory_get_static_pad_templates(muxer.get()); item; item = item->next) {
        auto* padTemplate = static_cast<GstStaticPadTemplate*>(item->data);
        if (std::string(padTemplate->name_template) == templateName)
            return adopt(gst_static_pad_template_get_caps(padTemplate));
    }
    return nullptr;
}

class CompressorListTest : public ::testing::TestWithParam<CompressorCategory> {};

TEST_P(CompressorListTest, HoldsOnlyEncodersTheMuxerStoresInRankThenNameOrder)
{
    DeviceMonikerList list(GetParam());
    const int32_t count = list.GetCount();
    ASSERT_GT(count, 0);
    GstPtr<GstCaps> muxerCaps = MuxerCaps(GetParam() == CompressorCategory::Video ? "video_%u" : "audio_%u");
    ASSERT_TRUE(muxerCaps);

    guint previousRank = G_MAXUINT;
    std::string previousName;
    for (int32_t i = 0; i < count; ++i) {
        GstPtr<GstElementFactory> factory;
        list.GetMoniker(i, &factory);
        ASSERT_TRUE(factory);
        const std::string name = GST_OBJECT_NAME(factory.get());
        EXPECT_TRUE(AviEncoderCheck::IsCategoryEncoder(factory.get(), GetParam())) << name;

        bool fits = false;
        for (const GList* item = gst_element_factory_get_static_pad_templates(factory.get()); item; item = item->next) {
            auto* padTemplate = static_cast<GstStaticPadTemplate*>(item->data);
            GstPtr<GstCaps> caps = adopt(gst_static_pad_template_get_caps(padTemplate));
            fits = fits || (padTemplate->direction == GST_PAD_SRC && gst_caps_can_intersect(caps.get(), muxerCaps.get()));
        }
        EXPECT_TRUE(fits) << name << " makes nothing avimux takes";

        const guint rank = gst_plugin_feature_get_rank(GST_PLUGIN_FEATURE(factory.get()));
        EXPECT_TRUE(rank < previousRank || (rank == previousRank && name > previousName))
            << name << " out of order after " << previousName;
        previousRank = rank;
        previousName = name;
    }
}

INSTANTIATE_TEST_SUITE_P(Categories, CompressorListTest,
                         ::testing::Values(CompressorCategory::Video, CompressorCategory::Audio),
                         test::PrintedName());

TEST(DeviceMonikerList, LeavesOutEncodersTheMuxerCannotStoreOrThatCannotStart)
{
    const std::vector<std::string> names = FriendlyNames(DeviceMonikerList(CompressorCategory::Video));
    const auto listed = [&](const char* factoryName) {
        GstPtr<GstElementFactory> factory = adopt(gst_element_factory_find(factoryName));
        if (!factory)
            return false;
        const std::string longName = gst_element_factory_get_longname(factory.get());
        return std::find(names.begin(), names.end(), longName) != names.end();
    };
    EXPECT_TRUE(listed("avenc_mpeg4"));
    // Picture encoders (class Codec/Encoder/Image) whose frames avimux stores.
    for (const char* image : {"avenc_mjpeg", "jpegenc", "pngenc", "avenc_ljpeg"})
        EXPECT_TRUE(listed(image)) << image;
    EXPECT_FALSE(listed("avenc_bmp"));  // a picture encoder whose output AVI does not hold
    EXPECT_FALSE(listed("x265enc"));  // H.265 has no place in AVI
    EXPECT_FALSE(listed("theoraenc"));
    // Registered, but cannot open here: no OpenMAX implementation on the machine.
    EXPECT_FALSE(listed("avenc_h264_omx"));
    // The audio list has no video encoder and the other way round.
    const std::vector<std::string> audio = FriendlyNames(DeviceMonikerList(CompressorCategory::Audio));
    EXPECT_EQ(std::find(audio.begin(), audio.end(), kMpeg4Name), audio.end());
}

TEST(DeviceMonikerList, FindsNamesExactlyAndCaseSensitively)
{
    DeviceMonikerList list(CompressorCategory::Video);
    const int32_t index = list.FindByName(kMpeg4Name);
    ASSERT_GE(index, 0);
    std::string name;
    EXPECT_EQ(list.GetFriendlyName(index, &name), S_OK);
    EXPECT_EQ(name, kMpeg4Name);

    for (const char* other : {"libav mpeg-4 part 2 encoder", "libav MPEG-4 part 2", "libav MPEG-4 part 2 encoder ", ""}) {
        EXPECT_EQ(list.FindByName(other), -1) << '"' << other << '"';
    }
}

TEST(DeviceMonikerList, SameFriendlyNameFindsTheFirstInListOrder)
{
    for (CompressorCategory category : {CompressorCategory::Video, CompressorCategory::Audio}) {
        DeviceMonikerList list(category);
        const std::vector<std::string> names = FriendlyNames(list);
        std::map<std::string, int32_t> first;
        for (int32_t i = 0; i < static_cast<int32_t>(names.size()); ++i) {
            if (!first.emplace(names[i], i).second) {
                const int32_t found = list.FindByName(names[i]);
                EXPECT_EQ(found, first[names[i]]) << names[i];
                GstPtr<GstElement> element;
                ASSERT_EQ(list.CreateByName(names[i], &element), S_OK);
                GstPtr<GstElementFactory> expected;
                list.GetMoniker(found, &expected);
                EXPECT_EQ(gst_element_get_factory(element.get()), expected.get());
                return;
            }
        }
    }
    GTEST_SKIP() << "no two listed encoders share a friendly name on this machine";
}

// A list of one friendly name holds what the whole list holds under it, in its order.
TEST(DeviceMonikerList, ListOfOneNameHoldsWhatTheWholeListHoldsUnderIt)
{
    for (CompressorCategory category : {CompressorCategory::Video, CompressorCategory::Audio}) {
        const DeviceMonikerList whole(category);
        const std::vector<std::string> names = FriendlyNames(whole);
        ASSERT_FALSE(names.empty());
        for (const std::string& name : {names.front(), names.back(), std::string(kMpeg4Name)}) {
            const DeviceMonikerList named(category, name);
            std::vector<GstElementFactory*> expected;
            for (int32_t i = 0; i < whole.GetCount(); ++i) {
                if (names[i] == name) {
                    GstPtr<GstElementFactory> moniker;
                    whole.GetMoniker(i, &moniker);
                    expected.push_back(moniker.get());
                }
            }
            std::vector<GstElementFactory*> actual;
            for (int32_t i = 0; i < named.GetCount(); ++i) {
                GstPtr<GstElementFactory> moniker;
                named.GetMoniker(i, &moniker);
                actual.push_back(moniker.get());
            }
            EXPECT_EQ(actual, expected) << name;
        }
    }
    EXPECT_EQ(DeviceMonikerList(CompressorCategory::Video, "No Such Encoder").GetCount(), 0);
    // An audio encoder's name in the video category names nothing.
    EXPECT_EQ(DeviceMonikerList(CompressorCategory::Video, "libav MP2 (MPEG audio layer 2) encoder").GetCount(), 0);
}

TEST(DeviceMonikerList, InvalidIndexesAreRefused)
{
    DeviceMonikerList list(CompressorCategory::Audio);
    const int32_t count = list.GetCount();
    ASSERT_GT(count, 0);

    std::string name = "unchanged";
    EXPECT_EQ(list.GetFriendlyName(count, &name), E_INVALIDARG);
    EXPECT_EQ(name, "");
    EXPECT_EQ(list.GetFriendlyName(-1, &name), E_INVALIDARG);

    GstPtr<GstElement> element;
    EXPECT_EQ(list.BindObject(count, &element), E_FAIL);
    EXPECT_FALSE(element);

    GstPtr<GstElementFactory> held;
    list.GetMoniker(0, &held);
    GstElementFactory* before = held.get();
    list.GetMoniker(count, &held);
    EXPECT_EQ(held.get(), before);
}

TEST(DeviceMonikerList, CreatesAFreshElementByName)
{
    DeviceMonikerList list(CompressorCategory::Video);
    GstPtr<GstElement> first;
    GstPtr<GstElement> second;
    ASSERT_EQ(list.CreateByName(kMpeg4Name, &first), S_OK);
    ASSERT_EQ(list.CreateByName(kMpeg4Name, &second), S_OK);
    EXPECT_NE(first.get(), second.get());
    EXPECT_STREQ(GST_OBJECT_NAME(gst_element_get_factory(first.get())), "avenc_mpeg4");
    EXPECT_FALSE(g_object_is_floating(first.get()));

    GstPtr<GstElement> none;
    EXPECT_EQ(list.CreateByName("No Such Encoder", &none), E_FAIL);
    EXPECT_FALSE(none);
}

TEST(DeviceMonikerList, ReadsMonikerStrings)
{
    GstPtr<GstElementFactory> factory = adopt(gst_element_factory_find("avenc_mpeg4"));
    ASSERT_TRUE(factory);
    std::string value;
    EXPECT_EQ(DeviceMonikerList::ReadMonikerString(factory.get(), "FriendlyName", &value), S_OK);
    EXPECT_EQ(value, kMpeg4Name);
    EXPECT_EQ(DeviceMonikerList::ReadMonikerString(factory.get(), GST_ELEMENT_METADATA_KLASS, &value), S_OK);
    EXPECT_EQ(value, "Codec/Encoder/Video");
    EXPECT_EQ(DeviceMonikerList::ReadMonikerString(factory.get(), "NoSuchKey", &value), E_FAIL);
    EXPECT_EQ(value, "");
}

}  // namespace
}  // namespace klova
