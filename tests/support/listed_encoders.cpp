#include "tests/support/listed_encoders.h"

#include "platform/gst_ptr.h"

#include <gst/gst.h>

#include <set>

namespace klova::test {

void PrintTo(const ListedEncoder& encoder, std::ostream* out)
{
    *out << encoder.factory << " (\"" << encoder.friendlyName << "\")";
}

std::vector<ListedEncoder> ListedEncoders(CompressorCategory category, bool firstOfEachName)
{
    gst_init(nullptr, nullptr);
    DeviceMonikerList list(category);
    const int32_t count = list.GetCount();
    std::vector<ListedEncoder> encoders;
    std::set<std::string> names;
    for (int32_t i = 0; i < count; ++i) {
        ListedEncoder encoder;
        list.GetFriendlyName(i, &encoder.friendlyName);
        GstPtr<GstElementFactory> factory;
        list.GetMoniker(i, &factory);
        encoder.factory = GST_OBJECT_NAME(factory.get());
        if (names.insert(encoder.friendlyName).second || !firstOfEachName)
            encoders.push_back(encoder);
    }
    return encoders;
}

std::string ListedEncoderTestName(const ::testing::TestParamInfo<ListedEncoder>& info) { return info.param.factory; }

}  // namespace klova::test
