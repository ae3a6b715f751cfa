// The whole phone against a small in-test stand-in of the plug-in's server on loopback: what it
// sends (register JSON, stream query, control bodies, motion datagrams), from which address, what
// it receives and saves, and the exit status of each kind of failure.
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
using test::SeenRequest;
using test::SendText;

// Answers like the plug-in: control requests by their route, GET /stream with `frames`, then
// either keeps the stream open until the phone leaves or closes it.
struct FakePlugin {
    std::vector<std::string> frames = {FakeJpeg(1, 500), FakeJpeg(2, 900)};
    bool closeAfterFrames = false;
    std::string registerAnswer = test::RegisterAnswer();
    uint16_t controlPort = 0;  // announced in GET /info
    std::function<void()> beforeFrames;
    std::string bindIp = "127.0.0.1";
    std::unique_ptr<test::LoopbackHttpServer> server;

    void start() {
        server = std::make_unique<test::LoopbackHttpServer>(
            [this](int fd, const SeenRequest& r) { answer(fd, Route(r)); }, bindIp);
    }
    void answer(int fd, const std::string& route) {
        if (route == "GET /info") {
            SendText(fd, test::InfoAnswer(server->port(), controlPort, 0));
        } else if (route == "POST /register") {
            SendText(fd, registerAnswer);
        } else if (route != "GET /stream") {
            SendText(fd, "HTTP/1.1 200 OK\r\nContent-Length: 2\r\n\r\nOK");
        } else {
            if (beforeFrames) beforeFrames();
            std::string bytes = test::StreamHead();
            for (const auto& f : frames) bytes += test::Part(f);
            SendText(fd, bytes);
            if (!closeAfterFrames) test::WaitForPeerClose(fd, 5s);
        }
    }
    std::vector<std::string> args(std::vector<std::string> extra) const {
        std::vector<std::string> all = {"--host", bindIp, "--port", std::to_string(server->port()),
                                        "--timeout", "5", "--stall-timeout", "10", "--duration", "20"};
        all.insert(all.end(), extra.begin(), extra.end());
        return all;
    }
    // The route of every request the phone sent, in order.
    std::vector<std::string> routes() const {
        std::vector<std::string> all;
        for (const SeenRequest& r : server->requests()) all.push_back(Route(r));
        return all;
    }
    // The method and the path without its query: "POST /camera".
    static std::string Route(const SeenRequest& r) {
        return r.text.substr(0, r.text.find_first_of("? ", r.text.find(' ') + 1));
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
std::string FileText(const std::string& path) {
    std::ifstream file(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(file), {});
}

// Over IPv6 loopback without motion, and over IPv4 from another loopback address with motion: it
// registers, then receives exactly the served frames, every request and datagram from the source.
// Motion asks GET /info for the motion port first and sends the reset before any sample.
TEST(PhoneSession, RegistersThenReceivesExactlyTheServedFramesFromTheSourceAddress) {
    for (const bool motion : {false, true}) {
        SCOPED_TRACE(motion ? "IPv4 with motion" : "IPv6 without motion");
        const std::string source = motion ? "127.0.0.2" : "::1";
        test::LoopbackUdpReceiver udp;
        std::vector<test::LoopbackUdpReceiver::Datagram> datagrams;
        std::mutex mutex;  // the first ones are collected on the server's thread
        auto collect = [&](std::chrono::milliseconds limit) {
            std::lock_guard<std::mutex> lock(mutex);
            auto d = udp.next(limit);
            if (d) datagrams.push_back(*d);
            return d.has_value();
        };
        FakePlugin plugin;
        plugin.bindIp = motion ? "127.0.0.1" : "::1";
        plugin.controlPort = udp.port();
        plugin.beforeFrames = [&] {  // frames only once motion arrived: still streaming
            for (int i = 0; motion && i < 3 && collect(5s); ++i) {
            }
        };
        plugin.start();
        std::vector<std::string> args = {"--source-ip", source, "--name", "Ann's \"Phone\" é", "--camera", "Cam 1",
                                         "--frames", "2", "--motion-rate", motion ? "200" : "0"};
        if (motion) args.insert(args.end(), {"--reset", "--lens", "zoom=1500"});
        PhoneRun run = RunPhone(plugin.args(args));
        EXPECT_EQ(run.result.exitCode(), 0) << run.err;
        EXPECT_EQ(run.frames, plugin.frames);
        using Routes = std::vector<std::string>;
        EXPECT_EQ(plugin.routes(), (motion ? Routes{"GET /info", "POST /register", "POST /camera", "GET /stream"}
                                           : Routes{"POST /register", "GET /stream"}));
        const auto requests = plugin.server->requests();
        for (const auto& r : requests) EXPECT_EQ(r.peerIp, source) << FakePlugin::Route(r);
        const std::string host = motion ? plugin.bindIp : "[::1]";
        const std::string body = R"({"cameraName":"Cam 1","deviceName":"Ann's \"Phone\" é"})";
        EXPECT_EQ(requests.at(motion ? 1 : 0).text,
                  "POST /register HTTP/1.1\r\nHost: " + host + ":" + std::to_string(plugin.server->port()) +
                      "\r\nUser-Agent: quillo-phone/1.0\r\nContent-Type: application/json\r\nContent-Length: " +
                      std::to_string(body.size()) + "\r\nConnection: close\r\n\r\n" + body);
        EXPECT_TRUE(requests.back().text.starts_with("GET /stream?deviceName=Ann%27s%20%22Phone%22%20%C3%A9"
                                                     "&cameraName=Cam%201 HTTP/1.1\r\n")) << requests.back().text;
        EXPECT_NE(run.out.find("[phone Ann's \"Phone\" é] stream: 2 frames"), std::string::npos) << run.out;
        EXPECT_TRUE(run.err.empty()) << run.err;
        if (!motion) continue;
        EXPECT_EQ(run.result.motionPort, udp.port());
        for (int i = 0; i < 1000 && collect(0ms); ++i) {
        }
        std::lock_guard<std::mutex> lock(mutex);
        ASSERT_GE(datagrams.size(), 3u);
        for (size_t i = 0; i < datagrams.size(); ++i) {
            EXPECT_EQ(datagrams[i].sourceIp, source) << i;
            ASSERT_EQ(datagrams[i].bytes.size(), 25u) << i;
            EXPECT_EQ(datagrams[i].bytes[0], i == 0 ? 2 : 1) << i << ": the reset goes first";
        }
        EXPECT_EQ(run.result.motion.resets, 1u);
        EXPECT_GE(run.result.motion.samples, datagrams.size() - 1);
    }
}

// The requests and their bodies are checked where they are built; here, that the session sends
// them all in command-line order and, with --duration 0, neither registers nor streams.
TEST(PhoneSession, ControlActionsOnlyWithDurationZeroInCommandLineOrder) {
    FakePlugin plugin;
    plugin.start();
    PhoneRun run = RunPhone(plugin.args({"--duration", "0", "--lens", "dof=true", "--timeline", "seek:2.5",
                                         "--record", "single", "--get", "info"}));
    ASSERT_EQ(run.result.exitCode(), 0) << run.err;
    EXPECT_EQ(plugin.routes(),
              (std::vector<std::string>{"POST /camera", "POST /timeline", "POST /record", "GET /info"}));
}

TEST(PhoneSession, FailuresEndTheRunWithTheirExitStatus) {
    Socket holder(::socket(AF_INET, SOCK_STREAM, 0));  // bound, never listening: connections are refused
    auto any = *ParseNumericAddress("127.0.0.1", 0);
    ASSERT_EQ(::bind(holder.fd(), reinterpret_cast<const sockaddr*>(&any.storage), any.length), 0);
    const std::string saved = ::testing::TempDir() + "/quillo-phone-latest.jpg";
    std::remove(saved.c_str());
    struct Case {
        const char* what;
        std::function<void(FakePlugin&)> setup;
        std::vector<std::string> args;
        FailureKind kind;
        const char* errorPart;
        size_t requests;
    };
    const Case cases[] = {
        // The frames before the close still arrive, and the last one is saved.
        {"closed early", [](FakePlugin& p) { p.closeAfterFrames = true; }, {"--save-frame", saved},
         FailureKind::Connection, "closed by the server", 2},
        {"register refused",
         [](FakePlugin& p) { p.registerAnswer = "HTTP/1.1 404 Not Found\r\nContent-Length: 0\r\n\r\n"; },
         {}, FailureKind::Protocol, "POST /register", 1},  // nothing after the failed registration
        {"connection refused", nullptr, {"--port", std::to_string(LocalAddress(holder.fd())->port())},
         FailureKind::Connection, "refused", 0},
    };
    for (const Case& c : cases) {
        FakePlugin plugin;
        if (c.setup) c.setup(plugin);
        plugin.start();
        std::vector<std::string> args = c.args;
        args.insert(args.end(), {"--motion-rate", "0"});
        PhoneRun run = RunPhone(plugin.args(args));
        EXPECT_EQ(run.result.exitCode(), ExitCodeFor(c.kind)) << c.what;
        EXPECT_NE(run.err.find(c.errorPart), std::string::npos) << c.what << ": " << run.err;
        EXPECT_EQ(plugin.server->requests().size(), c.requests) << c.what;
        if (plugin.closeAfterFrames) {
            EXPECT_EQ(run.frames, plugin.frames);
        }
    }
    EXPECT_EQ(FileText(saved), FakePlugin().frames.back());
    std::remove(saved.c_str());
}

TEST(PhoneFleet, CountRunsDistinctPhonesThatSaveEveryFrameAndWriteStats) {
    FakePlugin plugin;
    plugin.start();
    const std::string dir = ::testing::TempDir() + "/fleet-frames", statsFile = dir + "-stats.json";
    std::filesystem::remove_all(dir);
    ParsedOptions parsed = ParseOptions(plugin.args({"--count", "3", "--name", "Ann's/Phone", "--frames", "2",
                                                     "--motion-rate", "0", "--save-frames", dir,
                                                     "--stats-json", statsFile, "--latency-steps", "0"}));
    ASSERT_FALSE(parsed.failure) << parsed.failure.message;
    std::ostringstream out, err;
    ASSERT_EQ(RunFleet(parsed.options, out, err, nullptr).exitCode(), 0) << err.str();
    std::map<std::string, std::string> nameByIp;
    for (const auto& r : plugin.server->requests()) {
        if (FakePlugin::Route(r) == "POST /register") nameByIp[r.peerIp] = json::parse(Body(r.text))["deviceName"];
    }
    const json stats = json::parse(FileText(statsFile));
    ASSERT_EQ(stats["phones"].size(), 3u);
    // Each phone registers under its own name from its own address and saves each of its frames.
    for (int phone = 1; phone <= 3; ++phone) {
        const std::string ip = "127.0.0." + std::to_string(phone + 1);
        EXPECT_EQ(nameByIp[ip], "Ann's/Phone " + std::to_string(phone));
        EXPECT_EQ(stats["phones"][phone - 1]["source"], ip);
        EXPECT_EQ(stats["phones"][phone - 1]["framesSaved"], 2);
        for (int n = 1; n <= 2; ++n) {
            const std::string name = "/Ann_s_Phone_" + std::to_string(phone) + "-" + std::to_string(n) + ".jpg";
            EXPECT_EQ(FileText(dir + name), plugin.frames[n - 1]) << name;
        }
    }
    std::filesystem::remove_all(dir);
    std::remove(statsFile.c_str());
}

}  // namespace
}  // namespace qlophone
