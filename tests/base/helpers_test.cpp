// The shared helpers, one table each: field text, host time in seconds, number text and UTF-8
// decoding. (The walk over a composition's camera layers: the camera list's tests in
// tests/engine.)
#include <gtest/gtest.h>

#include <string>

#include "base/helpers.h"

TEST(Helpers, FieldTextStopsAtTheFirstNulOrTheFieldsEnd) {
    const char full[4] = {'a', 'b', 'c', 'd'};  // filled to the brim: no NUL at all
    const char cut[6] = {'a', 'b', '\0', 'x', 'y', '\0'};
    const char none[3] = {};
    EXPECT_EQ(FieldText(full), "abcd");
    EXPECT_EQ(FieldText(cut), "ab");
    EXPECT_EQ(FieldText(none), "");
}

TEST(Helpers, TimeToSecsHasNoSecondsForATimeWithoutAScale) {
    const struct {
        A_Time time;
        bool has;
        double secs;
    } cases[] = {
        {{-3, 2}, true, -1.5},
        {{12, 0}, false, 7.0},  // left as it was
    };
    for (const auto& c : cases) {
        double secs = 7.0;
        EXPECT_EQ(TimeToSecs(c.time, &secs), c.has) << c.time.value << "/" << c.time.scale;
        EXPECT_DOUBLE_EQ(secs, c.secs) << c.time.value << "/" << c.time.scale;
    }
}

TEST(Helpers, FixedTextRoundsLikePrintfInTheCLocale) {
    const struct {
        double value;
        int decimals;
        const char* text;
    } cases[] = {{1.5, 6, "1.500000"}, {-0.04, 1, "-0.0"}, {1e20, 0, "100000000000000000000"}};
    for (const auto& c : cases) EXPECT_EQ(FixedText(c.value, c.decimals), c.text) << c.value;
}

TEST(Helpers, Utf8SequenceAtTakesOnlyWellFormedShortestSequences) {
    const struct {
        const char* bytes;
        size_t at, length;
        char32_t cp;
    } cases[] = {
        {"A", 0, 1, U'A'},
        {"\xC3\xA9", 0, 2, 0xE9},
        {"x\xE2\x80\xA8", 1, 3, 0x2028},
        {"\xE0\xA4\x85", 0, 3, 0x905},    // the lowest three-byte lead
        {"\xF0\x9F\x93\xB1", 0, 4, 0x1F4F1},
        {"\xF4\x8F\xBF\xBF", 0, 4, 0x10FFFF},
        {"\x80", 0, 0, 0},              // a stray continuation byte
        {"\xC0\x80", 0, 0, 0},          // overlong NUL
        {"\xE0\x9F\xBF", 0, 0, 0},      // overlong three-byte form
        {"\xED\xA0\x80", 0, 0, 0},      // a surrogate
        {"\xF4\x90\x80\x80", 0, 0, 0},  // past U+10FFFF
        {"\xE2\x82", 0, 0, 0},          // cut short
        {"\xE2\x28\xA1", 0, 0, 0},      // second byte no continuation
        {"\xF5\x80\x80\x80", 0, 0, 0},  // no such lead byte
    };
    for (const auto& c : cases) {
        char32_t cp = 0;
        const std::string bytes = c.bytes;
        EXPECT_EQ(Utf8SequenceAt(bytes, c.at, &cp), c.length) << bytes;
        if (c.length != 0) {
            EXPECT_EQ(cp, c.cp) << bytes;
        }
    }
}
