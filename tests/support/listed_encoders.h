// The encoders the compressor lists offer, as parameters of test suites that sweep them.
// Each case is named after the encoder's factory.
#pragma once

#include "codecs/device_moniker_list.h"

#include <gtest/gtest.h>

#include <ostream>
#include <string>
#include <vector>

namespace klova::test {

struct ListedEncoder {
    std::string friendlyName;
    std::string factory;
};

void PrintTo(const ListedEncoder& encoder, std::ostream* out);

// Every encoder of the category in list order; with firstOfEachName, what a user can
// pick: each friendly name once, as the first encoder of that name. Initialises
// GStreamer, as it runs while the tests are being registered, before main() does.
std::vector<ListedEncoder> ListedEncoders(CompressorCategory category, bool firstOfEachName);

std::string ListedEncoderTestName(const ::testing::TestParamInfo<ListedEncoder>& info);

}  // namespace klova::test
