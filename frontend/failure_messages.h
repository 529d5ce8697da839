// The one mapping from a failure (an error code or a caught exception) to the
// string-table text the user sees. Every front end shows failures through it.
#pragma once

#include <cstdint>
#include <exception>
#include <optional>
#include <string>

namespace klova {

// String-table id for an error code; unknown codes give "Cannot make conversion.".
uint32_t MessageIdForCode(int32_t code);

// String-table id for a caught exception: CMyException by its code, FileException
// for the project file; nullopt for any other exception (not a conversion failure).
std::optional<uint32_t> MessageIdForException(const std::exception_ptr& failure);

// The text for an exception, or nullopt for exceptions that are not ours.
std::optional<std::string> FailureText(const std::exception_ptr& failure);

// The technical reason an exception of ours carries ("output size 0 x 240", the
// GStreamer error, ...), for standard error or the log beside the text; nullopt when it
// carries none or is not ours.
std::optional<std::string> FailureReason(const std::exception_ptr& failure);

// Logs the text and the reason of a failure (debug category "klovafailure", level
// WARNING, so GST_DEBUG=klova*:4 shows it). Any thread.
void LogFailure(const std::exception_ptr& failure);

}  // namespace klova
