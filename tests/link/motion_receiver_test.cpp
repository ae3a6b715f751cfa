// What the receiver keeps of the datagrams simulated phones send it over loopback: per sender,
// keyed by source IP text, and the newest sample of any sender; and its start, stop and
// destruction: ports, failures that leave nothing open, and stopping or destroying it while its
// loop is blocked or busy receiving.
#include "link/motion_receiver.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <future>
#include <memory>
#include <thread>
#include <vector>

#include "link/udp_phone.h"
#include "platform/log.h"

namespace {

using Six = std::array<float, 6>;

Six Values(const PerSenderMotion& m) { return {m.orientX, m.orientY, m.orientZ, m.posX, m.posY, m.posZ}; }

Six Latest(const MotionReceiver& r) {
    Six v;
    r.getLatestMotion(v[0], v[1], v[2], v[3], v[4], v[5]);
    return v;
}

class MotionReceiverTest : public ::testing::Test {
protected:
    void SetUp() override {
        port_ = receiver_.start(0);
        ASSERT_NE(port_, 0);
        ASSERT_TRUE(phoneA_.ok() && phoneB_.ok()) << "cannot bind 127.0.0.2 / 127.0.0.3";
    }

    // Waits until the sender's entry carries `values` as a fresh sample, consuming it.
    bool WaitForSample(const std::string& ip, const Six& values) {
        PerSenderMotion m;
        return WaitUntil([&] { return receiver_.consumeMotionForSender(ip, m) && m.fresh && Values(m) == values; });
    }

    // Datagrams from one socket to another over loopback are read in the order they were sent:
    // once a marker from B sent after them is seen, the receiver has dealt with everything before.
    // Each marker carries new values, so that it cannot be mistaken for an earlier one.
    Six SendMarkerFromBAndWait() {
        const Six marker = {7, 7, 7, 7, 7, ++markers_};
        EXPECT_TRUE(phoneB_.sendSample(port_, marker));
        EXPECT_TRUE(WaitForSample("127.0.0.3", marker));
        return marker;
    }

    qlo::log::CaptureSink log_;  // declared first: sees the receiver's start
    MotionReceiver receiver_;
    uint16_t port_ = 0;
    float markers_ = 0;
    UdpPhone phoneA_{"127.0.0.2"};
    UdpPhone phoneB_{"127.0.0.3"};
};

TEST_F(MotionReceiverTest, ConsumeReportsTheNewestSampleOnceAndResetsUntilConsumed) {
    PerSenderMotion m;
    EXPECT_FALSE(receiver_.consumeMotionForSender("127.0.0.2", m));  // never sent
    EXPECT_FALSE(receiver_.hasNewData());

    // A datagram the decoder rejects (one byte short) makes no entry and leaves the latest alone.
    const auto bytes = EncodeMotionDatagram(MotionDatagramType::Sample, {5, 5, 5, 5, 5, 5});
    ASSERT_TRUE(phoneA_.sendRaw(port_, bytes.data(), 24));
    const Six marker = SendMarkerFromBAndWait();
    EXPECT_EQ(Latest(receiver_), marker);
    EXPECT_FALSE(receiver_.consumeMotionForSender("127.0.0.2", m));
    EXPECT_TRUE(receiver_.hasNewData());  // raised with the marker
    EXPECT_FALSE(receiver_.hasNewData());

    // Two samples between consumes: only the second is seen, and fresh once.
    const Six second = {2, 2, 2, 2, 2, 2};
    ASSERT_TRUE(phoneA_.sendSample(port_, {1, 1, 1, 1, 1, 1}));
    ASSERT_TRUE(phoneA_.sendSample(port_, second));
    SendMarkerFromBAndWait();  // both have been read by now
    ASSERT_TRUE(receiver_.consumeMotionForSender("127.0.0.2", m));
    EXPECT_EQ(Values(m), second);
    EXPECT_TRUE(m.fresh && !m.reset);
    ASSERT_TRUE(receiver_.consumeMotionForSender("127.0.0.2", m));
    EXPECT_FALSE(m.fresh);

    // A reset alone: zeros everywhere.
    ASSERT_TRUE(phoneA_.sendReset(port_));
    ASSERT_TRUE(WaitUntil([&] { return receiver_.consumeMotionForSender("127.0.0.2", m) && m.fresh; }));
    EXPECT_EQ(Values(m), Six{});
    EXPECT_TRUE(m.reset);
    EXPECT_EQ(Latest(receiver_), Six{});

    // A reset followed by a longer datagram before a consume: reset seen, with the sample's
    // values, read from the datagram's first 25 bytes.
    const Six after = {9, 8, 7, 6, 5, 4};
    std::vector<uint8_t> longer(300, 0xFF);
    const auto head = EncodeMotionDatagram(MotionDatagramType::Sample, after);
    std::copy(head.begin(), head.end(), longer.begin());
    ASSERT_TRUE(phoneA_.sendReset(port_));
    ASSERT_TRUE(phoneA_.sendRaw(port_, longer.data(), longer.size()));
    SendMarkerFromBAndWait();
    ASSERT_TRUE(receiver_.consumeMotionForSender("127.0.0.2", m));
    EXPECT_EQ(Values(m), after);
    EXPECT_TRUE(m.fresh && m.reset);
    ASSERT_TRUE(receiver_.consumeMotionForSender("127.0.0.2", m));
    EXPECT_FALSE(m.reset);
}

TEST_F(MotionReceiverTest, SendersAreKeyedByTheirOwnIPText) {
    const Six a = {1, 2, 3, 4, 5, 6};
    const Six b = {-1, -2, -3, -4, -5, -6};
    ASSERT_TRUE(phoneA_.sendSample(port_, a));
    ASSERT_TRUE(WaitForSample("127.0.0.2", a));
    ASSERT_TRUE(phoneB_.sendSample(port_, b));
    ASSERT_TRUE(WaitForSample("127.0.0.3", b));
    EXPECT_EQ(Latest(receiver_), b);  // latest follows whichever arrived last
    PerSenderMotion m;
    ASSERT_TRUE(receiver_.consumeMotionForSender("127.0.0.2", m));
    EXPECT_EQ(Values(m), a);  // B's sample did not touch A's entry
    // Keyed by dotted IPv4 although they arrive on the dual-stack socket as IPv4-mapped addresses.
    EXPECT_FALSE(receiver_.consumeMotionForSender("::ffff:127.0.0.2", m));
}

TEST_F(MotionReceiverTest, AFullTableForgetsTheStalestSenderWithoutAStream) {
    auto ipOf = [](int i) { return "127.1." + std::to_string(i / 250) + "." + std::to_string(i % 250 + 1); };
    const int full = static_cast<int>(kMaxSenders);
    PerSenderMotion m;
    // Senders 0 and 1 are phones with a stream; 0 to 1023 fill the table, oldest first, then a
    // flood of new senders each takes the place of the stalest one without a stream.
    receiver_.setStreamingSenders({ipOf(0), ipOf(1)});
    for (int i = 0; i < full + 10; ++i) {
        UdpPhone phone(ipOf(i));
        ASSERT_TRUE(phone.ok() && phone.sendSample(port_, {float(i), 0, 0, 0, 0, 0})) << ipOf(i);
        // One by one, so that the order of arrival is the order of staleness.
        ASSERT_TRUE(WaitUntil([&] { return receiver_.consumeMotionForSender(ipOf(i), m); }));
    }
    for (int i = 0; i < 13; ++i) EXPECT_EQ(receiver_.consumeMotionForSender(ipOf(i), m), i < 2 || i == 12) << i;
    // The phones with a stream are still heard.
    UdpPhone first(ipOf(0));
    ASSERT_TRUE(first.sendSample(port_, {5, 5, 5, 5, 5, 5}));
    EXPECT_TRUE(WaitForSample(ipOf(0), {5, 5, 5, 5, 5, 5}));

    // A table whose every sender has a stream hears no new sender.
    std::vector<std::string> all;
    for (int i = 0; i < full + 10; ++i) all.push_back(ipOf(i));
    receiver_.setStreamingSenders(all);
    UdpPhone stranger("127.9.0.1");
    ASSERT_TRUE(stranger.sendSample(port_, {1, 1, 1, 1, 1, 1}));
    ASSERT_TRUE(WaitUntil([&] { return log_.contains("ignoring datagrams from new sender"); }));
    EXPECT_FALSE(receiver_.consumeMotionForSender("127.9.0.1", m));
}

// Runs a stop (or destruction) on another thread and waits a generous bound for it. A receive
// loop that is never woken would hang it for good; the test then ends the process with a
// message, as nothing could be cleaned up from here.
void MustFinish(const char* what, std::function<void()> work) {
    auto done = std::make_shared<std::promise<void>>();
    std::future<void> finished = done->get_future();
    std::thread([work = std::move(work), done] {
        work();
        done->set_value();
    }).detach();
    if (finished.wait_for(std::chrono::seconds(30)) != std::future_status::ready) {
        std::fprintf(stderr, "FAILED: %s did not return (receive loop never woken)\n", what);
        std::fflush(stderr);
        std::_Exit(1);
    }
}

TEST_F(MotionReceiverTest, APortInUseGivesZeroAndLeavesNothingOpen) {
    // Held by a plain IPv4 socket: the dual-stack bind fails, and so does the IPv4 fallback.
    int holder = socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    socklen_t len = sizeof a;
    ASSERT_EQ(bind(holder, reinterpret_cast<sockaddr*>(&a), sizeof a), 0);
    ASSERT_EQ(getsockname(holder, reinterpret_cast<sockaddr*>(&a), &len), 0);
    const int before = qlotest::CountProcEntries("fd");
    EXPECT_EQ(MotionReceiver().start(ntohs(a.sin_port)), 0);
    EXPECT_EQ(qlotest::CountProcEntries("fd"), before);
    close(holder);

    // Held by another receiver: the second must fail too, not share the port (where the newest
    // socket would silently take every datagram from the first).
    EXPECT_EQ(receiver_.start(port_ == 65535 ? 65534 : port_ + 1), port_);  // running: the same port
    EXPECT_EQ(MotionReceiver().start(port_), 0);
    ASSERT_TRUE(phoneA_.sendSample(port_, {1, 2, 3, 4, 5, 6}));
    EXPECT_TRUE(WaitForSample("127.0.0.2", {1, 2, 3, 4, 5, 6}));
}

TEST_F(MotionReceiverTest, StopWakesTheBlockedLoopAndRestartReceivesAgain) {
    ASSERT_TRUE(phoneA_.sendSample(port_, {1, 1, 1, 1, 1, 1}));
    ASSERT_TRUE(WaitForSample("127.0.0.2", {1, 1, 1, 1, 1, 1}));

    // Nothing is in flight: the loop sits in recvfrom and only stop can get it out.
    MustFinish("stop", [&] { receiver_.stop(); });
    // The socket is closed: the port can be bound again.
    EXPECT_EQ(MotionReceiver().start(port_), port_);
    receiver_.stop();  // a second stop does nothing

    // Kept across stop: the sender and the newest sample.
    PerSenderMotion m;
    EXPECT_TRUE(receiver_.consumeMotionForSender("127.0.0.2", m));
    EXPECT_EQ(Latest(receiver_), (Six{1, 1, 1, 1, 1, 1}));

    const uint16_t again = receiver_.start(0);
    ASSERT_NE(again, 0);
    ASSERT_TRUE(phoneA_.sendSample(again, {2, 2, 2, 2, 2, 2}));
    EXPECT_TRUE(WaitForSample("127.0.0.2", {2, 2, 2, 2, 2, 2}));
}

TEST(MotionReceiverLifecycle, DestroyWhileReceiving) {
    // A phone keeps sending while receivers are created, started and destroyed under it. The
    // destructor must wake the loop, wait for it, and only then free the state it uses (the
    // sanitizer builds turn a loop touching freed state into a failure).
    std::atomic<uint16_t> target{0};
    std::atomic<bool> sending{true};
    std::thread sender([&] {
        UdpPhone phone("127.0.0.2");
        for (int i = 0; i < 2'000'000 && sending.load(); ++i) {
            if (const uint16_t port = target.load()) phone.sendSample(port, {float(i), 0, 0, 0, 0, 0});
            if (i % 64 == 63) std::this_thread::yield();
        }
    });
    for (int round = 0; round < 10; ++round) {
        auto r = std::make_unique<MotionReceiver>();
        target.store(r->start(0));
        ASSERT_NE(target.load(), 0);
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
