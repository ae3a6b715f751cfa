// The command line: defaults, both value spellings, actions kept in order, and refusals.
#include "phone/options.h"

#include <gtest/gtest.h>

namespace qlophone {
namespace {

TEST(Options, DefaultsAndValues) {
    ParsedOptions d = ParseOptions({});
    ASSERT_FALSE(d.failure) << d.failure.message;
    EXPECT_EQ(d.options.host, "127.0.0.1");
    EXPECT_EQ(d.options.port, 8254);
    EXPECT_EQ(d.options.motionPort, 8255);
    EXPECT_EQ(d.options.name, "quillo-phone");
    EXPECT_DOUBLE_EQ(d.options.motionRate, 60.0);
    EXPECT_FALSE(d.options.duration);
    EXPECT_TRUE(d.options.streams());

    ParsedOptions p = ParseOptions({"--host", "::1", "--port=9000", "--source-ip", "::1", "--name", "Ann's Phone",
                                    "--camera=Cam 1", "--duration", "0", "--motion-rate=0", "--reset",
                                    "--timeout", "0.5"});
    ASSERT_FALSE(p.failure) << p.failure.message;
    EXPECT_EQ(p.options.host, "::1");
    EXPECT_EQ(p.options.port, 9000);
    EXPECT_EQ(p.options.sourceIp, "::1");
    EXPECT_EQ(p.options.name, "Ann's Phone");
    EXPECT_EQ(p.options.camera, "Cam 1");
    EXPECT_FALSE(p.options.streams());
    EXPECT_TRUE(p.options.reset);
    EXPECT_EQ(p.options.timeout.count(), 500);
}

TEST(Options, ActionsKeepCommandLineOrder) {
    ParsedOptions p = ParseOptions({"--timeline", "seek:1", "--get", "timeline", "--lens", "zoom=2", "--record",
                                    "single", "--get=info"});
    ASSERT_FALSE(p.failure) << p.failure.message;
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
        {"--port"},
        {"--port", "0"},
        {"--port", "65536"},
        {"--port", "80x"},
        {"--host", "localhost"},  // names are never looked up
        {"--host", "10.0.0.1", "--discover"},
        {"--service-name", "Quillo - After Effects"},  // only with --discover
        {"--source-ip", "eth0"},
        {"--name", ""},
        {"--name", std::string(128, 'n')},
        {"--camera", std::string(256, 'c')},
        {"--motion-rate", "-1"},
        {"--motion-rate", "5000"},
        {"--duration", "-2"},
        {"--frames", "0"},
        {"--frames", "3", "--duration", "0"},
        {"--reset=yes"},
        {"--discover-timeout", "0"},
        {"--lens", "zoom=big"},
        {"--save-frame="},
    };
    for (const auto& args : bad) {
        ParsedOptions p = ParseOptions(args);
        EXPECT_EQ(p.failure.kind, FailureKind::Usage) << args.front();
        EXPECT_FALSE(p.failure.message.empty()) << args.front();
    }
    EXPECT_FALSE(ParseOptions({"--name", std::string(127, 'n')}).failure);
}

TEST(Options, HelpNamesEveryOption) {
    const std::string help = HelpText();
    for (const char* option : {"--host", "--port", "--discover", "--discover-timeout", "--service-name",
                               "--source-ip", "--timeout", "--name", "--camera", "--register", "--duration",
                               "--frames", "--save-frame", "--stall-timeout", "--motion-rate", "--reset",
                               "--motion-port", "--lens", "--timeline", "--record", "--get", "--help"}) {
        EXPECT_NE(help.find(std::string(option) + " "), std::string::npos) << option;
    }
    EXPECT_TRUE(ParseOptions({"--help"}).options.help);
}

}  // namespace
}  // namespace qlophone
