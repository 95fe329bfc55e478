#pragma once
// Decimal numbers read straight from text, without copies or allocation.
// The text must be followed by a character that cannot continue a number
// (data blocks end in a zero byte), so no end pointer is needed.
#include <cstdint>

namespace Vexa {

// Reads [+-]digits[.digits][(e|E)[+-]digits] (at least one digit before the
// exponent) as the float nearest to the double strtod would give. Returns
// the first character after the number, or null when there is none.
const char* parseDecimalReal(const char* text, float& value);

// Reads [+-]digits within the range of a 32-bit int. Returns the first
// character after it, or null when there is none or it does not fit.
const char* parseDecimalInt(const char* text, int32_t& value);

}  // namespace Vexa
