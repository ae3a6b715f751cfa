// Camera names as the host takes them: UTF-8 from a phone read leniently into UTF-16 (each byte
// that starts no valid sequence becomes one U+FFFD) and cut to the host's length without
// splitting a surrogate pair. Which sequences are valid is the decoder's own test (base/).
#include <gtest/gtest.h>

#include "rig/layer_names.h"

TEST(CameraLayerNames, ValidSequencesAreReadAndEveryOtherByteIsOneReplacement) {
    const std::pair<std::string, std::u16string> cases[] = {
        {"Cam A", u"Cam A"},
        {"\xC3\xA9\xE2\x82\xAC", u"\u00E9\u20AC"},
        {"\xF0\x9F\x98\x80", u"\U0001F600"},           // a surrogate pair
        {"\x80", u"\uFFFD"},                            // a continuation byte alone
        {"\xE2\x82x", u"\uFFFD\uFFFDx"},                // cut short
    };
    for (const auto& [utf8, utf16] : cases) EXPECT_EQ(Utf8ToUtf16Lenient(utf8), utf16) << utf8;
}

TEST(CameraLayerNames, TheCutKeepsASurrogatePairWhole) {
    const std::string fits(kMaxCameraNameUnits - 1, 'a');
    EXPECT_EQ(CameraLayerName(fits + "bc"), std::u16string(fits.begin(), fits.end()) + u"b");
    EXPECT_EQ(CameraLayerName(fits + "\xF0\x9F\x98\x80"), std::u16string(fits.begin(), fits.end()));
}
