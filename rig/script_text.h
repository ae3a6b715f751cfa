// Texts spliced into the scripts the plug-in runs in the host.
#pragma once

#include <string>
#include <vector>

// The names as double-quoted script strings separated by ",", each of which the script engine
// reads back as exactly that name. A backslash or double quote gets a backslash before it;
// control characters (a line feed would end the string, a NUL byte the whole script) and the
// script line terminators U+2028 and U+2029 are written as \uXXXX escapes; a byte that is not
// part of a valid UTF-8 sequence becomes \uFFFD, as the host's own UTF-8 conversion makes it
// (a source text that is not UTF-8 would fail the whole script). Every other byte is written as
// it is.
std::string QuotedScriptNames(const std::vector<std::string>& names);
