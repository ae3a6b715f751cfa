// Camera layer names as the host holds them: UTF-16. The same conversion serves the lookup of a
// layer by name and the naming of a new layer, so a name that was created is always found again
// (a name that did not survive the conversion unchanged would otherwise make the rig create a
// new camera on every tick).
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

// The longest layer name the rig gives a new camera, in UTF-16 code units.
inline constexpr size_t kMaxCameraNameUnits = 255;

// UTF-8 to UTF-16. Every byte that does not start a well-formed sequence (stray continuation
// bytes, overlong forms, surrogates, values past U+10FFFF, cut sequences) becomes U+FFFD.
std::u16string Utf8ToUtf16Lenient(std::string_view utf8);

// The UTF-16 name of a camera layer for a UTF-8 name: converted as above and cut to at most
// kMaxCameraNameUnits code units, never between the two halves of a surrogate pair.
std::u16string CameraLayerName(std::string_view utf8);
