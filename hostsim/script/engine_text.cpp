#include "hostsim/script/engine_text.h"

#include "platform/utf.h"

namespace qlo::hostsim::script {

namespace {

constexpr char32_t kReplacement = 0xFFFD;

bool IsHigh(char32_t c) { return c >= 0xD800 && c < 0xDC00; }
bool IsLow(char32_t c) { return c >= 0xDC00 && c < 0xE000; }

// Decodes the sequence at text[i] in shortest form; surrogates are accepted when
// `surrogates` is true (engine text) and refused otherwise (UTF-8). Returns its length, or 0
// when the bytes there are not one.
size_t Decode(std::string_view text, size_t i, bool surrogates, char32_t* cp) {
    const auto byte = [&](size_t k) { return static_cast<unsigned char>(text[k]); };
    const unsigned char lead = byte(i);
    if (lead < 0x80) {
        *cp = lead;
        return 1;
    }
    size_t length = 0;
    unsigned char low = 0x80, high = 0xBF;
    if (lead >= 0xC2 && lead <= 0xDF) {
        length = 2;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        length = 3;
        if (lead == 0xE0) low = 0xA0;
        if (lead == 0xED && !surrogates) high = 0x9F;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4;
        if (lead == 0xF0) low = 0x90;
        if (lead == 0xF4) high = 0x8F;
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

// One character of engine text at text[i]: a surrogate pair is joined. *length receives the
// bytes taken; the result is false for a fault (*cp then holds the surrogate or the byte).
bool NextEngineChar(std::string_view text, size_t i, char32_t* cp, size_t* length) {
    *length = Decode(text, i, true, cp);
    if (*length == 0) {
        *cp = static_cast<unsigned char>(text[i]);
        *length = 1;
        return false;
    }
    if (IsLow(*cp)) return false;
    if (!IsHigh(*cp)) return true;
    char32_t low = 0;
    const size_t next = i + *length < text.size() ? Decode(text, i + *length, true, &low) : 0;
    if (next == 0 || !IsLow(low)) return false;
    *cp = 0x10000 + ((*cp - 0xD800) << 10) + (low - 0xDC00);
    *length += next;
    return true;
}

}  // namespace

TextFault FindTextFault(const char* text, size_t length) {
    const std::string_view s(text, length);
    size_t index = 0;
    for (size_t i = 0; i < s.size();) {
        char32_t cp = 0;
        size_t n = 0;
        if (!NextEngineChar(s, i, &cp, &n)) {
            const bool surrogate = n > 1;
            return TextFault{surrogate ? TextFaultKind::LoneSurrogate : TextFaultKind::NotText, index,
                             static_cast<unsigned>(cp)};
        }
        index += cp >= 0x10000 ? 2 : 1;
        i += n;
    }
    return {};
}

std::string FromEngineText(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    for (size_t i = 0; i < text.size();) {
        char32_t cp = 0;
        size_t n = 0;
        const bool ok = NextEngineChar(text, i, &cp, &n);
        if (ok && cp < 0x10000) {
            out.append(text, i, n);
        } else {
            text::AppendUtf8(out, ok ? cp : kReplacement);
        }
        i += n;
    }
    return out;
}

std::string ToEngineText(std::string_view utf8) {
    std::string out;
    out.reserve(utf8.size() + 8);
    for (size_t i = 0; i < utf8.size();) {
        char32_t cp = 0;
        const size_t n = Decode(utf8, i, false, &cp);
        if (n == 0) {
            text::AppendUtf8(out, kReplacement);
            ++i;
            continue;
        }
        if (cp < 0x10000) {
            out.append(utf8, i, n);
        } else {
            text::AppendUtf8(out, 0xD800 + ((cp - 0x10000) >> 10));
            text::AppendUtf8(out, 0xDC00 + ((cp - 0x10000) & 0x3FF));
        }
        i += n;
    }
    return out;
}

bool IsValidUtf8(std::string_view utf8, size_t* offset) {
    for (size_t i = 0; i < utf8.size();) {
        char32_t cp = 0;
        const size_t n = Decode(utf8, i, false, &cp);
        if (n == 0) {
            if (offset != nullptr) *offset = i;
            return false;
        }
        i += n;
    }
    return true;
}

}  // namespace qlo::hostsim::script
