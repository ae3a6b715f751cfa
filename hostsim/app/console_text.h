// How the console splits a command line: surrounding blanks go, the first word names the
// command, the rest (which may hold spaces, as item names do) is its argument.
#pragma once

#include <string>
#include <utility>

namespace qlo::hostsim {

inline std::string Trim(const std::string& text) {
    const size_t first = text.find_first_not_of(" \t\r");
    if (first == std::string::npos) return {};
    const size_t last = text.find_last_not_of(" \t\r");
    return text.substr(first, last - first + 1);
}

inline std::pair<std::string, std::string> SplitCommand(const std::string& line) {
    const size_t space = line.find_first_of(" \t");
    if (space == std::string::npos) return {line, {}};
    return {line.substr(0, space), Trim(line.substr(space + 1))};
}

}  // namespace qlo::hostsim
