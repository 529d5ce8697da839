// Small UTF-16 helpers of the writer library: paths arrive as UTF-16 and the file
// system wants UTF-8; profile texts compare names and keywords ignoring ASCII case.
#pragma once

#include <string>
#include <string_view>

namespace asfout {

// UTF-8 form of a UTF-16 text; an unpaired surrogate becomes U+FFFD.
std::string Utf16ToUtf8(std::u16string_view text);

// True when both texts are equal after folding ASCII letters to lower case.
// `ascii` holds ASCII only.
bool EqualsIgnoreAsciiCase(std::u16string_view text, std::string_view ascii);

// The text without leading and trailing XML white space.
std::u16string_view TrimXmlSpace(std::u16string_view text);

}  // namespace asfout
