// Milliseconds of a steady clock, wrapping at 32 bits like the multimedia timer.
#pragma once

#include <chrono>
#include <cstdint>

namespace klova {

inline uint32_t TickCountMs()
{
    const auto now = std::chrono::steady_clock::now().time_since_epoch();
    return static_cast<uint32_t>(std::chrono::duration_cast<std::chrono::milliseconds>(now).count());
}

}  // namespace klova
