// Start, stop and destruction of the receiver: ports, the log line, failures that leave nothing
// open, and stopping or destroying it while its loop is blocked or busy receiving.
#include "link/motion_receiver.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <future>
#include <memory>
#include <thread>

#include "link/udp_phone.h"
#include "platform/log.h"

namespace {

using qlotest::OpenDescriptors;

// Runs a stop (or destruction) on another thread and waits a generous bound for it. A receive
// loop that is never woken would hang it for good; the test then ends the process with a
// message, as nothing could be cleaned up from here.
void MustFinish(const char* what, std::function<void()> work, double seconds = 30) {
    auto done = std::make_shared<std::promise<void>>();
    std::future<void> finished = done->get_future();
    std::thread([work = std::move(work), done] {
        work();
        done->set_value();
    }).detach();
    if (finished.wait_for(std::chrono::duration<double>(seconds)) != std::future_status::ready) {
        std::fprintf(stderr, "FAILED: %s did not return (receive loop never woken)\n", what);
        std::fflush(stderr);
        std::_Exit(1);
    }
}

TEST(MotionReceiverLifecycle, PortInUseGivesZeroAndLeavesNothingOpen) {
    // Held by a plain IPv4 socket: the dual-stack bind fails, and so does the IPv4 fallback.
    int holder = socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    socklen_t len = sizeof a;
    ASSERT_EQ(bind(holder, reinterpret_cast<sockaddr*>(&a), sizeof a), 0);
    ASSERT_EQ(getsockname(holder, reinterpret_cast<sockaddr*>(&a), &len), 0);
    const int before = OpenDescriptors();
    {
        MotionReceiver r;
        EXPECT_EQ(r.start(ntohs(a.sin_port)), 0);
        EXPECT_EQ(OpenDescriptors(), before);
    }
    close(holder);

    // Held by another receiver: the second must fail too, not share the port (where the newest
    // socket would silently take every datagram from the first).
    qlo::log::CaptureSink log;
    MotionReceiver first;
    uint16_t port = first.start(0);
    ASSERT_NE(port, 0);
    EXPECT_TRUE(log.contains("[Quillo] MotionReceiver listening on UDP port " + std::to_string(port)));
    EXPECT_EQ(first.start(port == 65535 ? 65534 : port + 1), port);  // running: the same port
    EXPECT_EQ(log.count("MotionReceiver listening"), 1u);
    MotionReceiver second;
    EXPECT_EQ(second.start(port), 0);

    UdpPhone phone("127.0.0.2");
    ASSERT_TRUE(phone.sendSample(port, {1, 2, 3, 4, 5, 6}));
    PerSenderMotion m;
    EXPECT_TRUE(WaitUntil([&] { return first.consumeMotionForSender("127.0.0.2", m); }));
}

TEST(MotionReceiverLifecycle, StopWakesTheBlockedLoopAndRestartReceivesAgain) {
    MotionReceiver r;
    uint16_t port = r.start(0);
    ASSERT_NE(port, 0);
    UdpPhone phone("127.0.0.2");
    ASSERT_TRUE(phone.sendSample(port, {1, 1, 1, 1, 1, 1}));
    PerSenderMotion m;
    ASSERT_TRUE(WaitUntil([&] { return r.consumeMotionForSender("127.0.0.2", m); }));

    // Nothing is in flight: the loop sits in recvfrom and only stop can get it out.
    MustFinish("stop", [&] { r.stop(); });
    // The socket is closed: the port can be bound again.
    EXPECT_EQ(MotionReceiver().start(port), port);
    r.stop();  // a second stop does nothing

    // Kept across stop: the sender and the newest sample.
    EXPECT_TRUE(r.consumeMotionForSender("127.0.0.2", m));
    float v[6];
    r.getLatestMotion(v[0], v[1], v[2], v[3], v[4], v[5]);
    EXPECT_EQ(v[5], 1.0f);

    uint16_t again = r.start(0);
    ASSERT_NE(again, 0);
    ASSERT_TRUE(phone.sendSample(again, {2, 2, 2, 2, 2, 2}));
    EXPECT_TRUE(WaitUntil([&] {
        return r.consumeMotionForSender("127.0.0.2", m) && m.fresh && m.orientX == 2;
    }));
}

TEST(MotionReceiverLifecycle, DestroyWhileReceiving) {
    // A phone keeps sending while receivers are created, started and destroyed under it. The
    // destructor must wake the loop, wait for it, and only then free the state it uses (the
    // sanitizer builds turn a loop touching freed state into a failure).
    std::atomic<uint16_t> target{0};
    std::atomic<bool> sending{true};
    std::thread sender([&] {
        UdpPhone phone("127.0.0.2");
        auto end = std::chrono::steady_clock::now() + std::chrono::seconds(60);
        for (int i = 0; i < 2'000'000 && sending.load() && std::chrono::steady_clock::now() < end;
             ++i) {
            uint16_t port = target.load();
            if (port != 0) phone.sendSample(port, {float(i), 0, 0, 0, 0, 0});
            if (i % 64 == 63) std::this_thread::yield();
        }
    });

    for (int round = 0; round < 25; ++round) {
        auto r = std::make_unique<MotionReceiver>();
        uint16_t port = r->start(0);
        ASSERT_NE(port, 0);
        target.store(port);
        ASSERT_TRUE(WaitUntil([&] { return r->hasNewData(); })) << "round " << round;
        // Destroy while datagrams keep coming: half the rounds stop first, half rely on the
        // destructor alone.
        MustFinish("destruction", [&] {
            if (round % 2) r->stop();
            r.reset();
        });
        target.store(0);
    }
    sending.store(false);
    sender.join();
}

}  // namespace
