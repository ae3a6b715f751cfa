// The registrations waiting for their stream: taken once by their own address, forgotten after
// the age limit, and never more than the bound, the oldest making room.
#include <gtest/gtest.h>

#include "link/pending_registrations.h"

namespace {

using Clock = PendingRegistrations::Clock;

TEST(PendingRegistrations, TakenOnceReplacedByNewerAndForgottenWhenOld) {
    PendingRegistrations regs;
    const Clock::time_point t0{};
    regs.put("10.0.0.2", {"Ann", "Camera 1"}, t0);
    regs.put("10.0.0.2", {"Ann", "Camera 2"}, t0 + std::chrono::seconds(1));  // newer from the same address
    regs.put("10.0.0.3", {"Bob", ""}, t0);
    auto ann = regs.take("10.0.0.2", t0 + std::chrono::seconds(2));
    ASSERT_TRUE(ann);
    EXPECT_EQ(ann->cameraName, "Camera 2");
    EXPECT_FALSE(regs.take("10.0.0.2", t0 + std::chrono::seconds(2)));
    // Bob's stream never came within the age limit.
    EXPECT_FALSE(regs.take("10.0.0.3", t0 + kPendingRegMaxAge));
    EXPECT_EQ(regs.size(), 0u);
}

TEST(PendingRegistrations, AFullTableMakesRoomByForgettingTheOldest) {
    PendingRegistrations regs;
    const Clock::time_point t0{};
    for (size_t i = 0; i < kMaxPendingRegs + 10; ++i) {
        regs.put("10.0." + std::to_string(i / 200) + "." + std::to_string(i % 200), {"P" + std::to_string(i), ""},
                 t0 + std::chrono::milliseconds(i));
    }
    EXPECT_EQ(regs.size(), kMaxPendingRegs);
    const Clock::time_point now = t0 + std::chrono::seconds(1);
    EXPECT_FALSE(regs.take("10.0.0.0", now));  // among the oldest ten
    EXPECT_FALSE(regs.take("10.0.0.9", now));
    auto newest = regs.take("10.0.0." + std::to_string(kMaxPendingRegs + 9), now);
    ASSERT_TRUE(newest);
    EXPECT_EQ(newest->deviceName, "P" + std::to_string(kMaxPendingRegs + 9));
}

}  // namespace
