#include "tests/support/test_names.h"

namespace klova::test {

std::string TestNameOf(std::string_view text)
{
    std::string name;
    bool gap = false;
    for (const char c : text) {
        const bool kept = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9');
        if (!kept) {
            gap = true;
            continue;
        }
        if (gap && !name.empty())
            name += '_';
        gap = false;
        name += c;
    }
    return name.empty() ? "none" : name;
}

}  // namespace klova::test
