// The whole phone against a small in-test stand-in of the plug-in's server on loopback: what it
// sends (register JSON, stream query, control bodies, motion datagrams), from which address, what
// it receives, and the exit status of each kind of failure.
#include "phone/phone_fleet.h"
#include "phone/phone_session.h"

#include "loopback_server.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <sstream>

namespace qlophone {
namespace {

using namespace std::chrono_literals;
using nlohmann::json;
using test::FakeJpeg;
using test::LoopbackHttpServer;
using test::LoopbackUdpReceiver;
using test::Part;
using test::SeenRequest;
using test::WaitForPeerClose;
using test::WriteAll;

// Answers like the plug-in: control requests by their first line, everything else as a stream of
// `frames`, then either keeps the stream open until the phone leaves or closes it.
struct FakePlugin {
    std::vector<std::string> frames = {FakeJpeg(1, 500), FakeJpeg(2, 900)};
    bool closeAfterFrames = false;
    std::string streamBytes;          // when set, sent instead of the frames
    std::string registerAnswer = test::RegisterAnswer();
    uint16_t controlPort = 0;         // announced in GET /info
    std::function<void()> beforeFrames;
    std::string bindIp = "127.0.0.1";
    std::unique_ptr<LoopbackHttpServer> server;

    void start() {
        server = std::make_unique<LoopbackHttpServer>([this](int fd, const SeenRequest& r) { answer(fd, r); }, bindIp);
    }
    void answer(int fd, const SeenRequest& r) {
        const std::string line = r.text.substr(0, r.text.find("\r\n"));
        if (line.starts_with("POST /register ")) {
            WriteAll(fd, registerAnswer);
        } else if (line.starts_with("GET /info ")) {
            WriteAll(fd, test::InfoAnswer(server->port(), controlPort, 0));
        } else if (line.starts_with("GET /cameras ")) {
            const std::string body = R"({"cameras":["Camera 1","Phone Cam"]})";
            WriteAll(fd, "HTTP/1.1 200 OK\r\nContent-Type: application/json\r\nContent-Length: " +
                             std::to_string(body.size()) + "\r\nConnection: close\r\n\r\n" + body);
        } else if (line.starts_with("POST /")) {
            WriteAll(fd, test::OkAnswer());
        } else {
            if (beforeFrames) beforeFrames();
            std::string bytes = test::StreamHead();
            if (!streamBytes.empty()) {
                bytes += streamBytes;
            } else {
                for (const auto& f : frames) bytes += Part(f);
            }
            WriteAll(fd, bytes);
            if (!closeAfterFrames) WaitForPeerClose(fd, 5s);
        }
    }
    std::vector<std::string> args(std::vector<std::string> extra) const {
        std::vector<std::string> all = {"--host", bindIp, "--port", std::to_string(server->port()), "--timeout", "5",
                                        "--stall-timeout", "10", "--duration", "20"};
        all.insert(all.end(), extra.begin(), extra.end());
        return all;
    }
};

struct PhoneRun {
    SessionResult result;
    std::vector<std::string> frames;
    std::string out, err;
};

PhoneRun RunPhone(const std::vector<std::string>& args) {
    ParsedOptions parsed = ParseOptions(args);
    EXPECT_FALSE(parsed.failure) << parsed.failure.message;
    std::ostringstream out, err;
    Reporter reporter(parsed.options.name, out, err);
    PhoneSession session(parsed.options, reporter);
    PhoneRun run;
    session.setFrameObserver([&](std::span<const uint8_t> f) { run.frames.emplace_back(f.begin(), f.end()); });
    run.result = session.run();
    run.out = out.str();
    run.err = err.str();
    return run;
}

std::string Body(const std::string& request) { return request.substr(request.find("\r\n\r\n") + 4); }

TEST(PhoneSession, RegistersThenReceivesExactlyTheServedFrames) {
    FakePlugin plugin;
    plugin.start();
    PhoneRun run = RunPhone(plugin.args({"--name", "Ann's \"Phone\" é", "--camera", "Cam 1", "--frames", "2",
                                         "--motion-rate", "0"}));
    EXPECT_EQ(run.result.exitCode(), 0) << run.err;
    EXPECT_EQ(run.frames, plugin.frames);
    EXPECT_EQ(run.result.stream.frames, 2u);
    EXPECT_EQ(run.result.latestFrame, std::vector<uint8_t>(plugin.frames[1].begin(), plugin.frames[1].end()));

    const auto requests = plugin.server->requests();
    ASSERT_EQ(requests.size(), 2u);  // register, then the stream; no GET /info without motion
    const std::string body = R"({"cameraName":"Cam 1","deviceName":"Ann's \"Phone\" é"})";
    EXPECT_EQ(requests[0].text, "POST /register HTTP/1.1\r\nHost: 127.0.0.1:" + std::to_string(plugin.server->port()) +
                                    "\r\nUser-Agent: quillo-phone/1.0\r\nContent-Type: application/json\r\n"
                                    "Content-Length: " + std::to_string(body.size()) + "\r\nConnection: close\r\n\r\n" + body);
    EXPECT_EQ(requests[1].text.rfind("GET /stream?deviceName=Ann%27s%20%22Phone%22%20%C3%A9&cameraName=Cam%201 HTTP/1.1\r\n", 0), 0u)
        << requests[1].text;
    EXPECT_NE(run.out.find("[phone Ann's \"Phone\" é] stream: 2 frames"), std::string::npos) << run.out;
    EXPECT_TRUE(run.err.empty()) << run.err;
}

TEST(PhoneSession, SourceIpBindsStreamControlAndMotionAndMotionPortComesFromInfo) {
    LoopbackUdpReceiver udp;
    FakePlugin plugin;
    plugin.controlPort = udp.port();
    // Frames are only sent once motion has arrived, so the phone is still streaming meanwhile.
    plugin.beforeFrames = [&] { udp.waitFor(3, 5s); };
    plugin.start();
    PhoneRun run = RunPhone(plugin.args({"--source-ip", "127.0.0.2", "--reset", "--motion-rate", "200", "--frames", "2",
                                         "--lens", "zoom=1500"}));
    ASSERT_EQ(run.result.exitCode(), 0) << run.err;

    const auto requests = plugin.server->requests();
    ASSERT_EQ(requests.size(), 4u);  // info, register, camera, stream
    for (const auto& r : requests) EXPECT_EQ(r.peerIp, "127.0.0.2") << r.text.substr(0, 40);
    EXPECT_EQ(requests[0].text.rfind("GET /info ", 0), 0u);
    EXPECT_EQ(requests[2].text.rfind("POST /camera ", 0), 0u);
    EXPECT_EQ(json::parse(Body(requests[2].text)), json({{"zoom", 1500.0}, {"deviceName", "quillo-phone"}}));
    EXPECT_EQ(run.result.motionPort, udp.port());

    const auto datagrams = udp.waitFor(0, 0ms);
    ASSERT_GE(datagrams.size(), 3u);
    std::vector<uint8_t> reset(25, 0);
    reset[0] = 2;
    EXPECT_EQ(datagrams[0].bytes, reset);  // the reset goes first
    for (size_t i = 0; i < datagrams.size(); ++i) {
        EXPECT_EQ(datagrams[i].sourceIp, "127.0.0.2") << i;
        ASSERT_EQ(datagrams[i].bytes.size(), 25u) << i;
        EXPECT_EQ(datagrams[i].bytes[0], i == 0 ? 2 : 1) << i;
    }
    EXPECT_EQ(run.result.motion.resets, 1u);
    EXPECT_GE(run.result.motion.samples, datagrams.size() - 1);
}

TEST(PhoneSession, ControlActionsOnlyWithDurationZeroInCommandLineOrder) {
    FakePlugin plugin;
    plugin.start();
    PhoneRun run = RunPhone(plugin.args({"--duration", "0", "--name", "p1", "--lens", "focusDistance=800,dof=true",
                                         "--timeline", "seek:2.5", "--record", "single", "--get", "cameras"}));
    ASSERT_EQ(run.result.exitCode(), 0) << run.err;
    EXPECT_FALSE(run.result.streamed);
    const std::pair<const char*, json> expected[] = {
        {"POST /camera ", json({{"focusDistance", 800.0}, {"dof", true}, {"deviceName", "p1"}})},
        {"POST /timeline ", json({{"action", "seek"}, {"time", 2.5}})},
        {"POST /record ", json({{"mode", "single"}})},
    };
    const auto requests = plugin.server->requests();
    ASSERT_EQ(requests.size(), 4u);  // no register and no stream with --duration 0
    for (size_t i = 0; i < 3; ++i) {
        EXPECT_EQ(requests[i].text.rfind(expected[i].first, 0), 0u) << requests[i].text;
        EXPECT_EQ(json::parse(Body(requests[i].text)), expected[i].second);
    }
    EXPECT_EQ(requests[3].text.rfind("GET /cameras ", 0), 0u);
    EXPECT_NE(run.out.find("[phone p1] GET /cameras -> HTTP/1.1 200 OK: {\"cameras\":[\"Camera 1\",\"Phone Cam\"]}"),
              std::string::npos) << run.out;
}

TEST(PhoneSession, FailuresEndTheRunWithTheirExitStatus) {
    Socket holder(::socket(AF_INET, SOCK_STREAM, 0));  // bound, never listening: connections are refused
    auto any = *ParseNumericAddress("127.0.0.1", 0);
    ASSERT_EQ(::bind(holder.fd(), reinterpret_cast<const sockaddr*>(&any.storage), any.length), 0);
    struct Case {
        const char* what;
        std::function<void(FakePlugin&)> setup;
        std::vector<std::string> args;
        int exitCode;
        const char* errorPart;
        size_t requests;
    };
    const Case cases[] = {
        {"bad framing", [](FakePlugin& p) { p.streamBytes = "--frame\r\nContent-Length: 3\r\n\r\n" + FakeJpeg(1) + "\r\n"; },
         {}, 4, "error: stream: frame 1:", 2},
        {"register refused", [](FakePlugin& p) { p.registerAnswer = "HTTP/1.1 404 Not Found\r\nContent-Length: 0\r\n\r\n"; },
         {}, 4, "POST /register", 1},  // nothing after the failed registration
        {"connection refused", nullptr, {"--port", std::to_string(LocalAddress(holder.fd())->port())}, 3, "refused", 0},
        {"source family differs", nullptr, {"--source-ip", "::1"}, 3, "different address families", 0},
    };
    for (const Case& c : cases) {
        FakePlugin plugin;
        if (c.setup) c.setup(plugin);
        plugin.start();
        std::vector<std::string> args = c.args;
        args.insert(args.end(), {"--motion-rate", "0"});
        PhoneRun run = RunPhone(plugin.args(args));
        EXPECT_EQ(run.result.exitCode(), c.exitCode) << c.what;
        EXPECT_NE(run.err.find(c.errorPart), std::string::npos) << c.what << ": " << run.err;
        EXPECT_EQ(plugin.server->requests().size(), c.requests) << c.what;
    }
}

TEST(PhoneSession, EarlyCloseIsAConnectionFailureButTheLastFrameIsSaved) {
    FakePlugin plugin;
    plugin.closeAfterFrames = true;
    plugin.start();
    const std::string file = testing::TempDir() + "/quillo-phone-latest.jpg";
    std::remove(file.c_str());
    PhoneRun run = RunPhone(plugin.args({"--motion-rate", "0", "--save-frame", file}));
    EXPECT_EQ(run.result.exitCode(), 3);
    EXPECT_EQ(run.frames, plugin.frames);
    std::ifstream saved(file, std::ios::binary);
    EXPECT_EQ(std::string(std::istreambuf_iterator<char>(saved), {}), plugin.frames.back());
    std::remove(file.c_str());
}

TEST(PhoneSession, WorksOverIpv6Loopback) {
    FakePlugin plugin;
    plugin.bindIp = "::1";
    plugin.start();
    PhoneRun run = RunPhone(plugin.args({"--source-ip", "::1", "--frames", "1", "--motion-rate", "0"}));
    ASSERT_EQ(run.result.exitCode(), 0) << run.err;
    const SeenRequest reg = plugin.server->requests().at(0);
    EXPECT_EQ(reg.peerIp, "::1");
    EXPECT_EQ(reg.text.rfind("POST /register HTTP/1.1\r\nHost: [::1]:" + std::to_string(plugin.server->port()) + "\r\n", 0), 0u);
    EXPECT_EQ(run.frames.size(), 1u);
}

TEST(PhoneFleet, CountRunsDistinctPhonesThatSaveEveryFrameAndWriteStats) {
    FakePlugin plugin;
    plugin.start();
    const std::string dir = ::testing::TempDir() + "/fleet-frames";
    const std::string statsFile = ::testing::TempDir() + "/fleet-stats.json";
    std::filesystem::remove_all(dir);
    ParsedOptions parsed = ParseOptions(plugin.args({"--count", "3", "--name", "Ann's/Phone", "--frames", "2",
                                                     "--motion-rate", "0", "--save-frames", dir, "--stats-json", statsFile,
                                                     "--latency-steps", "0"}));
    ASSERT_FALSE(parsed.failure) << parsed.failure.message;
    std::ostringstream out, err;
    FleetResult fleet = RunFleet(parsed.options, out, err, nullptr);
    ASSERT_EQ(fleet.exitCode(), 0) << err.str();

    // Each phone registers under its own name from its own address.
    std::map<std::string, std::string> nameByIp;
    for (const auto& r : plugin.server->requests()) {
        if (r.text.starts_with("POST /register ")) nameByIp[r.peerIp] = json::parse(Body(r.text))["deviceName"];
    }
    const std::map<std::string, std::string> expected = {
        {"127.0.0.2", "Ann's/Phone 1"}, {"127.0.0.3", "Ann's/Phone 2"}, {"127.0.0.4", "Ann's/Phone 3"}};
    EXPECT_EQ(nameByIp, expected);
    for (int phone = 1; phone <= 3; ++phone) {
        for (int n = 1; n <= 2; ++n) {
            std::ifstream file(dir + "/Ann_s_Phone_" + std::to_string(phone) + "-" + std::to_string(n) + ".jpg", std::ios::binary);
            const std::string bytes((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
            EXPECT_EQ(bytes, plugin.frames[n - 1]) << phone << "-" << n;
        }
    }
    std::ifstream statsStream(statsFile);
    const json stats = json::parse(statsStream);
    ASSERT_EQ(stats["phones"].size(), 3u);
    EXPECT_EQ(stats["phones"][2]["source"], "127.0.0.4");
    EXPECT_EQ(stats["phones"][2]["frames"], 2);
    EXPECT_EQ(stats["phones"][2]["framesSaved"], 2);
    EXPECT_TRUE(stats["latency"].is_null());
    std::filesystem::remove_all(dir);
    std::remove(statsFile.c_str());
}

TEST(PhoneFleet, FrameDirectoryThatCannotBeMadeIsAFileFailure) {
    FakePlugin plugin;
    plugin.start();
    const std::string blocker = ::testing::TempDir() + "/not-a-dir";
    std::ofstream(blocker) << "x";
    PhoneRun run = RunPhone(plugin.args({"--frames", "1", "--motion-rate", "0", "--save-frames", blocker + "/sub"}));
    EXPECT_EQ(run.result.exitCode(), ExitCodeFor(FailureKind::File));
    std::remove(blocker.c_str());
}

}  // namespace
}  // namespace qlophone
