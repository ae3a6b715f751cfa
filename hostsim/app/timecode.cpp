#include "hostsim/app/timecode.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <vector>

namespace qlo::hostsim {

namespace {

// The frames of one timecode second; the rate is at most kMaxTimecodeFrameRate.
int64_t FramesPerSecond(double frameRate) {
    return std::max<int64_t>(1, std::llround(frameRate));
}

bool UsableRate(double frameRate) {
    return frameRate > 0 && frameRate <= kMaxTimecodeFrameRate;
}

bool Refuse(std::string* why, const std::string& text) {
    if (why != nullptr) *why = text;
    return false;
}

std::string Trimmed(const std::string& text) {
    const size_t first = text.find_first_not_of(" \t\r\n");
    if (first == std::string::npos) return {};
    const size_t last = text.find_last_not_of(" \t\r\n");
    return text.substr(first, last - first + 1);
}

// A field of digits only.
bool ReadField(const std::string& field, int64_t* value) {
    if (field.empty() || field.size() > 9) return false;
    for (char c : field) {
        if (c < '0' || c > '9') return false;
    }
    *value = std::strtoll(field.c_str(), nullptr, 10);
    return true;
}

}  // namespace

std::string FormatTimecode(double seconds, double frameRate) {
    if (!UsableRate(frameRate) || !std::isfinite(seconds)) return "0:00:00:00";
    const double base = static_cast<double>(FramesPerSecond(frameRate));
    const double frames = std::max(0.0, std::round(seconds * frameRate));
    const double totalSeconds = std::floor(frames / base);
    const double hours = std::floor(totalSeconds / 3600);
    const double inHour = totalSeconds - hours * 3600;
    char text[400];
    std::snprintf(text, sizeof text, "%.0f:%02.0f:%02.0f:%02.0f", hours, std::floor(inHour / 60),
                  std::fmod(inHour, 60), std::max(0.0, frames - totalSeconds * base));
    return text;
}

bool ParseTimeText(const std::string& raw, double frameRate, double* seconds, std::string* why) {
    if (!UsableRate(frameRate)) return Refuse(why, "the frame rate cannot count timecodes");
    const std::string text = Trimmed(raw);
    if (text.empty()) return Refuse(why, "no time given");

    if (text.find(':') == std::string::npos) {
        char* end = nullptr;
        const double value = std::strtod(text.c_str(), &end);
        if (end == text.c_str() || *end != '\0') return Refuse(why, "not a time");
        if (!std::isfinite(value)) return Refuse(why, "the time does not fit");
        if (value < 0) return Refuse(why, "the time is negative");
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
    if (fields.size() > 4) return Refuse(why, "not a time");
    // From the right: frames, seconds, minutes, hours; counted in 64 bits, checked.
    static constexpr int64_t kUnits[] = {1, 1, 60, 3600};
    const int64_t base = FramesPerSecond(frameRate);
    int64_t frames = 0;
    for (size_t i = 0; i < fields.size(); ++i) {
        int64_t value = 0;
        if (!ReadField(fields[fields.size() - 1 - i], &value)) return Refuse(why, "not a time");
        int64_t part = value;
        if ((i > 0 && (__builtin_mul_overflow(part, kUnits[i], &part) ||
                       __builtin_mul_overflow(part, base, &part))) ||
            __builtin_add_overflow(frames, part, &frames)) {
            return Refuse(why, "the time does not fit (more than 9223372036854775807 frames at " +
                                   std::to_string(base) + " frames a second)");
        }
    }
    *seconds = static_cast<double>(frames) / frameRate;
    return true;
}

}  // namespace qlo::hostsim
