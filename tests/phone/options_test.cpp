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
    };
    for (const auto& args : bad) {
        ParsedOptions p = ParseOptions(args);
        EXPECT_EQ(p.failure.kind, FailureKind::Usage) << args.front();
        EXPECT_FALSE(p.failure.message.empty()) << args.front();
    }
    EXPECT_FALSE(ParseOptions({"--name", std::string(127, 'n')}).failure);
    EXPECT_TRUE(ParseOptions({"--help"}).options.help);
}

}  // namespace
}  // namespace qlophone
