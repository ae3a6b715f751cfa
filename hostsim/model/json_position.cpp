#include "hostsim/model/json_position.h"

#include <cstring>
#include <vector>

#include "platform/utf.h"

namespace qlo::hostsim {

namespace {

int Hex(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

// Reads forward through a document's text; every step is bounded by the text's length.
class Scanner {
public:
    explicit Scanner(std::string_view text) : s_(text) {
        if (s_.substr(0, 3) == "\xEF\xBB\xBF") i_ = 3;
    }
    size_t offset() const { return i_; }
    bool at(char c) const { return i_ < s_.size() && s_[i_] == c; }
    void step() { ++i_; }
    void ws() {
        while (i_ < s_.size() && (s_[i_] == ' ' || s_[i_] == '\t' || s_[i_] == '\r' || s_[i_] == '\n')) ++i_;
    }

    // The string at the current position, decoded; false when there is none.
    bool string(std::string* out) {
        if (!at('"')) return false;
        ++i_;
        while (i_ < s_.size()) {
            const char c = s_[i_++];
            if (c == '"') return true;
            if (c != '\\') {
                *out += c;
                continue;
            }
            if (i_ >= s_.size()) return false;
            const char e = s_[i_++];
            switch (e) {
            case 'b': *out += '\b'; break;
            case 'f': *out += '\f'; break;
            case 'n': *out += '\n'; break;
            case 'r': *out += '\r'; break;
            case 't': *out += '\t'; break;
            case 'u': {
                char32_t cp = 0;
                if (!hex4(&cp)) return false;
                char32_t low = 0;
                if (cp >= 0xD800 && cp < 0xDC00 && at('\\') && i_ + 1 < s_.size() && s_[i_ + 1] == 'u') {
                    const size_t back = i_;
                    i_ += 2;
                    if (hex4(&low) && low >= 0xDC00 && low < 0xE000) {
                        cp = 0x10000 + ((cp - 0xD800) << 10) + (low - 0xDC00);
                    } else {
                        i_ = back;
                    }
                }
                text::AppendUtf8(*out, cp);
                break;
            }
            default: *out += e; break;
            }
        }
        return false;
    }

    // Skips the value at the current position (containers by counting brackets, not by
    // recursion); false at the end of the text.
    bool skipValue() {
        ws();
        if (at('"')) return skipString();
        if (at('{') || at('[')) {
            size_t depth = 0;
            while (i_ < s_.size()) {
                const char c = s_[i_];
                if (c == '"') {
                    if (!skipString()) return false;
                    continue;
                }
                if (c == '{' || c == '[') ++depth;
                if (c == '}' || c == ']') {
                    if (--depth == 0) {
                        ++i_;
                        return true;
                    }
                }
                ++i_;
            }
            return false;
        }
        while (i_ < s_.size() && s_[i_] != '\0' && std::strchr(",]} \t\r\n", s_[i_]) == nullptr) ++i_;
        return true;
    }

private:
    bool hex4(char32_t* value) {
        if (i_ + 4 > s_.size()) return false;
        char32_t v = 0;
        for (int k = 0; k < 4; ++k) {
            const int h = Hex(s_[i_ + static_cast<size_t>(k)]);
            if (h < 0) return false;
            v = (v << 4) | static_cast<char32_t>(h);
        }
        i_ += 4;
        *value = v;
        return true;
    }
    bool skipString() {
        ++i_;
        while (i_ < s_.size()) {
            const char c = s_[i_++];
            if (c == '"') return true;
            if (c == '\\') ++i_;
        }
        return false;
    }

    std::string_view s_;
    size_t i_ = 0;
};

std::vector<std::string> PointerTokens(std::string_view pointer) {
    std::vector<std::string> tokens;
    size_t start = 0;
    while (start < pointer.size()) {
        size_t end = pointer.find('/', start + 1);
        if (end == std::string_view::npos) end = pointer.size();
        std::string token;
        for (size_t k = start + 1; k < end; ++k) {
            if (pointer[k] == '~' && k + 1 < end && (pointer[k + 1] == '0' || pointer[k + 1] == '1')) {
                token += pointer[k + 1] == '0' ? '~' : '/';
                ++k;
            } else {
                token += pointer[k];
            }
        }
        tokens.push_back(std::move(token));
        start = end;
    }
    return tokens;
}

// Moves the scanner to the value `token` names in the container at its position; false when
// there is no such value.
bool Enter(Scanner& scan, const std::string& token) {
    if (scan.at('{')) {
        scan.step();
        for (;;) {
            scan.ws();
            std::string key;
            if (!scan.string(&key)) return false;
            scan.ws();
            if (!scan.at(':')) return false;
            scan.step();
            scan.ws();
            if (key == token) return true;
            if (!scan.skipValue()) return false;
            scan.ws();
            if (!scan.at(',')) return false;
            scan.step();
        }
    }
    if (scan.at('[')) {
        if (token.empty() || token.size() > 9 || token.find_first_not_of("0123456789") != std::string::npos)
            return false;
        const size_t index = std::stoul(token);
        scan.step();
        for (size_t n = 0;; ++n) {
            scan.ws();
            if (scan.at(']')) return false;
            if (n == index) return true;
            if (!scan.skipValue()) return false;
            scan.ws();
            if (!scan.at(',')) return false;
            scan.step();
        }
    }
    return false;
}

}  // namespace

std::pair<int, int> LineColumnAt(std::string_view text, size_t offset) {
    if (offset > text.size()) offset = text.size();
    int line = 1;
    size_t lineStart = 0;
    for (size_t k = 0; k < offset; ++k) {
        if (text[k] == '\n') {
            ++line;
            lineStart = k + 1;
        }
    }
    return {line, static_cast<int>(offset - lineStart) + 1};
}

std::pair<int, int> FindJsonPointer(std::string_view text, std::string_view pointer) {
    Scanner scan(text);
    scan.ws();
    size_t found = scan.offset();
    for (const std::string& token : PointerTokens(pointer)) {
        if (!Enter(scan, token)) break;
        found = scan.offset();
    }
    return LineColumnAt(text, found);
}

std::string JsonPointerToken(const std::string& key) {
    std::string s;
    for (char c : key) {
        if (c == '~') s += "~0";
        else if (c == '/') s += "~1";
        else s += c;
    }
    return s;
}

std::string CappedText(std::string_view text, size_t limit) {
    if (text.size() <= limit) return std::string(text);
    size_t end = limit;
    while (end > 0 && (static_cast<unsigned char>(text[end]) & 0xC0) == 0x80) --end;
    return std::string(text.substr(0, end)) + "... (" + std::to_string(text.size()) + " bytes)";
}

}  // namespace qlo::hostsim
