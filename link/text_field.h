// Copying text into the fixed character fields of the shared records.
#pragma once

#include <cstddef>
#include <string_view>

// Copies `text` into `field` (capacity `capacity` bytes, NUL included) and terminates it. Text
// longer than capacity - 1 bytes is cut after the last whole UTF-8 character that fits, so a
// name never ends in half a character.
void CopyToField(char* field, size_t capacity, std::string_view text);

template <size_t N>
void CopyToField(char (&field)[N], std::string_view text) {
    CopyToField(field, N, text);
}
