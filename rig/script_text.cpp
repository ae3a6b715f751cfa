#include "rig/script_text.h"

#include <cstdio>
#include <string_view>

namespace {

// Length of the valid UTF-8 sequence at text[i] (2 to 4 bytes, shortest form, no surrogates,
// at most U+10FFFF), or 0 when the bytes there are not one.
size_t Utf8SequenceLength(std::string_view text, size_t i) {
    const auto byte = [&](size_t k) { return static_cast<unsigned char>(text[k]); };
    const unsigned char lead = byte(i);
    size_t length = 0;
    unsigned char low = 0x80, high = 0xBF;  // range of the second byte
    if (lead >= 0xC2 && lead <= 0xDF) {
        length = 2;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        length = 3;
        if (lead == 0xE0) low = 0xA0;
        if (lead == 0xED) high = 0x9F;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4;
        if (lead == 0xF0) low = 0x90;
        if (lead == 0xF4) high = 0x8F;
    } else {
        return 0;
    }
    if (i + length > text.size()) return 0;
    if (byte(i + 1) < low || byte(i + 1) > high) return 0;
    for (size_t k = 2; k < length; ++k) {
        if ((byte(i + k) & 0xC0) != 0x80) return 0;
    }
    return length;
}

void AppendEscape(std::string& out, unsigned code) {
    char escape[8];
    std::snprintf(escape, sizeof escape, "\\u%04X", code);
    out += escape;
}

void AppendQuoted(std::string& out, std::string_view name) {
    out += '"';
    for (size_t i = 0; i < name.size();) {
        const unsigned char c = static_cast<unsigned char>(name[i]);
        if (c == '\\' || c == '"') {
            out += '\\';
            out += static_cast<char>(c);
            ++i;
        } else if (c < 0x20) {
            AppendEscape(out, c);
            ++i;
        } else if (c < 0x80) {
            out += static_cast<char>(c);
            ++i;
        } else if (const size_t length = Utf8SequenceLength(name, i); length == 0) {
            AppendEscape(out, 0xFFFD);
            ++i;
        } else if (name.substr(i, length) == "\xE2\x80\xA8" || name.substr(i, length) == "\xE2\x80\xA9") {
            AppendEscape(out, name[i + 2] == '\xA8' ? 0x2028 : 0x2029);
            i += length;
        } else {
            out.append(name, i, length);
            i += length;
        }
    }
    out += '"';
}

}  // namespace

std::string QuotedScriptNames(const std::vector<std::string>& names) {
    std::string out;
    for (size_t i = 0; i < names.size(); ++i) {
        if (i != 0) out += ',';
        AppendQuoted(out, names[i]);
    }
    return out;
}
