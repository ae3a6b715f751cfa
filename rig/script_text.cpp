#include "rig/script_text.h"

#include <cstdio>
#include <string_view>

#include "base/helpers.h"

namespace {

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
        } else {
            char32_t code = 0;
            const size_t length = Utf8SequenceAt(name, i, &code);
            if (length == 0) {
                // One replacement per byte, as the layer's name gets it (see base/helpers.h).
                AppendEscape(out, kReplacementCharacter);
                ++i;
                continue;
            }
            if (code == 0x2028 || code == 0x2029) {
                AppendEscape(out, code);
            } else {
                out.append(name, i, length);
            }
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
