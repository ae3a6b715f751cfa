#include "base/number_text.h"

#include <charconv>

std::string FixedText(double value, int decimals) {
    char buffer[400];  // the longest double in fixed notation with a few dozen decimals
    const auto [end, err] = std::to_chars(buffer, buffer + sizeof buffer, value,
                                          std::chars_format::fixed, decimals);
    if (err != std::errc()) return std::string();
    return std::string(buffer, end);
}
