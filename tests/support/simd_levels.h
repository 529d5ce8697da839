// Parameterising a test by the vector instruction sets this machine runs: each level
// prints (and so names its cases) as "Scalar", "Sse2" or "Avx2".
#pragma once

#include "platform/simd_level.h"

#include <ostream>

namespace klova {

inline void PrintTo(SimdLevel level, std::ostream* out)
{
    *out << SimdLevelName(level);
}

}  // namespace klova
