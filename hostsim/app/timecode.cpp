#include "hostsim/app/timecode.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <vector>

namespace qlo::hostsim {

namespace {

long FramesPerSecond(double frameRate) {
    return std::max(1L, std::lround(frameRate));
}

std::string Trimmed(const std::string& text) {
    const size_t first = text.find_first_not_of(" \t\r\n");
    if (first == std::string::npos) return {};
    const size_t last = text.find_last_not_of(" \t\r\n");
    return text.substr(first, last - first + 1);
}

// A field of digits only.
bool ReadField(const std::string& field, long* value) {
    if (field.empty() || field.size() > 9) return false;
    for (char c : field) {
        if (c < '0' || c > '9') return false;
    }
    *value = std::strtol(field.c_str(), nullptr, 10);
    return true;
}

}  // namespace

std::string FormatTimecode(double seconds, double frameRate) {
    if (!(frameRate > 0) || !std::isfinite(seconds)) return "0:00:00:00";
    const long base = FramesPerSecond(frameRate);
    const long frames = std::max(0L, std::lround(seconds * frameRate));
    const long totalSeconds = frames / base;
    char text[48];
    std::snprintf(text, sizeof text, "%ld:%02ld:%02ld:%02ld", totalSeconds / 3600,
                  (totalSeconds / 60) % 60, totalSeconds % 60, frames % base);
    return text;
}

bool ParseTimeText(const std::string& raw, double frameRate, double* seconds) {
    if (!(frameRate > 0)) return false;
    const std::string text = Trimmed(raw);
    if (text.empty()) return false;

    if (text.find(':') == std::string::npos) {
        char* end = nullptr;
        const double value = std::strtod(text.c_str(), &end);
        if (end == text.c_str() || *end != '\0' || !std::isfinite(value) || value < 0) return false;
        *seconds = value;
        return true;
    }

    std::vector<std::string> fields;
    size_t start = 0;
    for (;;) {
        const size_t colon = text.find(':', start);
        fields.push_back(text.substr(start, colon - start));
        if (colon == std::string::npos) break;
        start = colon + 1;
    }
    if (fields.size() > 4) return false;
    // From the right: frames, seconds, minutes, hours.
    static constexpr long kUnits[] = {1, 1, 60, 3600};
    const long base = FramesPerSecond(frameRate);
    long frames = 0;
    for (size_t i = 0; i < fields.size(); ++i) {
        long value = 0;
        if (!ReadField(fields[fields.size() - 1 - i], &value)) return false;
        frames += i == 0 ? value : value * kUnits[i] * base;
    }
    *seconds = static_cast<double>(frames) / frameRate;
    return true;
}

}  // namespace qlo::hostsim
