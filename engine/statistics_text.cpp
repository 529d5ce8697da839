#include "engine/statistics_text.h"

#include "resources/string_table.h"

#include <cstdio>

namespace klova {
namespace {

// The table's formats use "%li": a long receives each value, and 32-bit quantities are
// widened from their 32-bit form so they print as they always have.
template <typename... Args>
std::string Format(const std::string& format, Args... args)
{
    char text[512];
    const int length = std::snprintf(text, sizeof text, format.c_str(), args...);
    if (length < 0)
        return {};
    if (static_cast<size_t>(length) < sizeof text)
        return std::string(text, static_cast<size_t>(length));
    std::string longText(static_cast<size_t>(length) + 1, '\0');
    std::snprintf(longText.data(), longText.size(), format.c_str(), args...);
    longText.resize(static_cast<size_t>(length));
    return longText;
}

}  // namespace

std::string FormatDuration(uint32_t ms)
{
    const long hours = static_cast<long>(ms / 3'600'000u);
    const long minutes = static_cast<long>((ms % 3'600'000u) / 60'000u);
    const long seconds = static_cast<long>((ms % 60'000u) / 1'000u);
    const long hundredths = static_cast<long>((ms % 1'000u) / 10u);
    const long wholeSeconds = static_cast<long>(ms / 1'000u);
    return Format(LoadStringResource(IDS_DURATION_FORMAT), hours, minutes, seconds, hundredths, wholeSeconds,
                  hundredths);
}

std::string FormatStatistics(int64_t framesRead, uint32_t elapsedMs, MediaTime sourceTime, int32_t clipIndex)
{
    const std::string processed = FormatDuration(static_cast<uint32_t>(sourceTime / 10'000));
    const std::string elapsed = FormatDuration(elapsedMs);
    const double rate = elapsedMs != 0 ? static_cast<double>(framesRead) / (elapsedMs * 0.001) : 0.0;
    return Format(LoadStringResource(IDS_STATISTICS_FORMAT), static_cast<long>(static_cast<int32_t>(framesRead)), rate,
                  processed.c_str(), elapsed.c_str(), static_cast<long>(clipIndex));
}

}  // namespace klova
