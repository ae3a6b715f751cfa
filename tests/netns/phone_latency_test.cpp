// Two stand-in phones against quillo-host with the real plug-in: each drives its own camera, and
// the latency probe sees every step of its orientation in its own stream's pictures.
#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <signal.h>
#include <unistd.h>

#include <cstdio>
#include <fstream>

#include "netns/child_process.h"
#include "netns/netns_env.h"

namespace {

TEST(PhoneLatency, EveryPhoneSeesItsStepsInItsOwnStream) {
    QLO_REQUIRE_NETNS();
    const std::string bin = ProgramFolder();
    const std::string logPath = "/tmp/quillo-host-latency-" + std::to_string(getpid()) + ".log";
    ChildProcess host({bin + "/quillo-host", "--log", logPath});
    ASSERT_TRUE(host.started());
    ASSERT_TRUE(host.waitFor("[host] ready")) << host.output();  // after the services started

    const std::string stats = "/tmp/quillo-phone-latency-" + std::to_string(getpid()) + ".json";
    ChildProcess phones({bin + "/quillo-phone", "--count", "2", "--name", "Probe", "--stats-json", stats,
                         "--latency-steps", "6", "--stall-timeout", "10"});
    ASSERT_TRUE(phones.started());
    EXPECT_EQ(phones.wait(60), 0) << phones.output();

    std::ifstream file(stats);
    ASSERT_TRUE(file) << phones.output();
    const nlohmann::json result = nlohmann::json::parse(file);
    std::remove(stats.c_str());
    ASSERT_EQ(result["phones"].size(), 2u);
    for (const auto& phone : result["phones"]) {
        const auto& latency = phone["latency"];
        ASSERT_TRUE(latency.is_object()) << phone.dump();
        EXPECT_EQ(latency["problem"], "") << phone.dump();
        EXPECT_EQ(latency["count"].get<int>() + latency["missed"].get<int>(), 6) << phone.dump();
        EXPECT_GE(latency["count"].get<int>(), 5) << phone.dump();
    }
    host.signal(SIGTERM);
    EXPECT_EQ(host.wait(20), 0) << host.output();
    // The plug-in listed both phones under their own names, and the host told the terminal.
    EXPECT_NE(host.output().find("[host] phone \"Probe 1\" connected (allowed)"), std::string::npos) << host.output();
    EXPECT_NE(host.output().find("[host] phone \"Probe 2\" connected (allowed)"), std::string::npos) << host.output();
    std::remove(logPath.c_str());
}

}  // namespace
