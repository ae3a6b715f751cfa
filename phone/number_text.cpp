#include "phone/number_text.h"

#include <charconv>
#include <cmath>

namespace qlophone {

std::optional<uint64_t> ParseUnsigned(std::string_view text, uint64_t minValue, uint64_t maxValue) {
    if (text.empty() || text.size() > 20) return std::nullopt;
    uint64_t value = 0;
    for (char c : text) {
        if (c < '0' || c > '9') return std::nullopt;
    }
    auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (ec != std::errc() || end != text.data() + text.size()) return std::nullopt;
    if (value < minValue || value > maxValue) return std::nullopt;
    return value;
}

std::optional<uint16_t> ParsePort(std::string_view text) {
    auto value = ParseUnsigned(text, 1, 65535);
    if (!value) return std::nullopt;
    return static_cast<uint16_t>(*value);
}

std::optional<double> ParseFiniteDouble(std::string_view text) {
    if (text.empty() || text.front() == '+') return std::nullopt;
    double value = 0;
    auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (ec != std::errc() || end != text.data() + text.size() || !std::isfinite(value)) return std::nullopt;
    return value;
}

}  // namespace qlophone
