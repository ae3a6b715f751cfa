#include "rig/layer_names.h"

namespace {

constexpr char16_t kReplacement = 0xFFFD;

bool IsContinuation(unsigned char c) {
    return (c & 0xC0) == 0x80;
}

}  // namespace

std::u16string Utf8ToUtf16Lenient(std::string_view utf8) {
    std::u16string out;
    out.reserve(utf8.size());
    size_t i = 0;
    while (i < utf8.size()) {
        const auto lead = static_cast<unsigned char>(utf8[i]);
        if (lead < 0x80) {
            out.push_back(lead);
            ++i;
            continue;
        }
        size_t length = 0;
        char32_t code = 0;
        char32_t smallest = 0;
        if ((lead & 0xE0) == 0xC0) {
            length = 2, code = lead & 0x1F, smallest = 0x80;
        } else if ((lead & 0xF0) == 0xE0) {
            length = 3, code = lead & 0x0F, smallest = 0x800;
        } else if ((lead & 0xF8) == 0xF0) {
            length = 4, code = lead & 0x07, smallest = 0x10000;
        }
        bool ok = length != 0 && i + length <= utf8.size();
        for (size_t k = 1; ok && k < length; ++k) {
            const auto c = static_cast<unsigned char>(utf8[i + k]);
            ok = IsContinuation(c);
            code = (code << 6) | (c & 0x3F);
        }
        ok = ok && code >= smallest && code <= 0x10FFFF && !(code >= 0xD800 && code <= 0xDFFF);
        if (!ok) {
            // One replacement per offending byte; decoding resumes at the next byte.
            out.push_back(kReplacement);
            ++i;
            continue;
        }
        if (code >= 0x10000) {
            code -= 0x10000;
            out.push_back(static_cast<char16_t>(0xD800 + (code >> 10)));
            out.push_back(static_cast<char16_t>(0xDC00 + (code & 0x3FF)));
        } else {
            out.push_back(static_cast<char16_t>(code));
        }
        i += length;
    }
    return out;
}

std::u16string CameraLayerName(std::string_view utf8) {
    std::u16string name = Utf8ToUtf16Lenient(utf8);
    if (name.size() > kMaxCameraNameUnits) {
        size_t cut = kMaxCameraNameUnits;
        const char16_t last = name[cut - 1];
        if (last >= 0xD800 && last <= 0xDBFF) --cut;  // keep surrogate pairs whole
        name.resize(cut);
    }
    return name;
}
