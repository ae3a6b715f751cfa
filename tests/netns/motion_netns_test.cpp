// The motion receiver on its fixed port, 8255, hearing a phone at 127.0.0.2.
#include "link/motion_receiver.h"

#include <gtest/gtest.h>

#include "link/udp_phone.h"
#include "netns/netns_env.h"
#include "platform/log.h"

namespace {

TEST(MotionOnTheFixedPort, ReceivesFromAPhone) {
    QLO_REQUIRE_NETNS();
    qlo::log::CaptureSink log;
    MotionReceiver receiver;
    ASSERT_EQ(receiver.start(8255), 8255);
    EXPECT_TRUE(log.contains("[Quillo] MotionReceiver listening on UDP port 8255"));

    // The port is taken now: a second receiver cannot have it.
    MotionReceiver second;
    EXPECT_EQ(second.start(8255), 0);

    UdpPhone phone("127.0.0.2");
    ASSERT_TRUE(phone.ok());
    ASSERT_TRUE(phone.sendSample(8255, {12.5f, -30, 45, 100, 200, -300}));
    PerSenderMotion m;
    ASSERT_TRUE(WaitUntil([&] { return receiver.consumeMotionForSender("127.0.0.2", m); }));
    EXPECT_TRUE(m.fresh);
    EXPECT_EQ(m.orientX, 12.5f);
    EXPECT_EQ(m.orientY, -30.0f);
    EXPECT_EQ(m.orientZ, 45.0f);
    EXPECT_EQ(m.posX, 100.0f);
    EXPECT_EQ(m.posY, 200.0f);
    EXPECT_EQ(m.posZ, -300.0f);
    EXPECT_TRUE(receiver.hasNewData());

    receiver.stop();
    // Stopped: the port is free for the next start.
    EXPECT_EQ(second.start(8255), 8255);
}

}  // namespace
