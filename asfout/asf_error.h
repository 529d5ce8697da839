// The library's result codes and the exception its parts raise internally. Nothing
// here crosses the library boundary: AsfWriter turns every AsfError into its result.
#pragma once

#include <cstdint>
#include <stdexcept>
#include <string>

namespace asfout {

inline constexpr int32_t kOk = 0;
inline constexpr int32_t kFalse = 1;
inline constexpr int32_t kFail = static_cast<int32_t>(0x80004005u);
inline constexpr int32_t kPointer = static_cast<int32_t>(0x80004003u);
inline constexpr int32_t kInvalidArgument = static_cast<int32_t>(0x80070057u);
inline constexpr int32_t kOutOfMemory = static_cast<int32_t>(0x8007000Eu);
inline constexpr int32_t kUnexpected = static_cast<int32_t>(0x8000FFFFu);

class AsfError : public std::runtime_error {
public:
    explicit AsfError(const std::string& detail, int32_t result = kFail) : std::runtime_error(detail), result_(result) {}
    int32_t result() const noexcept { return result_; }

private:
    int32_t result_;
};

// Throws an AsfError naming the failed call when an FFmpeg result is negative;
// returns the result otherwise.
int CheckAv(int result, const char* what);

}  // namespace asfout
