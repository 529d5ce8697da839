#include "platform/simd_level.h"

namespace klova {

SimdLevel BestSimdLevel()
{
#if defined(__x86_64__)
    static const SimdLevel best = [] {
        __builtin_cpu_init();
        return __builtin_cpu_supports("avx2") ? SimdLevel::Avx2 : SimdLevel::Sse2;
    }();
    return best;
#else
    return SimdLevel::Scalar;
#endif
}

std::vector<SimdLevel> SupportedSimdLevels()
{
    std::vector<SimdLevel> levels{SimdLevel::Scalar};
    const SimdLevel best = BestSimdLevel();
    if (best >= SimdLevel::Sse2)
        levels.push_back(SimdLevel::Sse2);
    if (best >= SimdLevel::Avx2)
        levels.push_back(SimdLevel::Avx2);
    return levels;
}

const char* SimdLevelName(SimdLevel level)
{
    switch (level) {
    case SimdLevel::Scalar: return "Scalar";
    case SimdLevel::Sse2: return "Sse2";
    case SimdLevel::Avx2: return "Avx2";
    }
    return "Unknown";
}

}  // namespace klova
