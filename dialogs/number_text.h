// Numbers typed into the option dialogs' boxes, read and written the way the classic
// dialog data exchange does: whole text, surrounding blanks ignored.
#pragma once

#include <QString>

#include <cstdint>
#include <optional>

namespace klova {

// A 32-bit integer, or nothing when the text is not one (empty, other characters, too big).
std::optional<int32_t> ParseInteger(const QString& text);

// A 32-bit unsigned integer (digits only), or nothing.
std::optional<uint32_t> ParseUnsigned(const QString& text);

// A finite number ("25", "29.97", "1e2"), or nothing.
std::optional<double> ParseReal(const QString& text);

// The integer of a box as the coupling of two boxes reads it: 0 when it is not one.
inline int32_t IntegerOrZero(const QString& text) { return ParseInteger(text).value_or(0); }

// value + 0.5 truncated toward zero, kept within the 32-bit range.
int32_t RoundHalfUp(double value);

// A frame rate as the box shows it: up to 15 significant digits, no trailing zeros.
QString RealText(double value);

}  // namespace klova
