// Phones that misbehave, over real loopback sockets against the plug-in in the stand-in host:
// connections that send nothing, hundreds of connect-and-disconnect cycles, and control requests
// at their limit sizes. The well-behaved phone keeps getting frames, and afterwards the process
// has no more descriptors and threads than before. (A phone that stops reading or closes
// mid-frame: tests/link's StreamTest; datagrams of any bytes: fuzz_motion_datagram and
// MotionReceiverTest.)
#include <atomic>

#include "link/http_answers.h"
#include "link/http_request.h"
#include "link/socket_io.h"
#include "link/stream_sender.h"
#include "reliability_fixture.h"

using MisbehavingPhonesTest = ReliabilityTest;

TEST_F(MisbehavingPhonesTest, SilentConnectionsAndConnectCyclesLeaveDescriptorsAndThreadsAsTheyWere) {
    spyRenders();
    Phone& healthy = connect("127.0.0.2", "?deviceName=Healthy", "Healthy", 1);
    // Warm-up: the HTTP and lookup queues start their worker threads on first use and keep them
    // while the server runs; the storm below must not add to them.
    for (int i = 0; i < 4; ++i) control(qlotest::Get("/info"));
    {
        qlotest::StreamPhone once("127.0.0.5", httpPort, "/stream?deviceName=Once");
        once.readHead();
    }
    ASSERT_TRUE(passUntil([&] { return g_server->clientCount() == 1; }));
    // What the previous test left may still be closing: the counts must not grow.
    const int fds = CountProcEntries("fd"), threads = CountServiceThreads();

    // Connections that send nothing: each is closed at the request deadline.
    std::vector<int> silent;
    for (int i = 0; i < 4; ++i) silent.push_back(qlotest::ConnectFrom("127.0.0.6", httpPort));
    // 200 phones that connect, take their stream's head, and go, while frames are pushed.
    size_t before = healthy.count();
    for (int cycle = 0; cycle < 200; ++cycle) {
        const std::string ip = "127.0.1." + std::to_string(1 + cycle % 50);
        qlotest::StreamPhone phone(ip.c_str(), httpPort, "/stream?deviceName=Cycle" + std::to_string(cycle));
        if (cycle % 2 == 0) phone.readHead();
        pass();
    }
    for (int fd : silent) EXPECT_TRUE(qlotest::ReadToEnd(fd).empty());  // closed unanswered
    for (int fd : silent) close(fd);
    EXPECT_TRUE(passUntil([&] { return g_server->clientCount() == 1; }));
    EXPECT_TRUE(WaitFor([&] { return healthy.count() > before; }));
    EXPECT_TRUE(WaitFor([&] { return pass(), CountProcEntries("fd") <= fds; })) << CountProcEntries("fd") << " vs " << fds;
    EXPECT_TRUE(WaitFor([&] { return CountServiceThreads() <= threads; }));  // senders of gone phones end
    // The server still admits and answers.
    EXPECT_NE(control(qlotest::Get("/info")).find("\"clients\":1"), std::string::npos);
}

TEST_F(MisbehavingPhonesTest, ControlRequestsAtTheirLimitSizesAreAnsweredAndCutToTheirFields) {
    using qlotest::Post;
    const auto headFor = [](const std::string& path, size_t bodyLength) {
        return "POST " + path + " HTTP/1.1\r\nContent-Type: application/json\r\nContent-Length: " +
               std::to_string(bodyLength) + "\r\n\r\n";
    };
    // A first read of exactly 2047 bytes: the head and the start of the body; the rest follows.
    for (size_t total : {2046u, 2047u, 2048u, 4096u}) {
        SCOPED_TRACE(total);
        std::string body = R"({"action":"seek","time":2.5,"pad":")";
        const size_t pad = total - headFor("/timeline", total).size() - body.size() - 2;
        body += std::string(pad, 'x') + "\"}";
        EXPECT_EQ(control(headFor("/timeline", body.size()) + body), kOkAnswer);
        ASSERT_TRUE(g_server->hasPendingTimelineCommand());
        EXPECT_EQ(g_server->getPendingTimelineCommand().time, 2.5);
    }
    // The largest body that is read, and one byte more (not read: it does not parse).
    for (int64_t size : {kMaxControlBodyBytes, kMaxControlBodyBytes + 1}) {
        std::string body = R"({"mode":"single","pad":")";
        body += std::string(static_cast<size_t>(size) - body.size() - 2, 'y') + "\"}";
        EXPECT_EQ(control(headFor("/record", body.size()) + body), kOkAnswer);
        EXPECT_EQ(g_server->hasPendingRecordCommand(), size == kMaxControlBodyBytes);
        if (g_server->hasPendingRecordCommand()) g_server->getPendingRecordCommand();
    }
    // Lengths that cannot be: negative, beyond 64 bits.
    for (const char* length : {"-1", "99999999999999999999999", "0x10"}) {
        const std::string request = std::string("POST /camera HTTP/1.1\r\nContent-Length: ") + length + "\r\n\r\n{\"zoom\":5}";
        EXPECT_EQ(control(request), kOkAnswer);
    }
    // Names at and beyond their fields: 127 bytes are kept, more are cut at a whole character.
    const std::string name127(127, 'n'), nameLong = std::string(126, 'n') + "\xC3\xBC" + std::string(300, 'z');
    EXPECT_EQ(control(Post("/register", R"({"deviceName":")" + name127 + R"(","cameraName":")" + std::string(300, 'c') + "\"}"),
                      "127.0.0.7"),
              kRegisterAnswer);
    SelectCameraRequest choice = g_server->getPendingSelectCamera();
    EXPECT_EQ(std::string(choice.deviceName), name127);
    EXPECT_EQ(std::string(choice.cameraName), std::string(255, 'c'));
    EXPECT_EQ(control(Post("/camera", R"({"zoom":1e300,"aperture":2.8,"deviceName":")" + nameLong + "\"}")), kOkAnswer);
    const CameraSettings lens = g_server->getPendingCameraSettings();
    EXPECT_EQ(std::string(lens.deviceName), std::string(126, 'n'));  // "ü" does not fit whole
    EXPECT_FLOAT_EQ(lens.zoom, 5.0f);  // out of float range: ignored, the earlier 5 stays
    EXPECT_FLOAT_EQ(lens.aperture, 2.8f);
    // A stream query at the limit of the first read.
    qlotest::StreamPhone longName("127.0.0.8", httpPort, "/stream?deviceName=" + std::string(1900, 'q'));
    ASSERT_FALSE(longName.readHead().empty());
    // Named right after admission, cut to the name's field.
    EXPECT_TRUE(WaitFor([&] {
        const auto all = g_server->snapshotClients();
        return all.size() == 1 && std::string(all[0].name) == std::string(127, 'q');
    }));
    EXPECT_NE(control(qlotest::Get("/info")).find("\"clients\":1"), std::string::npos);
}
