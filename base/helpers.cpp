#include "base/helpers.h"

#include <charconv>

bool TimeToSecs(const A_Time& time, double* secs) {
    if (time.scale == 0) return false;
    *secs = static_cast<double>(time.value) / static_cast<double>(time.scale);
    return true;
}

std::string FixedText(double value, int decimals) {
    char buffer[400];  // the longest double in fixed notation with a few dozen decimals
    const auto [end, err] = std::to_chars(buffer, buffer + sizeof buffer, value,
                                          std::chars_format::fixed, decimals);
    if (err != std::errc()) return std::string();
    return std::string(buffer, end);
}

size_t Utf8SequenceAt(std::string_view text, size_t i, char32_t* cp) {
    const auto byte = [&](size_t k) { return static_cast<unsigned char>(text[k]); };
    const unsigned char lead = byte(i);
    if (lead < 0x80) {
        *cp = lead;
        return 1;
    }
    size_t length = 0;
    unsigned char low = 0x80, high = 0xBF;  // the range of the second byte
    if (lead >= 0xC2 && lead <= 0xDF) {
        length = 2;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        length = 3;
        if (lead == 0xE0) low = 0xA0;   // no overlong forms
        if (lead == 0xED) high = 0x9F;  // no surrogates
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4;
        if (lead == 0xF0) low = 0x90;   // no overlong forms
        if (lead == 0xF4) high = 0x8F;  // nothing past U+10FFFF
    } else {
        return 0;
    }
    if (i + length > text.size() || byte(i + 1) < low || byte(i + 1) > high) return 0;
    char32_t value = lead & (0xFF >> (length + 1));
    for (size_t k = 1; k < length; ++k) {
        if ((byte(i + k) & 0xC0) != 0x80) return 0;
        value = (value << 6) | (byte(i + k) & 0x3F);
    }
    *cp = value;
    return length;
}
