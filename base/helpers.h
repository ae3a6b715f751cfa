// Small rules the whole plug-in shares, each written once: the text of a fixed character field,
// host time in seconds, numbers as text, and the decoding of UTF-8.
#pragma once

#include <cstddef>
#include <cstring>
#include <string>
#include <string_view>

#include "sdk/AE_SDK.h"

// The text of a fixed character field of a shared record: up to its first NUL, and never past
// its end (a field filled to the brim has none).
template <size_t N>
std::string FieldText(const char (&field)[N]) {
    return std::string(field, strnlen(field, N));
}

// The seconds of a host time. A time with a zero scale is no time at all (the host never makes
// one): false, and `secs` is left as it was. Every caller says what it does instead.
bool TimeToSecs(const A_Time& time, double* secs);

// Numbers as text for logs and script texts that the host or phones read back: `value` in fixed
// notation with `decimals` digits after the point, as "%.*f" does in the C locale. The decimal
// separator is always '.', whatever LC_NUMERIC the host process runs under (a host, or another
// plug-in, may set it at any time).
std::string FixedText(double value, int decimals);

// UTF-8 decoding. The well-formed sequence at text[i] (shortest form, no surrogates, at most
// U+10FFFF): its length (1 to 4) with its code point in `cp`; 0 when the byte there starts none.
//
// The one replacement policy of the plug-in: a byte that starts no well-formed sequence stands
// for one U+FFFD, and decoding goes on at the next byte. Per byte rather than per maximal
// subpart, because the texts decoded here (a phone's name as a camera layer's name, and the same
// name inside a script text) must come out the same however they are decoded, and the host's
// script engine reads a script text byte by byte in the same way: a name that went through the
// two paths stays one name, so the script finds the camera by it.
size_t Utf8SequenceAt(std::string_view text, size_t i, char32_t* cp);
inline constexpr char32_t kReplacementCharacter = 0xFFFD;
