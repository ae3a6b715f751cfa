// Text between the script engine and the host.
//
// Duktape holds a script string as the UTF-8 form of its UTF-16 code units (CESU-8): a
// character beyond U+FFFF is its surrogate pair, each half as three bytes. The host holds UTF-8.
// Every text crossing between the two is converted here: a pair becomes the one character it
// stands for, and the other way round.
//
// A script string may hold what no UTF-8 text can: a surrogate without its partner ("\uD83D"),
// or (from the engine's buffer and symbol internals) bytes that are no character at all. Such a
// string is refused where it would reach the host as an argument (FindTextFault), and shown with
// U+FFFD in its place where the host only reads it (a script's result or error text).
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace qlo::hostsim::script {

enum class TextFaultKind { None, LoneSurrogate, NotText };

struct TextFault {
    TextFaultKind kind = TextFaultKind::None;
    size_t index = 0;     // UTF-16 index of the fault in the script string
    unsigned value = 0;   // the surrogate (LoneSurrogate) or the byte (NotText)
};

// The first fault of an engine string, if any. Allocates nothing (runs inside engine calls).
TextFault FindTextFault(const char* text, size_t length);

// Engine text to UTF-8; every fault becomes U+FFFD.
std::string FromEngineText(std::string_view text);

// UTF-8 to engine text; a byte that is not part of a valid UTF-8 sequence becomes U+FFFD.
std::string ToEngineText(std::string_view utf8);

// Whether `utf8` is valid UTF-8; when not, *offset receives the first bad byte's offset.
bool IsValidUtf8(std::string_view utf8, size_t* offset);

}  // namespace qlo::hostsim::script
