#include "gloam/geometry/float_text.h"

#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstring>

namespace gloam {

namespace {

// Every power of ten a double holds exactly.
constexpr double powersOfTen[] = {1e0,  1e1,  1e2,  1e3,  1e4,  1e5,  1e6,  1e7,
                                  1e8,  1e9,  1e10, 1e11, 1e12, 1e13, 1e14, 1e15,
                                  1e16, 1e17, 1e18, 1e19, 1e20, 1e21, 1e22};
constexpr int lastExactPower = 22;

char* standardFormat(char* out, float value) {
    return std::to_chars(out, out + floatTextRoom, value, std::chars_format::general, 6).ptr;
}

// `magnitude` times ten to the `power`, with one rounding at most: a float's
// 24 bits times or over an exact power of ten.
double scaled(double magnitude, int power) {
    return power >= 0 ? magnitude * powersOfTen[power] : magnitude / powersOfTen[-power];
}

// The six digits of `digits` (100000..999999) without the zeros that end it.
char* putDigits(char* out, std::uint32_t digits, int count) {
    char text[6];
    for (int i = 5; i >= 0; --i) {
        text[i] = char('0' + digits % 10);
        digits /= 10;
    }
    std::memcpy(out, text, std::size_t(count));
    return out + count;
}

int significantDigits(std::uint32_t digits) {
    int count = 6;
    while (count > 1 && digits % 10 == 0) {
        digits /= 10;
        --count;
    }
    return count;
}

}  // namespace

char* writeFloat(char* out, float value) {
    std::uint32_t bits;
    std::memcpy(&bits, &value, sizeof bits);
    const int biased = int(bits >> 23 & 0xFF);
    // Zeros, subnormals, infinities and NaN take the standard road.
    if (biased == 0 || biased == 0xFF) return standardFormat(out, value);
    const double magnitude = std::fabs(double(value));
    // The decimal exponent, or one less: floor(log10(2) * (binary - 1)) in
    // fixed point, exact over a float's exponents.
    int exponent = ((biased - 127) * 78913) >> 18;
    if (5 - exponent > lastExactPower || exponent - 5 >= lastExactPower) {
        return standardFormat(out, value);
    }
    double six = scaled(magnitude, 5 - exponent);
    if (six >= 1000000.0) {
        ++exponent;
        six = scaled(magnitude, 5 - exponent);
    }
    // The product or quotient is within half a unit in the last place of
    // the true value; a value that close to halfway might round either way,
    // so the exact formatter decides those few.
    if (six < 100000.0 || six >= 1000000.0) return standardFormat(out, value);
    const auto below = std::uint32_t(six);  // positive: truncation is floor
    const double fraction = six - double(below);
    if (std::fabs(fraction - 0.5) < 1e-6) return standardFormat(out, value);
    std::uint32_t digits = fraction < 0.5 ? below : below + 1;
    if (digits == 1000000) {
        digits = 100000;
        ++exponent;
    }

    char* q = out;
    if (std::signbit(value)) *q++ = '-';
    const int count = significantDigits(digits);
    if (exponent >= -4 && exponent < 6) {
        if (exponent < 0) {
            *q++ = '0';
            *q++ = '.';
            for (int i = -1; i > exponent; --i) *q++ = '0';
            return putDigits(q, digits, count);
        }
        const int whole = exponent + 1;
        if (count <= whole) {
            q = putDigits(q, digits, whole);  // zeros within the six stay
            return q;
        }
        char text[6];
        putDigits(text, digits, 6);
        std::memcpy(q, text, std::size_t(whole));
        q += whole;
        *q++ = '.';
        std::memcpy(q, text + whole, std::size_t(count - whole));
        return q + (count - whole);
    }
    char text[6];
    putDigits(text, digits, 6);
    *q++ = text[0];
    if (count > 1) {
        *q++ = '.';
        std::memcpy(q, text + 1, std::size_t(count - 1));
        q += count - 1;
    }
    *q++ = 'e';
    *q++ = exponent < 0 ? '-' : '+';
    const int e = exponent < 0 ? -exponent : exponent;
    *q++ = char('0' + e / 10);
    *q++ = char('0' + e % 10);
    return q;
}

}  // namespace gloam
