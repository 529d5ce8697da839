// How far a conversion has come: the share of the input converted (source time against
// the input's duration) and an estimate of the time left, with the text the progress
// bar shows.
#pragma once

#include "platform/media_types.h"

#include <cstdint>
#include <optional>
#include <string>

namespace klova {

inline constexpr int32_t kProgressRange = 1000;  // the bar's maximum: per mille

struct ConversionProgress {
    bool known = false;                // false: the input's duration is unknown
    int32_t permille = 0;              // 0..kProgressRange
    std::optional<uint32_t> msLeft;    // no estimate before the first converted time
};

// sourceTime and inputDuration in 100-ns units; elapsedMs since the start.
ConversionProgress EstimateProgress(MediaTime sourceTime, MediaTime inputDuration, uint32_t elapsedMs);

// "42%, 0:01:05 left", "42%" without an estimate, empty when the progress is unknown.
std::string ProgressText(const ConversionProgress& progress);

// Whether a conversion that ran to the end of its input got far less of it than the
// input's duration promised (a file damaged part-way whose demuxer just stops): less
// than 90 % and more than a second short. convertedTime: how far the conversion got,
// 100-ns units; an unknown duration (0) promises nothing.
bool EndedFarShortOfDuration(MediaTime convertedTime, MediaTime inputDuration);

// The warning klova-convert prints then: how much of how much was converted.
std::string ShortInputWarning(MediaTime convertedTime, MediaTime inputDuration);

}  // namespace klova
