// Weightings by name or by list. A list of whole numbers up to 1024 is used as written; every
// other weighting becomes real weights first and is quantised. Equal weights give the same frames
// at any scale, so "equal" and a list of equal numbers still do.
#include "batch/batch_weights.h"

#include "engine/weighted_mean.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <string_view>

namespace korvel {

namespace {

constexpr std::int64_t MOST_WEIGHTED_LAYERS = 1'000'000;
constexpr std::uint32_t LARGEST_WEIGHT_AS_WRITTEN = 1024;

// A decimal number of at least 0 making up all of text.
bool read_amount(std::string_view text, double* amount) {
    const char* end = text.data() + text.size();
    const auto [stop, error] = std::from_chars(text.data(), end, *amount);
    return !text.empty() && error == std::errc() && stop == end && std::isfinite(*amount) &&
           *amount >= 0;
}

// Reads each part of text between commas with read_one; false at the first it refuses.
template <typename Read>
bool each_listed(std::string_view text, Read read_one) {
    for (;;) {
        const std::size_t comma = text.find(',');
        if (!read_one(text.substr(0, comma))) return false;
        if (comma == std::string_view::npos) return true;
        text.remove_prefix(comma + 1);
    }
}

bool read_list(std::string_view text, std::vector<double>* amounts) {
    return each_listed(text, [&](std::string_view part) {
        double amount = 0;
        if (!read_amount(part, &amount)) return false;
        amounts->push_back(amount);
        return true;
    });
}

// The real weights that text names for L layers; false with error set.
bool real_weights(std::string_view text, std::int64_t layers, std::vector<double>* amounts,
                  std::string* error) {
    if (text == "equal") {
        amounts->assign(static_cast<std::size_t>(layers), 1.0);
        return true;
    }
    if (text == "gauss" || text.starts_with("gauss:")) {
        double sigma = static_cast<double>(layers) / 6;
        if (text != "gauss" && (!read_amount(text.substr(6), &sigma) || sigma <= 0)) {
            *error = "wants a SIGMA above 0 after 'gauss:', not '" + std::string(text) + "'";
            return false;
        }
        *amounts = gauss_weights(layers, sigma);
        return true;
    }
    if (!read_list(text, amounts)) {
        *error = "wants ramp, equal, gauss[:SIGMA] or a list of numbers of at least 0 separated "
                 "by commas, not '" +
                 std::string(text) + "'";
        return false;
    }
    if (static_cast<std::int64_t>(amounts->size()) == layers) return true;
    *error = "lists " + std::to_string(amounts->size()) + " weights for " + std::to_string(layers) +
             " layers per frame";
    return false;
}

// A list of whole numbers in decimal digits, none above 1024 and not all 0, exactly as written.
bool whole_numbers_as_written(std::string_view text, std::vector<std::uint32_t>* weights) {
    std::vector<std::uint32_t> written;
    const bool whole = each_listed(text, [&](std::string_view part) {
        std::uint32_t value = 0;
        const char* end = part.data() + part.size();
        const auto [stop, error] = std::from_chars(part.data(), end, value);
        written.push_back(value);
        return !part.empty() && error == std::errc() && stop == end &&
               value <= LARGEST_WEIGHT_AS_WRITTEN;
    });
    if (!whole || std::all_of(written.begin(), written.end(), [](std::uint32_t w) { return !w; }))
        return false;
    *weights = std::move(written);
    return true;
}

} // namespace

bool read_weights(const std::string& text, std::int64_t layers, std::vector<std::uint32_t>* weights,
                  std::string* error) {
    weights->clear();
    if (text == "ramp") return true;
    if (layers > MOST_WEIGHTED_LAYERS) {
        *error = "works with at most " + std::to_string(MOST_WEIGHTED_LAYERS) + " layers per frame";
        return false;
    }
    std::vector<double> amounts;
    if (!real_weights(text, layers, &amounts, error)) return false;
    if (whole_numbers_as_written(text, weights)) return true;
    *weights = quantised_weights(amounts);
    if (!weights->empty()) return true;
    *error = "must not all be 0, not '" + text + "'";
    return false;
}

} // namespace korvel
