// Weightings by name or by list. Every weighting becomes real weights first and is quantised the
// same way, so that "equal" and a list of equal numbers give the same frames.
#include "batch/batch_weights.h"

#include "engine/weighted_mean.h"

#include <charconv>
#include <cmath>
#include <string_view>

namespace korvel {

namespace {

constexpr std::int64_t MOST_WEIGHTED_LAYERS = 1'000'000;

// A decimal number of at least 0 making up all of text.
bool read_amount(std::string_view text, double* amount) {
    const char* end = text.data() + text.size();
    const auto [stop, error] = std::from_chars(text.data(), end, *amount);
    return !text.empty() && error == std::errc() && stop == end && std::isfinite(*amount) &&
           *amount >= 0;
}

bool read_list(std::string_view text, std::vector<double>* amounts) {
    for (;;) {
        const std::size_t comma = text.find(',');
        double amount = 0;
        if (!read_amount(text.substr(0, comma), &amount)) return false;
        amounts->push_back(amount);
        if (comma == std::string_view::npos) return true;
        text.remove_prefix(comma + 1);
    }
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
    *weights = quantised_weights(amounts);
    if (!weights->empty()) return true;
    *error = "must not all be 0, not '" + text + "'";
    return false;
}

} // namespace korvel
