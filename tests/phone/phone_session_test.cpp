// The whole phone against a small in-test stand-in of the plug-in's server on loopback: what it
// sends (register JSON, stream query, control bodies, motion datagrams), from which address, what
// it receives, and the exit status of each kind of failure.
#include "phone/phone_session.h"

#include "loopback_server.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <cstdio>
#include <fstream>
#include <iterator>
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

PhoneRun RunPhone(const std::vector<std::string>& args, const std::atomic<bool>* stop = nullptr,
             std::function<void(std::span<const uint8_t>)> extraObserver = nullptr) {
    ParsedOptions parsed = ParseOptions(args);
    EXPECT_FALSE(parsed.failure) << parsed.failure.message;
    std::ostringstream out, err;
    Reporter reporter(parsed.options.name, out, err);
    PhoneSession session(parsed.options, reporter, stop);
    PhoneRun run;
    session.setFrameObserver([&](std::span<const uint8_t> f) {
        run.frames.emplace_back(f.begin(), f.end());
        if (extraObserver) extraObserver(f);
    });
    run.result = session.run();
    run.out = out.str();
    run.err = err.str();
    return run;
}

std::string Header(const std::string& request, const std::string& name) {
    const std::string key = "\r\n" + name + ": ";
    const size_t at = request.find(key);
    if (at == std::string::npos) return {};
    const size_t start = at + key.size();
    return request.substr(start, request.find("\r\n", start) - start);
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
    const std::string& reg = requests[0].text;
    EXPECT_EQ(reg.rfind("POST /register HTTP/1.1\r\n", 0), 0u) << reg;
    EXPECT_EQ(Header(reg, "Content-Type"), "application/json");
    EXPECT_EQ(Header(reg, "Connection"), "close");
    EXPECT_EQ(Header(reg, "Host"), "127.0.0.1:" + std::to_string(plugin.server->port()));
    EXPECT_EQ(Header(reg, "Content-Length"), std::to_string(Body(reg).size()));
    EXPECT_EQ(json::parse(Body(reg)), json({{"deviceName", "Ann's \"Phone\" é"}, {"cameraName", "Cam 1"}}));
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

    const auto datagrams = udp.received();
    ASSERT_GE(datagrams.size(), 3u);
    std::vector<uint8_t> reset(25, 0);
    reset[0] = 2;
    EXPECT_EQ(datagrams[0].bytes, reset);  // the reset goes first
    for (size_t i = 0; i < datagrams.size(); ++i) {
        EXPECT_EQ(datagrams[i].sourceIp, "127.0.0.2") << i;
        ASSERT_EQ(datagrams[i].bytes.size(), 25u) << i;
        if (i > 0) {
            EXPECT_EQ(datagrams[i].bytes[0], 1) << i;
        }
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
    const auto requests = plugin.server->requests();
    ASSERT_EQ(requests.size(), 4u);  // no register and no stream with --duration 0
    EXPECT_EQ(requests[0].text.rfind("POST /camera ", 0), 0u);
    EXPECT_EQ(json::parse(Body(requests[0].text)), json({{"focusDistance", 800.0}, {"dof", true}, {"deviceName", "p1"}}));
    EXPECT_EQ(requests[1].text.rfind("POST /timeline ", 0), 0u);
    EXPECT_EQ(json::parse(Body(requests[1].text)), json({{"action", "seek"}, {"time", 2.5}}));
    EXPECT_EQ(requests[2].text.rfind("POST /record ", 0), 0u);
    EXPECT_EQ(json::parse(Body(requests[2].text)), json({{"mode", "single"}}));
    EXPECT_EQ(requests[3].text.rfind("GET /cameras ", 0), 0u);
    EXPECT_NE(run.out.find("[phone p1] GET /cameras -> HTTP/1.1 200 OK: {\"cameras\":[\"Camera 1\",\"Phone Cam\"]}"),
              std::string::npos) << run.out;
}

TEST(PhoneSession, ProtocolErrorsEndTheRunWithStatusFour) {
    {
        FakePlugin plugin;
        plugin.streamBytes = "--frame\r\nContent-Length: 3\r\n\r\n" + FakeJpeg(1) + "\r\n";
        plugin.start();
        PhoneRun run = RunPhone(plugin.args({"--motion-rate", "0"}));
        EXPECT_EQ(run.result.exitCode(), 4);
        EXPECT_NE(run.err.find("error: stream: frame 1:"), std::string::npos) << run.err;
    }
    {
        FakePlugin plugin;
        plugin.registerAnswer = "HTTP/1.1 404 Not Found\r\nContent-Length: 0\r\n\r\n";
        plugin.start();
        PhoneRun run = RunPhone(plugin.args({"--motion-rate", "0"}));
        EXPECT_EQ(run.result.exitCode(), 4);
        EXPECT_EQ(plugin.server->requests().size(), 1u);  // nothing after the failed registration
        EXPECT_NE(run.err.find("POST /register"), std::string::npos) << run.err;
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
    const std::string bytes((std::istreambuf_iterator<char>(saved)), std::istreambuf_iterator<char>());
    EXPECT_EQ(bytes, plugin.frames.back());
    std::remove(file.c_str());
}

TEST(PhoneSession, RefusedConnectionIsStatusThreeAndStopFlagEndsCleanly) {
    Socket holder(::socket(AF_INET, SOCK_STREAM, 0));
    auto any = *ParseNumericAddress("127.0.0.1", 0);
    ASSERT_EQ(::bind(holder.fd(), reinterpret_cast<const sockaddr*>(&any.storage), any.length), 0);
    PhoneRun refused = RunPhone({"--port", std::to_string(LocalAddress(holder.fd())->port()), "--motion-rate", "0"});
    EXPECT_EQ(refused.result.exitCode(), 3);
    EXPECT_NE(refused.err.find("refused"), std::string::npos) << refused.err;

    FakePlugin plugin;
    plugin.frames = {FakeJpeg(1), FakeJpeg(2), FakeJpeg(3)};
    plugin.start();
    std::atomic<bool> stop{false};
    // Raised on the first frame, as Ctrl-C would be.
    PhoneRun stopped = RunPhone(plugin.args({"--motion-rate", "0"}), &stop, [&](std::span<const uint8_t>) { stop = true; });
    EXPECT_EQ(stopped.result.exitCode(), 0) << stopped.err;
    EXPECT_EQ(stopped.frames.size(), 1u);
}

TEST(PhoneSession, WorksOverIpv6Loopback) {
    FakePlugin plugin;
    plugin.bindIp = "::1";
    plugin.start();
    PhoneRun run = RunPhone(plugin.args({"--source-ip", "::1", "--frames", "1", "--motion-rate", "0"}));
    ASSERT_EQ(run.result.exitCode(), 0) << run.err;
    const auto reg = plugin.server->find("POST /register");
    EXPECT_EQ(reg.peerIp, "::1");
    EXPECT_EQ(Header(reg.text, "Host"), "[::1]:" + std::to_string(plugin.server->port()));
    EXPECT_EQ(run.frames.size(), 1u);
}

TEST(PhoneSession, MismatchedSourceFamilyIsReported) {
    FakePlugin plugin;
    plugin.start();
    PhoneRun run = RunPhone(plugin.args({"--source-ip", "::1", "--duration", "0", "--get", "info"}));
    EXPECT_EQ(run.result.exitCode(), 3);
    EXPECT_NE(run.err.find("different address families"), std::string::npos) << run.err;
}

}  // namespace
}  // namespace qlophone
