// Names of parameterised test cases. A case prints itself through its PrintTo (which
// CTest shows beside the test), and the same text, reduced to what a test name may
// hold, names it.
#pragma once

#include <gtest/gtest.h>

#include <string>
#include <string_view>

namespace klova::test {

// The text as a test name: letters and digits kept, every other run of characters one
// '_' ("30000/1001 to 25" becomes "30000_1001_to_25"); "none" for a text without either.
std::string TestNameOf(std::string_view text);

// The name generator of INSTANTIATE_TEST_SUITE_P: the case as its PrintTo prints it.
struct PrintedName {
    template <typename Case>
    std::string operator()(const ::testing::TestParamInfo<Case>& info) const
    {
        return TestNameOf(::testing::PrintToString(info.param));
    }
};

}  // namespace klova::test
