// Exact fractions of 64-bit whole numbers, for rates and times that must not be rounded: a result
// that cannot be held is refused, never wrapped or approximated.
#pragma once

#include <cstdint>

namespace korvel {

struct rational {
    std::int64_t num = 0;
    std::int64_t den = 1; // above 0, without a divisor in common with num
};

// num / den in lowest terms; false when den is 0 or the fraction does not fit.
bool rational_of(std::int64_t num, std::int64_t den, rational* out);
bool rational_times(const rational& a, const rational& b, rational* out);
// False also when b is 0.
bool rational_over(const rational& a, const rational& b, rational* out);

// The least common multiple of two numbers above 0; false when it does not fit.
bool common_multiple(std::int64_t a, std::int64_t b, std::int64_t* out);

// The largest whole number not above num / den, for den above 0.
std::int64_t floor_div(std::int64_t num, std::int64_t den);
// The smallest whole number not below num / den, for den above 0.
std::int64_t ceil_div(std::int64_t num, std::int64_t den);

} // namespace korvel
