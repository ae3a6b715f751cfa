// Phones that misbehave, over real loopback sockets against the plug-in in the stand-in host:
// hundreds of connect-and-disconnect cycles, and control requests at their limit sizes. The
// well-behaved phone keeps getting frames, and afterwards the process has no more descriptors
// and threads than before. (Silent or slow connections, phones that stop reading or close
// mid-frame, fields cut at a whole character: tests/link; datagrams: fuzz_motion_datagram.)
#include "link/http_answers.h"
#include "link/http_request.h"
#include "reliability_fixture.h"

using MisbehavingPhonesTest = ReliabilityTest;

TEST_F(MisbehavingPhonesTest, ConnectCyclesLeaveDescriptorsAndThreadsAsTheyWere) {
    spyRenders();
    Phone& healthy = connect("127.0.0.2", "?deviceName=Healthy", "Healthy", 1);
    // Warm-up: the HTTP and lookup queues start their worker threads on first use and keep them
    // while the server runs; the cycles must not add to them.
    for (int i = 0; i < 4; ++i) control(qlotest::Get("/info"));
    qlotest::StreamPhone("127.0.0.5", httpPort, "/stream?deviceName=Once").readHead();
    ASSERT_TRUE(passUntil([&] { return g_server->clientCount() == 1; }));
    // What the previous test left may still be closing: the counts must not grow.
    const int fds = qlotest::CountProcEntries("fd"), threads = qlotest::CountServiceThreads();
    // 200 phones that connect, take their stream's head or not, and go, while frames are pushed.
    const size_t before = healthy.count();
    for (int cycle = 0; cycle < 200; ++cycle) {
        const std::string ip = "127.0.1." + std::to_string(1 + cycle % 50);
        qlotest::StreamPhone phone(ip.c_str(), httpPort, "/stream?deviceName=Cycle" + std::to_string(cycle));
        if (cycle % 2 == 0) phone.readHead();
        pass();
    }
    EXPECT_TRUE(passUntil([&] { return g_server->clientCount() == 1; }));
    EXPECT_TRUE(WaitFor([&] { return healthy.count() > before; }));
    EXPECT_TRUE(passUntil([&] { return qlotest::CountProcEntries("fd") <= fds; }))
        << qlotest::CountProcEntries("fd") << " vs " << fds;
    // The senders of gone phones end.
    EXPECT_TRUE(WaitFor([&] { return qlotest::CountServiceThreads() <= threads; }));
}

TEST_F(MisbehavingPhonesTest, ControlRequestsAtTheirLimitSizesAreRead) {
    const auto post = [](const std::string& path, const std::string& body) {
        return "POST " + path + " HTTP/1.1\r\nContent-Length: " + std::to_string(body.size()) + "\r\n\r\n" +
               body;
    };
    // Requests of 2046 to 2048 bytes, about the first read, and of 4096.
    for (size_t total : {2046u, 2047u, 2048u, 4096u}) {
        SCOPED_TRACE(total);
        std::string body = R"({"action":"seek","time":2.5,"pad":")";
        // The padding makes the announced length two digits longer.
        body += std::string(total - post("/timeline", body + "\"}").size() - 2, 'x') + "\"}";
        EXPECT_EQ(control(post("/timeline", body)), kOkAnswer);
        ASSERT_TRUE(g_server->hasPendingTimelineCommand());
        EXPECT_EQ(g_server->getPendingTimelineCommand().time, 2.5);
    }
    // The largest body that is read, and one byte more (not read: it does not parse).
    for (int64_t size : {kMaxControlBodyBytes, kMaxControlBodyBytes + 1}) {
        std::string body = R"({"mode":"single","pad":")";
        body += std::string(static_cast<size_t>(size) - body.size() - 2, 'y') + "\"}";
        EXPECT_EQ(control(post("/record", body)), kOkAnswer);
        EXPECT_EQ(g_server->hasPendingRecordCommand(), size == kMaxControlBodyBytes) << size;
        if (g_server->hasPendingRecordCommand()) g_server->getPendingRecordCommand();
    }
}
