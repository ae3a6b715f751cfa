// Strict parsing of numbers typed on the command line or received in DNS-SD TXT records: the
// whole text must be the number, with no sign tricks, blanks or trailing characters.
#pragma once

#include <cstdint>
#include <optional>
#include <string_view>

namespace qlophone {

// Decimal digits only, within [minValue, maxValue].
std::optional<uint64_t> ParseUnsigned(std::string_view text, uint64_t minValue, uint64_t maxValue);

// A TCP or UDP port number, 1 to 65535.
std::optional<uint16_t> ParsePort(std::string_view text);

// A finite decimal number such as "2.5", "-3" or "1e2".
std::optional<double> ParseFiniteDouble(std::string_view text);

}  // namespace qlophone
