// UTF-16 to UTF-8, as host texts (layer names, item names) arrive in UTF-16 and everything else
// in the project is UTF-8. Header-only: the plug-in and the stand-in host both use it.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace qlo::text {

// Appends one code point (at most U+10FFFF) as UTF-8.
inline void AppendUtf8(std::string& out, char32_t cp) {
    if (cp < 0x80) {
        out += static_cast<char>(cp);
    } else if (cp < 0x800) {
        out += static_cast<char>(0xC0 | (cp >> 6));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else if (cp < 0x10000) {
        out += static_cast<char>(0xE0 | (cp >> 12));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (cp >> 18));
        out += static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    }
}

// Converts `count` UTF-16 code units (any 16-bit unit type); a surrogate without its partner
// becomes U+FFFD.
template <class Unit>
std::string Utf16ToUtf8(const Unit* units, size_t count) {
    std::string out;
    out.reserve(count);
    for (size_t i = 0; i < count; ++i) {
        char32_t cp = static_cast<char16_t>(units[i]);
        if (cp >= 0xD800 && cp < 0xDC00 && i + 1 < count &&
            static_cast<char16_t>(units[i + 1]) >= 0xDC00 &&
            static_cast<char16_t>(units[i + 1]) < 0xE000) {
            cp = 0x10000 + ((cp - 0xD800) << 10) + (static_cast<char16_t>(units[i + 1]) - 0xDC00);
            ++i;
        } else if (cp >= 0xD800 && cp < 0xE000) {
            cp = 0xFFFD;
        }
        AppendUtf8(out, cp);
    }
    return out;
}

inline std::string Utf16ToUtf8(std::u16string_view s) {
    return Utf16ToUtf8(s.data(), s.size());
}

}  // namespace qlo::text
