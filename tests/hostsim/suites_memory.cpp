// Memory Suite: real blocks, nested locks, unlock, free, and the count of live handles.
#include <cstring>

#include "platform/log.h"
#include "suites_fixture.h"

namespace qlo::hostsim::testing {
namespace {

class MemorySuites : public SuitesTest {};

TEST_F(MemorySuites, AllocateLockWriteReadFree) {
    const auto* mem = MemorySuite();
    AEGP_MemHandle h = nullptr, raw = nullptr, empty = nullptr, bad = nullptr;
    ASSERT_EQ(mem->AEGP_NewMemHandle(kPlugin, "buffer", 100, AEGP_MemFlag_CLEAR, &h), A_Err_NONE);
    ASSERT_EQ(mem->AEGP_NewMemHandle(kPlugin, "raw", 8, AEGP_MemFlag_NONE, &raw), A_Err_NONE);
    ASSERT_EQ(mem->AEGP_NewMemHandle(kPlugin, nullptr, 0, AEGP_MemFlag_CLEAR, &empty), A_Err_NONE);
    EXPECT_EQ(mem->AEGP_NewMemHandle(kPlugin, "x", 4, 0x100, &bad), A_Err_PARAMETER);
    EXPECT_EQ(bad, nullptr);
    EXPECT_EQ(std::pair(LiveMemHandles(kPlugin), LiveMemHandles(kPlugin + 1)), std::pair(3ul, 0ul));
    AEGP_MemSize size = 0;
    ASSERT_EQ(mem->AEGP_GetMemHandleSize(h, &size), A_Err_NONE);
    EXPECT_EQ(size, 100u);
    void* p = nullptr;
    ASSERT_EQ(mem->AEGP_LockMemHandle(h, &p), A_Err_NONE);
    const auto* bytes = static_cast<unsigned char*>(p);
    for (int i = 0; i < 100; ++i) ASSERT_EQ(bytes[i], 0) << "CLEAR gives zeroes";
    std::memset(p, 0xAB, 100);  // the whole block is writable
    ASSERT_EQ(mem->AEGP_UnlockMemHandle(h), A_Err_NONE);
    void* locked = nullptr;
    ASSERT_EQ(mem->AEGP_LockMemHandle(h, &locked), A_Err_NONE);
    EXPECT_EQ(static_cast<unsigned char*>(locked)[99], 0xAB) << "contents survive unlocking";
    ASSERT_EQ(mem->AEGP_LockMemHandle(raw, &p), A_Err_NONE);
    EXPECT_EQ(static_cast<unsigned char*>(p)[0], 0xCD) << "uncleared memory is not zero";
    ASSERT_EQ(mem->AEGP_LockMemHandle(empty, &p), A_Err_NONE);
    EXPECT_NE(p, nullptr);
    EXPECT_EQ(mem->AEGP_LockMemHandle(empty, nullptr), A_Err_PARAMETER);
    for (AEGP_MemHandle m : {raw, empty}) {
        EXPECT_EQ(mem->AEGP_UnlockMemHandle(m), A_Err_NONE);
        EXPECT_EQ(mem->AEGP_FreeMemHandle(m), A_Err_NONE);
    }

    // Locks nest (h is locked once): each needs an unlock before the block can be freed.
    void* again = nullptr;
    ASSERT_EQ(mem->AEGP_LockMemHandle(h, &again), A_Err_NONE);
    EXPECT_EQ(std::pair(again, MemHandleLockCount(h)), std::pair(locked, 2));
    EXPECT_EQ(mem->AEGP_UnlockMemHandle(h), A_Err_NONE);
    log::SetStderrEnabled(false);
    log::CaptureSink capture;
    EXPECT_EQ(mem->AEGP_FreeMemHandle(h), A_Err_GENERIC) << "still locked once";
    EXPECT_TRUE(capture.contains("still locked"));
    EXPECT_EQ(LiveMemHandles(), 1u);
    EXPECT_EQ(mem->AEGP_UnlockMemHandle(h), A_Err_NONE);
    EXPECT_EQ(mem->AEGP_UnlockMemHandle(h), A_Err_GENERIC) << "more unlocks than locks";
    EXPECT_EQ(MemHandleLockCount(h), 0);
    EXPECT_EQ(mem->AEGP_FreeMemHandle(h), A_Err_NONE);
}

}  // namespace
}  // namespace qlo::hostsim::testing
