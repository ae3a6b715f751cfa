// The shared helpers, one table each: field text, host time in seconds, number text, UTF-8
// decoding, the walk over a composition's camera layers, and the main-thread check.
#include <cmath>
#include <string>
#include <thread>
#include <vector>

#include "base/comp_cameras.h"
#include "base/helpers.h"
#include "engine/plugin_fixture.h"
#include "host/plugin.h"

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
        {{3, 2}, true, 1.5},
        {{-1001, 1000}, true, -1.001},
        {{0, 30}, true, 0.0},
        {{12, 0}, false, 7.0},  // left as it was
        {{0, 0}, false, 7.0},
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
    } cases[] = {
        {1.5, 6, "1.500000"}, {-0.04, 1, "-0.0"}, {2.25, 1, "2.2"}, {1234.5678, 3, "1234.568"},
        {1e20, 0, "100000000000000000000"}, {-3.0, 0, "-3"},
    };
    for (const auto& c : cases) EXPECT_EQ(FixedText(c.value, c.decimals), c.text) << c.value;
    EXPECT_EQ(FixedText(std::nan(""), 2), "nan");
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

TEST_F(PluginTest, ForEachCameraLayerVisitsTheCamerasTopFirstAndStopsWhenAsked) {
    comp->addSolid("Solid", qh::Value::Rgba(1, 0, 0), 10, 10, 0);
    comp->addCamera("Upper", A_FloatPoint{0, 0}, 0);
    comp->addNull("Null", 0);
    comp->addCamera("Lower", A_FloatPoint{0, 0}, 99);
    std::vector<std::pair<A_long, AEGP_LayerH>> expected;
    for (size_t i = 0; i < comp->numLayers(); ++i) {
        if (comp->layerAt(i)->type() == qh::LayerType::Camera) {
            expected.emplace_back(static_cast<A_long>(i), qh::LayerHandle(*comp->layerAt(i)));
        }
    }
    ASSERT_GE(expected.size(), 2u);

    AEGP_SuiteHandler suites(g_basicSuite);
    for (bool goOn : {true, false}) {
        std::vector<std::pair<A_long, AEGP_LayerH>> seen;
        const bool walked = ForEachCameraLayer(suites, compH(), [&](A_long i, AEGP_LayerH layer) {
            return seen.emplace_back(i, layer), goOn;
        });
        EXPECT_TRUE(walked || !goOn);
        EXPECT_EQ(seen, goOn ? expected : decltype(seen)(expected.begin(), expected.begin() + 1)) << goOn;
    }
    EXPECT_FALSE(ForEachCameraLayer(suites, nullptr, [](A_long, AEGP_LayerH) { return true; }));
}

#if defined(QLO_MAIN_THREAD_CHECKS) && QLO_MAIN_THREAD_CHECKS
// Checked builds: a hook the host calls from another thread stops the process with its name.
TEST_F(PluginTest, AHookCalledOffTheMainThreadAborts) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_DEATH(std::thread([] {
                     A_long sleep = 1;
                     IdleHook(nullptr, nullptr, &sleep);
                 }).join(),
                 "IdleHook used off the host's main thread");
    A_long sleep = 1;
    EXPECT_EQ(IdleHook(nullptr, nullptr, &sleep), A_Err_NONE);  // on the main thread it runs
}
#endif
