// The command line: both value spellings, actions kept in order, and refusals.
#include "phone/options.h"

#include <gtest/gtest.h>

namespace qlophone {
namespace {

TEST(Options, ValuesInBothSpellingsAndActionsInCommandLineOrder) {
    EXPECT_TRUE(ParseOptions({}).options.streams());
    ParsedOptions p = ParseOptions({"--host", "::1", "--port=9000", "--source-ip", "::1", "--name", "Ann's Phone",
                                    "--camera=Cam 1", "--duration", "0", "--reset", "--timeout", "0.5",
                                    "--timeline", "seek:1", "--get", "timeline", "--lens", "zoom=2", "--record",
                                    "single", "--get=info"});
    ASSERT_FALSE(p.failure) << p.failure.message;
    EXPECT_EQ(p.options.host, "::1");
    EXPECT_EQ(p.options.port, 9000);
    EXPECT_EQ(p.options.sourceIp, "::1");
    EXPECT_EQ(p.options.name, "Ann's Phone");
    EXPECT_EQ(p.options.camera, "Cam 1");
    EXPECT_FALSE(p.options.streams());
    EXPECT_TRUE(p.options.reset);
    EXPECT_EQ(p.options.timeout.count(), 500);
    ASSERT_EQ(p.options.actions.size(), 5u);
    EXPECT_TRUE(std::holds_alternative<TimelineAction>(p.options.actions[0]));
    EXPECT_EQ(std::get<GetAction>(p.options.actions[1]).what, "timeline");
    EXPECT_TRUE(std::holds_alternative<LensAction>(p.options.actions[2]));
    EXPECT_EQ(std::get<RecordAction>(p.options.actions[3]).mode, "single");
    EXPECT_EQ(std::get<GetAction>(p.options.actions[4]).what, "info");
}

TEST(Options, RefusesBadCommandLines) {
    const std::vector<std::vector<std::string>> bad = {
        {"--bogus"},
        {"--port", "65536"},
        {"--host", "localhost"},  // names are never looked up
        {"--host", "10.0.0.1", "--discover"},
        {"--service-name", "Quillo - After Effects"},  // only with --discover
        {"--source-ip", "eth0"},
        {"--name", std::string(128, 'n')},
        {"--motion-rate", "5000"},
        {"--frames", "3", "--duration", "0"},
        {"--save-frame="},
        {"--count", "0"},
        {"--count", "65"},
        {"--count", "2", "--source-ip", "::1"},
        {"--count", "2", "--save-frame", "f.jpg"},
        {"--path", "no-such-path.csv"},
        {"--path", "orbit", "--stats"},   // the probe moves the phone
        {"--stats", "--duration", "0"},
        {"--stats", "--motion-rate", "0"},
        {"--latency-steps", "1001"},
        {"--step", "sideways"},
        {"--seek", "soon"},
        {"--play=1"},
        {"--port"},
        {"--name="},
        {"--name", "Ann\xff"},           // not UTF-8
        {"--name", "B\xed\xa0\xbd\xed\xb3\xb1"},  // U+1F4F1 as two encoded surrogates
        {"--camera", "Cam\xc0\xaf"},    // an overlong "/"
    };
    for (const auto& args : bad) {
        ParsedOptions p = ParseOptions(args);
        EXPECT_EQ(p.failure.kind, FailureKind::Usage) << args.front();
        EXPECT_FALSE(p.failure.message.empty()) << args.front();
    }
    EXPECT_EQ(ParseOptions({"--name", "Ann\xff"}).failure.message,
              "--name is not valid UTF-8 (phone names are sent as UTF-8 text)");
    EXPECT_EQ(ParseOptions({"--port"}).failure.message, "--port needs a value");
    EXPECT_EQ(ParseOptions({"--play=1"}).failure.message, "--play takes no value");
    EXPECT_FALSE(ParseOptions({"--name", "B\xf0\x9f\x93\xb1", "--camera", "Kamera \xc3\xa4"}).failure);
    EXPECT_FALSE(ParseOptions({"--name", std::string(127, 'n')}).failure);
    EXPECT_EQ(ParseOptions({"--name", "a", "--name", "b"}).options.name, "b");  // the last one counts
    EXPECT_TRUE(ParseOptions({"--help"}).options.help);
}

TEST(Options, TimelineShortcutsPathsAndStats) {
    ParsedOptions p = ParseOptions({"--seek", "2.5", "--play", "--step", "back", "--go-to", "end", "--pause",
                                    "--path", "handheld", "--stats-json", "s.json", "--latency-steps", "0", "--count", "4"});
    ASSERT_FALSE(p.failure) << p.failure.message;
    const std::vector<std::string> expected = {"seek", "play", "stepBack", "goToEnd", "pause"};
    ASSERT_EQ(p.options.actions.size(), expected.size());
    for (size_t i = 0; i < expected.size(); ++i) EXPECT_EQ(std::get<TimelineAction>(p.options.actions[i]).action, expected[i]);
    EXPECT_EQ(std::get<TimelineAction>(p.options.actions[0]).time, 2.5);
    EXPECT_EQ(p.options.path.kind(), MotionPath::Kind::Handheld);
    EXPECT_TRUE(p.options.stats);  // implied by --stats-json
    EXPECT_FALSE(p.options.probesLatency());
    EXPECT_EQ(p.options.count, 4u);
    EXPECT_TRUE(ParseOptions({"--stats"}).options.probesLatency());
}

}  // namespace
}  // namespace qlophone
