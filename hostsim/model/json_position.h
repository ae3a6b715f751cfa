// Where things are in the text of a JSON document, for error messages: found by scanning the text
// without recursion and without storing anything per value, so that any document (however deep
// or large) is located in time linear in its length and constant memory.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <utility>

namespace qlo::hostsim {

// Line and column (1-based; the column counts bytes) of the byte at `offset`.
std::pair<int, int> LineColumnAt(std::string_view text, size_t offset);

// Line and column of the start of the value at a JSON pointer ("" is the document, "/items/2/name"
// a field of an element) in a well-formed document; where the pointer leads nowhere, the position
// of the deepest value on its way.
std::pair<int, int> FindJsonPointer(std::string_view text, std::string_view pointer);

// The token of a JSON pointer for an object key ("~" and "/" escaped).
std::string JsonPointerToken(const std::string& key);

// A text for a message: at most `limit` bytes of it (cut before a UTF-8 character that would not
// fit whole), with "... (N bytes)" added when it was cut.
std::string CappedText(std::string_view text, size_t limit = 64);

}  // namespace qlo::hostsim
