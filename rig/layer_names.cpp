#include "rig/layer_names.h"

#include "base/helpers.h"

std::u16string Utf8ToUtf16Lenient(std::string_view utf8) {
    std::u16string out;
    out.reserve(utf8.size());
    for (size_t i = 0; i < utf8.size();) {
        char32_t code = kReplacementCharacter;
        const size_t length = Utf8SequenceAt(utf8, i, &code);
        i += length == 0 ? 1 : length;  // a byte that starts no sequence is one replacement
        if (code >= 0x10000) {
            code -= 0x10000;
            out.push_back(static_cast<char16_t>(0xD800 + (code >> 10)));
            out.push_back(static_cast<char16_t>(0xDC00 + (code & 0x3FF)));
        } else {
            out.push_back(static_cast<char16_t>(code));
        }
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
