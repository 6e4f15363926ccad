// Products of two 64-bit numbers are formed in 128 bits and reduced before they are narrowed, so
// a fraction fails only when its lowest terms do not fit.
#include "engine/rational.h"

#include <limits>

namespace korvel {

namespace {

__extension__ typedef __int128 wide;

wide wide_gcd(wide a, wide b) {
    if (a < 0) a = -a;
    if (b < 0) b = -b;
    while (b != 0) {
        const wide rest = a % b;
        a = b;
        b = rest;
    }
    return a;
}

bool fits(wide value) {
    return value >= std::numeric_limits<std::int64_t>::min() &&
           value <= std::numeric_limits<std::int64_t>::max();
}

bool reduced(wide num, wide den, rational* out) {
    if (den == 0) return false;
    if (den < 0) {
        num = -num;
        den = -den;
    }
    const wide common = wide_gcd(num, den);
    num /= common;
    den /= common;
    if (!fits(num) || !fits(den)) return false;
    *out = {static_cast<std::int64_t>(num), static_cast<std::int64_t>(den)};
    return true;
}

} // namespace

bool rational_of(std::int64_t num, std::int64_t den, rational* out) {
    return reduced(num, den, out);
}

bool rational_times(const rational& a, const rational& b, rational* out) {
    return reduced(wide{a.num} * b.num, wide{a.den} * b.den, out);
}

bool rational_over(const rational& a, const rational& b, rational* out) {
    return reduced(wide{a.num} * b.den, wide{a.den} * b.num, out);
}

bool common_multiple(std::int64_t a, std::int64_t b, std::int64_t* out) {
    if (a <= 0 || b <= 0) return false;
    const wide multiple = wide{a} / wide_gcd(a, b) * b;
    if (!fits(multiple)) return false;
    *out = static_cast<std::int64_t>(multiple);
    return true;
}

std::int64_t floor_div(std::int64_t num, std::int64_t den) {
    const std::int64_t quotient = num / den;
    return quotient * den > num ? quotient - 1 : quotient;
}

std::int64_t ceil_div(std::int64_t num, std::int64_t den) {
    const std::int64_t quotient = num / den;
    return quotient * den < num ? quotient + 1 : quotient;
}

} // namespace korvel
