// Query-string encoding of the phone's stream request: every byte outside the unreserved set
// (A-Z a-z 0-9 - . _ ~) is written as %XX with upper-case hex digits, so spaces, quotes,
// slashes, ampersands and UTF-8 bytes of non-ASCII names all travel as escapes. That also keeps
// the request line free of texts the server routes on ("GET /info", "POST /camera" ...).
#pragma once

#include <string>
#include <string_view>

namespace qlophone {

std::string PercentEncode(std::string_view text);

// "/stream?deviceName=<enc>&cameraName=<enc>"; cameraName is sent even when empty.
std::string BuildStreamPath(std::string_view deviceName, std::string_view cameraName);

}  // namespace qlophone
