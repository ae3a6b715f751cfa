// The command line: both value spellings, the last of a repeated option, and refusals. The
// control actions it reads are checked with the requests they become (control_requests_test).
#include "phone/options.h"

#include <gtest/gtest.h>

namespace qlophone {
namespace {

// The last of a repeated option counts; seconds become milliseconds; --stats-json implies
// --stats. (The other values are read by every session test.)
TEST(Options, ValuesAreReadAsTheSessionsUseThem) {
    EXPECT_TRUE(ParseOptions({"--stats"}).options.probesLatency());
    ParsedOptions p = ParseOptions({"--name", "a", "--name=Ann's Phone", "--timeout", "0.5", "--path",
                                    "handheld", "--stats-json", "s.json", "--latency-steps", "0"});
    ASSERT_FALSE(p.failure) << p.failure.message;
    EXPECT_EQ(p.options.name, "Ann's Phone");
    EXPECT_EQ(p.options.timeout.count(), 500);
    EXPECT_EQ(p.options.path.kind(), MotionPath::Kind::Handheld);
    EXPECT_TRUE(p.options.stats);
    EXPECT_FALSE(p.options.probesLatency());
}

// One command line per refusal; where the message is given, it must start with it.
TEST(Options, RefusesBadCommandLines) {
    const std::pair<std::vector<std::string>, const char*> bad[] = {
        {{"--bogus"}, ""}, {{"--port"}, "--port needs a value"}, {{"--play=1"}, "--play takes no value"},
        {{"--port", "65536"}, ""}, {{"--count", "65"}, ""}, {{"--name", std::string(128, 'n')}, ""},
        // Names are never looked up.
        {{"--host", "localhost"}, ""},
        // Options that do not go together: the probe moves the phone, and one file serves one phone.
        {{"--host", "10.0.0.1", "--discover"}, ""}, {{"--stats", "--motion-rate", "0"}, ""},
        {{"--count", "2", "--save-frame", "f.jpg"}, ""},
        // Control actions' texts.
        {{"--lens", "zoom=abc"}, ""}, {{"--timeline", "Play"}, ""}, {{"--record", "pause"}, ""},
        // Not UTF-8, U+1F4F1 as two encoded surrogates.
        {{"--name", "Ann\xff"}, "--name is not valid UTF-8 (phone names are sent as UTF-8 text)"},
        {{"--name", "B\xed\xa0\xbd\xed\xb3\xb1"}, ""},
    };
    for (const auto& [args, message] : bad) {
        const ParsedOptions p = ParseOptions(args);
        EXPECT_EQ(p.failure.kind, FailureKind::Usage) << args.front() << " " << args.back();
        EXPECT_FALSE(p.failure.message.empty()) << args.front() << " " << args.back();
        EXPECT_EQ(p.failure.message.rfind(message, 0), 0u) << p.failure.message;
    }
    EXPECT_FALSE(ParseOptions({"--name", "B\xf0\x9f\x93\xb1", "--camera", "Kamera \xc3\xa4"}).failure);
    EXPECT_FALSE(ParseOptions({"--name", std::string(127, 'n')}).failure);
}

}  // namespace
}  // namespace qlophone
