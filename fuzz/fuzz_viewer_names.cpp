// Property: the camera names the viewer script carries read back, in the host's script engine
// (Duktape), as exactly the names, whatever bytes they hold. The input is split at 0x1F bytes
// into up to four names; a name that is not valid UTF-8 reads back with U+FFFD for each byte
// that is not part of a valid sequence, as the host's own UTF-8 conversion makes it.
#include <duktape.h>

#include <string>
#include <vector>

#include "fuzz/fuzz_support.h"
#include "rig/script_text.h"

using namespace qlo::fuzz;

namespace {

// The name as the host would hold it: valid sequences kept, every other byte U+FFFD.
std::string AsHostText(const std::string& name) {
    std::string out;
    const auto b = [&](size_t k) { return static_cast<unsigned char>(name[k]); };
    for (size_t i = 0; i < name.size();) {
        const unsigned char c = b(i);
        size_t n = c < 0x80 ? 1 : (c >= 0xC2 && c <= 0xDF) ? 2 : (c >= 0xE0 && c <= 0xEF) ? 3 : (c >= 0xF0 && c <= 0xF4) ? 4 : 0;
        bool ok = n != 0 && i + n <= name.size();
        if (ok && n >= 2) {
            const unsigned char lo = c == 0xE0 ? 0xA0 : c == 0xF0 ? 0x90 : 0x80;
            const unsigned char hi = c == 0xED ? 0x9F : c == 0xF4 ? 0x8F : 0xBF;
            ok = b(i + 1) >= lo && b(i + 1) <= hi;
            for (size_t k = 2; ok && k < n; ++k) ok = (b(i + k) & 0xC0) == 0x80;
        }
        if (ok) {
            out.append(name, i, n);
            i += n;
        } else {
            out += "\xEF\xBF\xBD";
            ++i;
        }
    }
    return out;
}

// Duktape hands strings out in its internal form, CESU-8: a character beyond U+FFFF is the
// script string's surrogate pair, each half as three bytes. Joins such pairs into UTF-8.
std::string Cesu8ToUtf8(const char* text, size_t length) {
    std::string out;
    const auto b = [&](size_t k) { return static_cast<unsigned char>(text[k]); };
    for (size_t i = 0; i < length;) {
        if (i + 6 <= length && b(i) == 0xED && b(i + 1) >= 0xA0 && b(i + 1) <= 0xAF && b(i + 3) == 0xED &&
            b(i + 4) >= 0xB0 && b(i + 4) <= 0xBF) {
            const char32_t high = 0xD000 | ((b(i + 1) & 0x3F) << 6) | (b(i + 2) & 0x3F);
            const char32_t low = 0xD000 | ((b(i + 4) & 0x3F) << 6) | (b(i + 5) & 0x3F);
            const char32_t cp = 0x10000 + ((high - 0xD800) << 10) + (low - 0xDC00);
            out += static_cast<char>(0xF0 | (cp >> 18));
            out += static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
            out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
            out += static_cast<char>(0x80 | (cp & 0x3F));
            i += 6;
        } else {
            out += text[i++];
        }
    }
    return out;
}

duk_context* Heap() {
    static duk_context* ctx = duk_create_heap_default();
    return ctx;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size > 2048) return 0;
    std::vector<std::string> names(1);
    for (size_t i = 0; i < size; ++i) {
        if (data[i] == 0x1F && names.size() < 4) names.emplace_back();
        else names.back() += static_cast<char>(data[i]);
    }
    // The list is spliced into the script between "[" and "]".
    const std::string source = "[" + QuotedScriptNames(names) + "]";
    Check(source.find('\0') == std::string::npos, "a NUL byte in the script text");
    duk_context* ctx = Heap();
    if (duk_peval_lstring(ctx, source.data(), source.size()) != 0) {
        Fail(duk_safe_to_string(ctx, -1));
    }
    Check(duk_is_array(ctx, -1), "the list is not an array");
    Check(duk_get_length(ctx, -1) == names.size(), "the list has another number of names");
    for (size_t i = 0; i < names.size(); ++i) {
        duk_get_prop_index(ctx, -1, static_cast<duk_uarridx_t>(i));
        duk_size_t length = 0;
        const char* text = duk_get_lstring(ctx, -1, &length);
        Check(text != nullptr, "a name is not a string");
        Check(Cesu8ToUtf8(text, length) == AsHostText(names[i]), "a name reads back differently");
        duk_pop(ctx);
    }
    duk_pop(ctx);
    return 0;
}
