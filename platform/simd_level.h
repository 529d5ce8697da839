// The vector instruction sets the pixel kernels (colour conversion, scaling) are built
// for, and the best one this processor runs. A converter or scaler picks its kernels
// once, when it is set up; tests force each level the machine supports in turn.
#pragma once

#include <vector>

namespace klova {

// On x86-64 SSE2 is always there and AVX2 is used when the processor has it; other
// architectures run the scalar kernels, which every build also keeps.
enum class SimdLevel { Scalar, Sse2, Avx2 };

// The best level this processor runs. Thread-safe; detected once.
SimdLevel BestSimdLevel();

// Every level this processor runs, Scalar first.
std::vector<SimdLevel> SupportedSimdLevels();

const char* SimdLevelName(SimdLevel level);

}  // namespace klova
