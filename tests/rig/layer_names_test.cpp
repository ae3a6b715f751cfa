// Camera names as the host takes them: UTF-8 from a phone read leniently into UTF-16 (each byte
// that starts no valid sequence becomes one U+FFFD) and cut to the host's length without
// splitting a surrogate pair.
#include <gtest/gtest.h>

#include "rig/layer_names.h"

TEST(CameraLayerNames, ValidSequencesAreReadAndEveryOtherByteIsOneReplacement) {
    const std::pair<std::string, std::u16string> cases[] = {
        {"Cam A", u"Cam A"},
        {"\xC3\xA9\xE2\x82\xAC", u"\u00E9\u20AC"},
        {"\xF0\x9F\x98\x80", u"\U0001F600"},           // a surrogate pair
        {"\xF4\x8F\xBF\xBF", u"\U0010FFFF"},           // the last code point
        {"\x80", u"\uFFFD"},                            // a continuation byte alone
        {"\xFF\xFE", u"\uFFFD\uFFFD"},                  // bytes that never lead
        {"\xC0\xAF", u"\uFFFD\uFFFD"},                  // an overlong form
        {"\xE0\x80\xAF", u"\uFFFD\uFFFD\uFFFD"},        // overlong in three bytes
        {"\xED\xA0\x80", u"\uFFFD\uFFFD\uFFFD"},        // a surrogate
        {"\xF4\x90\x80\x80", u"\uFFFD\uFFFD\uFFFD\uFFFD"},  // past U+10FFFF
        {"\xF8\x88\x80\x80\x80", u"\uFFFD\uFFFD\uFFFD\uFFFD\uFFFD"},  // five-byte forms are gone
        {"\xE2\x82x", u"\uFFFD\uFFFDx"},                // cut short
        {"\xC3\xC3\xA9", u"\uFFFD\u00E9"},
    };
    for (const auto& [utf8, utf16] : cases) EXPECT_EQ(Utf8ToUtf16Lenient(utf8), utf16) << utf8;
}

TEST(CameraLayerNames, TheCutKeepsASurrogatePairWhole) {
    const std::string fits(kMaxCameraNameUnits - 1, 'a');
    EXPECT_EQ(CameraLayerName(fits + "b"), std::u16string(fits.begin(), fits.end()) + u"b");
    EXPECT_EQ(CameraLayerName(fits + "bc"), std::u16string(fits.begin(), fits.end()) + u"b");
    EXPECT_EQ(CameraLayerName(fits + "\xF0\x9F\x98\x80"), std::u16string(fits.begin(), fits.end()));
}
