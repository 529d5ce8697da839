// The one exception type that crosses component boundaries, with the system's error
// codes, and the exception the project-file writer raises.
#pragma once

#include <cstdint>
#include <stdexcept>
#include <string>

namespace klova {

enum class ErrorCode : int32_t {
    GraphInitFailed = 1,
    OutputOpenFailed = 5,
    GraphRunFailed = 6,
    InputOpenFailed = 7,
    WindowsMediaFailed = 9,
    // A write failed during a conversion (disk full, an encoder error); the file
    // written so far is closed and complete.
    OutputWriteFailed = 10,
    // The output frame rate or frame size asked for cannot be produced.
    InvalidOutputFormat = 11,
    // The input opens but has no picture to convert (a sound file).
    NoVideoStream = 12,
    // The custom audio format asked for (rate, depth, channels) is none of those offered.
    InvalidAudioFormat = 13,
};

// Carries an error code; the user sees the sentence the code maps to. The detail text
// is technical and goes to the log only.
class CMyException : public std::runtime_error {
public:
    explicit CMyException(int32_t code, const std::string& detail = {})
        : std::runtime_error(detail.empty() ? "error code " + std::to_string(code) : detail), code_(code),
          hasDetail_(!detail.empty())
    {
    }
    explicit CMyException(ErrorCode code, const std::string& detail = {})
        : CMyException(static_cast<int32_t>(code), detail)
    {
    }
    int32_t code() const noexcept { return code_; }
    // Whether what() is a technical reason rather than only the code.
    bool hasDetail() const noexcept { return hasDetail_; }

private:
    int32_t code_;
    bool hasDetail_;
};

// Raised when the editor project file cannot be created or written.
class FileException : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

}  // namespace klova
