#pragma once
// Decimal numbers read straight from text, without copies or allocation.
// The text must be followed by a character that cannot continue a number
// (data blocks end in a zero byte), so no end pointer is needed.
#include <cstdint>

namespace Vexa {

namespace DecimalText {

inline bool isDigit(char c) { return static_cast<unsigned char>(c - '0') < 10; }

// Powers of ten a double holds exactly.
constexpr double kPowers[] = {1e0,  1e1,  1e2,  1e3,  1e4,  1e5,  1e6,  1e7,
                              1e8,  1e9,  1e10, 1e11, 1e12, 1e13, 1e14, 1e15,
                              1e16, 1e17, 1e18, 1e19, 1e20, 1e21, 1e22};
constexpr int kExactPower = 22;
constexpr uint64_t kExactMantissa = uint64_t(1) << 53;
constexpr int kMantissaDigits = 19;

// The slow road for numbers a double product cannot give exactly.
float viaStrtod(const char* start, const char* end);

}  // namespace DecimalText

// Reads [+-]digits[.digits][(e|E)[+-]digits] (at least one digit before the
// exponent) as the float nearest to the double strtod would give. Returns
// the first character after the number, or null when there is none.
//
// An integer mantissa of up to 19 digits and a power of ten; when both are
// small enough, one double multiplication or division is exact before its
// rounding, so the result is the correctly rounded double.
inline const char* parseDecimalReal(const char* text, float& value) {
    using namespace DecimalText;
    const char* p = text;
    const bool negative = *p == '-';
    if (*p == '-' || *p == '+') ++p;
    uint64_t mantissa = 0;
    int digits = 0;
    int exponent = 0;
    bool any = false;
    bool dropped = false;
    for (; isDigit(*p); ++p) {
        any = true;
        if (digits < kMantissaDigits) {
            mantissa = mantissa * 10 + static_cast<unsigned>(*p - '0');
            if (mantissa) ++digits;
        } else {
            ++exponent;
            dropped |= *p != '0';
        }
    }
    if (*p == '.') {
        for (++p; isDigit(*p); ++p) {
            any = true;
            if (digits < kMantissaDigits) {
                mantissa = mantissa * 10 + static_cast<unsigned>(*p - '0');
                if (mantissa) ++digits;
                --exponent;
            } else {
                dropped |= *p != '0';
            }
        }
    }
    if (!any) return nullptr;
    if (*p == 'e' || *p == 'E') {
        const char* q = p + 1;
        const bool negativeExponent = *q == '-';
        if (*q == '-' || *q == '+') ++q;
        if (!isDigit(*q)) return nullptr;
        int written = 0;
        for (; isDigit(*q); ++q)
            if (written < 100000) written = written * 10 + (*q - '0');
        exponent += negativeExponent ? -written : written;
        p = q;
    }
    if (mantissa == 0 && !dropped) {
        value = negative ? -0.0f : 0.0f;
    } else if (!dropped && mantissa <= kExactMantissa && exponent >= -kExactPower &&
               exponent <= kExactPower) {
        double d = static_cast<double>(mantissa);
        d = exponent < 0 ? d / kPowers[-exponent] : d * kPowers[exponent];
        value = static_cast<float>(negative ? -d : d);
    } else {
        value = viaStrtod(text, p);
    }
    return p;
}

// Reads [+-]digits within the range of a 32-bit int. Returns the first
// character after it, or null when there is none or it does not fit.
inline const char* parseDecimalInt(const char* text, int32_t& value) {
    using DecimalText::isDigit;
    const char* p = text;
    const bool negative = *p == '-';
    if (*p == '-' || *p == '+') ++p;
    if (!isDigit(*p)) return nullptr;
    const int64_t limit = negative ? int64_t(2147483648) : int64_t(2147483647);
    int64_t magnitude = 0;
    for (; isDigit(*p); ++p) {
        magnitude = magnitude * 10 + (*p - '0');
        if (magnitude > limit) return nullptr;
    }
    value = static_cast<int32_t>(negative ? -magnitude : magnitude);
    return p;
}

}  // namespace Vexa
