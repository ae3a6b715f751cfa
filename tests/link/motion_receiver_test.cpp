// What the receiver keeps of the datagrams simulated phones send it over loopback: per sender,
// keyed by source IP text, and the newest sample of any sender.
#include "link/motion_receiver.h"

#include <gtest/gtest.h>

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

    MotionReceiver receiver_;
    uint16_t port_ = 0;
    float markers_ = 0;
    UdpPhone phoneA_{"127.0.0.2"};
    UdpPhone phoneB_{"127.0.0.3"};
};

// Which datagrams are invalid is the decoder's test; here: the receiver drops what it rejects.
TEST_F(MotionReceiverTest, InvalidDatagramsChangeNothingLongOnesAreReadFromTheirStart) {
    SendMarkerFromBAndWait();
    ASSERT_TRUE(receiver_.hasNewData());  // raised with the sample: no wait needed

    const auto bytes = EncodeMotionDatagram(MotionDatagramType::Sample, {5, 5, 5, 5, 5, 5});
    ASSERT_TRUE(phoneA_.sendRaw(port_, bytes.data(), 24));
    // After a marker sent behind it: it made no entry and did not touch the latest sample.
    const Six marker = SendMarkerFromBAndWait();
    PerSenderMotion m;
    EXPECT_FALSE(receiver_.consumeMotionForSender("127.0.0.2", m));
    EXPECT_EQ(Latest(receiver_), marker);

    // 300 bytes (more than the receiver reads): applied from the first 25.
    const Six head = {-4, -5, -6, 0.5f, 0.25f, 0.125f};
    std::vector<uint8_t> longer(300, 0xFF);
    const auto first = EncodeMotionDatagram(MotionDatagramType::Sample, head);
    std::copy(first.begin(), first.end(), longer.begin());
    ASSERT_TRUE(phoneA_.sendRaw(port_, longer.data(), longer.size()));
    EXPECT_TRUE(WaitForSample("127.0.0.2", head));
}

TEST_F(MotionReceiverTest, ConsumeReportsTheNewestSampleOnceAndResetsUntilConsumed) {
    PerSenderMotion m;
    EXPECT_FALSE(receiver_.consumeMotionForSender("127.0.0.2", m));  // never sent
    EXPECT_FALSE(receiver_.hasNewData());

    // Two samples between consumes: only the second is seen, and the flags once.
    const Six second = {2, 2, 2, 2, 2, 2};
    ASSERT_TRUE(phoneA_.sendSample(port_, {1, 1, 1, 1, 1, 1}));
    ASSERT_TRUE(phoneA_.sendSample(port_, second));
    SendMarkerFromBAndWait();  // both have been read by now
    EXPECT_TRUE(receiver_.hasNewData());
    EXPECT_FALSE(receiver_.hasNewData());
    ASSERT_TRUE(receiver_.consumeMotionForSender("127.0.0.2", m));
    EXPECT_EQ(Values(m), second);
    EXPECT_TRUE(m.fresh && !m.reset);
    ASSERT_TRUE(receiver_.consumeMotionForSender("127.0.0.2", m));
    EXPECT_EQ(Values(m), second);
    EXPECT_FALSE(m.fresh);

    // A reset alone: zeros everywhere.
    ASSERT_TRUE(phoneA_.sendReset(port_));
    ASSERT_TRUE(WaitUntil([&] { return receiver_.consumeMotionForSender("127.0.0.2", m) && m.fresh; }));
    EXPECT_EQ(Values(m), Six{});
    EXPECT_TRUE(m.reset);
    EXPECT_EQ(Latest(receiver_), Six{});
    EXPECT_TRUE(receiver_.hasNewData());

    // A reset followed by samples before a consume: reset seen, with the newest sample's values.
    const Six after = {9, 8, 7, 6, 5, 4};
    ASSERT_TRUE(phoneA_.sendReset(port_));
    ASSERT_TRUE(phoneA_.sendSample(port_, {1, 1, 1, 1, 1, 1}));
    ASSERT_TRUE(phoneA_.sendSample(port_, after));
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

    // An IPv6 phone is keyed by its IPv6 text; IPv4 phones (above) by dotted IPv4 although they
    // arrive on the dual-stack socket as IPv4-mapped addresses.
    UdpPhone v6("::1");
    if (v6.ok()) {
        ASSERT_TRUE(v6.sendSample(port_, {3, 3, 3, 3, 3, 3}));
        EXPECT_TRUE(WaitForSample("::1", {3, 3, 3, 3, 3, 3}));
    }
    EXPECT_FALSE(receiver_.consumeMotionForSender("::ffff:127.0.0.2", m));
}

TEST(MotionReceiverSenders, AFullTableForgetsTheStalestSenderWithoutAStream) {
    qlo::log::CaptureSink log;
    MotionReceiver receiver;
    uint16_t port = receiver.start(0);
    ASSERT_NE(port, 0);
    auto ipOf = [](int i) { return "127.1." + std::to_string(i / 250) + "." + std::to_string(i % 250 + 1); };
    PerSenderMotion m;
    // Senders 0 and 1 are phones with a stream; 0 to 1023 fill the table, oldest first.
    receiver.setStreamingSenders({ipOf(0), ipOf(1)});
    auto fill = [&](int from, int to) {
        for (int i = from; i < to; ++i) {
            UdpPhone phone(ipOf(i));
            ASSERT_TRUE(phone.ok()) << ipOf(i);
            ASSERT_TRUE(phone.sendSample(port, {float(i), 0, 0, 0, 0, 0}));
            // One by one, so that the order of arrival is the order of staleness.
            ASSERT_TRUE(WaitUntil([&] { return receiver.consumeMotionForSender(ipOf(i), m); }));
        }
    };
    fill(0, static_cast<int>(kMaxSenders));
    // A flood of new senders: each takes the place of the stalest one without a stream.
    fill(static_cast<int>(kMaxSenders), static_cast<int>(kMaxSenders) + 10);
    EXPECT_TRUE(receiver.consumeMotionForSender(ipOf(0), m));
    EXPECT_TRUE(receiver.consumeMotionForSender(ipOf(1), m));
    for (int i = 2; i < 12; ++i) EXPECT_FALSE(receiver.consumeMotionForSender(ipOf(i), m)) << i;
    EXPECT_TRUE(receiver.consumeMotionForSender(ipOf(12), m));
    // The phones with a stream are still heard.
    UdpPhone first(ipOf(0));
    ASSERT_TRUE(first.sendSample(port, {5, 5, 5, 5, 5, 5}));
    EXPECT_TRUE(WaitUntil([&] { return receiver.consumeMotionForSender(ipOf(0), m) && m.fresh && m.orientX == 5; }));

    // A table whose every sender has a stream hears no new sender (and says so once).
    std::vector<std::string> all;
    for (int i = 0; i < static_cast<int>(kMaxSenders) + 10; ++i) all.push_back(ipOf(i));
    receiver.setStreamingSenders(all);
    for (int i = 0; i < 2; ++i) {
        UdpPhone stranger("127.9.0." + std::to_string(i + 1));
        ASSERT_TRUE(stranger.sendSample(port, {1, 1, 1, 1, 1, 1}));
    }
    ASSERT_TRUE(WaitUntil([&] { return log.contains("ignoring datagrams from new sender"); }));
    EXPECT_FALSE(receiver.consumeMotionForSender("127.9.0.1", m));
    EXPECT_EQ(log.count("ignoring datagrams from new sender"), 1u);
}

}  // namespace
